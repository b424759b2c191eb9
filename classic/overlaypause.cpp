#include "overlaypause.h"

#include "keymapper.h"

#include <QDebug>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int FirstPrintableKey = 0x20;
constexpr int LastPrintableKey = 0x7E;
constexpr int MessagePointSize = 10;
} // namespace

OverlayPause::OverlayPause(const QString &message, QWidget *parent)
    : AbstractDraggableOverlay(parent)
{
    setObjectName(QStringLiteral("OverlayPause"));

    m_pauseBox = new QFrame(this);
    m_pauseBox->setObjectName(QStringLiteral("pauseBox"));
    m_pauseBox->setFocusPolicy(Qt::StrongFocus);
    m_pauseBox->setAutoFillBackground(true);
    m_pauseBox->setFrameShape(QFrame::Panel);
    m_pauseBox->setFrameShadow(QFrame::Plain);
    m_pauseBox->setLineWidth(1);
    auto *layout = new QVBoxLayout(m_pauseBox);
    layout->setObjectName(QStringLiteral("verticalLayout_3"));
    layout->setSpacing(0);
    layout->setContentsMargins(12, 12, 12, 12);
    m_messageLabel = new QLabel(m_pauseBox);
    m_messageLabel->setObjectName(QStringLiteral("messageLabel"));
    m_messageLabel->setTextFormat(Qt::PlainText);
    QFont font = m_messageLabel->font();
    font.setPointSize(MessagePointSize);
    m_messageLabel->setFont(font);
    layout->addWidget(m_messageLabel);

    m_messageLabel->setText(message);
    m_pauseBox->adjustSize();
    setDraggableBox(m_pauseBox);
}

void OverlayPause::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    qDebug() << "OverlayPause::keyPressEvent() -" << key;
    event->accept();
    if (key >= FirstPrintableKey && key <= LastPrintableKey) {
        emit keyPressed(key);
        return;
    }
    // A pause may wait for an arrow key: Left and Right are passed on, not dropped.
    if (const int code = KeyMapper::instance()->pbKeyFor(event, true))
        emit keyPressed(code);
}

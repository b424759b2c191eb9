#include "endedbanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

EndedBanner::EndedBanner(const QString &notice, QWidget *parent)
    : QFrame(parent)
    , m_label(new QLabel(notice, this))
{
    setObjectName(QStringLiteral("endedBanner"));
    setFrameShape(QFrame::StyledPanel);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 8, 16, 8);
    layout->setSpacing(16);
    m_label->setObjectName(QStringLiteral("endedLabel"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(m_label, 1);
    auto *close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("endedCloseButton"));
    close->setToolTip(tr("Close this page"));
    layout->addWidget(close);
    connect(close, &QPushButton::clicked, this, &EndedBanner::closeClicked);
}

QString EndedBanner::text() const
{
    return m_label->text();
}

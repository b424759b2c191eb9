#include "linkhealthbar.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int RefreshMs = 1000;

} // namespace

LinkHealthBar::LinkHealthBar(QWidget *parent)
    : QToolBar(parent)
    , m_label(new QLabel)
    , m_clock(new QTimer(this))
{
    setObjectName(QStringLiteral("linkHealthBar"));
    setWindowTitle(tr("Hub link"));
    setMovable(false);
    setFloatable(false);
    // Not one of the window's toolbars to switch on or off: it shows itself when needed.
    toggleViewAction()->setVisible(false);
    setStyleSheet(QStringLiteral("QToolBar#linkHealthBar { background: #fff4ce; border-bottom: 1px solid #c19c00; }"
                                 "QLabel { color: #3b2f00; }"));

    auto *content = new QWidget;
    auto *layout = new QHBoxLayout(content);
    layout->setContentsMargins(10, 4, 10, 4);
    m_label->setObjectName(QStringLiteral("linkHealthLabel"));
    m_label->setTextFormat(Qt::PlainText);
    layout->addWidget(m_label, 1);
    auto *keepWaiting = new QPushButton(tr("Keep waiting"));
    keepWaiting->setObjectName(QStringLiteral("keepWaitingButton"));
    layout->addWidget(keepWaiting);
    auto *disconnect = new QPushButton(tr("Disconnect"));
    disconnect->setObjectName(QStringLiteral("disconnectButton"));
    layout->addWidget(disconnect);
    addWidget(content);

    m_clock->setInterval(RefreshMs);
    connect(m_clock, &QTimer::timeout, this, &LinkHealthBar::refresh);
    connect(keepWaiting, &QPushButton::clicked, this, [this] {
        hideSilence();
        emit keepWaitingClicked();
    });
    connect(disconnect, &QPushButton::clicked, this, [this] {
        hideSilence();
        emit disconnectClicked();
    });
    hide();
}

void LinkHealthBar::showSilence(const QDateTime &lastHeard, bool backlogged)
{
    m_lastHeard = lastHeard;
    m_backlogged = backlogged;
    refresh();
    m_clock->start();
    show();
}

void LinkHealthBar::hideSilence()
{
    m_clock->stop();
    hide();
}

QString LinkHealthBar::text() const
{
    return m_label->text();
}

void LinkHealthBar::refresh()
{
    const qint64 seconds = qMax<qint64>(0, m_lastHeard.secsTo(QDateTime::currentDateTime()));
    const QString since = m_lastHeard.toString(QStringLiteral("HH:mm:ss"));
    m_label->setText(m_backlogged
                         ? tr("The hub is not answering: nothing heard from it for %1 s (since %2), and it "
                              "does not take what this client sends.")
                               .arg(seconds)
                               .arg(since)
                         : tr("The hub is not answering: nothing heard from it for %1 s (since %2).")
                               .arg(seconds)
                               .arg(since));
}

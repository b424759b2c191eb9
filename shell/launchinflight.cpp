#include "launchinflight.h"

#include <QDebug>

#include <utility>

LaunchInFlight::LaunchInFlight(QObject *parent, int waitMs)
    : QObject(parent)
    , m_waitMs(waitMs)
{
}

void LaunchInFlight::requested(const QString &title)
{
    m_title = title;
    m_time = QDateTime::currentDateTime();
    if (!m_hubAnswering)
        announce();
}

QString LaunchInFlight::takeTitle()
{
    const QString title = isRecent() ? m_title : QString();
    m_title.clear();
    return title;
}

void LaunchInFlight::setHubAnswering(bool answering)
{
    m_hubAnswering = answering;
    if (!answering) {
        announce();
        return;
    }
    // What opens after a silence is no longer known to answer this launch.
    m_title.clear();
    if (!m_notice.isEmpty())
        emit waitOver(std::exchange(m_notice, QString()));
}

bool LaunchInFlight::isRecent() const
{
    return !m_title.isEmpty() && m_time.msecsTo(QDateTime::currentDateTime()) <= m_waitMs;
}

void LaunchInFlight::announce()
{
    if (!isRecent())
        return;
    m_notice = tr("The hub is not answering: \"%1\", asked for at %2, has not started.")
                   .arg(m_title, m_time.toString(QStringLiteral("HH:mm:ss")));
    qInfo().noquote() << m_notice;
    emit waiting(m_notice);
}

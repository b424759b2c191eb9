#include "applicationsession.h"

#include "apptranceiver.h"
#include "channeltranceiver.h"

#include "utils/taskpagewidget.h"

#include <QDebug>

bool ApplicationSession::keepPagesEnded(const QString &notice)
{
    const QList<TaskPageWidget *> kept = pages();
    if (kept.isEmpty())
        return false;
    showLinkNotice(false);
    releasePages();
    for (TaskPageWidget *page : kept)
        page->endPage(notice);
    return true;
}

void ApplicationSession::followTransport(AppTranceiver *transport)
{
    connect(transport, &AppTranceiver::rawMessageRcvd, this, &ApplicationSession::answered);
    // Only the hub can fall silent; a debug connection is the application's own.
    if (auto *channel = qobject_cast<ChannelTranceiver *>(transport))
        connect(channel, &ChannelTranceiver::channelDataSend, this, &ApplicationSession::sent);
}

void ApplicationSession::setHubAnswering(bool answering)
{
    m_hubAnswering = answering;
    showLinkNotice(!answering && owesAnswer());
}

void ApplicationSession::sent()
{
    if (!owesAnswer())
        m_owedSince = QDateTime::currentDateTime();
    if (!m_hubAnswering)
        showLinkNotice(true);
}

void ApplicationSession::answered()
{
    m_owedSince = QDateTime();
    showLinkNotice(false);
}

void ApplicationSession::showLinkNotice(bool shown)
{
    if (!shown && !m_noticeShown)
        return;
    m_noticeShown = shown;
    const QString notice = shown ? tr("The hub is not answering: what was sent at %1 has had no answer yet.")
                                       .arg(m_owedSince.toString(QStringLiteral("HH:mm:ss")))
                                 : QString();
    if (shown)
        qInfo().noquote() << "Waiting for the hub:" << describe() << notice;
    const QList<TaskPageWidget *> shownPages = pages();
    for (TaskPageWidget *page : shownPages)
        page->setLinkNotice(notice);
}

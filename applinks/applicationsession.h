#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

class AppTranceiver;
class TaskPageWidget;

// What serves one server application on the desktop, whatever its kind. The kind's factory makes
// it once the transport's handshake names the kind; it takes over the transport and says when the
// application has ended, after which the session router deletes it.
//
// When the hub link that carried the application is lost, its pages outlive it as ended pages
// (keepPagesEnded). While the hub does not answer, a session whose application owes an answer to
// what it was sent says so on its pages.
class ApplicationSession : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Quitting while such a session runs is a forced quit: its program cannot be ended from here.
    virtual bool holdsQuit() const { return false; }
    // Which program this is, for the log.
    virtual QString describe() const { return QString(); }
    // The pages the user sees of this application (those on the task bar).
    virtual QList<TaskPageWidget *> pages() const { return {}; }

    // The link is gone with the application: its pages become ended pages showing the notice and
    // the session lets go of them. False when it had none to keep.
    bool keepPagesEnded(const QString &notice);
    // The hub stopped answering (false) or answers again.
    void setHubAnswering(bool answering);
    bool owesAnswer() const { return m_owedSince.isValid(); }

signals:
    void ended();
    void printDocument(QString text);
    void viewData(QString title, QByteArray data);
    // The session cannot keep up with what its transport delivers; the link should stop reading
    // until backlogFull(false).
    void backlogFull(bool full);

protected:
    // What the application is sent and sends back on this transport tells whether it owes an answer.
    void followTransport(AppTranceiver *transport);
    // Forget the pages pages() returned: they are ended pages now, and nothing of this session may
    // reach them or send for them any more.
    virtual void releasePages() { }

private:
    void sent();
    void answered();
    void showLinkNotice(bool shown);

    QDateTime m_owedSince;
    bool m_hubAnswering = true;
    bool m_noticeShown = false;
};

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// What serves one server application on the desktop, whatever its kind. The kind's factory makes
// it once the transport's handshake names the kind; it takes over the transport and says when the
// application has ended, after which the session router deletes it.
class ApplicationSession : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Quitting while such a session runs is a forced quit: its program cannot be ended from here.
    virtual bool holdsQuit() const { return false; }
    // Which program this is, for the log.
    virtual QString describe() const { return QString(); }

signals:
    void ended();
    void printDocument(QString text);
    void viewData(QString title, QByteArray data);
    // The session cannot keep up with what its transport delivers; the link should stop reading
    // until backlogFull(false).
    void backlogFull(bool full);
};

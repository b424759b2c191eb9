#pragma once

#include "applink.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>

namespace google::protobuf {
class Message;
}

// Who launched an application and with what settings.
struct DemoAppContext
{
    QString userName;
    QString homePath; // the user's home directory on disk
    QString dataDir; // the hub's data directory, for what all users share
    QString menuPath; // empty when attached to a debug port
    QJsonObject options; // the application's settings, item options included
};

// A demo application as the client sees it: something that speaks one application protocol over
// an AppLink. Its first message must be its handshake, which tells the client the kind. The host
// (a hub session or the debug-port runner) creates it through DemoAppFactory, calls start(), and
// closes the link when finished() arrives; when the link reports the client gone, the host calls
// stop() and the application ends whatever it runs.
class DemoApplication : public QObject
{
    Q_OBJECT

public:
    DemoApplication(AppLink *link, const DemoAppContext &context, QObject *parent = nullptr);

    virtual QString kind() const = 0;
    // Returns false with a reason when the application cannot run; nothing has been sent then.
    virtual bool start(QString *error) = 0;
    // Ends the application; finished() follows once it has.
    virtual void stop() = 0;

    bool isFinished() const { return m_finished; }

signals:
    void finished();

protected:
    // One whole message from the client.
    virtual void processMessage(const QByteArray &message) = 0;

    void send(const google::protobuf::Message &envelope);
    // Emits finished() once.
    void finish();

    AppLink *link() const { return m_link; }
    const DemoAppContext &context() const { return m_context; }

private:
    QPointer<AppLink> m_link;
    DemoAppContext m_context;
    bool m_finished = false;
};

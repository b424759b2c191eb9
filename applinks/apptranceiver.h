#pragma once

#include <QObject>
#include <QString>

class QTimer;

// The transport of one server application, over a hub channel or a direct debug connection. It
// reads the application's first message, the handshake, to learn what kind of application it is,
// and from then on passes every whole message up unchanged. No handshake within HandshakeTimeoutMs,
// or a first message that is not one, makes the transport Invalid.
class AppTranceiver : public QObject
{
    Q_OBJECT

public:
    enum AppType { Pending = 0, Invalid = 1, Classic = 2, Terminal = 3, DictEdit = 4 };
    Q_ENUM(AppType)

    static constexpr int HandshakeTimeoutMs = 5000;

    explicit AppTranceiver(QObject *parent = nullptr);

    AppType appType() const { return m_appType; }
    QString appVersion() const { return m_appVersion; }
    bool isMenuOpt() const { return m_menuOpt; }

    virtual ushort channelId() const;

public slots:
    // redacted: when data holds a secret (text typed into a field the screen hides), the form a
    // recording may keep in its place; null otherwise. It travels with data and nothing keeps it.
    virtual void rawMessageSend(QByteArray data, QByteArray redacted = QByteArray()) = 0;

signals:
    void rawMessageRcvd(const char *data, int dataLength);
    void disconnected();
    void appTypeChanged(AppTranceiver::AppType appType);

protected:
    void processIncomingMessage(const char *data, int dataLength);
    void setAppType(AppType type);

private:
    void handshakeTimeout();

    AppType m_appType = Pending;
    QString m_appVersion;
    bool m_menuOpt = false;
    QTimer *m_handshakeTimer;
};

Q_DECLARE_METATYPE(AppTranceiver::AppType)

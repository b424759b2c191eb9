#pragma once

#include <QProcess>
#include <QStringList>

// A TLS peer the client's library would not be: `openssl s_server` on 127.0.0.1 at a free port,
// with whatever protocol and cipher limits a test gives (a TLS 1.0-only server, say). It accepts
// connections until it is destroyed.
class OpenSslServer
{
public:
    OpenSslServer() = default;
    ~OpenSslServer();
    Q_DISABLE_COPY(OpenSslServer)

    // Starts it with the certificate and key files and the extra arguments; false, with the
    // reason in errorText(), when it does not come up.
    bool start(const QString &certificatePath, const QString &keyPath, const QStringList &arguments);
    quint16 port() const { return m_port; }
    QString errorText() const { return m_errorText; }

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_errorText;
};

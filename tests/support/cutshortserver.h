#pragma once

#include <QByteArray>
#include <QTcpServer>

// An HTTP server on 127.0.0.1 that answers every request with a head announcing a large body,
// sends the first bytes of it and hangs up: a download cut short. With TLS it speaks HTTPS on the
// test hub's certificate (TestCertificates).
class CutShortServer : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr int AnnouncedBytes = 100000;

    explicit CutShortServer(const QByteArray &fileName, QObject *parent = nullptr);

    void setTls(bool tls) { m_tls = tls; }
    QString url() const;
    int connectionCount() const { return m_connections; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void answer();

    QByteArray m_fileName;
    bool m_tls = false;
    int m_connections = 0;
};

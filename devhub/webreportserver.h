#pragma once

#include <QHash>
#include <QHostAddress>
#include <QSslConfiguration>
#include <QTcpServer>

class QTcpSocket;

// The report pages behind the demo's web menu item: a minimal HTTP/1.1 server for GET and HEAD
// that serves the report as HTML ("/" and "/report") and as a PDF download ("/report.pdf"), and
// the demo installer of an offered update once it knows where that records its runs. One
// request per connection. Requests with oversized heads, other methods and connections that dawdle
// get an error answer or are closed; none holds the hub up. Given a TLS configuration it speaks
// HTTPS instead, as the installer of an update must be fetched.
class WebReportServer : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr int MaxHeadSize = 16 * 1024;
    static constexpr int RequestTimeoutMs = 10000;
    static constexpr int MaxConnections = 32;

    explicit WebReportServer(QObject *parent = nullptr);

    bool start(const QHostAddress &address, quint16 port, QString *error);
    // Serves the demo installer, which writes what it was started with to this file.
    void setInstallerRecordPath(const QString &path) { m_installerRecordPath = path; }
    // Speak HTTPS with this certificate and key from the next connection on.
    void setTlsConfiguration(const QSslConfiguration &tls);
    bool isTls() const { return m_tls; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void acceptConnections();
    void readRequest(QTcpSocket *socket);
    void respond(QTcpSocket *socket, int status, const QByteArray &contentType, const QByteArray &body,
                 const QList<QByteArray> &extraHeaders = {}, bool headOnly = false);
    void dropConnection(QTcpSocket *socket);

    QHash<QTcpSocket *, QByteArray> m_requests; // head bytes received so far
    QString m_installerRecordPath;
    QSslConfiguration m_tlsConfiguration;
    bool m_tls = false;
};

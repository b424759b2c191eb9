#include "webreportserver.h"

#include "demoinstaller.h"
#include "demoreport.h"
#include "httprequesthead.h"

#include <QDebug>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

namespace {

constexpr char HtmlType[] = "text/html; charset=utf-8";
constexpr char TextType[] = "text/plain; charset=utf-8";
constexpr char PdfType[] = "application/pdf";
constexpr char BinaryType[] = "application/octet-stream";
constexpr char PdfPath[] = "/report.pdf";

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 431:
        return "Request Header Fields Too Large";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Error";
    }
}

QByteArray refusalText(int status)
{
    switch (status) {
    case 431:
        return "Request head too large\n";
    case 505:
        return "Only HTTP/1.x is spoken here\n";
    case 405:
        return "Only GET and HEAD are allowed\n";
    default:
        return "Bad request\n";
    }
}

} // namespace

WebReportServer::WebReportServer(QObject *parent)
    : QTcpServer(parent)
{
    connect(this, &QTcpServer::newConnection, this, &WebReportServer::acceptConnections);
}

bool WebReportServer::start(const QHostAddress &address, quint16 port, QString *error)
{
    if (!listen(address, port)) {
        *error = QStringLiteral("cannot listen on %1:%2 for the report pages: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(errorString());
        return false;
    }
    return true;
}

void WebReportServer::setTlsConfiguration(const QSslConfiguration &tls)
{
    m_tlsConfiguration = tls;
    m_tls = true;
}

void WebReportServer::incomingConnection(qintptr descriptor)
{
    if (!m_tls) {
        QTcpServer::incomingConnection(descriptor);
        return;
    }
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        socket->deleteLater();
        return;
    }
    socket->setSslConfiguration(m_tlsConfiguration);
    // A client that refuses the certificate just goes; the request time-out ends one that stalls.
    connect(socket, qOverload<const QList<QSslError> &>(&QSslSocket::sslErrors), socket,
            [](const QList<QSslError> &errors) { qDebug() << "web: TLS errors" << errors; });
    socket->startServerEncryption();
    addPendingConnection(socket);
}

void WebReportServer::acceptConnections()
{
    while (QTcpSocket *socket = nextPendingConnection()) {
        if (m_requests.size() >= MaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_requests.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { dropConnection(socket); });
        QTimer::singleShot(RequestTimeoutMs, socket, [this, socket] {
            if (m_requests.contains(socket))
                respond(socket, 408, TextType, "Request timed out\n");
            else
                socket->abort();
        });
    }
}

void WebReportServer::dropConnection(QTcpSocket *socket)
{
    m_requests.remove(socket);
    socket->deleteLater();
}

void WebReportServer::readRequest(QTcpSocket *socket)
{
    const auto it = m_requests.find(socket);
    if (it == m_requests.end()) {
        socket->readAll(); // a body, or a second request: this server answers one per connection
        return;
    }
    it->append(socket->read(MaxHeadSize + 1 - it->size()));
    const HttpRequestHead head = HttpRequestHead::parse(*it, MaxHeadSize);
    switch (head.result) {
    case HttpRequestHead::Result::Incomplete:
        return;
    case HttpRequestHead::Result::Refused:
        respond(socket, head.status, TextType, refusalText(head.status),
                head.status == 405 ? QList<QByteArray> { "Allow: GET, HEAD" } : QList<QByteArray>());
        return;
    case HttpRequestHead::Result::Request:
        m_requests.erase(it);
        break;
    }

    const bool headOnly = head.method == "HEAD";
    qDebug().noquote() << QStringLiteral("web: %1 %2").arg(QString::fromLatin1(head.method),
                                                           QString::fromLatin1(head.target));
    if (head.path == QLatin1String("/") || head.path == QLatin1String("/report")) {
        respond(socket, 200, HtmlType, DemoReport::html(head.user, QLatin1String(PdfPath)), {}, headOnly);
    } else if (head.path == QLatin1String(PdfPath)) {
        respond(
            socket, 200, PdfType, DemoReport::pdf(),
            { QByteArray("Content-Disposition: attachment; filename=\"") + DemoReport::PdfFileName + '"' },
            headOnly);
    } else if (head.path == QLatin1String(DemoInstaller::UrlPath) && !m_installerRecordPath.isEmpty()) {
        respond(socket, 200, BinaryType, DemoInstaller::script(m_installerRecordPath), {}, headOnly);
    } else {
        respond(socket, 404, TextType, "Not found\n", {}, headOnly);
    }
}

void WebReportServer::respond(QTcpSocket *socket, int status, const QByteArray &contentType,
                              const QByteArray &body, const QList<QByteArray> &extraHeaders, bool headOnly)
{
    m_requests.remove(socket);
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status)
        + "\r\nContent-Type: " + contentType + "\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nCache-Control: no-store\r\nConnection: close\r\n";
    for (const QByteArray &header : extraHeaders)
        response += header + "\r\n";
    response += "\r\n";
    if (!headOnly)
        response += body;
    socket->write(response);
    socket->disconnectFromHost();
}

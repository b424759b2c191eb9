#include "demoreport.h"
#include "webreportserver.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

// The report pages over real HTTP requests: pages, the PDF download, and the answers to requests
// this small server does not serve.
class TestWebReportServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void responses_data();
    void responses();
    void pdfIsWellFormed();

private:
    QByteArray exchange(const QByteArray &request);

    WebReportServer m_server;
};

void TestWebReportServer::initTestCase()
{
    QString error;
    QVERIFY2(m_server.start(QHostAddress::LocalHost, 0, &error), qPrintable(error));
}

QByteArray TestWebReportServer::exchange(const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_server.serverPort());
    if (!QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000))
        return QByteArray();
    socket.write(request);
    QByteArray response;
    (void)QTest::qWaitFor(
        [&] {
            response += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        5000);
    return response + socket.readAll();
}

void TestWebReportServer::responses_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("statusLine");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("report page, user escaped")
        << QByteArray("GET /report?user=a%3Cb%3E HTTP/1.1\r\nHost: x\r\n\r\n")
        << QByteArray("HTTP/1.1 200 OK") << QByteArray("Content-Type: text/html; charset=utf-8")
        << QByteArray("prepared for a&lt;b&gt; by");
    QTest::newRow("root page") << QByteArray("GET / HTTP/1.0\r\n\r\n") << QByteArray("HTTP/1.1 200 OK")
                               << QByteArray("Connection: close") << QByteArray("href=\"/report.pdf\"");
    QTest::newRow("pdf download") << QByteArray("GET /report.pdf HTTP/1.1\r\n\r\n")
                                  << QByteArray("HTTP/1.1 200 OK")
                                  << QByteArray(
                                         "Content-Disposition: attachment; filename=\"enrolment-report.pdf\"")
                                  << QByteArray("%PDF-1.4");
    QTest::newRow("head has no body")
        << QByteArray("HEAD /report HTTP/1.1\r\n\r\n") << QByteArray("HTTP/1.1 200 OK")
        << QByteArray("Content-Length: ") << QByteArray();
    QTest::newRow("unknown page") << QByteArray("GET /etc/passwd HTTP/1.1\r\n\r\n")
                                  << QByteArray("HTTP/1.1 404 Not Found") << QByteArray()
                                  << QByteArray("Not found");
    QTest::newRow("other method") << QByteArray("POST /report HTTP/1.1\r\nContent-Length: 0\r\n\r\n")
                                  << QByteArray("HTTP/1.1 405 Method Not Allowed")
                                  << QByteArray("Allow: GET, HEAD") << QByteArray();
    QTest::newRow("garbage") << QByteArray("hello there\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request")
                             << QByteArray() << QByteArray();
    QTest::newRow("other protocol") << QByteArray("GET / HTTP/2.0\r\n\r\n")
                                    << QByteArray("HTTP/1.1 505 HTTP Version Not Supported") << QByteArray()
                                    << QByteArray();
    QTest::newRow("endless head") << QByteArray("GET / HTTP/1.1\r\nX-Filler: ")
            + QByteArray(WebReportServer::MaxHeadSize + 100, 'a')
                                  << QByteArray("HTTP/1.1 431 Request Header Fields Too Large")
                                  << QByteArray() << QByteArray();
}

void TestWebReportServer::responses()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, statusLine);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, body);

    const QByteArray response = exchange(request);
    const int split = response.indexOf("\r\n\r\n");
    QVERIFY2(split > 0, response.left(200).constData());
    const QByteArray head = response.left(split);
    const QByteArray content = response.mid(split + 4);
    QVERIFY2(head.startsWith(statusLine + "\r\n"), head.constData());
    QVERIFY2(head.contains(header), head.constData());
    QVERIFY2(content.contains(body), content.left(200).constData());
    const QRegularExpressionMatch length
        = QRegularExpression(QStringLiteral("Content-Length: (\\d+)")).match(QString::fromLatin1(head));
    QVERIFY(length.hasMatch());
    if (request.startsWith("HEAD"))
        QVERIFY(content.isEmpty() && length.captured(1).toInt() > 0);
    else
        QCOMPARE(content.size(), length.captured(1).toInt());
}

void TestWebReportServer::pdfIsWellFormed()
{
    const QByteArray pdf = DemoReport::pdf();
    QVERIFY(pdf.startsWith("%PDF-1.4\n"));
    QVERIFY(pdf.endsWith("%%EOF\n"));
    // Readers find every object through the cross-reference table: each offset must be exact.
    const int startxref = pdf.lastIndexOf("startxref\n");
    const int xref = pdf.mid(startxref + 10).split('\n').first().toInt();
    QVERIFY(pdf.mid(xref).startsWith("xref\n0 8\n0000000000 65535 f \n"));
    const QList<QByteArray> entries = pdf.mid(xref).split('\n').mid(3, 7);
    for (int i = 0; i < entries.size(); ++i) {
        QCOMPARE(entries.at(i).size(), 19); // 20 bytes with the newline
        const int offset = entries.at(i).left(10).toInt();
        QVERIFY2(pdf.mid(offset).startsWith(QByteArray::number(i + 1) + " 0 obj\n"),
                 entries.at(i).constData());
    }
    const QRegularExpressionMatch stream
        = QRegularExpression(QStringLiteral("/Length (\\d+) >>\\nstream\\n")).match(QString::fromLatin1(pdf));
    QVERIFY(stream.hasMatch());
    const int begin = stream.capturedEnd();
    QCOMPARE(pdf.mid(begin + stream.captured(1).toInt(), 9), QByteArray("endstream"));
    QVERIFY(pdf.contains("(All departments) Tj"));
}

QTEST_GUILESS_MAIN(TestWebReportServer)
#include "tst_webreportserver.moc"

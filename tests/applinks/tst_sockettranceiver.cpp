#include "applinks/sockettranceiver.h"
#include "lengthprefixcodec.h"

#include "uidlg.pb.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

QByteArray framed(const QByteArray &payload)
{
    return LengthPrefixCodec::encode(payload);
}

QByteArray handshake()
{
    Pb::UIEnvelope envelope;
    envelope.mutable_handshake()->set_ui_version("1.0");
    return QByteArray::fromStdString(envelope.SerializeAsString());
}

} // namespace

// The test plays the server application on one end of a real loopback connection.
class tst_SocketTranceiver : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        m_app = std::make_unique<QTcpSocket>();
        m_app->connectToHost(QHostAddress::LocalHost, m_server.serverPort());
        QVERIFY(m_server.waitForNewConnection(5000));
        QVERIFY(m_app->waitForConnected(5000));
        m_accepted = m_server.nextPendingConnection();
    }

    void cleanup()
    {
        m_transport.reset();
        m_app.reset();
        m_server.close();
    }

    void messagesInOneSegmentAndSplit()
    {
        makeTransport();
        QSignalSpy received(m_transport.get(), &AppTranceiver::rawMessageRcvd);
        QList<QByteArray> payloads;
        connect(m_transport.get(), &AppTranceiver::rawMessageRcvd, this,
                [&payloads](const char *data, int length) { payloads << QByteArray(data, length); });

        // Handshake and two messages in one write.
        write(framed(handshake()) + framed("first") + framed("second"));
        QTRY_COMPARE(payloads.size(), 2);
        QCOMPARE(m_transport->appType(), AppTranceiver::Classic);
        QCOMPARE(payloads, (QList<QByteArray> { "first", "second" }));

        // Split after two header bytes, then inside the payload.
        const QByteArray third = framed("third message");
        write(third.left(2));
        QTest::qWait(50);
        write(third.mid(2, 5));
        QTest::qWait(50);
        QCOMPARE(payloads.size(), 2);
        write(third.mid(7));
        QTRY_COMPARE(payloads.size(), 3);
        QCOMPARE(payloads.last(), QByteArray("third message"));

        // An empty message is still a message.
        write(framed(QByteArray()));
        QTRY_COMPARE(payloads.size(), 4);
        QCOMPARE(payloads.last(), QByteArray());
    }

    void emptyFirstMessageIsInvalid()
    {
        makeTransport();
        QTest::ignoreMessage(QtCriticalMsg,
                             "AppTranceiver::processIncomingMessage() - First message not 'handshake'.");
        write(framed(QByteArray()));
        QTRY_COMPARE(m_transport->appType(), AppTranceiver::Invalid);
    }

    void bytesBufferedBeforeCreationStillReachTheOwner()
    {
        write(framed(handshake()) + framed("early"));
        QTRY_VERIFY(m_accepted->bytesAvailable() >= 10);
        makeTransport();
        // Wired after construction, as the main window does.
        QSignalSpy kind(m_transport.get(), &AppTranceiver::appTypeChanged);
        QSignalSpy received(m_transport.get(), &AppTranceiver::rawMessageRcvd);
        QTRY_COMPARE(kind.size(), 1);
        QCOMPARE(received.size(), 1);
    }

    void sendFramesWithLength()
    {
        makeTransport();
        m_transport->rawMessageSend("hello");
        QTRY_COMPARE(m_app->bytesAvailable(), qint64(9));
        QCOMPARE(m_app->readAll(), framed("hello"));
    }

    // A pass takes what the bounded read buffer holds; messages larger than it, and floods of small
    // ones, still arrive whole and in order.
    void floodArrivesWholeThroughTheBoundedBuffer()
    {
        makeTransport();
        QList<QByteArray> payloads;
        connect(m_transport.get(), &AppTranceiver::rawMessageRcvd, this,
                [&payloads](const char *data, int length) { payloads << QByteArray(data, length); });
        QByteArray stream = framed(handshake());
        const QByteArray large(4 * SocketTranceiver::ReadBufferBytes + 3, 'L');
        stream += framed(large);
        for (int i = 0; i < 2000; ++i)
            stream += framed(QByteArray::number(i).repeated(300));
        m_app->write(stream);
        QTRY_COMPARE_WITH_TIMEOUT(payloads.size(), 2001, 20000);
        QCOMPARE(payloads.first(), large);
        QCOMPARE(payloads.last(), QByteArray::number(1999).repeated(300));
    }

    void oversizeMessageClosesTheConnection()
    {
        makeTransport();
        QSignalSpy gone(m_transport.get(), &AppTranceiver::disconnected);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("exceeds the limit"));
        write(QByteArray("\x7f\xff\xff\xff", 4));
        QTRY_COMPARE(m_app->state(), QAbstractSocket::UnconnectedState);
    }

    void peerClosing()
    {
        makeTransport();
        QSignalSpy gone(m_transport.get(), &AppTranceiver::disconnected);
        m_app->disconnectFromHost();
        QTRY_COMPARE(gone.size(), 1);
    }

private:
    void makeTransport() { m_transport = std::make_unique<SocketTranceiver>(m_accepted); }

    void write(const QByteArray &bytes)
    {
        m_app->write(bytes);
        QVERIFY(m_app->waitForBytesWritten(5000));
    }

    QTcpServer m_server;
    std::unique_ptr<QTcpSocket> m_app;
    QTcpSocket *m_accepted = nullptr;
    std::unique_ptr<SocketTranceiver> m_transport;
};

QTEST_GUILESS_MAIN(tst_SocketTranceiver)
#include "tst_sockettranceiver.moc"

#include "applinks/channeltranceiver.h"

#include "uidlg.pb.h"
#include "zuterm.pb.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Written by hand so that type values outside the enum reach the wire too.
QByteArray handshake(int type, bool setType = true)
{
    Pb::Handshake handshake;
    handshake.set_ui_version("7.2");
    handshake.set_is_menuopt(true);
    std::string inner = handshake.SerializeAsString();
    if (setType)
        inner += std::string("\xa0\x06", 2) + char(type); // field 100, varint
    std::string out("\xca\x3e", 2); // field 1001, length-delimited
    out += char(inner.size());
    out += inner;
    return QByteArray::fromStdString(out);
}

} // namespace

class tst_ChannelTranceiver : public QObject
{
    Q_OBJECT

private slots:
    void kindFromHandshake_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<int>("kind");
        QTest::newRow("classic") << handshake(0) << int(AppTranceiver::Classic);
        QTest::newRow("terminal") << handshake(1) << int(AppTranceiver::Terminal);
        QTest::newRow("dictedit") << handshake(2) << int(AppTranceiver::DictEdit);
        QTest::newRow("unknown type") << handshake(9) << int(AppTranceiver::Classic);
        QTest::newRow("no type") << handshake(0, false) << int(AppTranceiver::Classic);
    }

    void kindFromHandshake()
    {
        QFETCH(QByteArray, first);
        QFETCH(int, kind);
        ChannelTranceiver transport(0x0102);
        QSignalSpy changed(&transport, &AppTranceiver::appTypeChanged);
        QSignalSpy received(&transport, &AppTranceiver::rawMessageRcvd);
        transport.channelDataRcvd(first.constData(), first.size());
        QCOMPARE(int(transport.appType()), kind);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(transport.appVersion(), QString("7.2"));
        QVERIFY(transport.isMenuOpt());
        QCOMPARE(received.size(), 0); // the handshake is consumed

        const QByteArray next("\x01\x02\x03", 3);
        transport.channelDataRcvd(next.constData(), next.size());
        QCOMPARE(received.size(), 1);
        QCOMPARE(changed.size(), 1);
    }

    void terminalEnvelopeReadsAsHandshake()
    {
        zuterm::Envelope envelope;
        envelope.mutable_handshake()->set_ui_version("term 1");
        envelope.mutable_handshake()->set_type(zuterm::Handshake::TERMINAL);
        const QByteArray bytes = QByteArray::fromStdString(envelope.SerializeAsString());
        ChannelTranceiver transport(3);
        transport.channelDataRcvd(bytes.constData(), bytes.size());
        QCOMPARE(transport.appType(), AppTranceiver::Terminal);
        QCOMPARE(transport.appVersion(), QString("term 1"));
    }

    void invalidFirstMessages()
    {
        Pb::UIEnvelope title;
        title.mutable_set_title();
        const QByteArray notHandshake = QByteArray::fromStdString(title.SerializeAsString());
        ChannelTranceiver a(1);
        QTest::ignoreMessage(QtCriticalMsg,
                             "AppTranceiver::processIncomingMessage() - First message not 'handshake'.");
        a.channelDataRcvd(notHandshake.constData(), notHandshake.size());
        QCOMPARE(a.appType(), AppTranceiver::Invalid);

        ChannelTranceiver b(2);
        QTest::ignoreMessage(QtCriticalMsg,
                             "AppTranceiver::processIncomingMessage() - Unable to parse first message.");
        b.channelDataRcvd("\xff\xff\xff", 3);
        QCOMPARE(b.appType(), AppTranceiver::Invalid);

        ChannelTranceiver c(3);
        QTest::ignoreMessage(QtCriticalMsg,
                             "AppTranceiver::processIncomingMessage() - First message not 'handshake'.");
        c.channelDataRcvd("", 0);
        QCOMPARE(c.appType(), AppTranceiver::Invalid);
    }

    void handshakeTimeout()
    {
        ChannelTranceiver transport(4);
        QSignalSpy changed(&transport, &AppTranceiver::appTypeChanged);
        QTest::ignoreMessage(QtCriticalMsg, "AppTranceiver::processIncomingMessage() - handshake timeout.");
        QTest::qWait(AppTranceiver::HandshakeTimeoutMs - 500);
        QCOMPARE(changed.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 1, 2000);
        QCOMPARE(transport.appType(), AppTranceiver::Invalid);
    }

    void anyMessageStopsTheTimer()
    {
        ChannelTranceiver transport(5);
        const QByteArray first = handshake(0);
        transport.channelDataRcvd(first.constData(), first.size());
        QTest::qWait(AppTranceiver::HandshakeTimeoutMs + 300);
        QCOMPARE(transport.appType(), AppTranceiver::Classic);
    }

    void sendingAndClosing()
    {
        ChannelTranceiver transport(0x0102);
        QCOMPARE(transport.channelId(), ushort(0x0102));
        QSignalSpy sent(&transport, &ChannelTranceiver::channelDataSend);
        QSignalSpy gone(&transport, &AppTranceiver::disconnected);
        transport.rawMessageSend("abc");
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.at(0).at(0).value<ushort>(), ushort(0x0102));
        QCOMPARE(sent.at(0).at(1).toByteArray(), QByteArray("abc"));
        transport.channelDisconnected();
        QCOMPARE(gone.size(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_ChannelTranceiver)
#include "tst_channeltranceiver.moc"

#include "lengthprefixcodec.h"

#include <QTest>

namespace {

QByteArray header(quint32 length)
{
    const char bytes[4] = { char(length >> 24), char(length >> 16), char(length >> 8), char(length) };
    return QByteArray(bytes, 4);
}

QList<QByteArray> drain(LengthPrefixCodec &codec)
{
    QList<QByteArray> messages;
    QByteArray message;
    while (codec.next(&message) == LengthPrefixCodec::Result::Message)
        messages << message;
    return messages;
}

} // namespace

class tst_LengthPrefixCodec : public QObject
{
    Q_OBJECT

private slots:
    void encodeIsBigEndianLengthThenBytes()
    {
        QCOMPARE(LengthPrefixCodec::encode("abc"), header(3) + "abc");
        QCOMPARE(LengthPrefixCodec::encode(QByteArray()), header(0));
        QCOMPARE(LengthPrefixCodec::encode(QByteArray(300, 'x')).left(4), QByteArray("\x00\x00\x01\x2c", 4));
    }

    // Every way of cutting a stream in two, inside a header, a payload and between messages.
    void reassemblyAcrossAnySplit_data()
    {
        QTest::addColumn<QList<QByteArray>>("messages");
        QTest::newRow("three") << QList<QByteArray> { "first", QByteArray("\x00\x01\x02", 3), "third" };
        QTest::newRow("empty ones") << QList<QByteArray> { QByteArray(), "x", QByteArray() };
        QTest::newRow("large") << QList<QByteArray> { QByteArray(70000, 'q'), "tail" };
    }

    void reassemblyAcrossAnySplit()
    {
        QFETCH(QList<QByteArray>, messages);
        QByteArray stream;
        for (const QByteArray &message : messages)
            stream += LengthPrefixCodec::encode(message);
        const int step = stream.size() > 1000 ? 997 : 1;
        for (int cut = 0; cut <= stream.size(); cut += step) {
            LengthPrefixCodec codec;
            codec.feed(stream.left(cut));
            QList<QByteArray> received = drain(codec);
            codec.feed(stream.mid(cut));
            received << drain(codec);
            QCOMPARE(received, messages);
            QCOMPARE(codec.bufferedBytes(), 0);
        }
    }

    void byteByByte()
    {
        const QByteArray stream = LengthPrefixCodec::encode("ab") + LengthPrefixCodec::encode(QByteArray());
        LengthPrefixCodec codec;
        QList<QByteArray> received;
        for (char c : stream) {
            codec.feed(&c, 1);
            received << drain(codec);
        }
        QCOMPARE(received, (QList<QByteArray> { "ab", QByteArray() }));
    }

    // The largest allowed length is waited for; one more is refused at once, before any payload.
    void lengthLimit()
    {
        LengthPrefixCodec waiting;
        waiting.feed(header(LengthPrefixCodec::MaxMessageLength));
        QByteArray message;
        QCOMPARE(waiting.next(&message), LengthPrefixCodec::Result::NeedMore);

        LengthPrefixCodec refusing;
        refusing.feed(LengthPrefixCodec::encode("ok") + header(LengthPrefixCodec::MaxMessageLength + 1));
        QCOMPARE(refusing.next(&message), LengthPrefixCodec::Result::Message);
        QCOMPARE(message, QByteArray("ok"));
        QCOMPARE(refusing.next(&message), LengthPrefixCodec::Result::Error);
        QVERIFY(refusing.errorText().contains("exceeds the limit"));
        // Broken for good: later bytes are not taken as a fresh start.
        refusing.feed(LengthPrefixCodec::encode("late"));
        QCOMPARE(refusing.next(&message), LengthPrefixCodec::Result::Error);
        refusing.reset();
        refusing.feed(LengthPrefixCodec::encode("again"));
        QCOMPARE(drain(refusing), QList<QByteArray> { "again" });
    }
};

QTEST_GUILESS_MAIN(tst_LengthPrefixCodec)
#include "tst_lengthprefixcodec.moc"

#include "framecodec.h"

#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray repetitive(int size)
{
    const QByteArray line("The quick brown fox jumps over the lazy dog. ");
    return line.repeated(size / line.size() + 1).left(size);
}

QByteArray randomBytes(int size, quint32 seed = 1)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

QByteArray rawFrame(quint16 typeWord, const QByteArray &payload)
{
    QByteArray frame(FrameCodec::HeaderSize, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size() + 2), frame.data());
    qToBigEndian<quint16>(typeWord, frame.data() + 4);
    return frame + payload;
}

QByteArray lengthOnly(quint32 length)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian<quint32>(length, bytes.data());
    return bytes;
}

QList<FrameCodec::Frame> drain(FrameCodec &codec)
{
    QList<FrameCodec::Frame> frames;
    FrameCodec::Frame frame;
    while (codec.next(&frame) == FrameCodec::Result::Frame)
        frames << frame;
    return frames;
}

} // namespace

class tst_FrameCodec : public QObject
{
    Q_OBJECT

private slots:
    void compressionRule_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("peerCompresses");
        QTest::addColumn<bool>("tried");
        QTest::addColumn<bool>("compressed");

        QTest::newRow("1999 repetitive") << repetitive(1999) << true << false << false;
        QTest::newRow("2000 repetitive") << repetitive(2000) << true << true << true;
        QTest::newRow("2000 random") << randomBytes(2000) << true << true << false;
        QTest::newRow("1 MB, not announced") << repetitive(1 << 20) << false << false << false;
        QTest::newRow("1 MB repetitive") << repetitive(1 << 20) << true << true << true;
        QTest::newRow("empty") << QByteArray() << true << false << false;
    }

    void compressionRule()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, peerCompresses);
        QFETCH(bool, tried);
        QFETCH(bool, compressed);

        const auto encoded = FrameCodec::encode(FrameCodec::MenuFrame, payload, peerCompresses);
        QCOMPARE(encoded.compressionTried, tried);
        QCOMPARE(encoded.compressed, compressed);
        QCOMPARE(encoded.payloadSize, payload.size());

        const QByteArray &bytes = encoded.bytes;
        QCOMPARE(bytes.size(), FrameCodec::HeaderSize + encoded.sentPayloadSize);
        QCOMPARE(qFromBigEndian<quint32>(bytes.constData()), quint32(encoded.sentPayloadSize + 2));
        const quint16 typeWord = qFromBigEndian<quint16>(bytes.constData() + 4);
        QCOMPARE(typeWord, quint16(compressed ? 0x8001 : 0x0001));
        const QByteArray sent = bytes.mid(FrameCodec::HeaderSize);
        if (compressed) {
            // Same bytes as qCompress at the default level, so any peer using qUncompress reads them.
            QCOMPARE(sent, qCompress(payload, -1));
            QVERIFY(sent.size() < payload.size());
        } else {
            QCOMPARE(sent, payload);
        }

        FrameCodec decoder;
        decoder.feed(bytes);
        FrameCodec::Frame frame;
        QCOMPARE(decoder.next(&frame), FrameCodec::Result::Frame);
        QCOMPARE(frame.type, quint16(FrameCodec::MenuFrame));
        QCOMPARE(frame.compressed, compressed);
        QCOMPARE(frame.payload, payload);
        QCOMPARE(decoder.next(&frame), FrameCodec::Result::NeedMore);
    }

    void channelPayload()
    {
        const QByteArray payload = FrameCodec::channelPayload(0x0102, "abc");
        QCOMPARE(payload,
                 QByteArray("\x01\x02"
                            "abc"));

        // An empty block still carries its channel id: L = 4.
        const auto encoded = FrameCodec::encode(FrameCodec::ChannelFrame,
                                                FrameCodec::channelPayload(0xfffe, QByteArray()), true);
        QCOMPARE(encoded.bytes, QByteArray("\x00\x00\x00\x04\x00\x02\xff\xfe", 8));

        FrameCodec::ChannelData data;
        QVERIFY(FrameCodec::splitChannelPayload(payload, &data));
        QCOMPARE(data.channelId, quint16(0x0102));
        QCOMPARE(QByteArray(data.data, data.size), QByteArray("abc"));
        QVERIFY(FrameCodec::splitChannelPayload(QByteArray("\xff\xfe", 2), &data));
        QCOMPARE(data.channelId, quint16(0xfffe));
        QCOMPARE(data.size, 0);
        QVERIFY(!FrameCodec::splitChannelPayload(QByteArray("\x01"), &data));
    }

    // Every way of cutting a stream of three frames in two, including inside each length field.
    void reassemblyAcrossAnySplit()
    {
        const QByteArray stream = rawFrame(0, "first") + rawFrame(2, QByteArray("\x00\x07xyz", 5))
            + FrameCodec::encode(1, repetitive(5000), true).bytes;
        for (int cut = 0; cut <= stream.size(); ++cut) {
            FrameCodec codec;
            codec.feed(stream.left(cut));
            QList<FrameCodec::Frame> frames = drain(codec);
            if (cut > 0 && cut < 4)
                QVERIFY(!codec.lengthPending());
            codec.feed(stream.mid(cut));
            frames << drain(codec);
            QCOMPARE(frames.size(), 3);
            QCOMPARE(frames[0].payload, QByteArray("first"));
            QCOMPARE(frames[1].type, quint16(2));
            QCOMPARE(frames[1].payload, QByteArray("\x00\x07xyz", 5));
            QCOMPARE(frames[2].payload, repetitive(5000));
            QCOMPARE(codec.bufferedBytes(), 0);
        }
    }

    void byteByByte()
    {
        const QByteArray stream = rawFrame(0, "a") + rawFrame(1, QByteArray()) + rawFrame(2, "\x01\x02");
        FrameCodec codec;
        QList<FrameCodec::Frame> frames;
        for (char c : stream) {
            codec.feed(&c, 1);
            frames << drain(codec);
        }
        QCOMPARE(frames.size(), 3);
        QCOMPARE(frames[0].payload, QByteArray("a"));
        QCOMPARE(frames[1].type, quint16(1));
        QVERIFY(frames[1].payload.isEmpty());
        QCOMPARE(frames[2].payload, QByteArray("\x01\x02"));
    }

    void manyFramesInOneFeedInOrderUnknownSkipped()
    {
        QByteArray stream;
        for (int i = 0; i < 500; ++i) {
            stream += rawFrame(quint16(i % 3), QByteArray::number(i));
            if (i % 100 == 0)
                stream += rawFrame(7, "unknown") + rawFrame(0x8000 | 0x7fff, "also unknown");
        }
        FrameCodec codec;
        codec.feed(stream);
        const auto frames = drain(codec);
        QCOMPARE(frames.size(), 500);
        for (int i = 0; i < 500; ++i) {
            QCOMPARE(frames[i].type, quint16(i % 3));
            QCOMPARE(frames[i].payload, QByteArray::number(i));
        }
    }

    void undecompressableDeliveredEmpty_data()
    {
        QTest::addColumn<QByteArray>("payload");

        const QByteArray good = qCompress(repetitive(3000));
        QByteArray corrupt = good;
        corrupt[10] = char(corrupt[10] ^ 0x55);
        corrupt[11] = char(corrupt[11] ^ 0x55);
        QTest::newRow("corrupt stream") << corrupt;
        QTest::newRow("truncated stream") << good.left(good.size() / 2);
        QTest::newRow("shorter than the size field") << QByteArray("\x00\x01", 2);
        // The stream inflates past its announced size: refused, not grown.
        QByteArray understated = good;
        qToBigEndian<quint32>(100, understated.data());
        QTest::newRow("size understated") << understated;
        // Decompression bombs: refused from the header alone.
        QByteArray huge = good;
        qToBigEndian<quint32>(FrameCodec::MaxFrameLength + 1, huge.data());
        QTest::newRow("announced above the maximum") << huge;
        QByteArray impossible("\x01\x00\x00\x00"
                              "\x78\x9c\x03\x00",
                              8);
        QTest::newRow("announced beyond zlib's ratio") << impossible;
    }

    void undecompressableDeliveredEmpty()
    {
        QFETCH(QByteArray, payload);

        FrameCodec codec;
        codec.feed(rawFrame(0x8000 | 1, payload) + rawFrame(0, "after"));
        FrameCodec::Frame frame;
        QCOMPARE(codec.next(&frame), FrameCodec::Result::Frame);
        QCOMPARE(frame.type, quint16(1));
        QVERIFY(frame.compressed);
        QVERIFY(frame.decompressFailed);
        QVERIFY(frame.payload.isEmpty());
        QCOMPARE(frame.length, quint32(payload.size() + 2));

        QCOMPARE(codec.next(&frame), FrameCodec::Result::Frame);
        QCOMPARE(frame.payload, QByteArray("after"));
        QVERIFY(!frame.decompressFailed);
    }

    void compressedEdgeSizes()
    {
        // qCompress of nothing is four zero bytes; an overstated size is accepted as qUncompress does.
        QByteArray out;
        QVERIFY(FrameCodec::uncompress(qCompress(QByteArray()).constData(), 4, &out));
        QVERIFY(out.isEmpty());
        QByteArray overstated = qCompress(repetitive(3000));
        qToBigEndian<quint32>(4000, overstated.data());
        QVERIFY(FrameCodec::uncompress(overstated.constData(), overstated.size(), &out));
        QCOMPARE(out, repetitive(3000));
        QCOMPARE(FrameCodec::compress("", 0), qCompress(QByteArray()));
    }

    void badLength_data()
    {
        QTest::addColumn<quint32>("length");
        QTest::addColumn<QString>("error");

        QTest::newRow("0") << 0u << "Invalid frame length 0: too short for a frame type";
        QTest::newRow("1") << 1u << "Invalid frame length 1: too short for a frame type";
        QTest::newRow("max + 1") << FrameCodec::MaxFrameLength + 1
                                 << "Frame length 67108865 exceeds the limit of 67108864 bytes";
        QTest::newRow("0xffffffff") << 0xffffffffu
                                    << "Frame length 4294967295 exceeds the limit of 67108864 bytes";
    }

    void badLength()
    {
        QFETCH(quint32, length);
        QFETCH(QString, error);

        FrameCodec codec;
        codec.feed(rawFrame(0, "ok"));
        codec.feed(lengthOnly(length)); // refused on the length alone, nothing more is awaited
        FrameCodec::Frame frame;
        QCOMPARE(codec.next(&frame), FrameCodec::Result::Frame);
        QCOMPARE(codec.next(&frame), FrameCodec::Result::Error);
        QCOMPARE(codec.errorText(), error);
        codec.feed(rawFrame(0, "ignored"));
        QCOMPARE(codec.next(&frame), FrameCodec::Result::Error);

        codec.reset();
        codec.feed(rawFrame(0, "fresh"));
        QCOMPARE(codec.next(&frame), FrameCodec::Result::Frame);
        QCOMPARE(frame.payload, QByteArray("fresh"));
    }

    void maximumLengthIsAwaited()
    {
        FrameCodec codec;
        codec.feed(lengthOnly(FrameCodec::MaxFrameLength) + QByteArray("\x00\x00", 2));
        FrameCodec::Frame frame;
        QCOMPARE(codec.next(&frame), FrameCodec::Result::NeedMore);
        QVERIFY(codec.lengthPending());
        QVERIFY(!codec.hasError());
    }
};

QTEST_GUILESS_MAIN(tst_FrameCodec)
#include "tst_framecodec.moc"

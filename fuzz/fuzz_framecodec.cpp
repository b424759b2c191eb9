#include "fuzzsupport.h"

#include "framecodec.h"

// The hub link's framing: the first byte picks where the stream is cut into reads and whether the
// decoder has the small limit of a peer that has not logged in; the rest is the stream.
QList<QByteArray> fuzzSeeds()
{
    const QByteArray text = QByteArray("The quick brown fox jumps over the lazy dog. ").repeated(100);
    QByteArray stream = FrameCodec::encode(FrameCodec::EnvelopeFrame, "hello", false).bytes;
    stream += FrameCodec::encode(FrameCodec::MenuFrame, text, true).bytes;
    stream += FrameCodec::encode(FrameCodec::ChannelFrame, FrameCodec::channelPayload(7, text), true).bytes;
    stream += FrameCodec::encode(FrameCodec::ChannelFrame, FrameCodec::channelPayload(1, "x"), false).bytes;
    return { '\x00' + stream, '\x85' + stream, '\x03' + FrameCodec::encode(5, "unknown", false).bytes };
}

void fuzzOne(const QByteArray &input)
{
    if (input.isEmpty())
        return;
    const int step = (quint8(input.at(0)) & 0x7f) + 1;
    FrameCodec codec;
    if (input.at(0) & 0x80)
        codec.setFrameLimit(64 * 1024);
    const QByteArray stream = input.mid(1);
    for (int at = 0; at < stream.size() && !codec.hasError(); at += step) {
        codec.feed(stream.constData() + at, qMin(step, stream.size() - at));
        FrameCodec::Frame frame;
        FrameCodec::Result result;
        while ((result = codec.next(&frame)) == FrameCodec::Result::Frame) {
            FrameCodec::ChannelData channel;
            if (frame.type == FrameCodec::ChannelFrame && FrameCodec::splitChannelPayload(frame.payload, &channel))
                FUZZ_CHECK(channel.size == frame.payload.size() - FrameCodec::ChannelIdSize);
            FUZZ_CHECK(quint32(frame.payload.size()) <= codec.frameLimit());
        }
    }
    QByteArray inflated;
    if (FrameCodec::uncompress(stream.constData(), stream.size(), &inflated, 1024 * 1024))
        FUZZ_CHECK(inflated.size() <= 1024 * 1024);
}

#include "fuzzsupport.h"

#include "lengthprefixcodec.h"

// The debug port's framing; the first byte picks where the stream is cut into reads.
QList<QByteArray> fuzzSeeds()
{
    QByteArray stream = LengthPrefixCodec::encode("first") + LengthPrefixCodec::encode(QByteArray())
        + LengthPrefixCodec::encode(QByteArray(300, 'x'));
    return { '\x00' + stream, '\x02' + stream };
}

void fuzzOne(const QByteArray &input)
{
    if (input.isEmpty())
        return;
    const int step = quint8(input.at(0)) + 1;
    const QByteArray stream = input.mid(1);
    LengthPrefixCodec codec;
    for (int at = 0; at < stream.size() && !codec.hasError(); at += step) {
        codec.feed(stream.constData() + at, qMin(step, stream.size() - at));
        QByteArray message;
        while (codec.next(&message) == LengthPrefixCodec::Result::Message)
            FUZZ_CHECK(message.size() <= stream.size());
    }
}

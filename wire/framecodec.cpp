#include "framecodec.h"

#include <QtEndian>

#include <zlib.h>

#include <cstring>

namespace {

constexpr int CompressedSizeField = 4;
// Deflate cannot expand more than 1032:1 (a 258-byte match in two bits); the slack covers the few
// bytes of a tiny stream's header and trailer.
constexpr quint64 MaxZlibRatio = 1032;
constexpr quint64 ZlibRatioSlack = 1024;

void writeHeader(char *out, quint32 length, quint16 typeWord)
{
    qToBigEndian<quint32>(length, out);
    qToBigEndian<quint16>(typeWord, out + FrameCodec::LengthSize);
}

} // namespace

FrameCodec::Encoded FrameCodec::encode(quint16 type, const QByteArray &payload, bool peerCompresses)
{
    return encode(type, payload.constData(), payload.size(), peerCompresses);
}

FrameCodec::Encoded FrameCodec::encode(quint16 type, const char *payload, int size, bool peerCompresses)
{
    Encoded result;
    result.payloadSize = size;
    type &= TypeMask;

    if (peerCompresses && size >= CompressionThreshold) {
        result.compressionTried = true;
        // Compress straight into the frame so that the usual case needs no further copy.
        uLongf zlibSize = compressBound(uLong(size));
        QByteArray frame(int(HeaderSize + CompressedSizeField + zlibSize), Qt::Uninitialized);
        auto *dest = reinterpret_cast<Bytef *>(frame.data() + HeaderSize + CompressedSizeField);
        if (compress2(dest, &zlibSize, reinterpret_cast<const Bytef *>(payload), uLong(size),
                      Z_DEFAULT_COMPRESSION)
                == Z_OK
            && CompressedSizeField + zlibSize < uLong(size)) {
            const int sent = int(CompressedSizeField + zlibSize);
            writeHeader(frame.data(), quint32(TypeWordSize + sent), type | CompressedFlag);
            qToBigEndian<quint32>(quint32(size), frame.data() + HeaderSize);
            frame.resize(HeaderSize + sent);
            result.bytes = std::move(frame);
            result.sentPayloadSize = sent;
            result.compressed = true;
            return result;
        }
    }

    result.bytes = QByteArray(HeaderSize + size, Qt::Uninitialized);
    writeHeader(result.bytes.data(), quint32(TypeWordSize + size), type);
    if (size > 0)
        std::memcpy(result.bytes.data() + HeaderSize, payload, size_t(size));
    result.sentPayloadSize = size;
    return result;
}

QByteArray FrameCodec::channelPayload(quint16 channelId, const QByteArray &data)
{
    QByteArray payload(ChannelIdSize + data.size(), Qt::Uninitialized);
    qToBigEndian<quint16>(channelId, payload.data());
    if (!data.isEmpty())
        std::memcpy(payload.data() + ChannelIdSize, data.constData(), size_t(data.size()));
    return payload;
}

bool FrameCodec::splitChannelPayload(const QByteArray &payload, ChannelData *out)
{
    if (payload.size() < ChannelIdSize)
        return false;
    out->channelId = qFromBigEndian<quint16>(payload.constData());
    out->data = payload.constData() + ChannelIdSize;
    out->size = payload.size() - ChannelIdSize;
    return true;
}

QByteArray FrameCodec::compress(const char *data, int size)
{
    if (size <= 0)
        return QByteArray(CompressedSizeField, '\0'); // what qCompress() gives for no data
    uLongf zlibSize = compressBound(uLong(size));
    QByteArray out(int(CompressedSizeField + zlibSize), Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(size), out.data());
    if (compress2(reinterpret_cast<Bytef *>(out.data() + CompressedSizeField), &zlibSize,
                  reinterpret_cast<const Bytef *>(data), uLong(size), Z_DEFAULT_COMPRESSION)
        != Z_OK)
        return QByteArray();
    out.resize(int(CompressedSizeField + zlibSize));
    return out;
}

bool FrameCodec::uncompress(const char *data, int size, QByteArray *out, quint32 limit)
{
    out->clear();
    if (size < CompressedSizeField)
        return false;
    const quint32 announced = qFromBigEndian<quint32>(data);
    const quint64 streamSize = quint64(size - CompressedSizeField);
    if (announced == 0 && streamSize == 0)
        return true;
    if (announced > limit || announced > streamSize * MaxZlibRatio + ZlibRatioSlack)
        return false;

    // The output never grows past the announced size: a stream that inflates further fails here.
    QByteArray result(int(announced), Qt::Uninitialized);
    uLongf produced = announced;
    if (::uncompress(reinterpret_cast<Bytef *>(result.data()), &produced,
                     reinterpret_cast<const Bytef *>(data + CompressedSizeField), uLong(streamSize))
        != Z_OK)
        return false;
    result.resize(int(produced));
    *out = std::move(result);
    return true;
}

void FrameCodec::feed(const QByteArray &bytes)
{
    if (bufferedBytes() == 0) {
        m_buffer = bytes; // shares the data, no copy
        m_offset = 0;
        return;
    }
    feed(bytes.constData(), bytes.size());
}

void FrameCodec::feed(const char *data, qint64 size)
{
    if (size <= 0)
        return;
    if (m_offset > 0) {
        // Only a partial frame is left in front; moving it keeps the buffer from growing forever.
        m_buffer.remove(0, m_offset);
        m_offset = 0;
    }
    m_buffer.append(data, int(size));
}

FrameCodec::Result FrameCodec::next(Frame *frame)
{
    for (;;) {
        if (hasError())
            return Result::Error;

        const char *unread = m_buffer.constData() + m_offset;
        const qint64 available = bufferedBytes();
        if (!m_lengthPending) {
            if (available < LengthSize)
                return Result::NeedMore;
            const quint32 length = qFromBigEndian<quint32>(unread);
            if (length < quint32(TypeWordSize)) {
                m_errorText
                    = QStringLiteral("Invalid frame length %1: too short for a frame type").arg(length);
                return Result::Error;
            }
            if (length > m_frameLimit) {
                m_errorText = QStringLiteral("Frame length %1 exceeds the limit of %2 bytes")
                                  .arg(length)
                                  .arg(m_frameLimit);
                return Result::Error;
            }
            m_offset += LengthSize;
            m_lengthPending = true;
            m_pendingLength = length;
            continue;
        }

        if (available < m_pendingLength)
            return Result::NeedMore;

        const quint16 typeWord = qFromBigEndian<quint16>(unread);
        const quint16 type = typeWord & TypeMask;
        const bool known = type <= ChannelFrame; // unknown frame types are skipped
        if (known) {
            const char *payload = unread + TypeWordSize;
            const int payloadSize = int(m_pendingLength) - TypeWordSize;
            frame->type = type;
            frame->length = m_pendingLength;
            frame->compressed = (typeWord & CompressedFlag) != 0;
            frame->decompressFailed = false;
            if (frame->compressed)
                frame->decompressFailed = !uncompress(payload, payloadSize, &frame->payload, m_frameLimit);
            else
                frame->payload = QByteArray(payload, payloadSize);
        }

        m_offset += int(m_pendingLength);
        m_lengthPending = false;
        m_pendingLength = 0;
        if (m_offset == m_buffer.size()) {
            m_buffer.clear();
            m_offset = 0;
        }
        if (known)
            return Result::Frame;
    }
}

void FrameCodec::reset()
{
    m_buffer.clear();
    m_offset = 0;
    m_lengthPending = false;
    m_pendingLength = 0;
    m_errorText.clear();
}

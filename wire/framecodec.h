#pragma once

#include <QByteArray>
#include <QString>

// Framing of the hub link, independent of any socket so that both ends can use it.
//
// A frame is a 4-byte big-endian length L (the bytes that follow), a 2-byte big-endian type word
// (bit 0x8000: payload compressed; bits 0-14: frame type) and L - 2 payload bytes. A compressed
// payload has the qCompress() layout: a 4-byte big-endian uncompressed size, then a zlib stream.
//
// The decoder is fed bytes as they arrive, split anywhere, and yields the complete frames in order;
// frames of unknown type are skipped. A frame whose length is impossible or larger than
// MaxFrameLength puts the decoder into an error state instead of being waited for.
//
// The encoder applies the sending rule: compress only when the peer announced it, only payloads of
// at least CompressionThreshold bytes, and send the compressed form only when strictly smaller.
class FrameCodec
{
public:
    enum FrameType : quint16 {
        EnvelopeFrame = 0,
        MenuFrame = 1,
        ChannelFrame = 2,
    };

    static constexpr quint16 CompressedFlag = 0x8000;
    static constexpr quint16 TypeMask = 0x7fff;
    static constexpr int LengthSize = 4;
    static constexpr int TypeWordSize = 2;
    static constexpr int HeaderSize = LengthSize + TypeWordSize;
    static constexpr int ChannelIdSize = 2;
    static constexpr int CompressionThreshold = 2000;
    // Upper bound for a frame's length and for the announced size of a compressed payload: a peer
    // claiming more is broken or hostile, and nothing of that size is waited for or allocated.
    static constexpr quint32 MaxFrameLength = 64 * 1024 * 1024;

    struct Frame
    {
        quint16 type = 0;
        QByteArray payload; // decompressed when the frame was compressed
        quint32 length = 0; // L as it was on the wire
        bool compressed = false;
        bool decompressFailed = false; // compressed, but unreadable: payload is empty
    };

    enum class Result {
        NeedMore, // no complete frame buffered
        Frame, // one frame taken
        Error, // the stream is unusable; see errorText()
    };

    struct Encoded
    {
        QByteArray bytes; // length, type word and payload, ready to write
        int payloadSize = 0; // before compression
        int sentPayloadSize = 0; // as written after the type word
        bool compressionTried = false;
        bool compressed = false;
    };

    static Encoded encode(quint16 type, const QByteArray &payload, bool peerCompresses);
    static Encoded encode(quint16 type, const char *payload, int size, bool peerCompresses);

    // Payload of a channel frame: the channel id (big-endian), then the application's bytes.
    static QByteArray channelPayload(quint16 channelId, const QByteArray &data);

    // A channel frame's payload taken apart; the bytes point into the payload it came from.
    struct ChannelData
    {
        quint16 channelId = 0;
        const char *data = nullptr;
        int size = 0;
    };
    // False when the payload is too short to hold a channel id.
    static bool splitChannelPayload(const QByteArray &payload, ChannelData *out);

    // qCompress() at the default level, and its inverse. uncompress() refuses announced sizes above
    // the limit or beyond what zlib could produce from the input, before allocating anything.
    static QByteArray compress(const char *data, int size);
    static bool uncompress(const char *data, int size, QByteArray *out, quint32 limit = MaxFrameLength);

    // A lower limit for this decoder's frames and their inflated payloads (a peer that has not
    // logged in yet, say); at most MaxFrameLength.
    void setFrameLimit(quint32 limit) { m_frameLimit = qMin(limit, MaxFrameLength); }
    quint32 frameLimit() const { return m_frameLimit; }

    void feed(const QByteArray &bytes);
    void feed(const char *data, qint64 size);
    Result next(Frame *frame);

    QString errorText() const { return m_errorText; }
    bool hasError() const { return !m_errorText.isEmpty(); }
    bool lengthPending() const { return m_lengthPending; }
    qint64 bufferedBytes() const { return m_buffer.size() - m_offset; }
    void reset();

private:
    QByteArray m_buffer;
    int m_offset = 0; // start of the unread bytes in m_buffer
    bool m_lengthPending = false;
    quint32 m_pendingLength = 0;
    quint32 m_frameLimit = MaxFrameLength;
    QString m_errorText;
};

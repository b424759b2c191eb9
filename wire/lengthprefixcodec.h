#pragma once

#include <QByteArray>
#include <QString>

// Framing of the debug port, independent of any socket so that both ends can use it: every message
// is a 4-byte big-endian length followed by that many bytes. The decoder is fed bytes as they
// arrive, split anywhere, and yields whole messages in order; an announced length above
// MaxMessageLength puts it into an error state instead of being waited for.
class LengthPrefixCodec
{
public:
    static constexpr int HeaderSize = 4;
    static constexpr quint32 MaxMessageLength = 64 * 1024 * 1024;

    enum class Result {
        NeedMore, // no complete message buffered
        Message, // one message taken
        Error, // the stream is unusable; see errorText()
    };

    static QByteArray encode(const QByteArray &message);

    void feed(const QByteArray &bytes);
    void feed(const char *data, qint64 size);
    Result next(QByteArray *message);

    QString errorText() const { return m_errorText; }
    bool hasError() const { return !m_errorText.isEmpty(); }
    qint64 bufferedBytes() const { return m_buffer.size() - m_offset; }
    void reset();

private:
    QByteArray m_buffer;
    int m_offset = 0; // start of the unread bytes in m_buffer
    QString m_errorText;
};

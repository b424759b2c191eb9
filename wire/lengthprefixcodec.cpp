#include "lengthprefixcodec.h"

#include <QtEndian>

#include <cstring>

QByteArray LengthPrefixCodec::encode(const QByteArray &message)
{
    QByteArray bytes(HeaderSize + message.size(), Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(message.size()), bytes.data());
    if (!message.isEmpty())
        std::memcpy(bytes.data() + HeaderSize, message.constData(), size_t(message.size()));
    return bytes;
}

void LengthPrefixCodec::feed(const QByteArray &bytes)
{
    feed(bytes.constData(), bytes.size());
}

void LengthPrefixCodec::feed(const char *data, qint64 size)
{
    if (size <= 0 || hasError())
        return;
    // Drop what was consumed before growing, so a long session does not keep old messages around.
    if (m_offset > 0 && (m_offset >= m_buffer.size() / 2 || m_offset == m_buffer.size())) {
        m_buffer.remove(0, m_offset);
        m_offset = 0;
    }
    m_buffer.append(data, int(size));
}

LengthPrefixCodec::Result LengthPrefixCodec::next(QByteArray *message)
{
    if (hasError())
        return Result::Error;
    const qint64 available = bufferedBytes();
    if (available < HeaderSize)
        return Result::NeedMore;
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData() + m_offset);
    if (length > MaxMessageLength) {
        m_errorText = QStringLiteral("message of %1 bytes exceeds the limit of %2").arg(length).arg(MaxMessageLength);
        m_buffer.clear();
        m_offset = 0;
        return Result::Error;
    }
    if (available - HeaderSize < qint64(length))
        return Result::NeedMore;
    *message = m_buffer.mid(m_offset + HeaderSize, int(length));
    m_offset += HeaderSize + int(length);
    if (m_offset == m_buffer.size()) {
        m_buffer.clear();
        m_offset = 0;
    }
    return Result::Message;
}

void LengthPrefixCodec::reset()
{
    m_buffer.clear();
    m_offset = 0;
    m_errorText.clear();
}

#include "datapump.h"

#include <cstring>

DataPump::DataPump(QObject *parent)
    : QIODevice(parent)
{
}

qint64 DataPump::bytesAvailable() const
{
    return m_buffer.size() - m_offset + QIODevice::bytesAvailable();
}

void DataPump::dataIn(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    if (m_offset > 0 && m_offset >= m_buffer.size() / 2) {
        m_buffer.remove(0, m_offset);
        m_offset = 0;
    }
    m_buffer.append(data);
    if (m_buffer.size() - m_offset > MaxBacklogBytes)
        setBacklogFull(true);
    emit readyRead();
}

qint64 DataPump::readData(char *data, qint64 maxSize)
{
    const int count = int(std::min<qint64>(maxSize, m_buffer.size() - m_offset));
    std::memcpy(data, m_buffer.constData() + m_offset, size_t(count));
    m_offset += count;
    if (m_offset == m_buffer.size()) {
        m_buffer.clear();
        m_offset = 0;
    }
    if (m_buffer.size() - m_offset < ResumeBacklogBytes)
        setBacklogFull(false);
    return count;
}

qint64 DataPump::writeData(const char *data, qint64 size)
{
    emit dataOut(QByteArray(data, int(size)));
    return size;
}

void DataPump::setBacklogFull(bool full)
{
    if (full == m_backlogFull)
        return;
    m_backlogFull = full;
    emit backlogFull(full);
}

#include "datapump.h"

#include <cstring>

DataPump::DataPump(QObject *parent)
    : QIODevice(parent)
{
}

qint64 DataPump::bytesAvailable() const
{
    return m_buffer.size() + QIODevice::bytesAvailable();
}

void DataPump::dataIn(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    m_buffer.append(data);
    emit readyRead();
}

qint64 DataPump::readData(char *data, qint64 maxSize)
{
    const int count = int(std::min<qint64>(maxSize, m_buffer.size()));
    std::memcpy(data, m_buffer.constData(), size_t(count));
    m_buffer.remove(0, count);
    return count;
}

qint64 DataPump::writeData(const char *data, qint64 size)
{
    emit dataOut(QByteArray(data, int(size)));
    return size;
}

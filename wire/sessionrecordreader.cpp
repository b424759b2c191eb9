#include "sessionrecordreader.h"

#include "framecodec.h"

#include <QFile>
#include <QtEndian>

namespace {

bool readExactly(QIODevice *device, char *out, qint64 size)
{
    return device->read(out, size) == size;
}

} // namespace

SessionRecordReader::SessionRecordReader() = default;
SessionRecordReader::~SessionRecordReader() = default;

bool SessionRecordReader::open(const QString &path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        m_device = nullptr;
        return fail(QStringLiteral("Cannot open the recording %1: %2").arg(path, file->errorString()));
    }
    m_ownDevice = std::move(file);
    m_device = m_ownDevice.get();
    return readHeader();
}

bool SessionRecordReader::open(QIODevice *device)
{
    m_ownDevice.reset();
    m_device = device;
    return readHeader();
}

bool SessionRecordReader::fail(const QString &text)
{
    m_errorText = text;
    return false;
}

bool SessionRecordReader::readHeader()
{
    m_errorText.clear();
    m_headerText.clear();
    char head[SessionRecord::MagicSize + 8];
    if (!readExactly(m_device, head, sizeof head)
        || QByteArray(head, SessionRecord::MagicSize)
            != QByteArray(SessionRecord::Magic, SessionRecord::MagicSize))
        return fail(QStringLiteral("Not a session recording"));
    const quint16 version = qFromBigEndian<quint16>(head + SessionRecord::MagicSize);
    m_flags = qFromBigEndian<quint16>(head + SessionRecord::MagicSize + 2);
    const quint32 textSize = qFromBigEndian<quint32>(head + SessionRecord::MagicSize + 4);
    if (version != SessionRecord::Version)
        return fail(QStringLiteral("Unsupported recording version %1 (this program reads version %2)")
                        .arg(version)
                        .arg(SessionRecord::Version));
    if (textSize > SessionRecord::MaxHeaderTextBytes)
        return fail(QStringLiteral("Damaged recording: a header of %1 bytes").arg(textSize));
    const QByteArray text = m_device->read(textSize);
    if (text.size() != int(textSize))
        return fail(QStringLiteral("Damaged recording: it ends inside its header"));
    m_headerText = QString::fromUtf8(text);
    return true;
}

SessionRecordReader::Result SessionRecordReader::next(SessionRecord *record)
{
    if (!m_device || !m_errorText.isEmpty())
        return Result::Error;
    const qint64 offset = m_device->pos();
    char head[4 + SessionRecord::RecordHeadBytes];
    const qint64 got = m_device->read(head, sizeof head);
    if (got == 0)
        return Result::End;
    if (got != qint64(sizeof head)) {
        fail(QStringLiteral("Damaged recording: it ends inside the record at byte %1").arg(offset));
        return Result::Error;
    }
    const quint32 length = qFromBigEndian<quint32>(head);
    const quint8 direction = quint8(head[12]);
    const quint8 frameType = quint8(head[13]);
    if (length < SessionRecord::RecordHeadBytes
        || length - SessionRecord::RecordHeadBytes > SessionRecord::MaxDataBytes
        || direction > quint8(SessionRecord::Direction::Note) || frameType > FrameCodec::ChannelFrame) {
        fail(QStringLiteral("Damaged recording: the record at byte %1 is not valid").arg(offset));
        return Result::Error;
    }
    const qint64 dataSize = qint64(length) - SessionRecord::RecordHeadBytes;
    // A claimed size beyond the rest of a file is refused before it is allocated.
    if (!m_device->isSequential() && dataSize > m_device->size() - m_device->pos()) {
        fail(QStringLiteral("Damaged recording: it ends inside the record at byte %1").arg(offset));
        return Result::Error;
    }
    record->timeUs = qFromBigEndian<quint64>(head + 4);
    record->direction = SessionRecord::Direction(direction);
    record->frameType = frameType;
    record->channel = qFromBigEndian<quint16>(head + 14);
    record->data = m_device->read(dataSize);
    if (record->data.size() != dataSize) {
        fail(QStringLiteral("Damaged recording: it ends inside the record at byte %1").arg(offset));
        return Result::Error;
    }
    return Result::Record;
}

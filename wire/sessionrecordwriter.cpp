#include "sessionrecordwriter.h"

#include "framecodec.h"

#include <QDataStream>
#include <QDateTime>
#include <QDebug>
#include <QFileDevice>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Room kept for the note that ends a recording at its size bound.
constexpr qint64 NoteReserveBytes = 256;

} // namespace

SessionRecordWriter::~SessionRecordWriter()
{
    close();
}

bool SessionRecordWriter::open(const QString &path, Side side, const QString &program)
{
    close();
    m_errorText.clear();
    m_bytes = 0;
    m_path = path;
    m_file.setFileName(path);
#ifdef Q_OS_UNIX
    // Created private, not made private after: no moment when others may open it.
    const int fd
        = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const bool opened = fd >= 0 && ::fchmod(fd, 0600) == 0
        && m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    if (!opened && fd >= 0 && !m_file.isOpen())
        ::close(fd);
#else
    const bool opened = m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)
        && m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
    if (!opened) {
        m_errorText = QStringLiteral("Cannot create the recording %1: %2").arg(path, m_file.errorString());
        m_file.close();
        return false;
    }

    const QByteArray text = QStringLiteral("side=%1\nprogram=%2\nstarted=%3\nredacted=passwords,access codes,"
                                           "invisible fields\n")
                                .arg(side == Side::Client ? QStringLiteral("client") : QStringLiteral("hub"),
                                     program, QDateTime::currentDateTimeUtc().toString(Qt::ISODate))
                                .toUtf8()
                                .left(int(SessionRecord::MaxHeaderTextBytes));
    QByteArray head;
    QDataStream out(&head, QIODevice::WriteOnly);
    out.writeRawData(SessionRecord::Magic, SessionRecord::MagicSize);
    out << SessionRecord::Version << SessionRecord::RedactedFlag << quint32(text.size());
    out.writeRawData(text.constData(), text.size());
    if (m_file.write(head) != head.size()) {
        m_errorText = QStringLiteral("Cannot write the recording %1: %2").arg(path, m_file.errorString());
        m_file.close();
        return false;
    }
    m_bytes = head.size();
    m_clock.start();
    qInfo() << "Recording the session into" << path;
    return true;
}

void SessionRecordWriter::recordFrame(SessionRecord::Direction direction, quint16 frameType,
                                      const QByteArray &payload)
{
    if (!m_file.isOpen())
        return;
    quint16 channel = 0;
    QByteArray data = SessionRecord::frameMessage(frameType, payload, &channel);
    write(direction, frameType, channel, SessionRecord::redacted(direction, frameType, data));
}

void SessionRecordWriter::recordNote(const QString &text)
{
    if (m_file.isOpen())
        write(SessionRecord::Direction::Note, 0, 0, text.toUtf8());
}

void SessionRecordWriter::write(SessionRecord::Direction direction, quint16 frameType, quint16 channel,
                                const QByteArray &data)
{
    const qint64 size = 4 + qint64(SessionRecord::RecordHeadBytes) + data.size();
    const bool isNote = direction == SessionRecord::Direction::Note;
    if (data.size() > int(SessionRecord::MaxDataBytes)
        || m_bytes + size > m_maxBytes - (isNote ? 0 : NoteReserveBytes)) {
        if (!isNote)
            stop(QStringLiteral("Recording stopped: %1 would pass its limit of %2 bytes")
                     .arg(m_path)
                     .arg(m_maxBytes));
        return;
    }
    QByteArray bytes;
    bytes.reserve(int(size));
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint32(SessionRecord::RecordHeadBytes + data.size()) << quint64(m_clock.nsecsElapsed() / 1000)
        << quint8(direction) << quint8(frameType) << channel;
    out.writeRawData(data.constData(), data.size());
    if (m_file.write(bytes) != bytes.size()) {
        qWarning() << "Recording stopped: cannot write" << m_path << m_file.errorString();
        m_file.close();
        return;
    }
    m_bytes += bytes.size();
}

void SessionRecordWriter::stop(const QString &why)
{
    qWarning().noquote() << why;
    recordNote(why);
    m_file.close();
}

void SessionRecordWriter::close()
{
    if (m_file.isOpen()) {
        m_file.close();
        qInfo() << "Recording closed:" << m_path << m_bytes << "bytes";
    }
}

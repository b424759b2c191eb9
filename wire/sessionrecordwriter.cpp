#include "sessionrecordwriter.h"

#include "framecodec.h"

#include <QDataStream>
#include <QDateTime>
#include <QDebug>
#include <QFileDevice>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
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
    const QString suffix = QFileInfo(path).suffix().isEmpty() ? QString() : QLatin1Char('.') + QFileInfo(path).suffix();
    const QString stem = path.left(path.size() - suffix.size());
    for (int attempt = 1;; ++attempt) {
        if (attempt > MaxNameAttempts) {
            m_errorText = QStringLiteral("Cannot create the recording %1: every name up to -%2 is taken")
                              .arg(path)
                              .arg(MaxNameAttempts);
            return false;
        }
        m_path = attempt == 1 ? path : QStringLiteral("%1-%2%3").arg(stem).arg(attempt).arg(suffix);
        if (createFile(m_path))
            break;
        if (!m_errorText.isEmpty())
            return false;
    }
    if (m_path != path)
        qInfo().noquote() << "Recording:" << path << "exists; recording into" << m_path;

    const QByteArray text = QStringLiteral("side=%1\nprogram=%2\nstarted=%3\nredacted=%4\n")
                                .arg(side == Side::Client ? QStringLiteral("client") : QStringLiteral("hub"),
                                     program, QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
                                     m_redactor.headerText())
                                .toUtf8()
                                .left(int(SessionRecord::MaxHeaderTextBytes));
    QByteArray head;
    QDataStream out(&head, QIODevice::WriteOnly);
    out.writeRawData(SessionRecord::Magic, SessionRecord::MagicSize);
    out << SessionRecord::Version << SessionRecord::RedactedFlag << quint32(text.size());
    out.writeRawData(text.constData(), text.size());
    if (m_file.write(head) != head.size()) {
        m_errorText = QStringLiteral("Cannot write the recording %1: %2").arg(m_path, m_file.errorString());
        m_file.close();
        return false;
    }
    m_bytes = head.size();
    m_clock.start();
    qInfo() << "Recording the session into" << m_path;
    return true;
}

// False with no error text when the name is taken.
bool SessionRecordWriter::createFile(const QString &path)
{
    m_file.setFileName(path);
#ifdef Q_OS_UNIX
    // Created new and private, not made private after: no moment when others may open it, and no
    // earlier recording (or a link planted in its place) is ever written through.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          0600);
    if (fd < 0 && errno == EEXIST)
        return false;
    const bool opened = fd >= 0 && ::fchmod(fd, 0600) == 0
        && m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    if (!opened && fd >= 0 && !m_file.isOpen())
        ::close(fd);
#else
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return false;
    const bool opened = m_file.open(QIODevice::NewOnly | QIODevice::WriteOnly | QIODevice::Unbuffered)
        && m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
    if (!opened) {
        m_errorText = QStringLiteral("Cannot create the recording %1: %2").arg(path, m_file.errorString());
        m_file.close();
    }
    return opened;
}

void SessionRecordWriter::recordFrame(SessionRecord::Direction direction, quint16 frameType,
                                      const QByteArray &payload, const QByteArray &redactedPayload)
{
    if (!m_file.isOpen())
        return;
    quint16 channel = 0;
    const QByteArray data = SessionRecord::frameMessage(frameType, payload, &channel);
    quint16 sameChannel = 0;
    const QByteArray senderForm = redactedPayload.isNull()
        ? QByteArray()
        : SessionRecord::frameMessage(frameType, redactedPayload, &sameChannel);
    write(direction, frameType, channel, m_redactor.kept(direction, frameType, channel, data, senderForm));
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

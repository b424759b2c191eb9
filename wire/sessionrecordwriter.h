#pragma once

#include "sessionrecord.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>

// Writes a session recording as it goes: the header when opened, then each message as one record,
// written through to the file at once (a crash loses at most the message being written). Every
// message is blanked by SessionRecord::redacted first. The file is private to the user (0600). When
// the next record would take the file past maxBytes, a note says so, the file is closed and further
// messages are dropped with one log line.
class SessionRecordWriter
{
public:
    enum class Side { Client, Hub };

    static constexpr qint64 DefaultMaxBytes = 256LL * 1024 * 1024;

    SessionRecordWriter() = default;
    ~SessionRecordWriter();
    Q_DISABLE_COPY(SessionRecordWriter)

    // False with errorText() when the file cannot be created or written.
    bool open(const QString &path, Side side, const QString &program);
    void setMaxBytes(qint64 maxBytes) { m_maxBytes = maxBytes; }
    bool isRecording() const { return m_file.isOpen(); }
    QString errorText() const { return m_errorText; }
    QString fileName() const { return m_path; }
    qint64 bytesWritten() const { return m_bytes; }

    // frameType and data as the frame carried them; a channel frame's payload is split here.
    void recordFrame(SessionRecord::Direction direction, quint16 frameType, const QByteArray &payload);
    void recordNote(const QString &text);
    void close();

private:
    void write(SessionRecord::Direction direction, quint16 frameType, quint16 channel,
               const QByteArray &data);
    void stop(const QString &why);

    QFile m_file;
    QString m_path;
    QElapsedTimer m_clock;
    qint64 m_maxBytes = DefaultMaxBytes;
    qint64 m_bytes = 0;
    QString m_errorText;
};

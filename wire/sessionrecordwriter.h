#pragma once

#include "sessionrecord.h"
#include "sessionredactor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>

// Writes a session recording as it goes: the header when opened, then each message as one record,
// written through to the file at once (a crash loses at most the message being written). Every
// message is blanked by the writer's SessionRedactor first. The file is made new and private to the
// user (0600): an existing file is never opened, the name gets "-2", "-3" … instead. When the next
// record would take the file past maxBytes, a note says so, the file is closed and further messages
// are dropped with one log line.
class SessionRecordWriter
{
public:
    enum class Side { Client, Hub };

    static constexpr qint64 DefaultMaxBytes = 256LL * 1024 * 1024;

    SessionRecordWriter() = default;
    ~SessionRecordWriter();
    Q_DISABLE_COPY(SessionRecordWriter)

    static constexpr int MaxNameAttempts = 1000;

    // False with errorText() when no file can be created or written; fileName() is the one made.
    // Set what the redactor keeps before opening: the header says what was blanked.
    bool open(const QString &path, Side side, const QString &program);
    SessionRedactor &redactor() { return m_redactor; }
    void setMaxBytes(qint64 maxBytes) { m_maxBytes = maxBytes; }
    bool isRecording() const { return m_file.isOpen(); }
    QString errorText() const { return m_errorText; }
    QString fileName() const { return m_path; }
    qint64 bytesWritten() const { return m_bytes; }

    // frameType and payload as the frame carried them; a channel frame's payload is split here.
    // redactedPayload: the sender's blanked form of the same frame's payload, or null.
    void recordFrame(SessionRecord::Direction direction, quint16 frameType, const QByteArray &payload,
                     const QByteArray &redactedPayload = QByteArray());
    void recordNote(const QString &text);
    void close();

private:
    void write(SessionRecord::Direction direction, quint16 frameType, quint16 channel,
               const QByteArray &data);
    void stop(const QString &why);
    bool createFile(const QString &path);

    QFile m_file;
    QString m_path;
    QElapsedTimer m_clock;
    SessionRedactor m_redactor;
    qint64 m_maxBytes = DefaultMaxBytes;
    qint64 m_bytes = 0;
    QString m_errorText;
};

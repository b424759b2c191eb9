#pragma once

#include "sessionrecord.h"

#include <QString>

#include <memory>

class QIODevice;

// Reads a session recording written by SessionRecordWriter, one record at a time. Recordings come
// from outside: every length is checked before anything is allocated, and a file that is not a
// recording, has another version, or ends inside a record gives an error naming the byte offset.
class SessionRecordReader
{
public:
    enum class Result { Record, End, Error };

    SessionRecordReader();
    ~SessionRecordReader();
    Q_DISABLE_COPY(SessionRecordReader)

    bool open(const QString &path);
    // The device stays the caller's and must outlive the reader.
    bool open(QIODevice *device);
    Result next(SessionRecord *record);

    QString headerText() const { return m_headerText; }
    bool isRedacted() const { return m_flags & SessionRecord::RedactedFlag; }
    QString errorText() const { return m_errorText; }

private:
    bool readHeader();
    bool fail(const QString &text);

    std::unique_ptr<QIODevice> m_ownDevice;
    QIODevice *m_device = nullptr;
    quint16 m_flags = 0;
    QString m_headerText;
    QString m_errorText;
};

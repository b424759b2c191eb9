#pragma once

#include <QByteArray>
#include <QIODevice>

// The in-memory device between a terminal page and its emulator: bytes from the server go in with
// dataIn() and are read by the emulator; what the emulator writes comes out as dataOut().
// Nothing is ever dropped; instead, once the unread bytes pass MaxBacklogBytes the pump reports
// backlogFull(true), so that the link stops reading, and backlogFull(false) once the emulator has
// brought them under ResumeBacklogBytes.
class DataPump : public QIODevice
{
    Q_OBJECT

public:
    static constexpr int MaxBacklogBytes = 4 * 1024 * 1024;
    static constexpr int ResumeBacklogBytes = 1024 * 1024;

    explicit DataPump(QObject *parent = nullptr);

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool isBacklogFull() const { return m_backlogFull; }

public slots:
    void dataIn(const QByteArray &data);

signals:
    void dataOut(QByteArray data);
    void backlogFull(bool full);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void setBacklogFull(bool full);

    // Bytes before m_offset have been read; they are dropped once they are half the buffer, so a
    // backlog read a slice at a time costs no copy per slice.
    QByteArray m_buffer;
    int m_offset = 0;
    bool m_backlogFull = false;
};

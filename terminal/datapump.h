#pragma once

#include <QByteArray>
#include <QIODevice>

// The in-memory device between a terminal page and its emulator: bytes from the server go in with
// dataIn() and are read by the emulator; what the emulator writes comes out as dataOut().
class DataPump : public QIODevice
{
    Q_OBJECT

public:
    explicit DataPump(QObject *parent = nullptr);

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

public slots:
    void dataIn(const QByteArray &data);

signals:
    void dataOut(QByteArray data);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    // Bytes before m_offset have been read; they are dropped once they are half the buffer, so a
    // backlog read a slice at a time costs no copy per slice.
    QByteArray m_buffer;
    int m_offset = 0;
};

#pragma once

#include <QString>
#include <QStringList>

// The size of a soak run and its one-line report. The test suite runs every soak with small
// counts; ZU_SOAK=full (scripts/soak) gives the full ones.
class SoakRun
{
public:
    explicit SoakRun(const QString &what);

    static bool isFull();
    static int count(int ciCount, int fullCount) { return isFull() ? fullCount : ciCount; }

    // How much was done: "200 cycles", "1024 MiB".
    void setSize(const QString &size) { m_size = size; }
    void setCycles(int cycles) { m_size = QStringLiteral("%1 cycles").arg(cycles); }
    void setMemory(qint64 startBytes, qint64 endBytes);
    void setStall(qint64 stallMs, double busyMs = -1);
    void addNote(const QString &note) { m_notes << note; }

    // "soak <what>: <size>, memory <start> MB -> <end> MB, largest stall <n> ms, <notes>"
    QString line() const;
    void print() const;

private:
    QString m_what;
    QString m_size;
    qint64 m_startBytes = -1;
    qint64 m_endBytes = -1;
    qint64 m_stallMs = -1;
    double m_busyMs = -1;
    QStringList m_notes;
};

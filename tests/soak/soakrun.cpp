#include "soakrun.h"

#include "processprobe.h"

#include <cstdio>

SoakRun::SoakRun(const QString &what)
    : m_what(what)
{ }

bool SoakRun::isFull()
{
    return qEnvironmentVariable("ZU_SOAK") == QLatin1String("full");
}

void SoakRun::setMemory(qint64 startBytes, qint64 endBytes)
{
    m_startBytes = startBytes;
    m_endBytes = endBytes;
}

void SoakRun::setStall(qint64 stallMs, double busyMs)
{
    m_stallMs = stallMs;
    m_busyMs = busyMs;
}

QString SoakRun::line() const
{
    QString text = QStringLiteral("soak %1: %2, memory %3 MB -> %4 MB")
                       .arg(m_what, m_size)
                       .arg(ProcessProbe::megabytes(m_startBytes), 0, 'f', 1)
                       .arg(ProcessProbe::megabytes(m_endBytes), 0, 'f', 1);
    if (m_stallMs >= 0) {
        text += QStringLiteral(", largest stall %1 ms").arg(m_stallMs);
        if (m_busyMs >= 0)
            text += QStringLiteral(" (%1 ms busy)").arg(m_busyMs, 0, 'f', 0);
    }
    for (const QString &note : m_notes)
        text += QStringLiteral(", ") + note;
    return text;
}

void SoakRun::print() const
{
    std::printf("%s\n", qPrintable(line()));
    std::fflush(stdout);
}

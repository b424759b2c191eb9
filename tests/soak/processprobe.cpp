#include "processprobe.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <malloc.h>
#include <unistd.h>

namespace {

QString procPath(qint64 pid, const char *entry)
{
    return pid == 0 ? QStringLiteral("/proc/self/%1").arg(QLatin1String(entry))
                    : QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(entry));
}

} // namespace

qint64 ProcessProbe::residentBytes(qint64 pid)
{
    // statm: total and resident size in pages.
    QFile statm(procPath(pid, "statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

int ProcessProbe::openFiles(qint64 pid)
{
    const QDir fds(procPath(pid, "fd"));
    return fds.exists() ? int(fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size()) : -1;
}

void ProcessProbe::releaseFreeMemory()
{
    malloc_trim(0);
}

double ProcessProbe::megabytes(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

bool ProcessProbe::memoryIsJudged()
{
#if defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}

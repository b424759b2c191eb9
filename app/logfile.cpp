#include "logfile.h"

#include "logthrottle.h"

#include "utils/version.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QSysInfo>

#include <cstdio>

namespace {

constexpr char LogNamePattern[] = "zulog_%1.txt";
constexpr char LogNameTimeFormat[] = "yyyyMMdd_hhmmss";

QFile *s_device = nullptr;
int s_threshold = 1;
qint64 s_written = 0;
bool s_full = false;
LogThrottle s_throttle;
QElapsedTimer s_clock;

void writeLine(QChar level, const QString &message)
{
    if (!s_device || s_full)
        return;
    QByteArray line = QStringLiteral("%1 %2 %3\n")
                          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")),
                               level, message)
                          .toLocal8Bit();
    if (s_written + line.size() > LogFile::MaxLogBytes) {
        s_full = true;
        line = QStringLiteral("%1 W LogFile - the log file has reached %2 MB; nothing more is written to it\n")
                   .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")))
                   .arg(LogFile::MaxLogBytes / (1024 * 1024))
                   .toLocal8Bit();
    }
    s_written += s_device->write(line);
    s_device->flush();
}

} // namespace

LogFile::~LogFile()
{
    finish();
}

bool LogFile::start(const QString &baseDir, QDateTime now)
{
    QDir dir(baseDir);
    if (!dir.mkpath(QLatin1String(RelativeLogDir)) || !dir.cd(QLatin1String(RelativeLogDir))) {
        std::printf("Unable to create log directory %s/%s\n", qPrintable(baseDir), RelativeLogDir);
        std::fflush(stdout);
        return false;
    }

    const QString name = freeLogName(dir, now);
    auto file = std::make_unique<QFile>(dir.filePath(name));
    // NewOnly: a file appearing between the name check and the open must not be overwritten.
    if (!file->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        std::printf("Unable to open log file %s\n", qPrintable(name));
        std::fflush(stdout);
        return false;
    }
    m_file = std::move(file);
    s_device = m_file.get();
    s_written = 0;
    s_full = false;
    s_throttle = LogThrottle();
    s_clock.start();
    m_previousHandler = qInstallMessageHandler(&LogFile::messageHandler);
    m_handlerInstalled = true;

    const QByteArray banner = QByteArrayLiteral("Halvorne ZU client v") + ClientVersion;
    qInfo() << banner.constData() << " starting log file" << name;
    qInfo() << "Host CPU:" << QSysInfo::currentCpuArchitecture() << " kernelType:" << QSysInfo::kernelType()
            << " kernelVersion:" << QSysInfo::kernelVersion();
    deleteOldLogs(dir, now);
    return true;
}

void LogFile::finish()
{
    if (!m_handlerInstalled)
        return;
    for (const QString &line : s_throttle.flush())
        writeLine(QLatin1Char('W'), line);
    qInfo() << "Closing log file";
    qInstallMessageHandler(m_previousHandler);
    m_handlerInstalled = false;
    s_device = nullptr;
    m_file.reset();
}

QString LogFile::freeLogName(const QDir &dir, QDateTime &time)
{
    QString name = QString::fromLatin1(LogNamePattern).arg(time.toString(QLatin1String(LogNameTimeFormat)));
    while (dir.exists(name)) {
        time = time.addSecs(1);
        name = QString::fromLatin1(LogNamePattern).arg(time.toString(QLatin1String(LogNameTimeFormat)));
    }
    return name;
}

QStringList LogFile::deleteOldLogs(const QDir &dir, const QDateTime &newLogTime)
{
    QStringList names = dir.entryList({ QStringLiteral("zulog_*.txt") }, QDir::Files, QDir::Name);
    const QString cutOff
        = QString::fromLatin1(LogNamePattern)
              .arg(newLogTime.addDays(-MaxLogAgeDays).toString(QLatin1String(LogNameTimeFormat)));
    QStringList deleted;
    while (names.size() > KeptLogFiles && names.first() < cutOff) {
        const QString path = dir.filePath(names.takeFirst());
        qInfo() << "Deleting old log file:" << path;
        QFile::remove(path);
        deleted << path;
    }
    return deleted;
}

int LogFile::threshold()
{
    return s_threshold;
}

void LogFile::setThreshold(int threshold)
{
    s_threshold = threshold;
}

void LogFile::applyLogLevel(int level)
{
    setThreshold(0);
    qInfo() << "Log level set to" << level;
    setThreshold(level);
}

int LogFile::levelIndex(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return 0;
    case QtInfoMsg:
        return 1;
    case QtWarningMsg:
        return 2;
    case QtCriticalMsg:
        return 3;
    case QtFatalMsg:
        return 4;
    }
    return 2;
}

QChar LogFile::levelLetter(QtMsgType type)
{
    static constexpr char letters[] = { 'D', 'I', 'W', '!', 'X' };
    return QLatin1Char(letters[levelIndex(type)]);
}

void LogFile::messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (levelIndex(type) < s_threshold || !s_device)
        return;
    const qint64 now = s_clock.elapsed();
    for (const QString &line : s_throttle.due(now))
        writeLine(QLatin1Char('W'), line);
    if (s_throttle.admit(message, now))
        writeLine(levelLetter(type), message);
}

#pragma once

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>

// The per-run log file and the Qt message handler that writes into it. One instance exists per
// process, created first thing in main(); the handler and the threshold are process-wide because Qt's
// message handler is.
class LogFile
{
public:
    LogFile() = default;
    ~LogFile();
    Q_DISABLE_COPY(LogFile)

    // Creates "Halvorne/logs" under baseDir, opens a fresh file named after now, installs the handler,
    // writes the opening lines and deletes old logs. On failure prints the reason to standard output
    // and returns false.
    bool start(const QString &baseDir, QDateTime now = QDateTime::currentDateTime());
    // Writes the closing line and uninstalls the handler.
    void finish();

    QString fileName() const { return m_file ? m_file->fileName() : QString(); }

    // "zulog_yyyyMMdd_hhmmss.txt" in dir; the time is moved on a second at a time until the name is
    // free, and the time actually used is returned through `time`.
    static QString freeLogName(const QDir &dir, QDateTime &time);
    // Deletes logs older than seven days before newLogTime, always keeping at least four files.
    static QStringList deleteOldLogs(const QDir &dir, const QDateTime &newLogTime);

    static int threshold();
    static void setThreshold(int threshold);
    // The command line's loglevel: announced at threshold 0 so the line is always written.
    static void applyLogLevel(int level);

    static int levelIndex(QtMsgType type);
    static QChar levelLetter(QtMsgType type);

    static constexpr char RelativeLogDir[] = "Halvorne/logs";
    static constexpr int KeptLogFiles = 4;
    static constexpr int MaxLogAgeDays = 7;
    // A run that logs more than this (a flood of bad input) stops writing, saying so once.
    static constexpr qint64 MaxLogBytes = 50 * 1024 * 1024;

private:
    static void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    std::unique_ptr<QFile> m_file;
    bool m_handlerInstalled = false;
    QtMessageHandler m_previousHandler = nullptr;
};

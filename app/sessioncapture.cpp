#include "sessioncapture.h"

#include "commandline.h"
#include "replaybar.h"

#include "hub/hubconnection.h"
#include "hub/recordingtap.h"
#include "hub/sessionreplay.h"
#include "sessionrecordwriter.h"
#include "utils/replaymode.h"
#include "utils/version.h"
#include "utils/windowfit.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <cstdio>

namespace {

// What QDesktopServices would hand to the system during a replay.
const char *const OutsideSchemes[] = { "http", "https", "file", "ftp", "mailto", "sftp", "smb" };

} // namespace

SessionCapture::SessionCapture(HubConnection *hub, QObject *parent)
    : QObject(parent)
    , m_hub(hub)
{ }

SessionCapture::~SessionCapture()
{
    if (m_hub) {
        m_hub->setTap(nullptr);
        m_hub->setTransport(nullptr);
    }
    if (m_replay) {
        for (const char *scheme : OutsideSchemes)
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    delete m_bar;
}

bool SessionCapture::setUp(const CommandLine &commandLine)
{
    if (!commandLine.replayFile().isEmpty()) {
        startReplay(commandLine.replayFile(), commandLine.replaySpeed(), commandLine.replayStep());
        return m_errorText.isEmpty();
    }
    QString path = commandLine.recordFile();
    if (path.isEmpty() && QSettings().value(QLatin1String(RecordSetting), false).toBool()) {
        const QDir folder(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                          + QStringLiteral("/recordings"));
        // Two starts within a second get the same name: the writer then takes the next free one.
        if (folder.mkpath(QStringLiteral(".")))
            path = folder.filePath(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))
                                   + QStringLiteral(".zurec"));
    }
    if (!path.isEmpty())
        startRecording(path);
    return true;
}

void SessionCapture::startRecording(const QString &path)
{
    auto writer = std::make_unique<SessionRecordWriter>();
    writer->redactor().setKeepTerminalKeys(QSettings().value(QLatin1String(TerminalKeysSetting), false).toBool());
    if (!writer->open(path, SessionRecordWriter::Side::Client,
                      QCoreApplication::applicationName() + QLatin1Char(' ')
                          + QLatin1String(ClientVersion))) {
        qWarning().noquote() << writer->errorText();
        return;
    }
    m_writer = std::move(writer);
    m_tap = std::make_unique<RecordingTap>(m_writer.get());
    m_hub->setTap(m_tap.get());
}

void SessionCapture::startReplay(const QString &path, double speed, bool step)
{
    m_replay = new SessionReplay(this);
    if (!m_replay->load(path)) {
        m_errorText = QStringLiteral("Cannot replay %1: %2").arg(path, m_replay->errorText());
        delete m_replay;
        m_replay = nullptr;
        return;
    }
    if (!m_replay->warningText().isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(m_replay->warningText()));
    m_replay->setSpeed(speed);
    m_replay->setStartPaused(step);
    ReplayMode::setReplaying(true);
    for (const char *scheme : OutsideSchemes)
        QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "refuseAddress");
    m_hub->setTransport(m_replay);
    m_bar = new ReplayBar(m_replay, path);
    m_bar->adjustSize();
    // The bottom corner stays clear of the login dialog and of a main window placed at the top.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        m_bar->move(area.right() - m_bar->width(), area.bottom() - m_bar->height());
    }
    m_bar->show();
    fitWindowOntoDesktop(m_bar);
}

QString SessionCapture::recordedUsername() const
{
    return m_replay ? m_replay->recordedUsername() : QString();
}

QString SessionCapture::recordedRelease() const
{
    return m_replay ? m_replay->recordedRelease() : QString();
}

QString SessionCapture::replayHost() const
{
    const QString recorded = m_replay ? m_replay->recordedHost() : QString();
    const int colon = recorded.lastIndexOf(QLatin1Char(':'));
    return colon > 0 ? recorded.left(colon) : QLatin1String(ReplayHost);
}

quint16 SessionCapture::replayPort() const
{
    const QString recorded = m_replay ? m_replay->recordedHost() : QString();
    const quint16 port = recorded.mid(recorded.lastIndexOf(QLatin1Char(':')) + 1).toUShort();
    return port != 0 ? port : 1;
}

void SessionCapture::refuseAddress(const QUrl &url)
{
    qInfo().noquote() << "Replay:" << url.toString() << ReplayMode::notOpenedText();
}

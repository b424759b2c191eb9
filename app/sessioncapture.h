#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class CommandLine;
class HubConnection;
class QUrl;
class RecordingTap;
class ReplayBar;
class SessionRecordWriter;
class SessionReplay;

// Records the hub link into a file (--record, or every session when the local setting
// "recordSessions" is on: one new file per start in the data folder's "recordings"; no existing file
// is ever written over), or replays a recording in its place (--replay): the replay is the link's
// transport, so no socket is made; the login dialog offers the recorded user name, the recorded
// release is taken again, a ReplayBar follows the replay, and ReplayMode keeps the process offline
// (addresses handed to the system's handlers are refused here, whoever asks).
//
// Keys typed into terminals are recorded as their count only, unless the local setting
// "recordTerminalKeys" is on.
class SessionCapture : public QObject
{
    Q_OBJECT

public:
    static constexpr char RecordSetting[] = "recordSessions";
    static constexpr char TerminalKeysSetting[] = "recordTerminalKeys";
    static constexpr char ReplayHost[] = "replay";

    explicit SessionCapture(HubConnection *hub, QObject *parent = nullptr);
    ~SessionCapture() override;

    // False with errorText() when the replay cannot start; a recording that cannot be created is
    // logged and the client runs without it.
    bool setUp(const CommandLine &commandLine);
    QString errorText() const { return m_errorText; }

    bool isReplaying() const { return m_replay != nullptr; }
    SessionReplay *replay() const { return m_replay; }
    QString recordedUsername() const;
    QString recordedRelease() const;
    // The recorded host and port (or "replay" and 1): nothing connects to them.
    QString replayHost() const;
    quint16 replayPort() const;

private slots:
    // The system's handler for an address, while a replay runs.
    void refuseAddress(const QUrl &url);

private:
    void startRecording(const QString &path);
    void startReplay(const QString &path, double speed, bool step);

    QPointer<HubConnection> m_hub;
    std::unique_ptr<SessionRecordWriter> m_writer;
    std::unique_ptr<RecordingTap> m_tap;
    SessionReplay *m_replay = nullptr;
    QPointer<ReplayBar> m_bar;
    QString m_errorText;
};

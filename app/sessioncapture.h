#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class CommandLine;
class HubConnection;
class ReplayBar;
class SessionRecordWriter;
class SessionReplay;

// Records the hub link into a file (--record, or every session when the local setting
// "recordSessions" is on: one file per start in the data folder's "recordings"), or replays a
// recording in its place (--replay): no socket is made, the login dialog offers the recorded user
// name, the recorded release is taken again, and a ReplayBar follows the replay.
class SessionCapture : public QObject
{
    Q_OBJECT

public:
    static constexpr char RecordSetting[] = "recordSessions";
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

private:
    void startRecording(const QString &path);
    void startReplay(const QString &path, double speed, bool step);

    QPointer<HubConnection> m_hub;
    std::unique_ptr<SessionRecordWriter> m_writer;
    SessionReplay *m_replay = nullptr;
    QPointer<ReplayBar> m_bar;
    QString m_errorText;
};

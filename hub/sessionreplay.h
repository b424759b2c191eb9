#pragma once

#include "hubtransport.h"
#include "sessionrecord.h"
#include "sessionredactor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QTimer>
#include <QVector>

// Plays the hub's side of a session recording as the hub link's transport: no socket at all,
// every received frame comes from here, every frame the client sends comes back here and is
// compared with what the recorded client sent. The file is read as a stream: what stays in memory
// is where each message lies and a digest of each recorded client message, and a message is read
// from the file when it is delivered or shown.
//
// A hub message is delivered when its recorded moment has come (recorded speed times the speed
// factor; 0 is as fast as possible) and the client has sent what the recorded client sent before
// it, or has had a while to do so (the user's own key presses are not repeated by a replay, so a
// message the client does not send holds the replay only that long). Step mode delivers one hub
// message per next(). Nothing is delivered while the link holds reading.
//
// Comparison: a message the client sends must equal one of the next CompareWindow unmatched
// recorded messages of the same stream (hub envelopes, menu, or one channel), after the same
// blanking as recording and with what differs between machines and runs cleared (pings are
// ignored; hello, handshake versions and addresses, menu request numbers are cleared). Otherwise
// it is a difference: the first one is kept, every one logged, each message shown by its first
// SessionRecord::DescribedBytes and its size.
//
// A replay plays once: the link it ends (the recorded hub refused the client or forced it off, or
// the client closed it) stays ended, and opening it again says so.
class SessionReplay : public HubTransport
{
    Q_OBJECT

public:
    enum class State { Idle, Running, Paused, Finished, Failed };
    Q_ENUM(State)

    static constexpr int CompareWindow = 32;
    static constexpr int FastClientWaitMs = 300;
    static constexpr int TimedClientWaitMs = 1500;
    // Recorded pauses longer than this (or times that are nonsense) are cut to it.
    static constexpr qint64 MaxWaitMs = 3600 * 1000;
    // Bigger files are refused before reading: the recorder stops far below this.
    static constexpr qint64 MaxFileBytes = 1024LL * 1024 * 1024;

    explicit SessionReplay(QObject *parent = nullptr);
    ~SessionReplay() override;

    // False with errorText() when the file cannot be replayed at all; a recording damaged after
    // some whole records loads those, with warningText() saying what was lost.
    bool load(const QString &path);
    // Records held in memory; terminalKeysCounted: typed terminal bytes were recorded as counts.
    bool loadRecords(const QVector<SessionRecord> &records, bool terminalKeysCounted = true);
    QString errorText() const { return m_errorText; }
    QString warningText() const { return m_warningText; }
    // The user name of the recorded login, for the login dialog.
    QString recordedUsername() const { return m_recordedUsername; }
    // The release the recorded client chose, taken again without asking.
    QString recordedRelease() const { return m_recordedRelease; }
    // host:port of the recorded connection, empty when the recording does not say.
    QString recordedHost() const { return m_recordedHost; }

    void setSpeed(double speed) { m_speed = qMax(0.0, speed); }
    double speed() const { return m_speed; }
    void setStartPaused(bool paused) { m_startPaused = paused; }

    State state() const { return m_state; }
    bool isLinkOpen() const { return m_state == State::Running || m_state == State::Paused; }
    int hubMessageCount() const { return m_hubCount; }
    int deliveredCount() const { return m_delivered; }
    int matchedCount() const { return m_matched; }
    int differenceCount() const { return m_differences; }
    QString firstDifference() const { return m_firstDifference; }

    void close() override;
    bool isOpen() const override { return isLinkOpen(); }
    bool isLive() const override { return false; }

    // Normalised form used for comparing, or empty for a message that is never compared.
    static QByteArray comparable(quint16 frameType, const QByteArray &data);

public slots:
    void pause();
    void resume();
    void next();
    void runToEnd();

signals:
    void stateChanged(SessionReplay::State state);
    void progressChanged();
    void differenceFound(const QString &text);

protected:
    void openConnection(const HostEntry &host) override;
    void writeFrame(quint16 frameType, const QByteArray &payload, const QByteArray &redactedPayload) override;
    void readingReleased() override;

private:
    // Where one recorded message lies: in the file, or in m_memory for loadRecords().
    struct Entry
    {
        quint64 timeUs = 0;
        qint64 offset = 0;
        int size = 0;
        SessionRecord::Direction direction = SessionRecord::Direction::FromHub;
        quint16 frameType = 0;
        quint16 channel = 0;
    };
    struct Expected
    {
        int index = 0; // in m_entries
        QByteArray digest; // of the comparable form
        bool matched = false;
        bool released = false; // no longer holds hub messages back
    };
    // The recorded client messages of one stream (frame type and channel), in order.
    struct Stream
    {
        QVector<int> expected; // indexes into m_expected
        int firstUnmatched = 0;
    };
    static quint32 streamKey(quint16 frameType, quint16 channel) { return quint32(frameType) << 16 | channel; }
    static QByteArray digestOf(const QByteArray &comparable);

    void reset();
    void addEntry(const SessionRecord &record, qint64 offset);
    bool finishLoading();
    QByteArray dataOf(int index);
    SessionRecord recordAt(int index);
    void setState(State state);
    void schedule();
    void deliverNext();
    void fail(const QString &why);
    int nextHubIndex() const;
    // The first recorded client message before record index that still holds the replay.
    Expected *pendingBefore(int index);
    void reportDifference(const QString &text);

    QFile m_file;
    QVector<QByteArray> m_memory;
    QVector<Entry> m_entries;
    QVector<Expected> m_expected;
    QHash<quint32, Stream> m_streams;
    SessionRedactor m_redactor;
    int m_firstUnsettled = 0; // in m_expected: all before it are matched or released
    State m_state = State::Idle;
    QTimer m_timer;
    QElapsedTimer m_sinceDelivery;
    QElapsedTimer m_waitingForClient;
    quint64 m_lastDeliveredUs = 0;
    int m_cursor = 0; // next record to consider for delivery
    int m_hubCount = 0;
    int m_delivered = 0;
    int m_matched = 0;
    int m_differences = 0;
    double m_speed = 1.0;
    bool m_startPaused = false;
    // A handler that runs a nested event loop (a modal dialog) must not see the next message before
    // it returns, as a socket's reader would not.
    bool m_delivering = false;
    bool m_opening = false;
    QString m_firstDifference;
    QString m_recordedUsername;
    QString m_recordedRelease;
    QString m_recordedHost;
    QString m_errorText;
    QString m_warningText;
};

#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

class QWidget;

// The server's turn on one classic page. From the moment the page hands a decision to the server
// (a key, a ring-menu item, an answer to a dialog or lookup) until the server says where input goes
// next, what the user types on the page, and clicks into it, is held in order instead of being
// interpreted by a field the server is about to leave. Then it is replayed through the normal key
// path (shortcuts, the focused widget, the page), so each key lands where input now is; a replayed
// key that hands the decision back to the server opens a new turn and the rest stay held.
//
// UserTurn -> ServerTurn (begin) -> Replaying (release: the server placed the input, or it was
// silent for SilenceReleaseMs) -> UserTurn (nothing left), or back to ServerTurn (a replayed key
// went to the server). Keys are caught on the focused widget of the page, after the application's
// own filters, so the desktop's keys (zoom, Ctrl+Tab, shortcuts outside the page) still act at
// once; isDesktopKey names the page's own exceptions (detach). At most MaxHeld inputs wait; more
// are refused with a beep and a log line.
class ServerTurn : public QObject
{
    Q_OBJECT

public:
    enum class State { UserTurn, ServerTurn, Replaying };
    Q_ENUM(State)

    static constexpr int SilenceReleaseMs = 1000;
    static constexpr int BusyDelayMs = 100;
    static constexpr int BusyTimeoutMs = 8000;
    static constexpr int MaxHeld = 4096;

    using KeyTest = std::function<bool(const QEvent *key)>;

    // page: the widget whose descendants' input is held. pageOwnsKey: whether a key bound as a
    // shortcut belongs to the page (its ring menu, its overlay), so it waits too; isDesktopKey: a
    // key the page passes on to the desktop, never held.
    ServerTurn(QWidget *page, KeyTest pageOwnsKey, KeyTest isDesktopKey, QObject *parent = nullptr);
    ~ServerTurn() override;

    State state() const { return m_state; }
    bool isHolding() const { return m_state == State::ServerTurn; }
    int heldCount() const { return int(m_held.size()); }

    // The page has handed a decision to the server.
    void begin();
    // A command for the page arrived: the server is not silent.
    void serverActivity();
    // A command of the server has said where input goes. Only a turn that had begun by then ends
    // with it: the user may have handed over again before the page got round to replaying.
    void inputPlaced();
    // Replays what is held if the server placed the input during this turn.
    void releaseIfPlaced();
    // Replays what is held now.
    void release();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Held
    {
        std::unique_ptr<QEvent> event;
        // Mouse events go back to the widget they were meant for; keys go where the focus is then.
        QPointer<QWidget> target;
    };

    void setState(State state);
    void hold(QObject *receiver, const QEvent *event);
    void replay(const Held &held);
    bool isOnPage(const QObject *object) const;
    void watchFocus(QWidget *now);

    QWidget *m_page;
    KeyTest m_pageOwnsKey;
    KeyTest m_isDesktopKey;
    State m_state = State::UserTurn;
    std::deque<Held> m_held;
    QTimer m_silence;
    QTimer m_busyDelay;
    QString m_busyReason;
    QObject *m_mouseFilter;
    QPointer<QWidget> m_watched;
    bool m_replayingEvent = false;
    bool m_placed = false;
    bool m_overflowLogged = false;
};

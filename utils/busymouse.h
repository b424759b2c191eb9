#pragma once

#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>
#include <set>

// Process-wide arbiter of the wait cursor. Each party waiting for the server registers a named
// reason with a time-out; the wait cursor shows while at least one reason is pending and unexpired,
// so a reply that never comes keeps it for at most that long. The override cursor is pushed once
// however many reasons overlap, and restored once.
class BusyMouse : public QObject
{
    Q_OBJECT

public:
    static BusyMouse *instance();

    void start(const QString &reason, int timeoutMs);
    void stop(const QString &reason);

    bool isBusy() const { return m_cursorSet; }
    QStringList pendingReasons() const { return m_reasons.keys(); }
    // Milliseconds since the epoch, or -1 when the reason is not pending.
    qint64 expiryOf(const QString &reason) const { return m_reasons.value(reason, -1); }

    // Tests replace the clock to control expiry.
    using Clock = std::function<qint64()>;
    void setClock(Clock clock);

private slots:
    void process();

private:
    explicit BusyMouse(QObject *parent = nullptr);
    void drop(const QString &reason);

    QHash<QString, qint64> m_reasons;
    std::set<qint64> m_expiries;
    QTimer m_timer;
    bool m_cursorSet = false;
    Clock m_clock;
};

#include "busymouse.h"

#include <QCursor>
#include <QDateTime>
#include <QGuiApplication>

BusyMouse *BusyMouse::instance()
{
    // Never destroyed: the cursor state must stay valid until the process ends.
    static BusyMouse *busyMouse = new BusyMouse;
    return busyMouse;
}

BusyMouse::BusyMouse(QObject *parent)
    : QObject(parent)
    , m_clock(&QDateTime::currentMSecsSinceEpoch)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &BusyMouse::process);
}

void BusyMouse::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(&QDateTime::currentMSecsSinceEpoch);
}

void BusyMouse::start(const QString &reason, int timeoutMs)
{
    drop(reason);
    // Expiries are unique so that the ordered set and the map stay one-to-one.
    qint64 expiry = m_clock() + timeoutMs;
    while (m_expiries.count(expiry))
        ++expiry;
    m_reasons.insert(reason, expiry);
    m_expiries.insert(expiry);
    process();
}

void BusyMouse::stop(const QString &reason)
{
    if (!m_reasons.contains(reason))
        return;
    drop(reason);
    process();
}

void BusyMouse::drop(const QString &reason)
{
    const auto it = m_reasons.find(reason);
    if (it == m_reasons.end())
        return;
    m_expiries.erase(it.value());
    m_reasons.erase(it);
}

void BusyMouse::process()
{
    const qint64 now = m_clock();
    while (!m_expiries.empty() && *m_expiries.begin() <= now) {
        const qint64 expired = *m_expiries.begin();
        m_expiries.erase(m_expiries.begin());
        for (auto it = m_reasons.begin(); it != m_reasons.end(); ++it) {
            if (it.value() == expired) {
                m_reasons.erase(it);
                break;
            }
        }
    }

    if (m_expiries.empty()) {
        m_timer.stop();
        if (m_cursorSet) {
            QGuiApplication::restoreOverrideCursor();
            m_cursorSet = false;
        }
        return;
    }
    if (!m_cursorSet) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_cursorSet = true;
    }
    m_timer.start(int(*m_expiries.rbegin() + 1 - now));
}

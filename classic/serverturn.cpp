#include "serverturn.h"

#include "utils/busymouse.h"

#include <QApplication>
#include <QDebug>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

// Exported by Qt Gui for Qt Test: offers a key to the shortcut map as a key from the window system
// is offered (a ShortcutOverride to the focus object first); true when a shortcut took it.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject *o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString &text, bool autorep, ushort count);

namespace {

bool isMouseButtonEvent(QEvent::Type type)
{
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease
        || type == QEvent::MouseButtonDblClick;
}

} // namespace

// Clicks are caught before any widget sees them: the application's filter, only during a turn.
class ServerTurnMouseFilter : public QObject
{
public:
    explicit ServerTurnMouseFilter(ServerTurn *turn)
        : QObject(turn)
        , m_turn(turn)
    { }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        return isMouseButtonEvent(event->type()) && m_turn->eventFilter(watched, event);
    }

private:
    ServerTurn *m_turn;
};

ServerTurn::ServerTurn(QWidget *page, KeyTest pageOwnsKey, KeyTest isDesktopKey, QObject *parent)
    : QObject(parent)
    , m_page(page)
    , m_pageOwnsKey(std::move(pageOwnsKey))
    , m_isDesktopKey(std::move(isDesktopKey))
    , m_busyReason(QStringLiteral("serverTurn:%1").arg(quintptr(this), 0, 16))
    , m_mouseFilter(new ServerTurnMouseFilter(this))
{
    m_silence.setSingleShot(true);
    // A coarse timer may fire a twentieth early; the bound is a promise.
    m_silence.setTimerType(Qt::PreciseTimer);
    m_silence.setInterval(SilenceReleaseMs);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        qDebug() << "ServerTurn: the server said nothing for" << SilenceReleaseMs << "ms; releasing"
                 << m_held.size() << "inputs";
        release();
    });
    m_busyDelay.setSingleShot(true);
    m_busyDelay.setInterval(BusyDelayMs);
    connect(&m_busyDelay, &QTimer::timeout, this,
            [this] { BusyMouse::instance()->start(m_busyReason, BusyTimeoutMs); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (m_state != State::UserTurn)
            watchFocus(now);
    });
}

ServerTurn::~ServerTurn()
{
    if (!m_held.empty())
        qWarning() << "ServerTurn: the page closed with" << m_held.size()
                   << "inputs typed ahead of the server; they were not delivered";
    BusyMouse::instance()->stop(m_busyReason);
}

void ServerTurn::setState(State state)
{
    if (state == m_state)
        return;
    const State previous = m_state;
    m_state = state;
    switch (state) {
    case State::UserTurn:
        m_silence.stop();
        m_busyDelay.stop();
        BusyMouse::instance()->stop(m_busyReason);
        watchFocus(nullptr);
        qApp->removeEventFilter(m_mouseFilter);
        break;
    case State::ServerTurn:
        m_silence.start();
        m_busyDelay.start();
        if (previous == State::UserTurn) {
            watchFocus(QApplication::focusWidget());
            qApp->installEventFilter(m_mouseFilter);
        }
        break;
    case State::Replaying:
        m_silence.stop();
        m_busyDelay.stop();
        BusyMouse::instance()->stop(m_busyReason);
        break;
    }
}

void ServerTurn::begin()
{
    m_placed = false;
    if (m_state == State::ServerTurn)
        m_silence.start();
    else
        setState(State::ServerTurn);
}

void ServerTurn::serverActivity()
{
    if (m_state == State::ServerTurn)
        m_silence.start();
}

void ServerTurn::inputPlaced()
{
    if (m_state == State::ServerTurn)
        m_placed = true;
}

void ServerTurn::releaseIfPlaced()
{
    if (m_placed)
        release();
}

void ServerTurn::release()
{
    m_placed = false;
    if (m_state != State::ServerTurn)
        return;
    setState(State::Replaying);
    if (m_overflowLogged) {
        m_overflowLogged = false;
        qWarning() << "ServerTurn: inputs beyond" << MaxHeld << "were refused during the turn";
    }
    const QPointer<ServerTurn> alive(this);
    while (alive && m_state == State::Replaying && !m_held.empty()) {
        const Held held = std::move(m_held.front());
        m_held.pop_front();
        replay(held);
    }
    if (alive && m_state == State::Replaying)
        setState(State::UserTurn);
}

bool ServerTurn::isOnPage(const QObject *object) const
{
    const auto *widget = qobject_cast<const QWidget *>(object);
    return widget && (widget == m_page || m_page->isAncestorOf(widget));
}

// Keys are caught on the focused widget itself, so that the application's own filters (the
// desktop's zoom keys) have seen them first.
void ServerTurn::watchFocus(QWidget *now)
{
    if (m_watched)
        m_watched->removeEventFilter(this);
    m_watched = isOnPage(now) ? now : nullptr;
    if (m_watched)
        m_watched->installEventFilter(this);
}

bool ServerTurn::eventFilter(QObject *watched, QEvent *event)
{
    if (m_replayingEvent || m_state != State::ServerTurn)
        return false;
    const QEvent::Type type = event->type();
    if (isMouseButtonEvent(type)) {
        if (!isOnPage(watched))
            return false;
        hold(watched, event);
        return true;
    }
    if (watched != m_watched)
        return false;
    switch (type) {
    case QEvent::ShortcutOverride:
        // A shortcut of the page waits; one of the desktop acts. An unbound key comes as a press.
        if (m_isDesktopKey(event) || !m_pageOwnsKey(event))
            return false;
        event->accept();
        return true;
    case QEvent::KeyPress:
        if (m_isDesktopKey(event))
            return false;
        hold(watched, event);
        return true;
    case QEvent::KeyRelease:
        // Replayed presses bring their own release.
        return !m_isDesktopKey(event);
    default:
        return false;
    }
}

void ServerTurn::hold(QObject *receiver, const QEvent *event)
{
    if (m_held.size() >= size_t(MaxHeld)) {
        if (!m_overflowLogged)
            qWarning() << "ServerTurn: already" << MaxHeld << "inputs wait for the server; refusing more";
        m_overflowLogged = true;
        QApplication::beep();
        return;
    }
    Held held;
    if (isMouseButtonEvent(event->type())) {
        held.event = std::make_unique<QMouseEvent>(*static_cast<const QMouseEvent *>(event));
        held.target = static_cast<QWidget *>(receiver);
    } else {
        held.event = std::make_unique<QKeyEvent>(*static_cast<const QKeyEvent *>(event));
    }
    m_held.push_back(std::move(held));
}

void ServerTurn::replay(const Held &held)
{
    m_replayingEvent = true;
    if (isMouseButtonEvent(held.event->type())) {
        if (held.target && isOnPage(held.target)) {
            QMouseEvent copy(*static_cast<const QMouseEvent *>(held.event.get()));
            QApplication::sendEvent(held.target, &copy);
        }
        m_replayingEvent = false;
        return;
    }
    const auto *key = static_cast<const QKeyEvent *>(held.event.get());
    // A menu that an earlier replayed key opened takes the keys, as it would from the keyboard.
    QWidget *target = QApplication::activePopupWidget();
    if (target && target->focusWidget())
        target = target->focusWidget();
    if (!target) {
        target = QApplication::focusWidget();
        if (!isOnPage(target))
            target = m_page->focusWidget() ? m_page->focusWidget() : m_page;
    }
    // As a key from the keyboard goes: shortcuts first, then the focused widget and its parents.
    if (!qt_sendShortcutOverrideEvent(target, key->timestamp(), key->key(), key->modifiers(), key->text(),
                                      key->isAutoRepeat(), key->count())) {
        const QPointer<QWidget> receiver(target);
        QKeyEvent press(*key);
        QApplication::sendEvent(receiver, &press);
        if (receiver) {
            QKeyEvent release(QEvent::KeyRelease, key->key(), key->modifiers(), key->nativeScanCode(),
                              key->nativeVirtualKey(), key->nativeModifiers(), key->text(),
                              key->isAutoRepeat(), key->count());
            QApplication::sendEvent(receiver, &release);
        }
    }
    m_replayingEvent = false;
}

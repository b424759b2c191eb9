#include "windowfit.h"

#include <QDebug>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace {

// What the window manager's decoration adds around the window; unknown (none) before it shows.
QMargins frameOf(const QWidget *window)
{
    if (!window->isVisible())
        return {};
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    return QMargins(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                    frame.bottom() - inner.bottom());
}

const QScreen *screenOf(const QWidget *window)
{
    if (window->isVisible())
        if (const QScreen *screen = QGuiApplication::screenAt(window->frameGeometry().center()))
            return screen;
    if (const QScreen *screen = window->screen())
        return screen;
    return QGuiApplication::primaryScreen();
}

void fitNow(QWidget *window)
{
    const QScreen *screen = screenOf(window);
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QMargins frame = frameOf(window);
    const QSize room = roomForWindow(frame, available);
    const QSize minimum = window->minimumSize();
    if (minimum.width() > room.width() || minimum.height() > room.height())
        window->setMinimumSize(minimum.boundedTo(room));

    const QRect old = window->geometry();
    if (!window->isVisible()) {
        // Where a window first shows is the platform's business (a dialog centres on its parent).
        if (old.width() > room.width() || old.height() > room.height())
            window->resize(old.size().boundedTo(room));
        return;
    }
    const QRect fitted = fittedWindowGeometry(old, frame, available);
    if (fitted == old)
        return;
    qInfo() << "Moving dialog geometry onto desktop.  was:" << old << "   avail:" << available
            << "   adjusted:" << fitted;
    window->setGeometry(fitted);
}

// Fits the window again when it shows and when the window manager first places it after that:
// only then is its frame known.
class WindowFitter : public QObject
{
public:
    explicit WindowFitter(QWidget *window)
        : QObject(window)
    {
        setObjectName(QStringLiteral("windowFitter"));
        window->installEventFilter(this);
        // Shown already, but not yet framed: the window manager's placement is still to come.
        m_placing = window->isVisible() && frameOf(window) == QMargins();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = qobject_cast<QWidget *>(watched);
        if (!window || !window->isWindow())
            return false;
        if (event->type() == QEvent::Show) {
            m_placing = frameOf(window) == QMargins();
            fitNow(window);
        } else if (m_placing && (event->type() == QEvent::Move || event->type() == QEvent::Resize)
                   && frameOf(window) != QMargins()) {
            m_placing = false;
            fitNow(window);
        }
        return false;
    }

private:
    bool m_placing = false;
};

} // namespace

QSize roomForWindow(const QMargins &frame, const QRect &available)
{
    return QSize(qMax(1, available.width() - frame.left() - frame.right()),
                 qMax(1, available.height() - frame.top() - frame.bottom()));
}

QRect fittedWindowGeometry(const QRect &geometry, const QMargins &frame, const QRect &available)
{
    QRect outer = geometry.marginsAdded(frame);
    const QSize room = roomForWindow(frame, available);
    outer.setSize(
        QSize(qMin(geometry.width(), room.width()), qMin(geometry.height(), room.height())).grownBy(frame));
    outer.moveLeft(qMax(available.left(), qMin(outer.left(), available.right() - outer.width() + 1)));
    outer.moveTop(qMax(available.top(), qMin(outer.top(), available.bottom() - outer.height() + 1)));
    return outer.marginsRemoved(frame);
}

void fitWindowOntoDesktop(QWidget *window)
{
    if (!window)
        return;
    if (!window->findChild<WindowFitter *>(QStringLiteral("windowFitter"), Qt::FindDirectChildrenOnly))
        new WindowFitter(window);
    fitNow(window);
}

#include "zoomkeys.h"

#include "utils/taskpagewidget.h"

#include "style/stylemanager.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

ZoomKeys::ZoomKeys(QWidget *desktop)
    : QObject(desktop)
    , m_desktop(desktop)
{
    qApp->installEventFilter(this);
}

ZoomKeys::Zoom ZoomKeys::zoomFor(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (modifiers != Qt::ControlModifier)
        return Zoom::None;
    switch (event->key()) {
    case Qt::Key_Equal:
    case Qt::Key_Plus:
        return Zoom::In;
    case Qt::Key_Minus:
        return Zoom::Out;
    case Qt::Key_0:
        return Zoom::Reset;
    default:
        return Zoom::None;
    }
}

bool ZoomKeys::belongsToDesktop(const QObject *watched) const
{
    const auto *widget = qobject_cast<const QWidget *>(watched);
    if (!widget)
        return false;
    const QWidget *window = widget->window();
    return window == m_desktop || qobject_cast<const TaskPageWidget *>(window);
}

bool ZoomKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const Zoom zoom = zoomFor(key);
    if (zoom == Zoom::None || !belongsToDesktop(watched))
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Ours, not a shortcut's: the key press follows.
        event->accept();
        return true;
    }
    const int current = StyleManager::fontScale();
    switch (zoom) {
    case Zoom::In:
        StyleManager::setFontScale(StyleManager::steppedFontScale(current, 1));
        break;
    case Zoom::Out:
        StyleManager::setFontScale(StyleManager::steppedFontScale(current, -1));
        break;
    case Zoom::Reset:
        StyleManager::setFontScale(StyleManager::DefaultFontScale);
        break;
    case Zoom::None:
        break;
    }
    return true;
}

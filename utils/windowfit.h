#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

// The geometry (frame excluded) of a window moved and, if need be, shrunk so that its frame lies
// within `available`: a screen's available geometry.
QRect fittedWindowGeometry(const QRect &geometry, const QMargins &frame, const QRect &available);

// The largest window (frame excluded) whose frame fits `available`.
QSize roomForWindow(const QMargins &frame, const QRect &available);

// Keeps a top-level window on the available desktop of its screen: its size and minimum size give
// way to a small screen, and once it shows (when the window manager's frame is known) it is moved
// inside. A window not yet shown keeps the position the platform would give it.
void fitWindowOntoDesktop(QWidget *window);

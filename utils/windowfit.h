#pragma once

class QWidget;

// Clamps a window (a restored geometry, say) onto the available desktop of the primary screen.
void fitWindowOntoDesktop(QWidget *window);

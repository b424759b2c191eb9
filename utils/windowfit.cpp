#include "windowfit.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void fitWindowOntoDesktop(QWidget *window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !window)
        return;
    const QRect available = screen->availableVirtualGeometry();
    const QRect old = window->geometry();
    QRect fitted = old;
    fitted.setWidth(qMin(old.width(), available.width()));
    fitted.setHeight(qMin(old.height(), available.height()));
    fitted.moveLeft(qMax(available.left(), qMin(old.left(), available.right() - fitted.width())));
    fitted.moveTop(qMax(available.top(), qMin(old.top(), available.bottom() - fitted.height())));
    if (fitted == old)
        return;
    qInfo() << "Moving dialog geometry onto desktop.  was:" << old << "   avail:" << available
            << "   adjusted:" << fitted;
    window->setGeometry(fitted);
}

#include "overlaypage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

OverlayPage::OverlayPage(const QSize &size)
{
    resize(size);
}

void OverlayPage::showOverlay(QWidget *overlay)
{
    overlay->resize(size());
    QWidget::show();
    overlay->show();
    QApplication::setActiveWindow(this);
    if (!QTest::qWaitForWindowActive(this))
        qWarning("page window not active");
    overlay->setFocus();
}

void OverlayPage::keyPressEvent(QKeyEvent *event)
{
    keys.append(event->key());
}

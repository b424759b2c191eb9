#include "zuscreen.h"

namespace {
constexpr auto VisibleWidgetsName = "visible_widgets";
}

ZuScreen::ZuScreen(QWidget *parent)
    : QWidget(parent)
{ }

QWidget *visibleWidgets(QWidget *screen)
{
    if (!screen)
        return nullptr;
    if (auto *visible = screen->findChild<QWidget *>(QLatin1String(VisibleWidgetsName)))
        return visible;
    auto *visible = new QWidget(screen);
    visible->setObjectName(QLatin1String(VisibleWidgetsName));
    return visible;
}

#include "fuzzsupport.h"

#include "classic/classicapplicationwidget.h"

#include <QWidget>

// A screen document through the client's loader into a shown classic page, as a screen and then
// as a popup over it.
QList<QByteArray> fuzzSeeds()
{
    return screenSeeds();
}

void fuzzOne(const QByteArray &input)
{
    static QWidget *desk = [] {
        auto *made = new QWidget;
        made->resize(900, 700);
        made->show();
        return made;
    }();
    ClassicApplicationWidget page(1, QStringLiteral("Fuzz"), false, desk);
    page.show();
    if (page.renderUi(input, 1, false, -1, 0))
        page.renderUi(input, 2, true, 3, 0);
}

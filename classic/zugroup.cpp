#include "zugroup.h"

ZuGroup::ZuGroup(QWidget *parent)
    : ZuProperties(parent)
{
    setVisible(false);
}

void ZuGroup::setVisible(bool)
{
    QWidget::setVisible(false);
}

#include "zuhiddenfield.h"

ZuHiddenField::ZuHiddenField(QWidget *parent)
    : ZuProperties(parent)
{
    setVisible(false);
}

void ZuHiddenField::setVisible(bool)
{
    QWidget::setVisible(false);
}

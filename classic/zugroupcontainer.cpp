#include "zugroupcontainer.h"

ZuGroupContainer::ZuGroupContainer(QWidget *parent)
    : QWidget(parent)
{
    setVisible(false);
}

void ZuGroupContainer::setVisible(bool)
{
    QWidget::setVisible(false);
}

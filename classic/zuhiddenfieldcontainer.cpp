#include "zuhiddenfieldcontainer.h"

ZuHiddenFieldContainer::ZuHiddenFieldContainer(QWidget *parent)
    : QWidget(parent)
{
    setVisible(false);
}

void ZuHiddenFieldContainer::setVisible(bool)
{
    QWidget::setVisible(false);
}

#include "circlenumberwidget.h"

#include <QPaintEvent>
#include <QPainter>

CircleNumberWidget::CircleNumberWidget(int number, QWidget *parent)
    : QWidget(parent)
    , m_number(number)
{
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void CircleNumberWidget::setNumber(int number)
{
    if (number == m_number)
        return;
    m_number = number;
    update();
}

void CircleNumberWidget::paintEvent(QPaintEvent *event)
{
    event->accept();
    if (m_number == 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor base = palette().color(QPalette::Base);
    painter.setPen(base);
    painter.setBrush(base);
    painter.drawEllipse(rect());
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(rect(), Qt::AlignCenter, QString::number(m_number));
}

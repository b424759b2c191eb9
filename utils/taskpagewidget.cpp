#include "taskpagewidget.h"

#include <QEvent>
#include <QSizeGrip>
#include <QStyle>

TaskPageWidget::TaskPageWidget(QWidget *parent)
    : QWidget(parent)
    , m_grip(new QSizeGrip(this))
{
    placeGrip();
}

QString TaskPageWidget::title() const
{
    return QStringLiteral("Title");
}

bool TaskPageWidget::isAttached() const
{
    return m_attached;
}

QString TaskPageWidget::shortName() const
{
    return QStringLiteral("**");
}

bool TaskPageWidget::isSoloApp() const
{
    return false;
}

QString TaskPageWidget::unsavedWork() const
{
    return QString();
}

void TaskPageWidget::setAttached(bool attached)
{
    if (attached == m_attached)
        return;
    m_attached = attached;
    // A fresh grip picks up whether its window can now be resized.
    delete m_grip;
    m_grip = new QSizeGrip(this);
    placeGrip();
    m_grip->show();
    if (m_detachButton) {
        m_detachButton->style()->unpolish(m_detachButton);
        m_detachButton->style()->polish(m_detachButton);
    }
    emit attachedChanged(attached);
}

bool TaskPageWidget::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        emit focusReceived();
    return QWidget::event(event);
}

void TaskPageWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeGrip();
}

void TaskPageWidget::placeGrip()
{
    m_grip->setGeometry(width() - GripSize, height() - GripSize, GripSize, GripSize);
    m_grip->raise();
}

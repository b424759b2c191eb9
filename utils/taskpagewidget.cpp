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

TaskPageWidget::~TaskPageWidget()
{
    // QWidget's destructor still hides the children and moves the focus out of them; what they
    // signal then must not reach the page's own part, which is gone by that time.
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        child->disconnect(this);
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

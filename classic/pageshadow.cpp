#include "pageshadow.h"

#include <QEvent>
#include <QPainter>

PageShadow::PageShadow(QWidget *target, int blur, int offset, const QColor &color)
    : QWidget(target->parentWidget())
    , m_target(target)
    , m_blur(qMax(1, blur))
    , m_offset(offset)
    , m_color(color)
{
    setObjectName(QStringLiteral("pageShadow"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    target->installEventFilter(this);
    follow();
}

bool PageShadow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_target) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ZOrderChange:
            follow();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PageShadow::follow()
{
    if (!m_target)
        return;
    setGeometry(m_target->geometry().adjusted(-m_blur + m_offset, -m_blur + m_offset, m_blur + m_offset,
                                              m_blur + m_offset));
    setVisible(m_target->isVisible());
    stackUnder(m_target);
}

void PageShadow::paintEvent(QPaintEvent *)
{
    // Nested rectangles, each a step lighter outwards; the painter clips them to what is exposed.
    QPainter painter(this);
    QColor step = m_color;
    step.setAlpha(m_color.alpha() / (m_blur + 1));
    for (int inset = 0; inset <= m_blur; ++inset)
        painter.fillRect(rect().adjusted(inset, inset, -inset, -inset), step);
}

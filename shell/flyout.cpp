#include "flyout.h"

#include "style/stylemanager.h"

#include <QBitmap>
#include <QDebug>
#include <QFrame>
#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimerEvent>

Flyout::Flyout(QWidget *parent, bool autoClose)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint)
    , m_autoClose(autoClose)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

QFrame *Flyout::line(const QString &name, QWidget *parent)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setFrameShape(QFrame::HLine);
    return frame;
}

QPushButton *Flyout::iconButton(const QString &name, const QString &icon, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(name);
    if (!icon.isEmpty())
        button->setIcon(QIcon(icon));
    button->setIconSize(QSize(24, 24));
    button->setFixedSize(32, 32);
    return button;
}

QPainterPath Flyout::bubble(const QSize &size, int arrowY, bool right)
{
    const int left = right ? ArrowSize : 0;
    const int rightEdge = right ? size.width() - 1 : size.width() - 1 - ArrowSize;
    const int bottom = size.height() - 1;
    const int d = 2 * CornerRadius;
    QPainterPath path;
    path.moveTo(left + CornerRadius, 0);
    path.lineTo(rightEdge - CornerRadius, 0);
    path.arcTo(rightEdge - d, 0, d, d, 90, -90);
    if (!right) {
        path.lineTo(rightEdge, arrowY - ArrowSize);
        path.lineTo(rightEdge + ArrowSize, arrowY);
        path.lineTo(rightEdge, arrowY + ArrowSize);
    }
    path.lineTo(rightEdge, bottom - CornerRadius);
    path.arcTo(rightEdge - d, bottom - d, d, d, 0, -90);
    path.lineTo(left + CornerRadius, bottom);
    path.arcTo(left, bottom - d, d, d, 270, -90);
    if (right) {
        path.lineTo(left, arrowY + ArrowSize);
        path.lineTo(left - ArrowSize, arrowY);
        path.lineTo(left, arrowY - ArrowSize);
    }
    path.lineTo(left, CornerRadius);
    path.arcTo(left, 0, d, d, 180, -90);
    path.closeSubpath();
    return path;
}

void Flyout::flyout(const QRect &anchor)
{
    QScreen *screen = nullptr;
    for (const QPoint &corner :
         { anchor.topLeft(), anchor.topRight(), anchor.bottomLeft(), anchor.bottomRight() }) {
        screen = QGuiApplication::screenAt(corner);
        if (screen)
            break;
    }
    if (!screen) {
        qCritical() << "Flyout::flyout() - Could not find screen for flyout.";
        return;
    }
    const QRect available = screen->availableGeometry();
    QSize size = sizeHint().boundedTo(available.size());
    m_right = anchor.right() + size.width() + ArrowSize < available.right();
    if (m_right)
        setContentsMargins(9, 2, 1, 2);
    else
        setContentsMargins(1, 2, 9, 2);
    updateGeometry();
    size = sizeHint().boundedTo(available.size());

    const int x = m_right ? anchor.right() : anchor.left() - (size.width() + ArrowSize);
    const int middle = anchor.top() + anchor.height() / 2;
    int y = middle - size.height() / 2;
    if (y < available.top())
        y = available.top();
    else if (y + size.height() > available.bottom())
        y = available.bottom() - size.height();
    move(x, y);
    resize(size);

    m_outline = bubble(size, middle - y, m_right);
    QBitmap mask(size);
    mask.clear();
    {
        QPainter painter(&mask);
        painter.setPen(QPen(Qt::color1, 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        painter.setBrush(Qt::color1);
        painter.drawPath(m_outline);
    }
    setMask(mask);

    m_background = QPixmap(size);
    m_background.fill(Qt::transparent);
    {
        QPainter painter(&m_background);
        painter.setPen(QPen(QColor(StyleManager::themeVar(QStringLiteral("color_page_border"))), 1));
        painter.setBrush(palette().color(QPalette::Window));
        painter.drawPath(m_outline);
    }

    if (m_autoClose)
        m_timerId = startTimer(AutoCloseMs, Qt::CoarseTimer);
    show();
}

void Flyout::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}

void Flyout::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId) {
        QWidget::timerEvent(event);
        return;
    }
    killTimer(m_timerId);
    m_timerId = -1;
    if (!underMouse())
        close();
}

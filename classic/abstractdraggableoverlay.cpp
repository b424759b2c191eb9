#include "abstractdraggableoverlay.h"

#include <QFile>
#include <QHash>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

AbstractDraggableOverlay::AbstractDraggableOverlay(QWidget *parent)
    : AbstractOverlay(parent)
{ }

void AbstractDraggableOverlay::setDraggableBox(QWidget *box)
{
    m_box = box;
    if (box)
        addShadow(box);
}

void AbstractDraggableOverlay::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_box || !m_box->geometry().contains(event->pos())) {
        AbstractOverlay::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_movedByUser = true;
    m_boxPosAtPress = m_box->pos();
    m_pressGlobalPos = event->globalPos();
    event->accept();
}

void AbstractDraggableOverlay::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !m_box) {
        AbstractOverlay::mouseMoveEvent(event);
        return;
    }
    const QPoint delta = event->globalPos() - m_pressGlobalPos;
    const int x = qMax(0, qMin(m_boxPosAtPress.x() + delta.x(), width() - m_box->width()));
    const int y = qMax(0, qMin(m_boxPosAtPress.y() + delta.y(), height() - m_box->height()));
    m_box->move(x, y);
    event->accept();
}

void AbstractDraggableOverlay::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragging && event->button() == Qt::LeftButton) {
        m_dragging = false;
        event->accept();
        return;
    }
    AbstractOverlay::mouseReleaseEvent(event);
}

void AbstractDraggableOverlay::resizeEvent(QResizeEvent *event)
{
    AbstractOverlay::resizeEvent(event);
    placeBox();
}

void AbstractDraggableOverlay::placeBox()
{
    if (!m_box)
        return;
    const QRect box = m_box->geometry();
    if (!m_movedByUser) {
        m_box->move(qMax(0, width() - box.width()) / 2, qMax(0, height() - box.height()) / 3);
        return;
    }
    if (width() >= box.right() && height() >= box.bottom())
        return;
    m_box->move(qMax(0, qMin(box.x(), width() - box.width())),
                qMax(0, qMin(box.y(), height() - box.height())));
}

QSize AbstractDraggableOverlay::boundedByPage(const QSize &wanted, const QSize &pageReserve) const
{
    QSize room;
    if (const QWidget *page = parentWidget())
        room = page->size() - pageReserve;
    else if (const QScreen *shown = screen())
        room = shown->availableSize();
    return room.isValid() ? wanted.boundedTo(room.expandedTo(QSize(0, 0))) : wanted;
}

QFrame *AbstractDraggableOverlay::framedBox(const char *name, QWidget *parent)
{
    auto *box = new QFrame(parent);
    box->setObjectName(QLatin1String(name));
    box->setFrameShape(QFrame::Panel);
    box->setFrameShadow(QFrame::Plain);
    box->setLineWidth(1);
    box->setAutoFillBackground(true);
    return box;
}

QHBoxLayout *AbstractDraggableOverlay::addBoxHeader(QWidget *box, QVBoxLayout *boxLayout, QLabel **title)
{
    auto *header = new QWidget(box);
    header->setObjectName(QStringLiteral("dialogBoxHeader"));
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setObjectName(QStringLiteral("horizontalLayout_2"));
    headerLayout->setSpacing(0);
    headerLayout->setContentsMargins(8, 0, 0, 0);
    *title = new QLabel(header);
    (*title)->setObjectName(QStringLiteral("formTitle"));
    (*title)->setTextFormat(Qt::PlainText); // the server's title
    headerLayout->addWidget(*title);
    boxLayout->addWidget(header);
    return headerLayout;
}

QPushButton *AbstractDraggableOverlay::headerButton(const char *name, const QString &icon, QWidget *parent)
{
    constexpr QSize ButtonSize(32, 32);
    constexpr QSize IconSize(24, 24);
    auto *button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setFlat(true);
    button->setFixedSize(ButtonSize);
    button->setCursor(Qt::PointingHandCursor);
    button->setIconSize(IconSize);
    // Icon-only: named for assistive technology after what it does.
    static const QHash<QString, QString> Names { { QStringLiteral("printButton"), QStringLiteral("Print") },
                                                 { QStringLiteral("cancelButton"), QStringLiteral("Cancel") },
                                                 { QStringLiteral("closeButton"), QStringLiteral("Close") } };
    button->setAccessibleName(Names.value(button->objectName(), button->objectName()));
    // The themed icons exist once the style manager has written them.
    if (QFile::exists(icon))
        button->setIcon(QIcon(icon));
    return button;
}

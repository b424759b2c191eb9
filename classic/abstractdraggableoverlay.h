#pragma once

#include "abstractoverlay.h"

class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

#include <QPoint>
#include <QPointer>

// An overlay whose content is one framed box: centred across and a third of the way down until the
// user drags it with the left button, then left where it was dropped unless the page shrinks so far
// that it must be pulled back inside. The box never leaves the overlay through a drag.
class AbstractDraggableOverlay : public AbstractOverlay
{
    Q_OBJECT

public:
    explicit AbstractDraggableOverlay(QWidget *parent = nullptr);

    // The box must be a child of the overlay; it gets a drop shadow.
    void setDraggableBox(QWidget *box);
    QWidget *draggableBox() const { return m_box; }
    bool isMovedByUser() const { return m_movedByUser; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    // Puts the box where the rules above want it for the overlay's current size.
    void placeBox();

    // A wanted size of the box's content, bounded by the page less the room the page keeps around
    // the box (by the screen when the overlay has no page yet).
    QSize boundedByPage(const QSize &wanted, const QSize &pageReserve) const;

    // Parts the boxes share: the framed box, its title bar ("dialogBoxHeader" with the "formTitle"
    // label, added to the box's layout), and the flat icon buttons of that bar.
    static QFrame *framedBox(const char *name, QWidget *parent);
    static QHBoxLayout *addBoxHeader(QWidget *box, QVBoxLayout *boxLayout, QLabel **title);
    static QPushButton *headerButton(const char *name, const QString &icon, QWidget *parent);

private:
    QPointer<QWidget> m_box;
    bool m_dragging = false;
    QPoint m_pressGlobalPos;
    QPoint m_boxPosAtPress;
    bool m_movedByUser = false;
};

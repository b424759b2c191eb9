#pragma once

#include <QPainterPath>
#include <QPixmap>
#include <QWidget>

class QFrame;
class QPushButton;

// A frameless pop-up drawn as a speech bubble whose arrow points at the control that opened it.
// It goes to the right of its anchor when it fits there, else to the left, and is kept inside the
// screen's available area; a click outside closes and deletes it.
class Flyout : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ArrowSize = 8;
    static constexpr int CornerRadius = 7;
    static constexpr int AutoCloseMs = 5000;

    explicit Flyout(QWidget *parent = nullptr, bool autoClose = false);

    // Places, shapes and shows the flyout beside `anchor` (global coordinates).
    void flyout(const QRect &anchor);

    bool opensRight() const { return m_right; }
    QPainterPath outline() const { return m_outline; }

    // The bubble's outline for a flyout of `size` whose arrow points at height `arrowY`.
    static QPainterPath bubble(const QSize &size, int arrowY, bool right);

protected:
    // Pieces of the flyouts' rows: a horizontal divider line, and a 24 px icon button.
    static QFrame *line(const QString &name, QWidget *parent);
    static QPushButton *iconButton(const QString &name, const QString &icon, QWidget *parent);

    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    QPixmap m_background;
    QPainterPath m_outline;
    int m_timerId = -1;
    bool m_autoClose;
    bool m_right = true;
};

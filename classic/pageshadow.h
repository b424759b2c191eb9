#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

// A soft shadow behind a widget, drawn as rectangles of falling alpha by a sibling that follows the
// widget's geometry. Unlike a graphics effect it never renders the widget itself: a graphics
// effect paints the whole of its widget offscreen on every update, which for a page made very wide
// by one long text took seconds and gigabytes; this costs what the exposed strip of shadow costs.
class PageShadow : public QWidget
{
    Q_OBJECT

public:
    PageShadow(QWidget *target, int blur, int offset, const QColor &color);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void follow();

    QPointer<QWidget> m_target;
    int m_blur;
    int m_offset;
    QColor m_color;
};

#include "aspectratiopixmaplabel.h"

#include <QResizeEvent>

namespace {
constexpr int Margin = 8;
}

AspectRatioPixmapLabel::AspectRatioPixmapLabel(QWidget *parent)
    : QLabel(parent)
{
    setScaledContents(true);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QPixmap AspectRatioPixmapLabel::shownPixmap() const
{
    return pixmap(Qt::ReturnByValue);
}

void AspectRatioPixmapLabel::setPixmap(const QPixmap &pixmap)
{
    QLabel::setPixmap(pixmap);
    setMaximumWidth(pixmap.width());
}

QSize AspectRatioPixmapLabel::sizeHint() const
{
    const QPixmap shown = shownPixmap();
    return shown.isNull() ? QSize() : shown.size();
}

QSize AspectRatioPixmapLabel::minimumSizeHint() const
{
    return QSize(0, 0);
}

int AspectRatioPixmapLabel::heightForWidth(int width) const
{
    const QPixmap shown = shownPixmap();
    if (shown.isNull())
        return width;
    if (width > shown.width())
        return shown.height();
    return int(double(shown.height()) * width / shown.width());
}

void AspectRatioPixmapLabel::resizeEvent(QResizeEvent *event)
{
    const QPixmap shown = shownPixmap();
    const int pw = shown.width();
    const int ph = shown.height();
    const int w = event->size().width() - 2 * Margin;
    const int h = event->size().height() - 2 * Margin;
    if (pw > 0 && ph > 0 && w > 0 && h > 0) {
        // Scaled contents fill the rectangle inside the margins, so the margins set the shape.
        if (w * ph > h * pw) {
            const int side = (w - (h * pw) / ph) / 2 + Margin;
            setContentsMargins(side, Margin, side, Margin);
        } else {
            const int side = (h - (w * ph) / pw) / 2 + Margin;
            setContentsMargins(Margin, side, Margin, side);
        }
    }
    QLabel::resizeEvent(event);
}

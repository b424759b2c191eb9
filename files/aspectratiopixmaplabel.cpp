#include "aspectratiopixmaplabel.h"

#include <QResizeEvent>

AspectRatioPixmapLabel::AspectRatioPixmapLabel(QWidget *parent)
    : QLabel(parent)
{
    setScaledContents(true);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void AspectRatioPixmapLabel::setPixmap(const QPixmap &pixmap)
{
    QLabel::setPixmap(pixmap);
    setMaximumWidth(pixmap.width());
}

QSize AspectRatioPixmapLabel::sizeHint() const
{
    const QPixmap shown = pixmap(Qt::ReturnByValue);
    return shown.isNull() ? QSize() : shown.size();
}

QSize AspectRatioPixmapLabel::minimumSizeHint() const
{
    return QSize(0, 0);
}

int AspectRatioPixmapLabel::heightForWidth(int width) const
{
    const QPixmap shown = pixmap(Qt::ReturnByValue);
    if (shown.isNull() || shown.width() <= 0)
        return width;
    if (width > shown.width())
        return shown.height();
    return int(qreal(shown.height()) * width / shown.width());
}

void AspectRatioPixmapLabel::resizeEvent(QResizeEvent *event)
{
    const QPixmap shown = pixmap(Qt::ReturnByValue);
    const int pw = shown.width();
    const int ph = shown.height();
    const int w = event->size().width() - 2 * MinimumMargin;
    const int h = event->size().height() - 2 * MinimumMargin;
    if (pw > 0 && ph > 0 && w > 0 && h > 0) {
        // Compared in 64 bits: a large picture on a large label overflows int.
        if (qint64(w) * ph > qint64(h) * pw) {
            const int side = int((w - qint64(h) * pw / ph) / 2) + MinimumMargin;
            setContentsMargins(side, MinimumMargin, side, MinimumMargin);
        } else {
            const int topBottom = int((h - qint64(w) * ph / pw) / 2) + MinimumMargin;
            setContentsMargins(MinimumMargin, topBottom, MinimumMargin, topBottom);
        }
    }
    QLabel::resizeEvent(event);
}

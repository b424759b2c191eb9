#pragma once

#include <QLabel>
#include <QPixmap>

// A picture label that scales its picture to the space it is given without distorting it: the
// picture keeps its proportions, centred, with at least a small margin around it, and is never
// stretched wider than its own width.
class AspectRatioPixmapLabel : public QLabel
{
    Q_OBJECT

public:
    explicit AspectRatioPixmapLabel(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;
    bool hasHeightForWidth() const override { return true; }

public slots:
    void setPixmap(const QPixmap &pixmap);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QPixmap shownPixmap() const;
};

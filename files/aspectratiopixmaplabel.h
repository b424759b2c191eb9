#pragma once

#include <QLabel>

// A picture label that scales its picture to fit while keeping its proportions: the picture is
// centred by contents margins of at least 8 pixels, and never drawn wider than its own width.
class AspectRatioPixmapLabel : public QLabel
{
    Q_OBJECT

public:
    static constexpr int MinimumMargin = 8;

    explicit AspectRatioPixmapLabel(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;
    bool hasHeightForWidth() const override { return true; }

public slots:
    void setPixmap(const QPixmap &pixmap);

protected:
    void resizeEvent(QResizeEvent *event) override;
};

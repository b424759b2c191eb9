#pragma once

#include <QComboBox>
#include <QPdfView>

// The PDF viewer's zoom choice: two fit modes, then fixed steps from 12% to 400%. Zooming in or
// out from a fit mode returns to 100%; the steps stop at both ends.
class ZoomSelector : public QComboBox
{
    Q_OBJECT

public:
    static constexpr int FitWidthIndex = 0;
    static constexpr int FitPageIndex = 1;
    static constexpr int SmallestIndex = 2;
    static constexpr int ActualSizeIndex = 8;
    static constexpr int LargestIndex = 12;

    explicit ZoomSelector(QWidget *parent = nullptr);

signals:
    void zoomModeChanged(QPdfView::ZoomMode zoomMode);
    void zoomFactorChanged(double zoomFactor);

public slots:
    void zoomIn();
    void zoomOut();
    void reset();

private slots:
    void onCurrentIndexChanged(int index);
};

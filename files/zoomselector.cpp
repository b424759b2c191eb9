#include "zoomselector.h"

ZoomSelector::ZoomSelector(QWidget *parent)
    : QComboBox(parent)
{
    qRegisterMetaType<QPdfView::ZoomMode>("QPdfView::ZoomMode");
    setEditable(false);
    addItems({ QStringLiteral("Fit Width"), QStringLiteral("Fit Page"), QStringLiteral("12%"),
               QStringLiteral("25%"), QStringLiteral("33%"), QStringLiteral("50%"), QStringLiteral("66%"),
               QStringLiteral("75%"), QStringLiteral("100%"), QStringLiteral("125%"), QStringLiteral("150%"),
               QStringLiteral("200%"), QStringLiteral("400%") });
    connect(this, qOverload<int>(&QComboBox::currentIndexChanged), this, &ZoomSelector::onCurrentIndexChanged);
}

void ZoomSelector::zoomIn()
{
    const int index = currentIndex();
    setCurrentIndex(index <= FitPageIndex ? ActualSizeIndex : qMin(index + 1, LargestIndex));
}

void ZoomSelector::zoomOut()
{
    const int index = currentIndex();
    setCurrentIndex(index <= FitPageIndex ? ActualSizeIndex : qMax(index - 1, SmallestIndex));
}

void ZoomSelector::reset()
{
    setCurrentIndex(ActualSizeIndex);
}

void ZoomSelector::onCurrentIndexChanged(int index)
{
    const QString text = itemText(index);
    if (text == QLatin1String("Fit Width")) {
        emit zoomModeChanged(QPdfView::FitToWidth);
        return;
    }
    if (text == QLatin1String("Fit Page")) {
        emit zoomModeChanged(QPdfView::FitInView);
        return;
    }
    bool ok = false;
    const int percent = QString(text).remove(QLatin1Char('%')).toInt(&ok);
    emit zoomModeChanged(QPdfView::CustomZoom);
    emit zoomFactorChanged(ok ? percent / 100.0 : 1.0);
}

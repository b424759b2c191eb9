#pragma once

#include <QList>
#include <QWidget>

// Stands in for the classic page under an overlay: shows an overlay over itself as the page does
// (sized to the page, the window active, the overlay focused) and records the keys that get past
// the overlay to the page.
class OverlayPage : public QWidget
{
public:
    explicit OverlayPage(const QSize &size = QSize(1000, 800));

    // The overlay must be a child of this page.
    template<class Overlay>
    Overlay *show(Overlay *overlay)
    {
        showOverlay(overlay);
        return overlay;
    }

    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showOverlay(QWidget *overlay);
};

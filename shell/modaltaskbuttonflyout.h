#pragma once

#include "flyout.h"

#include <QPointer>

// Tells the user that the solo application must be finished before anything else can be used.
class ModalTaskButtonFlyout : public Flyout
{
    Q_OBJECT

public:
    static ModalTaskButtonFlyout *showFlyout(const QRect &anchor);
    static ModalTaskButtonFlyout *current() { return s_current; }
    ~ModalTaskButtonFlyout() override;

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    ModalTaskButtonFlyout();

    static QPointer<ModalTaskButtonFlyout> s_current;
};

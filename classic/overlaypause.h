#pragma once

#include "abstractdraggableoverlay.h"

class QFrame;
class QLabel;

// A server message that waits for any key. Printable keys are reported as their key code (letters
// as capitals), others as the logical key the key mapper makes of them; keys without a meaning
// are swallowed.
class OverlayPause : public AbstractDraggableOverlay
{
    Q_OBJECT

public:
    explicit OverlayPause(const QString &message, QWidget *parent = nullptr);

    RingMenuWidget *ringMenu() const override { return nullptr; }

signals:
    void keyPressed(int key);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QFrame *m_pauseBox;
    QLabel *m_messageLabel;
};

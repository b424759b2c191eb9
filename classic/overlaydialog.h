#pragma once

#include "abstractdraggableoverlay.h"

class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;

// A server question (Dialog type 1) with one answer button per option in a row. Each button carries
// its option's key in "zuKeyValue", answers to the key's character, and reports that key with
// buttonPressed; the overlay stays up until the page closes it.
class OverlayDialog : public AbstractDraggableOverlay
{
    Q_OBJECT

public:
    explicit OverlayDialog(const Pb::Dialog &dialog, QWidget *parent = nullptr);

    RingMenuWidget *ringMenu() const override { return nullptr; }
    QList<QPushButton *> buttons() const { return m_buttons; }

signals:
    void buttonPressed(int key);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void p_buttonPushed();

private:
    QFrame *m_dialogBox;
    QLabel *m_formTitle;
    QLabel *m_dialogText;
    QWidget *m_buttonBox;
    QHBoxLayout *m_buttonLayout;
    QList<QPushButton *> m_buttons;
};

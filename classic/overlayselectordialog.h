#pragma once

#include "abstractdraggableoverlay.h"

class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;

// A server choice list (Dialog type 2): one button per option, stacked in a scrollable column.
// An option answers to its key character with or without Shift; the title bar's cancel button
// (Escape) is there only when the server allows cancelling and reports ZUGUI_ABORT.
class OverlaySelectorDialog : public AbstractDraggableOverlay
{
    Q_OBJECT

public:
    explicit OverlaySelectorDialog(const Pb::Dialog &dialog, QWidget *parent = nullptr);

    RingMenuWidget *ringMenu() const override { return nullptr; }
    QList<QPushButton *> buttons() const { return m_buttons; }

signals:
    void selectionClicked(int key);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void p_selectionClicked();

private:
    QFrame *m_selectionBox;
    QLabel *m_formTitle;
    QPushButton *m_cancelButton;
    QLabel *m_formPrompt;
    QScrollArea *m_scrollArea;
    QWidget *m_contentWidget;
    QList<QPushButton *> m_buttons;
};

#pragma once

#include "uidlg.pb.h"

#include <QFrame>
#include <QHash>
#include <QKeySequence>
#include <QPointer>

class QAction;
class RingMenuButton;
class RingMenuLayout;

// The command bar along the bottom of a classic page, built from the server's ScreenMenu: level-0
// items are buttons, deeper levels drop-down menus, and every item's key is bound in a shortcut
// table. Choosing an item reports its key value with itemTriggered; the page sends it on.
class RingMenuWidget : public QFrame
{
    Q_OBJECT

    Q_PROPERTY(int spacing READ spacing WRITE setSpacing)
    Q_PROPERTY(bool rightAligned READ rightAligned WRITE setRightAligned)

public:
    explicit RingMenuWidget(QWidget *parent = nullptr);

    // Rebuilds buttons, menus and shortcuts; a menu equal to the last one is ignored unless forced.
    // Returns the number of buttons and actions made.
    int buildMenu(const Pb::ScreenMenu &menu, bool force);
    // Activates the item bound to a key: a button gets the focus and is clicked, an action is
    // triggered. False when nothing is bound.
    bool triggerShortcut(const QKeySequence &sequence);
    // Gives the focus to the button bound to a key; false for actions and unbound keys.
    bool focusShortcut(const QKeySequence &sequence);

    QString infoText() const { return m_infoText; }
    RingMenuButton *currentButton() const { return m_currentButton; }
    RingMenuLayout *ringLayout() const { return m_layout; }
    QObject *boundTo(const QKeySequence &sequence) const { return m_shortcuts.value(sequence); }

    int spacing() const;
    void setSpacing(int spacing);
    bool rightAligned() const { return m_rightAligned; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    void setRightAligned(bool rightAligned) { m_rightAligned = rightAligned; }

signals:
    void itemTriggered(bool isChild, int key);
    void focusedTooltipChanged(QString itemTooltip);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private slots:
    void buttonClickedPriv();
    void actionTriggeredPriv(QAction *action);
    void themeChanged();

private:
    RingMenuButton *addButton(const QString &label);
    void bindButton(RingMenuButton *button, const Pb::ScreenMenu::MenuItem &item,
                    const QKeySequence &sequence, int keyChar);
    void bindAction(QAction *action, int position, const Pb::ScreenMenu::MenuItem &item,
                    const QKeySequence &sequence, int keyChar);
    void bindKeyChar(int keyChar, QObject *target);
    void setCurrentButton(RingMenuButton *button);

    QString m_infoText;
    RingMenuButton *m_currentButton = nullptr;
    QHash<QKeySequence, QPointer<QObject>> m_shortcuts;
    RingMenuLayout *m_layout;
    Pb::ScreenMenu m_menu;
    bool m_rightAligned = false;
};

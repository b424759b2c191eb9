#pragma once

#include "uidlg.pb.h"

#include <QString>
#include <QVector>

// A ring menu of the classic demo and the way back from the client's replies to the command
// chosen. The client reports a level-0 item with ZUGUI_KEY and the item's key, an item of a
// drop-down with ZUGUI_MENU and the item's position in the list minus its level. An item without
// a label only lends its key to the item before it on the same level.
class ClassicMenu
{
public:
    static constexpr int NoAction = -1;

    explicit ClassicMenu(const QString &info = QString());

    // A level-0 item; action NoAction for the head of a drop-down.
    ClassicMenu &add(int action, const QString &label, int key, const QString &comment = QString());
    // An item of the drop-down opened by the last level-0 item.
    ClassicMenu &addChild(int action, const QString &label, int key);
    // Another key for the last item added.
    ClassicMenu &alias(int key);

    Pb::ScreenMenu message() const;
    // The action a ZUGUI_KEY (menuCommand false) or ZUGUI_MENU reply stands for, or NoAction.
    int actionFor(bool menuCommand, int keyCode) const;

private:
    struct Item
    {
        int level;
        QString label;
        QString comment;
        int key;
        int action;
    };

    QString m_info;
    QVector<Item> m_items;
};

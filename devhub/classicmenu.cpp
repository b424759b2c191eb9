#include "classicmenu.h"

#include "latin1.h"

ClassicMenu::ClassicMenu(const QString &info)
    : m_info(info)
{ }

ClassicMenu &ClassicMenu::add(int action, const QString &label, int key, const QString &comment)
{
    m_items.append({ 0, label, comment, key, action });
    return *this;
}

ClassicMenu &ClassicMenu::addChild(int action, const QString &label, int key)
{
    m_items.append({ 1, label, QString(), key, action });
    return *this;
}

ClassicMenu &ClassicMenu::alias(int key)
{
    const int level = m_items.isEmpty() ? 0 : m_items.constLast().level;
    m_items.append({ level, QString(), QString(), key, NoAction });
    return *this;
}

Pb::ScreenMenu ClassicMenu::message() const
{
    Pb::ScreenMenu menu;
    menu.set_menu_info(Latin1::fromQString(m_info));
    for (const Item &item : m_items) {
        Pb::ScreenMenu::MenuItem *entry = menu.add_menu_item();
        entry->set_level(item.level);
        if (!item.label.isEmpty())
            entry->set_label(Latin1::fromQString(item.label));
        if (!item.comment.isEmpty())
            entry->set_comment(Latin1::fromQString(item.comment));
        entry->set_shortcut_key(item.key);
    }
    return menu;
}

int ClassicMenu::actionFor(bool menuCommand, int keyCode) const
{
    int owner = NoAction; // the labelled item an alias belongs to
    for (int i = 0; i < m_items.size(); ++i) {
        const Item &item = m_items.at(i);
        if (!item.label.isEmpty())
            owner = item.action;
        if (menuCommand) {
            if (item.level > 0 && !item.label.isEmpty() && i - item.level == keyCode)
                return item.action;
        } else if (item.level == 0 && item.key == keyCode && owner != NoAction) {
            return owner;
        }
    }
    return NoAction;
}

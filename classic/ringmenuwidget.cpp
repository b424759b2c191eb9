#include "ringmenuwidget.h"

#include "expandkeymarkers.h"
#include "keymapper.h"
#include "ringmenubutton.h"
#include "ringmenulayout.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QKeyEvent>
#include <QMenu>

namespace {

constexpr auto KeyValueProperty = "zuKeyValue";
// The plain label of an action, from which its mnemonic is made.
constexpr auto ActionLabelProperty = "_ringLabel";

QString latin1(const std::string &text)
{
    return QString::fromLatin1(text.data(), int(text.size()));
}

// Equal for the ring menu: the levels are not compared.
bool sameMenu(const Pb::ScreenMenu &a, const Pb::ScreenMenu &b)
{
    if (a.menu_info() != b.menu_info() || a.menu_item_size() != b.menu_item_size())
        return false;
    for (int i = 0; i < a.menu_item_size(); ++i) {
        const Pb::ScreenMenu::MenuItem &x = a.menu_item(i);
        const Pb::ScreenMenu::MenuItem &y = b.menu_item(i);
        if (x.label() != y.label() || x.comment() != y.comment() || x.icon() != y.icon()
            || x.shortcut_key() != y.shortcut_key())
            return false;
    }
    return true;
}

// Key events carry upper-case letter codes, so a lower-case key character is bound as its
// upper-case key.
int keyForChar(int keyChar)
{
    const QChar c(keyChar);
    return c.isLower() ? c.toUpper().unicode() : keyChar;
}

void setActionKeyChar(QAction *action, int keyChar)
{
    action->setText(RingMenuButton::withMnemonic(action->property(ActionLabelProperty).toString(), keyChar));
}

} // namespace

RingMenuWidget::RingMenuWidget(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("ringMenu"));
    setFocusPolicy(Qt::StrongFocus);
    setContentsMargins(0, 0, 0, 0);
    m_layout = new RingMenuLayout(this);
    m_layout->setContentsMargins(contentsMargins());
    m_layout->setSpacing(0);
    // The done key's buttons show and answer to the key chosen now.
    connect(KeyMapper::instance(), &KeyMapper::doneKeyChanged, this, [this] { buildMenu(m_menu, true); });
}

int RingMenuWidget::spacing() const
{
    return m_layout->spacing();
}

void RingMenuWidget::setSpacing(int spacing)
{
    m_layout->setSpacing(spacing);
}

QSize RingMenuWidget::sizeHint() const
{
    return m_layout->minimumSize();
}

QSize RingMenuWidget::minimumSizeHint() const
{
    return m_layout->minimumSize();
}

int RingMenuWidget::buildMenu(const Pb::ScreenMenu &menu, bool force)
{
    if (!force && sameMenu(menu, m_menu)) {
        qDebug() << "Duplicate menu ignored.";
        return 0;
    }
    qDebug() << "BUILDING RING MENU";
    // The copy first: the message may be m_menu itself (theme change).
    const Pb::ScreenMenu source = menu;
    m_menu = source;
    m_infoText = latin1(source.menu_info());

    bool focusInBar = false;
    if (QWidget *focused = QApplication::focusWidget()) {
        for (int i = 0; i < m_layout->count(); ++i)
            focusInBar = focusInBar || m_layout->itemAt(i)->widget() == focused;
    }
    setCurrentButton(nullptr);
    m_layout->clearButtons();
    m_shortcuts.clear();
    if (focusInBar)
        setFocus(Qt::OtherFocusReason);

    QHash<int, QMenu *> menusByLevel;
    QHash<int, QObject *> lastByLevel;
    int made = 0;
    const int itemCount = source.menu_item_size();
    for (int i = 0; i < itemCount; ++i) {
        const Pb::ScreenMenu::MenuItem &item = source.menu_item(i);
        const int level = item.level();
        const int key = item.shortcut_key();
        if (key == 0) {
            qWarning() << "WARNING: Found menu item with no key";
            continue;
        }
        if (level < 0) {
            qWarning() << "RingMenuWidget::buildMenu() - item" << i << "has a negative level:" << level;
            continue;
        }
        const QKeySequence sequence = KeyMapper::instance()->keySequenceFor(key);
        const int keyChar = sequence.isEmpty() && key > 0 && key <= 0xFFFF ? key : 0;

        if (!item.has_label() || item.label().empty()) {
            QObject *last = lastByLevel.value(level);
            if (!last)
                continue;
            bindKeyChar(keyChar, last);
            if (auto *button = qobject_cast<RingMenuButton *>(last)) {
                qDebug() << "menu item without label - assigning key (" << key << ")"
                         << "to previous button" << button->text() << "Level:" << level;
                if (!sequence.isEmpty())
                    button->setShortcut(sequence);
                if (keyChar)
                    button->setKeyChar(keyChar);
            } else if (auto *action = qobject_cast<QAction *>(last)) {
                qDebug() << "menu item without label - assigning key (" << key << ")"
                         << "to previous action" << action->text() << "Level:" << level;
                if (!sequence.isEmpty())
                    action->setShortcut(sequence);
                if (keyChar)
                    setActionKeyChar(action, keyChar);
            } else {
                qWarning() << "No action found!!! menu item without label when assigning key (" << key << ")";
            }
            continue;
        }

        // Deeper than one below the open header: there is no menu to hang it on.
        if (level > 0 && !menusByLevel.contains(level - 1)) {
            qWarning() << "RingMenuWidget::buildMenu() - item" << i << "at level" << level
                       << "has no parent menu; ignored";
            continue;
        }
        const QString label = latin1(item.label()).trimmed();
        const bool header = i + 1 < itemCount && source.menu_item(i + 1).level() > level;
        // Menus deeper than this item belong to earlier branches.
        for (auto it = menusByLevel.begin(); it != menusByLevel.end();) {
            if (it.key() > level || (it.key() == level && !header))
                it = menusByLevel.erase(it);
            else
                ++it;
        }

        if (level == 0) {
            RingMenuButton *button = addButton(label);
            if (header) {
                auto *dropDown = new QMenu(button);
                dropDown->setObjectName(QStringLiteral("ringButtonMenu"));
                connect(dropDown, &QMenu::triggered, this, &RingMenuWidget::actionTriggeredPriv);
                button->setMenu(dropDown);
                menusByLevel.insert(0, dropDown);
            } else {
                connect(button, &QPushButton::clicked, this, &RingMenuWidget::buttonClickedPriv);
            }
            lastByLevel.insert(0, button);
            bindButton(button, item, sequence, keyChar);
        } else {
            QMenu *parentMenu = menusByLevel.value(level - 1);
            QAction *action = nullptr;
            if (header) {
                auto *subMenu = new QMenu(label, parentMenu);
                action = parentMenu->addMenu(subMenu);
                menusByLevel.insert(level, subMenu);
            } else {
                action = parentMenu->addAction(label);
            }
            lastByLevel.insert(level, action);
            action->setProperty(ActionLabelProperty, label);
            bindAction(action, i, item, sequence, keyChar);
        }
        ++made;
    }
    // Place the new buttons now: a button that is not shown yet cannot take the focus.
    m_layout->activate();
    if (m_currentButton && QApplication::focusWidget() == this)
        m_currentButton->setFocus(Qt::OtherFocusReason);
    return made;
}

RingMenuButton *RingMenuWidget::addButton(const QString &label)
{
    auto *button = new RingMenuButton(label, this);
    button->setObjectName(QStringLiteral("ringButton"));
    m_layout->addWidget(button);
    return button;
}

void RingMenuWidget::bindButton(RingMenuButton *button, const Pb::ScreenMenu::MenuItem &item,
                                const QKeySequence &sequence, int keyChar)
{
    if (!sequence.isEmpty()) {
        m_shortcuts.insert(sequence, button);
        button->setShortcut(sequence);
    }
    if (keyChar) {
        bindKeyChar(keyChar, button);
        button->setKeyChar(keyChar);
    }
    button->installEventFilter(this);
    button->setProperty(KeyValueProperty, item.shortcut_key());
    if (item.has_comment())
        button->setToolTipText(expandKeyMarkers(item.comment()));
    qDebug() << "ring button" << button->text() << "icon:" << latin1(item.icon())
             << "key:" << item.shortcut_key() << "zuKeyValue:" << item.shortcut_key();
    if (!m_currentButton) {
        setCurrentButton(button);
        if (QApplication::focusWidget() == this)
            button->setFocus(Qt::OtherFocusReason);
    }
}

void RingMenuWidget::bindAction(QAction *action, int position, const Pb::ScreenMenu::MenuItem &item,
                                const QKeySequence &sequence, int keyChar)
{
    if (!sequence.isEmpty()) {
        m_shortcuts.insert(sequence, action);
        action->setShortcut(sequence);
    }
    if (keyChar)
        setActionKeyChar(action, keyChar);
    // Actions report their position in the whole list less their level.
    const int keyValue = position - item.level();
    action->setProperty(KeyValueProperty, keyValue);
    qDebug() << "ring menu action" << action->text() << "icon:" << latin1(item.icon())
             << "key:" << item.shortcut_key() << "zuKeyValue:" << keyValue;
}

void RingMenuWidget::bindKeyChar(int keyChar, QObject *target)
{
    if (!keyChar)
        return;
    const int key = keyForChar(keyChar);
    m_shortcuts.insert(QKeySequence(key), target);
    m_shortcuts.insert(QKeySequence(key | Qt::ShiftModifier), target);
}

void RingMenuWidget::setCurrentButton(RingMenuButton *button)
{
    m_currentButton = button;
    setFocusProxy(button);
}

bool RingMenuWidget::triggerShortcut(const QKeySequence &sequence)
{
    QObject *target = m_shortcuts.value(sequence);
    if (auto *button = qobject_cast<RingMenuButton *>(target)) {
        button->setFocus(Qt::OtherFocusReason);
        button->click();
        return true;
    }
    if (auto *action = qobject_cast<QAction *>(target)) {
        action->activate(QAction::Trigger);
        return true;
    }
    return false;
}

bool RingMenuWidget::focusShortcut(const QKeySequence &sequence)
{
    auto *button = qobject_cast<RingMenuButton *>(m_shortcuts.value(sequence));
    if (!button)
        return false;
    button->setFocus(Qt::OtherFocusReason);
    return true;
}

void RingMenuWidget::buttonClickedPriv()
{
    if (auto *button = qobject_cast<RingMenuButton *>(sender()))
        emit itemTriggered(false, button->property(KeyValueProperty).toInt());
}

void RingMenuWidget::actionTriggeredPriv(QAction *action)
{
    qDebug() << "------ RingMenuWidget::actionTriggeredPriv";
    emit itemTriggered(true, action->property(KeyValueProperty).toInt());
}

void RingMenuWidget::themeChanged()
{
    buildMenu(m_menu, true);
}

// While the focus is in the bar, its keys are not application shortcuts.
bool RingMenuWidget::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        if (m_shortcuts.contains(QKeySequence(keyEvent->key() | int(keyEvent->modifiers())))) {
            event->accept();
            return true;
        }
    }
    return QFrame::event(event);
}

bool RingMenuWidget::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        if (triggerShortcut(QKeySequence(keyEvent->key() | int(keyEvent->modifiers()))))
            return true;
        switch (keyEvent->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Right:
            m_layout->focusNext();
            return true;
        case Qt::Key_Backtab:
        case Qt::Key_Left:
            m_layout->focusPrevious();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_currentButton)
                m_currentButton->click();
            return true;
        default:
            break;
        }
        break;
    }
    case QEvent::FocusIn:
        // The extension button is a way to the hidden items, never the current item.
        if (auto *button = qobject_cast<RingMenuButton *>(watched); button && button != m_layout->extensionButton()) {
            setCurrentButton(button);
            emit focusedTooltipChanged(button->toolTipText());
        }
        break;
    case QEvent::FocusOut:
        emit focusedTooltipChanged(QString());
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}

void RingMenuWidget::focusInEvent(QFocusEvent *event)
{
    if (m_currentButton)
        m_currentButton->setFocus(Qt::OtherFocusReason);
    else
        QFrame::focusInEvent(event);
}

#include "ringmenulayout.h"

#include "ringmenubutton.h"
#include "ringmenuwidget.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>

#include <utility>

namespace {
constexpr int ExtensionIndex = -2;
constexpr int NoIndex = -1;
} // namespace

RingMenuLayout::RingMenuLayout(RingMenuWidget *parent)
    : QLayout(parent)
    , m_ringWidget(parent)
    , m_extensionButton(new RingMenuButton(QString(), parent))
    , m_overflowMenu(new QMenu(parent))
{
    setSizeConstraint(QLayout::SetMinimumSize);
    m_extensionButton->setObjectName(QStringLiteral("RingMenuExtensionButton"));
    m_extensionButton->installEventFilter(parent);
    m_extensionButton->setMenu(m_overflowMenu);
    m_extensionButton->hide();
    QLayout::addWidget(m_extensionButton);
}

RingMenuLayout::~RingMenuLayout()
{
    qDeleteAll(m_items);
}

void RingMenuLayout::addWidget(QWidget *widget)
{
    m_buttons.append(widget);
    QLayout::addWidget(widget);
}

void RingMenuLayout::clearButtons()
{
    m_overflowMenu->clear();
    const QList<QWidget *> buttons = std::exchange(m_buttons, {});
    for (QWidget *button : buttons)
        delete button;
    m_extensionButton->hide();
}

void RingMenuLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
    invalidate();
}

QLayoutItem *RingMenuLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem *RingMenuLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem *item = m_items.takeAt(index);
    if (QWidget *widget = item->widget()) {
        m_buttons.removeAll(widget);
        if (widget == m_extensionButton)
            m_extensionButton = nullptr;
    }
    invalidate();
    return item;
}

int RingMenuLayout::count() const
{
    return m_items.size();
}

QSize RingMenuLayout::sizeHint() const
{
    return minimumSize();
}

QSize RingMenuLayout::minimumSize() const
{
    const int spacing = qMax(0, this->spacing());
    const int shown = qMin(m_buttons.size(), m_minimumVisibleCount);
    int width = 0;
    for (int i = 0; i < shown; ++i)
        width += m_buttons.at(i)->sizeHint().width() + (i > 0 ? spacing : 0);
    int height = m_extensionButton ? m_extensionButton->sizeHint().height() : 0;
    if (m_buttons.size() > shown && m_extensionButton)
        width += m_extensionButton->sizeHint().width() + spacing;
    for (const QWidget *button : m_buttons)
        height = qMax(height, button->sizeHint().height());
    const QMargins margins = contentsMargins();
    return QSize(width + margins.left() + margins.right(), height + margins.top() + margins.bottom());
}

void RingMenuLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    m_overflowMenu->clear();
    if (m_buttons.isEmpty() || !m_extensionButton)
        return;

    const QRect r = rect.marginsRemoved(contentsMargins());
    const int spacing = qMax(0, this->spacing());
    const int extensionWidth = m_extensionButton->sizeHint().width();
    const int extensionLeft = r.right() - extensionWidth + 1;

    bool overflow = false;
    int x = r.x();
    for (const QWidget *button : qAsConst(m_buttons)) {
        const int width = button->sizeHint().width();
        if (x + width > r.right() + 1) {
            overflow = true;
            break;
        }
        x += width + spacing;
    }
    const int limit = overflow ? extensionLeft : r.right() + 1;

    int offset = 0;
    if (m_ringWidget->rightAligned()) {
        int acc = r.x();
        for (const QWidget *button : qAsConst(m_buttons)) {
            const int width = button->sizeHint().width();
            if (width + acc > limit) {
                offset = limit - acc;
                break;
            }
            offset = limit - acc - width;
            acc += width + spacing;
        }
    }

    QList<QWidget *> toHide;
    QList<QWidget *> toShow;
    x = r.x();
    for (QWidget *widget : qAsConst(m_buttons)) {
        const int width = widget->sizeHint().width();
        if (x + width <= limit) {
            widget->setGeometry(x + offset, r.top(), width, r.height());
            toShow.append(widget);
        } else {
            auto *button = qobject_cast<RingMenuButton *>(widget);
            const QString text
                = button ? RingMenuButton::withMnemonic(button->text(), button->keyChar()) : QString();
            QAction *action = m_overflowMenu->addAction(button ? button->icon() : QIcon(), text);
            if (button) {
                action->setShortcut(button->shortcut());
                connect(action, &QAction::triggered, button, &QAbstractButton::clicked);
                if (button->dropDown())
                    action->setMenu(button->dropDown());
            }
            toHide.append(widget);
        }
        x += width + spacing;
    }

    if (overflow) {
        m_extensionButton->setGeometry(extensionLeft, r.top(), extensionWidth, r.height());
        toShow.append(m_extensionButton);
    } else {
        toHide.append(m_extensionButton);
    }
    for (QWidget *widget : qAsConst(toHide))
        widget->hide();
    for (QWidget *widget : qAsConst(toShow))
        widget->show();
}

// Index of the focused ring button, ExtensionIndex for the extension button, else NoIndex.
int RingMenuLayout::focusedButtonIndex() const
{
    QWidget *focused = QApplication::focusWidget();
    if (!focused)
        return NoIndex;
    if (focused == m_extensionButton)
        return ExtensionIndex;
    return m_buttons.indexOf(focused);
}

QWidget *RingMenuLayout::lastShownButton() const
{
    for (int i = m_buttons.size() - 1; i >= 0; --i) {
        if (!m_buttons.at(i)->isHidden())
            return m_buttons.at(i);
    }
    return nullptr;
}

void RingMenuLayout::focusNext()
{
    const int index = focusedButtonIndex();
    QWidget *target = nullptr;
    if (index == ExtensionIndex) {
        if (!m_buttons.isEmpty() && !m_buttons.first()->isHidden())
            target = m_buttons.first();
    } else if (index >= 0) {
        if (index + 1 < m_buttons.size() && !m_buttons.at(index + 1)->isHidden())
            target = m_buttons.at(index + 1);
        else if (m_extensionButton && !m_extensionButton->isHidden())
            target = m_extensionButton;
        else
            target = m_buttons.first();
    }
    if (target)
        target->setFocus(Qt::TabFocusReason);
}

void RingMenuLayout::focusPrevious()
{
    const int index = focusedButtonIndex();
    QWidget *target = nullptr;
    if (index == ExtensionIndex) {
        target = lastShownButton();
    } else if (index > 0) {
        target = m_buttons.at(index - 1);
    } else if (index == 0) {
        if (m_extensionButton && !m_extensionButton->isHidden())
            target = m_extensionButton;
        else
            target = lastShownButton();
    }
    if (target)
        target->setFocus(Qt::BacktabFocusReason);
}

#pragma once

#include "ringmenubutton.h"

#include <QLayout>
#include <QList>

class QMenu;
class QPushButton;
class RingMenuWidget;

// Places the ring buttons in one row. Buttons that do not fit are hidden and offered in the
// overflow menu of a trailing extension button; the minimum size always has room for three.
class RingMenuLayout : public QLayout
{
    Q_OBJECT

public:
    static constexpr int MinimumVisibleCount = 3;

    explicit RingMenuLayout(RingMenuWidget *parent);
    ~RingMenuLayout() override;

    void addWidget(QWidget *widget);
    // Deletes every button at once, so that no stale button outlives a rebuild.
    void clearButtons();
    void focusNext();
    void focusPrevious();

    QList<QWidget *> buttons() const { return m_buttons; }
    QPushButton *extensionButton() const { return m_extensionButton; }
    QMenu *overflowMenu() const { return m_overflowMenu; }

    void addItem(QLayoutItem *item) override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    int focusedButtonIndex() const;
    QWidget *lastShownButton() const;

    RingMenuWidget *m_ringWidget;
    QList<QWidget *> m_buttons;
    QList<QLayoutItem *> m_items;
    RingMenuButton *m_extensionButton;
    QMenu *m_overflowMenu;
    int m_minimumVisibleCount = MinimumVisibleCount;
};

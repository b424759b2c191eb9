#include "classic/ringmenubutton.h"
#include "classic/ringmenulayout.h"
#include "classic/ringmenuwidget.h"
#include "classic/toolbaricon.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

struct Item
{
    int level;
    const char *label; // nullptr: no label
    int key;
    const char *comment = nullptr;
};

Pb::ScreenMenu menuOf(std::initializer_list<Item> items, const char *info = "Choose")
{
    Pb::ScreenMenu menu;
    menu.set_menu_info(info);
    for (const Item &item : items) {
        Pb::ScreenMenu::MenuItem *added = menu.add_menu_item();
        added->set_level(item.level);
        if (item.label)
            added->set_label(item.label);
        added->set_shortcut_key(item.key);
        if (item.comment)
            added->set_comment(item.comment);
        added->set_icon("none");
    }
    return menu;
}

// The colour of the first fully opaque pixel, or an invalid colour.
QColor inkOf(const QPixmap &pixmap)
{
    const QImage image = pixmap.toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.alpha() == 255)
                return colour;
        }
    }
    return QColor();
}

QKeySequence keyOf(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    return QKeySequence(key | int(modifiers));
}

} // namespace

class tst_RingMenuWidget : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(m_window.get());
        m_before = new QPushButton(QStringLiteral("elsewhere"), m_window.get());
        layout->addWidget(m_before);
        m_ring = new RingMenuWidget(m_window.get());
        layout->addWidget(m_ring);
        m_window->resize(900, 120);
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void cleanup() { m_window.reset(); }

    void buttonsAndSubMenus()
    {
        QSignalSpy triggered(m_ring, &RingMenuWidget::itemTriggered);
        const int made = m_ring->buildMenu(
            menuOf({ { 0, "File", 'F' }, { 1, "Done", 2001 }, { 1, "Exit", 'X' }, { 0, "Save", 'S' } }),
            false);
        QCOMPARE(made, 4);
        QCOMPARE(m_ring->infoText(), QStringLiteral("Choose"));
        const QList<QWidget *> buttons = m_ring->ringLayout()->buttons();
        QCOMPARE(buttons.size(), 2);
        auto *file = qobject_cast<RingMenuButton *>(buttons.at(0));
        auto *save = qobject_cast<RingMenuButton *>(buttons.at(1));
        QCOMPARE(file->text(), QStringLiteral("File"));
        QCOMPARE(file->objectName(), QStringLiteral("ringButton"));
        QCOMPARE(file->property("zuKeyValue").toInt(), int('F'));
        QVERIFY(file->QPushButton::text().isEmpty());
        QMenu *menu = file->dropDown();
        QVERIFY(menu);
        QCOMPARE(menu->objectName(), QStringLiteral("ringButtonMenu"));
        QCOMPARE(save->dropDown(), nullptr);
        QCOMPARE(m_ring->currentButton(), file);
        QCOMPARE(m_ring->focusProxy(), file);

        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions.at(0)->text(), QStringLiteral("Done"));
        QCOMPARE(actions.at(0)->shortcut(), QKeySequence(Qt::Key_F9));
        QCOMPARE(actions.at(0)->property("zuKeyValue").toInt(), 0);
        QCOMPARE(actions.at(1)->text(), QStringLiteral("E&xit"));
        QCOMPARE(actions.at(1)->property("zuKeyValue").toInt(), 1);

        actions.at(1)->trigger();
        QCOMPARE(triggered.count(), 1);
        QCOMPARE(triggered.last(), QVariantList({ true, 1 }));
        save->click();
        QCOMPARE(triggered.count(), 2);
        QCOMPARE(triggered.last(), QVariantList({ false, 83 }));

        // The key character is underlined in the label; the item's own key is not shown as text.
        QCOMPARE(save->findChild<QLabel *>(QStringLiteral("ringMenuText"))->text(),
                 QStringLiteral("<u>S</u>ave"));
        QVERIFY(!save->findChild<QLabel *>(QStringLiteral("ringMenuShortcut")));
    }

    void nestedLevels()
    {
        QSignalSpy triggered(m_ring, &RingMenuWidget::itemTriggered);
        m_ring->buildMenu(menuOf({ { 0, "Reports", 'R' },
                                   { 1, "Daily", 'D' },
                                   { 2, "Summary", 'M' },
                                   { 2, "Detail", 2003 },
                                   { 1, "Monthly", 'O' },
                                   { 0, "Quit", 2000 } }),
                          false);
        auto *reports = qobject_cast<RingMenuButton *>(m_ring->ringLayout()->buttons().at(0));
        QMenu *top = reports->dropDown();
        QCOMPARE(top->actions().size(), 2);
        QAction *daily = top->actions().at(0);
        QVERIFY(daily->menu());
        QCOMPARE(daily->text(), QStringLiteral("&Daily"));
        QCOMPARE(daily->menu()->title(), daily->text());
        QCOMPARE(daily->property("zuKeyValue").toInt(), 0);
        const QList<QAction *> deep = daily->menu()->actions();
        QCOMPARE(deep.size(), 2);
        QCOMPARE(deep.at(0)->text(), QStringLiteral("Su&mmary"));
        QCOMPARE(deep.at(0)->property("zuKeyValue").toInt(), 0); // position 2 less level 2
        QCOMPARE(deep.at(1)->property("zuKeyValue").toInt(), 1);
        QCOMPARE(top->actions().at(1)->property("zuKeyValue").toInt(), 3);

        // A deep action reaches the bar through the menu chain, once.
        deep.at(1)->trigger();
        QCOMPARE(triggered.count(), 1);
        QCOMPARE(triggered.last(), QVariantList({ true, 1 }));
        QVERIFY(m_ring->triggerShortcut(QKeySequence(Qt::Key_F6)));
        QCOMPARE(triggered.count(), 2);
        QCOMPARE(triggered.last(), QVariantList({ true, 1 }));

        auto *quit = qobject_cast<RingMenuButton *>(m_ring->ringLayout()->buttons().at(1));
        QCOMPARE(quit->shortcut(), QKeySequence(Qt::Key_Escape));
        QCOMPARE(quit->findChild<QLabel *>(QStringLiteral("ringMenuShortcut"))->text(),
                 QKeySequence(Qt::Key_Escape).toString(QKeySequence::NativeText));
    }

    void malformedItems()
    {
        QTest::ignoreMessage(QtWarningMsg, "WARNING: Found menu item with no key");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("level 2 has no parent menu"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("negative level"));
        const int made = m_ring->buildMenu(menuOf({ { 1, nullptr, 'Z' }, // nothing before it
                                                    { 0, "Keyless", 0 },
                                                    { 0, "Plain", 'P' },
                                                    { 2, "Orphan", 'O' },
                                                    { -1, "Negative", 'N' },
                                                    { 0, "Next", 'N' } }),
                                           false);
        QCOMPARE(made, 2);
        QCOMPARE(m_ring->ringLayout()->buttons().size(), 2);
        QVERIFY(!m_ring->boundTo(keyOf('Z')));
        QCOMPARE(m_ring->boundTo(keyOf('N')), m_ring->ringLayout()->buttons().at(1));
    }

    void unlabelledItemsAddKeys()
    {
        m_ring->buildMenu(menuOf({ { 0, "Accept", 'A' },
                                   { 0, nullptr, 2001 },
                                   { 0, nullptr, 'C' },
                                   { 0, "Tools", 'T' },
                                   { 1, "Sort", 'S' },
                                   { 1, nullptr, 2003 },
                                   { 1, nullptr, 'r' } }),
                          false);
        auto *accept = qobject_cast<RingMenuButton *>(m_ring->ringLayout()->buttons().at(0));
        QCOMPARE(accept->shortcut(), QKeySequence(Qt::Key_F9));
        QCOMPARE(accept->keyChar(), int('C'));
        QCOMPARE(accept->property("zuKeyValue").toInt(), int('A'));
        // Only the labelled item's keys and the extra characters go into the table.
        QVERIFY(!m_ring->boundTo(QKeySequence(Qt::Key_F9)));
        QCOMPARE(m_ring->boundTo(keyOf('A')), accept);
        QCOMPARE(m_ring->boundTo(keyOf('C', Qt::ShiftModifier)), accept);

        auto *tools = qobject_cast<RingMenuButton *>(m_ring->ringLayout()->buttons().at(1));
        QAction *sort = tools->dropDown()->actions().at(0);
        QCOMPARE(sort->shortcut(), QKeySequence(Qt::Key_F6));
        QCOMPARE(sort->text(), QStringLiteral("So&rt"));
        // A lower-case key character is bound as the key that produces it.
        QCOMPARE(m_ring->boundTo(keyOf('R')), sort);
        QCOMPARE(m_ring->boundTo(keyOf('R', Qt::ShiftModifier)), sort);
    }

    void duplicates()
    {
        const Pb::ScreenMenu first = menuOf({ { 0, "File", 'F' }, { 1, "Done", 2001 }, { 0, "Save", 'S' } });
        QCOMPARE(m_ring->buildMenu(first, false), 3);
        QPointer<QWidget> old = m_ring->ringLayout()->buttons().first();
        QTest::ignoreMessage(QtDebugMsg, "Duplicate menu ignored.");
        QCOMPARE(m_ring->buildMenu(first, false), 0);
        QVERIFY(old);

        const Pb::ScreenMenu levelsOnly
            = menuOf({ { 0, "File", 'F' }, { 0, "Done", 2001 }, { 1, "Save", 'S' } });
        QTest::ignoreMessage(QtDebugMsg, "Duplicate menu ignored.");
        QCOMPARE(m_ring->buildMenu(levelsOnly, false), 0);
        QVERIFY(old);

        QCOMPARE(m_ring->buildMenu(first, true), 3);
        QVERIFY(!old);
        QCOMPARE(m_ring->buildMenu(menuOf({ { 0, "File", 'F' } }, "Other prompt"), false), 1);
        QCOMPARE(m_ring->buildMenu(menuOf({}), false), 0);
        QVERIFY(m_ring->ringLayout()->buttons().isEmpty());
        QCOMPARE(m_ring->currentButton(), nullptr);
    }

    void lettersBindPlainAndShift()
    {
        QSignalSpy triggered(m_ring, &RingMenuWidget::itemTriggered);
        m_ring->buildMenu(menuOf({ { 0, "Add", 'A' }, { 0, "Save", 'S' }, { 0, "Done", 2001 } }), false);
        m_ring->setFocus();
        QWidget *add = m_ring->ringLayout()->buttons().at(0);
        QCOMPARE(QApplication::focusWidget(), add);

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S);
        QCOMPARE(triggered.count(), 1);
        QCOMPARE(triggered.last(), QVariantList({ false, int('S') }));
        QCOMPARE(QApplication::focusWidget(), m_ring->ringLayout()->buttons().at(1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ShiftModifier);
        QCOMPARE(triggered.last(), QVariantList({ false, int('A') }));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
        QCOMPARE(triggered.last(), QVariantList({ false, 2001 }));
        QCOMPARE(triggered.count(), 3);
        // An unbound letter does nothing.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q);
        QCOMPARE(triggered.count(), 3);

        // While the focus is in the bar, bound keys are claimed before application shortcuts.
        QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_S, Qt::NoModifier);
        override.ignore();
        QApplication::sendEvent(QApplication::focusWidget(), &override);
        QVERIFY(override.isAccepted());
        QKeyEvent unbound(QEvent::ShortcutOverride, Qt::Key_Q, Qt::NoModifier);
        unbound.ignore();
        QApplication::sendEvent(QApplication::focusWidget(), &unbound);
        QVERIFY(!unbound.isAccepted());
    }

    void triggerAndFocusShortcut()
    {
        QSignalSpy triggered(m_ring, &RingMenuWidget::itemTriggered);
        m_ring->buildMenu(menuOf({ { 0, "Edit", 'E' }, { 1, "Done", 2001 }, { 0, "List", 2003 } }), false);
        m_before->setFocus();
        QVERIFY(!m_ring->focusShortcut(QKeySequence(Qt::Key_F9))); // an action
        QVERIFY(!m_ring->focusShortcut(QKeySequence(Qt::Key_F2)));
        QVERIFY(!m_ring->triggerShortcut(QKeySequence(Qt::Key_F2)));
        QCOMPARE(QApplication::focusWidget(), m_before);
        QVERIFY(m_ring->focusShortcut(QKeySequence(Qt::Key_F6)));
        QCOMPARE(QApplication::focusWidget(), m_ring->ringLayout()->buttons().at(1));
        QCOMPARE(triggered.count(), 0);
        QVERIFY(m_ring->triggerShortcut(QKeySequence(Qt::Key_F9)));
        QCOMPARE(triggered.last(), QVariantList({ true, 0 }));
        m_before->setFocus();
        QVERIFY(m_ring->triggerShortcut(QKeySequence(Qt::Key_F6)));
        QCOMPARE(triggered.last(), QVariantList({ false, 2003 }));
        QCOMPARE(QApplication::focusWidget(), m_ring->ringLayout()->buttons().at(1));
    }

    void tooltips()
    {
        QSignalSpy tips(m_ring, &RingMenuWidget::focusedTooltipChanged);
        m_ring->buildMenu(menuOf({ { 0, "Add", 'A', "Add a record" },
                                   { 0, "Done", 2001,
                                     "Finish with \xFE"
                                     "2001 or \xFE"
                                     "2000 " },
                                   { 0, "Quiet", 'Q' } }),
                          false);
        m_ring->setFocus();
        QVERIFY(!tips.isEmpty());
        QCOMPARE(tips.last().first().toString(), QStringLiteral("Add a record"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(tips.last().first().toString(), QStringLiteral("Finish with [F9] or [Esc] "));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(tips.last().first().toString(), QString());
        m_before->setFocus();
        QCOMPARE(tips.last().first().toString(), QString());
    }

    void focusCycling()
    {
        m_ring->buildMenu(menuOf({ { 0, "One", '1' }, { 0, "Two", '2' }, { 0, "Three", '3' } }), false);
        const QList<QWidget *> buttons = m_ring->ringLayout()->buttons();
        m_ring->setFocus();
        QCOMPARE(QApplication::focusWidget(), buttons.at(0));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left); // no extension: wraps to the last
        QCOMPARE(QApplication::focusWidget(), buttons.at(2));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), buttons.at(0));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), buttons.at(1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), buttons.at(0));
        QCOMPARE(m_ring->currentButton(), buttons.at(0));
    }

    void rebuildKeepsFocusInBar()
    {
        m_ring->buildMenu(menuOf({ { 0, "One", '1' }, { 0, "Two", '2' } }), false);
        m_ring->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        m_ring->buildMenu(menuOf({ { 0, "Alpha", 'A' }, { 0, "Beta", 'B' } }), false);
        QCOMPARE(QApplication::focusWidget(), m_ring->ringLayout()->buttons().at(0));
        QCOMPARE(m_ring->currentButton(), m_ring->ringLayout()->buttons().at(0));

        // Focus elsewhere stays there.
        m_before->setFocus();
        m_ring->buildMenu(menuOf({ { 0, "Gamma", 'G' } }), false);
        QCOMPARE(QApplication::focusWidget(), m_before);
    }

    void rightAligned()
    {
        m_ring->setRightAligned(true);
        m_ring->setSpacing(6);
        m_ring->buildMenu(menuOf({ { 0, "One", '1' }, { 0, "Two", '2' } }), false);
        QTRY_VERIFY(!m_ring->ringLayout()->buttons().last()->isHidden());
        m_ring->ringLayout()->setGeometry(m_ring->rect());
        const QRect contents = m_ring->contentsRect();
        const QList<QWidget *> buttons = m_ring->ringLayout()->buttons();
        QCOMPARE(buttons.last()->geometry().right(), contents.right());
        QCOMPARE(buttons.first()->geometry().right() + 6 + 1, buttons.last()->geometry().left());
        QVERIFY(m_ring->ringLayout()->extensionButton()->isHidden());

        m_ring->setRightAligned(false);
        m_ring->ringLayout()->setGeometry(m_ring->rect());
        QCOMPARE(buttons.first()->geometry().left(), contents.left());
    }

    void overflow()
    {
        m_ring->buildMenu(menuOf({ { 0, "Accept", 'A' },
                                   { 0, "Browse", 'B' },
                                   { 0, "Change", 'C' },
                                   { 0, "Delete", 'D' },
                                   { 0, "Tools", 'T' },
                                   { 1, "Sort", 'S' },
                                   { 0, "Finish", 2001 } }),
                          false);
        RingMenuLayout *layout = m_ring->ringLayout();
        const QList<QWidget *> buttons = layout->buttons();
        int firstThree = 0;
        for (int i = 0; i < 3; ++i)
            firstThree += buttons.at(i)->sizeHint().width();
        QPushButton *extension = layout->extensionButton();
        QCOMPARE(extension->objectName(), QStringLiteral("RingMenuExtensionButton"));
        QCOMPARE(m_ring->minimumSizeHint().width(), firstThree + extension->sizeHint().width());
        QCOMPARE(m_ring->sizeHint(), m_ring->minimumSizeHint());

        const int width = firstThree + extension->sizeHint().width();
        QVERIFY(buttons.at(3)->sizeHint().width() > extension->sizeHint().width());
        setRingWidth(width);
        QVERIFY(!extension->isHidden());
        QCOMPARE(extension->geometry().right(), width - 1);
        for (int i = 0; i < buttons.size(); ++i)
            QCOMPARE(buttons.at(i)->isHidden(), i >= 3);

        const QList<QAction *> overflowActions = layout->overflowMenu()->actions();
        QCOMPARE(overflowActions.size(), 3);
        QCOMPARE(overflowActions.at(0)->text(), QStringLiteral("&Delete"));
        QCOMPARE(overflowActions.at(1)->text(), QStringLiteral("&Tools"));
        QVERIFY(overflowActions.at(1)->menu());
        QCOMPARE(overflowActions.at(2)->shortcut(), QKeySequence(Qt::Key_F9));

        QSignalSpy triggered(m_ring, &RingMenuWidget::itemTriggered);
        overflowActions.at(0)->trigger();
        QCOMPARE(triggered.last(), QVariantList({ false, int('D') }));

        // Return on the extension button clicks the current button, not the extension.
        m_ring->setFocus();
        QCOMPARE(QApplication::focusWidget(), buttons.at(0));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        QCOMPARE(QApplication::focusWidget(), extension);
        QTest::keyClick(extension, Qt::Key_Return);
        QCOMPARE(triggered.last(), QVariantList({ false, int('A') }));
        QTest::keyClick(extension, Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), buttons.at(0));
        QTest::keyClick(buttons.at(0), Qt::Key_Right);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), buttons.at(2));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), extension);

        // Wide again: everything shows, the overflow menu empties.
        setRingWidth(800);
        QVERIFY(extension->isHidden());
        QVERIFY(layout->overflowMenu()->actions().isEmpty());
        for (QWidget *button : buttons)
            QVERIFY(!button->isHidden());

        // An empty menu leaves no extension button behind.
        setRingWidth(width);
        QVERIFY(!extension->isHidden());
        m_ring->buildMenu(menuOf({}, "empty"), false);
        QVERIFY(extension->isHidden());
    }

    void themeChangeRebuilds()
    {
        m_ring->buildMenu(menuOf({ { 0, "One", '1' } }), false);
        QPointer<QWidget> old = m_ring->ringLayout()->buttons().first();
        QVERIFY(QMetaObject::invokeMethod(m_ring, "themeChanged"));
        QVERIFY(!old);
        QCOMPARE(m_ring->ringLayout()->buttons().size(), 1);
        QCOMPARE(qobject_cast<RingMenuButton *>(m_ring->ringLayout()->buttons().first())->text(),
                 QStringLiteral("One"));
    }

    void toolbarIcons()
    {
        const QString chevron = QStringLiteral(":/icons/chevron-down_white.svg");
        QVERIFY(toolbarIcon(QString()).isNull());
        QVERIFY(toolbarIcon(QStringLiteral(":/icons/no-such-icon.svg")).isNull());
        QVERIFY(!toolbarIcon(QStringLiteral(":/images/halvorne_icon.png")).isNull());

        // Without theme colours the file's own fill stays.
        QCOMPARE(inkOf(toolbarIcon(chevron).pixmap(24, 24)), QColor(Qt::white));

        setToolbarThemeLookup([](const QString &name) {
            if (name == QLatin1String("icon_toolbar_default"))
                return QStringLiteral("#474644");
            if (name == QLatin1String("icon_toolbar_focus"))
                return QStringLiteral("#00FF00");
            return QString();
        });
        const QIcon icon = toolbarIcon(chevron);
        setToolbarThemeLookup({});
        QCOMPARE(inkOf(icon.pixmap(24, 24, QIcon::Normal)), QColor(0x47, 0x46, 0x44));
        QCOMPARE(inkOf(icon.pixmap(24, 24, QIcon::Active)), QColor(0, 255, 0));
    }

    void chevronFollowsMenu()
    {
        RingMenuButton button(QStringLiteral("Tools"));
        const int plain = button.findChildren<QLabel *>().size();
        QMenu menu;
        button.setMenu(&menu);
        QCOMPARE(button.findChildren<QLabel *>().size(), plain + 1);
        button.setMenu(nullptr);
        QCOMPARE(button.findChildren<QLabel *>().size(), plain);
        button.setShortcut(QKeySequence(Qt::Key_F6));
        QCOMPARE(button.findChild<QLabel *>(QStringLiteral("ringMenuShortcut"))->text(),
                 QStringLiteral("F6"));
        button.setShortcut(QKeySequence());
        QVERIFY(!button.findChild<QLabel *>(QStringLiteral("ringMenuShortcut")));
        button.setKeyChar('o');
        QCOMPARE(button.findChild<QLabel *>(QStringLiteral("ringMenuText"))->text(),
                 QStringLiteral("T<u>o</u>ols"));
        button.setText(QStringLiteral("<b>&amp;"));
        QCOMPARE(button.findChild<QLabel *>(QStringLiteral("ringMenuText"))->text(),
                 QStringLiteral("&lt;b&gt;&amp;amp;"));
        QCOMPARE(RingMenuButton::withMnemonic(QStringLiteral("Save & Go"), 'g'),
                 QStringLiteral("Save && &Go"));
    }

private:
    // The bar lays itself out again whenever a button shows, so the width is set for real.
    void setRingWidth(int width)
    {
        m_ring->setFixedWidth(width);
        m_window->layout()->activate();
        QCOMPARE(m_ring->width(), width);
    }

    std::unique_ptr<QWidget> m_window;
    QPushButton *m_before = nullptr;
    RingMenuWidget *m_ring = nullptr;
};

QTEST_MAIN(tst_RingMenuWidget)
#include "tst_ringmenuwidget.moc"

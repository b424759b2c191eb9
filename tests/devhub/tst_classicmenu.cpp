#include "classicmenu.h"

#include "classic/ringmenubutton.h"
#include "classic/ringmenuwidget.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

namespace {

enum Action { Next = 1, Results, Sort, Leave };

ClassicMenu sample()
{
    ClassicMenu menu(QStringLiteral("Students"));
    menu.add(Next, QStringLiteral("Next"), 'N', QStringLiteral("next one"))
        .alias(2010)
        .add(ClassicMenu::NoAction, QStringLiteral("Options"), 'O')
        .addChild(Results, QStringLiteral("Result list"), 'L')
        .addChild(Sort, QStringLiteral("Sort order"), 'S')
        .add(Leave, QStringLiteral("Exit"), 'E')
        .alias(2000);
    return menu;
}

} // namespace

// The ring menu as sent, and the way back from the client's replies to the command: level-0
// items by their key or a borrowed one, drop-down items by their position minus their level.
class TestClassicMenu : public QObject
{
    Q_OBJECT

private slots:
    void messageAndActions_data();
    void messageAndActions();
    void clientRingMenuReportsWhatIsMapped();
};

void TestClassicMenu::messageAndActions_data()
{
    QTest::addColumn<bool>("menuCommand");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("action");
    QTest::newRow("button key") << false << int('N') << int(Next);
    QTest::newRow("borrowed key") << false << 2010 << int(Next);
    QTest::newRow("borrowed after a drop-down") << false << 2000 << int(Leave);
    QTest::newRow("drop-down head") << false << int('O') << int(ClassicMenu::NoAction);
    // Positions 3 and 4 of the list, both on level 1.
    QTest::newRow("first drop-down item") << true << 2 << int(Results);
    QTest::newRow("second drop-down item") << true << 3 << int(Sort);
    QTest::newRow("drop-down key as a key") << false << int('L') << int(ClassicMenu::NoAction);
    QTest::newRow("button position as a menu code") << true << 0 << int(ClassicMenu::NoAction);
    QTest::newRow("unknown") << false << 4711 << int(ClassicMenu::NoAction);
}

void TestClassicMenu::messageAndActions()
{
    QFETCH(bool, menuCommand);
    QFETCH(int, key);
    QFETCH(int, action);
    const ClassicMenu menu = sample();
    QCOMPARE(menu.actionFor(menuCommand, key), action);

    const Pb::ScreenMenu message = menu.message();
    QCOMPARE(message.menu_info(), "Students");
    QCOMPARE(message.menu_item_size(), 7);
    QVERIFY(!message.menu_item(1).has_label());
    QCOMPARE(message.menu_item(1).shortcut_key(), 2010);
    QCOMPARE(message.menu_item(3).level(), 1);
    QCOMPARE(message.menu_item(3).label(), "Result list");
    QCOMPARE(message.menu_item(6).level(), 0);
    QCOMPARE(message.menu_item(0).comment(), "next one");
    QVERIFY(!message.menu_item(2).has_comment());
}

// The client's ring menu built from the message: whatever each button and drop-down item reports
// leads back to the item's action.
void TestClassicMenu::clientRingMenuReportsWhatIsMapped()
{
    const ClassicMenu menu = sample();
    RingMenuWidget ring;
    ring.buildMenu(menu.message(), false);
    QSignalSpy triggered(&ring, &RingMenuWidget::itemTriggered);
    const auto reported = [&] {
        const QList<QVariant> last = triggered.takeLast();
        return menu.actionFor(last.at(0).toBool(), last.at(1).toInt());
    };

    QHash<QString, int> buttons { { "Next", Next }, { "Exit", Leave } };
    for (RingMenuButton *button : ring.findChildren<RingMenuButton *>()) {
        if (!buttons.contains(button->text()))
            continue;
        button->click();
        QCOMPARE(reported(), buttons.take(button->text()));
    }
    QVERIFY(buttons.isEmpty());

    QHash<QString, int> items { { "Result list", Results }, { "Sort order", Sort } };
    for (QMenu *dropDown : ring.findChildren<QMenu *>()) {
        for (QAction *action : dropDown->actions()) {
            const QString text = action->text().remove(QLatin1Char('&'));
            if (!items.contains(text))
                continue;
            action->trigger();
            QCOMPARE(reported(), items.take(text));
        }
    }
    QVERIFY(items.isEmpty());

    // A letter on the bar clicks its button.
    QVERIFY(ring.triggerShortcut(QKeySequence(Qt::Key_E)));
    QCOMPARE(reported(), int(Leave));
}

QTEST_MAIN(TestClassicMenu)
#include "tst_classicmenu.moc"

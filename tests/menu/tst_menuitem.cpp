#include "menu/menuitem.h"

#include "menu.pb.h"

#include <QRegularExpression>
#include <QTest>

#include <functional>

class tst_MenuItem : public QObject
{
    Q_OBJECT

private slots:
    void titles_data()
    {
        QTest::addColumn<QString>("shortdesc");
        QTest::addColumn<QString>("title");

        QTest::newRow("main menu with colon") << "Student Main Menu:"
                                              << "Student";
        QTest::newRow("menu in capitals") << "Finance MENU"
                                          << "Finance";
        QTest::newRow("colons only") << "Reports::"
                                     << "Reports";
        QTest::newRow("plural stays") << "Menus"
                                      << "Menus";
        QTest::newRow("master menu") << "Registry Master Menu"
                                     << "Registry";
        QTest::newRow("main menu wins over menu") << "Admissions main menu"
                                                  << "Admissions";
        QTest::newRow("colon before menu") << "Payroll: Menu"
                                           << "Payroll";
        QTest::newRow("nothing to cut") << "Grade Entry"
                                        << "Grade Entry";
        QTest::newRow("menu alone") << "Menu"
                                    << "";
    }

    void titles()
    {
        QFETCH(QString, shortdesc);
        QFETCH(QString, title);
        QCOMPARE(MenuItem::displayTitle(shortdesc), title);
    }

    void tree()
    {
        Menu::MenuData root;
        root.set_shortdesc("Main Menu");
        root.set_menupath("/");
        auto *a = root.add_menudata();
        a->set_shortdesc("Students Menu");
        a->set_longdesc("Student records");
        a->set_menupath("/a/b");
        a->set_password("secret");
        auto *misc = root.add_menudata();
        misc->set_shortdesc("Misc");
        auto *leaf = a->add_menudata();
        leaf->set_shortdesc("Enrol");
        leaf->set_menupath("/a/b/c");
        a->add_menudata()->set_shortdesc("Caf\xe9"); // Latin-1 on the wire

        const auto item = MenuItem::fromMenuData(root);
        QCOMPARE(item->key(), QString("/"));
        QCOMPARE(item->depth, 0);
        QCOMPARE(item->parent, nullptr);
        QCOMPARE(item->children.size(), 2);

        const MenuItem *students = item->children.at(0);
        QCOMPARE(students->title, QString("Students"));
        QCOMPARE(students->description, QString("Student records"));
        QCOMPARE(students->key(), QString("/|/a/b"));
        QCOMPARE(students->password, QString("secret"));
        QVERIFY(!students->unlocked);
        QCOMPARE(students->parent, item.get());
        QCOMPARE(students->depth, 1);

        QCOMPARE(item->children.at(1)->key(), QString("/|Misc"));
        QCOMPARE(students->children.at(0)->key(), QString("/|/a/b|/a/b/c"));
        QCOMPARE(students->children.at(0)->depth, 2);
        QCOMPARE(students->children.at(1)->title, QString::fromUtf8("Caf\u00e9"));
    }

    void rootWithoutPathUsesTitle()
    {
        Menu::MenuData root;
        root.set_shortdesc("Top Menu");
        const auto item = MenuItem::fromMenuData(root);
        QCOMPARE(item->key(), QString("Top"));
    }

    // 30,000 children under a 1 MB path once needed about 60 GB for their keys.
    void hostileTreesAreBounded()
    {
        Menu::MenuData root;
        root.set_menupath("/");
        root.add_menudata()->set_menupath(std::string(1024 * 1024, 'p'));
        Menu::MenuData *deep = root.add_menudata();
        deep->set_menupath("/deep");
        for (int i = 0; i < MenuItem::MaxDepth + 5; ++i)
            deep = deep->add_menudata();
        Menu::MenuData *wide = root.add_menudata();
        wide->set_menupath("/wide");
        for (int i = 0; i < MenuItem::MaxNodes + 10; ++i)
            wide->add_menudata()->set_shortdesc("x");

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("menu entries beyond the limits"));
        const auto item = MenuItem::fromMenuData(root);
        QCOMPARE(item->children.size(), 2); // the 1 MB path is gone
        int deepest = 0;
        for (const MenuItem *node = item->children.at(0); node; node = node->children.value(0))
            deepest = node->depth;
        QCOMPARE(deepest, MenuItem::MaxDepth);
        int nodes = 0;
        std::function<void(const MenuItem *)> count = [&](const MenuItem *node) {
            nodes += node->children.size();
            for (const MenuItem *child : node->children)
                count(child);
        };
        count(item.get());
        QCOMPARE(nodes, MenuItem::MaxNodes);
        QCOMPARE(item->children.at(1)->children.last()->key(), QString("/|/wide|x"));
    }
};

QTEST_APPLESS_MAIN(tst_MenuItem)
#include "tst_menuitem.moc"

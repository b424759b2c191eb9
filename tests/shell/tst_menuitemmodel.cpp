#include "shell/menufilter.h"
#include "shell/menuitemmodel.h"

#include "menu/menuitem.h"

#include "menu.pb.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

// Students (submenu) > Enrol.opt, Grades (locked submenu) > Entry.opt; Finance > Fees.opt;
// Empty Reports (submenu without children).
MenuItem *sampleTree()
{
    Menu::MenuData root;
    root.set_shortdesc("Main Menu");
    root.set_menupath("/");
    auto *students = root.add_menudata();
    students->set_shortdesc("Students");
    students->set_menupath("/stu");
    auto *enrol = students->add_menudata();
    enrol->set_shortdesc("Enrol Student");
    enrol->set_menupath("/stu/enrol.opt");
    auto *grades = students->add_menudata();
    grades->set_shortdesc("Grades");
    grades->set_menupath("/stu/grades");
    grades->set_password("xxxxxxxxhash");
    auto *entry = grades->add_menudata();
    entry->set_shortdesc("Grade Entry");
    entry->set_menupath("/stu/grades/entry.opt");
    auto *finance = root.add_menudata();
    finance->set_shortdesc("Finance");
    finance->set_menupath("/fin");
    auto *fees = finance->add_menudata();
    fees->set_shortdesc("Fees Ledger");
    fees->set_menupath("/fin/fees.opt");
    auto *empty = root.add_menudata();
    empty->set_shortdesc("Empty Reports");
    empty->set_menupath("/rep");
    return MenuItem::fromMenuData(root).release();
}

QStringList visibleTitles(const QAbstractItemModel &model, const QModelIndex &parent = QModelIndex())
{
    QStringList titles;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        titles << index.data().toString();
        titles << visibleTitles(model, index);
    }
    return titles;
}

} // namespace

class tst_MenuItemModel : public QObject
{
    Q_OBJECT

private slots:
    void loadingRoot()
    {
        MenuItemModel model;
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.root()->title, QString("Loading..."));
        QCOMPARE(model.flags(QModelIndex()), Qt::NoItemFlags);
    }

    void structureAndRoles()
    {
        MenuItemModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.setRoot(sampleTree());
        QCOMPARE(reset.size(), 1);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.columnCount(), 2);

        const QModelIndex students = model.index(0, 0);
        const QModelIndex enrol = model.index(0, 0, students);
        const QModelIndex grades = model.index(1, 0, students);
        QCOMPARE(enrol.parent(), students);
        QCOMPARE(enrol.data().toString(), QString("Enrol Student"));
        QCOMPARE(enrol.data(MenuItemModel::MenuPathRole).toString(), QString("/stu/enrol.opt"));
        QVERIFY(enrol.data(MenuItemModel::IsProgramRole).toBool());
        QVERIFY(!students.data(MenuItemModel::IsProgramRole).toBool());
        QCOMPARE(enrol.data(MenuItemModel::KeyRole).toString(), QString("/|/stu|/stu/enrol.opt"));
        QCOMPARE(enrol.data(MenuItemModel::DepthRole).toInt(), 2);
        QVERIFY(grades.data(MenuItemModel::LockedRole).toBool());
        QVERIFY(grades.sibling(1, 1).data(MenuItemModel::LockedRole).toBool());
        QVERIFY(!enrol.data(MenuItemModel::LockedRole).toBool());
        QVERIFY(!grades.sibling(1, 1).data(Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(enrol.sibling(0, 1).data(Qt::DecorationRole).isNull());

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.unlock(grades);
        QVERIFY(!grades.data(MenuItemModel::LockedRole).toBool());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), grades.sibling(1, 1));
    }

    void matchAcrossTheTree()
    {
        MenuItemModel model;
        model.setRoot(sampleTree());
        const QModelIndexList hits
            = model.match(QModelIndex(), MenuItemModel::KeyRole, "/|/fin|/fin/fees.opt", 1,
                          Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().data().toString(), QString("Fees Ledger"));
        QVERIFY(model
                    .match(QModelIndex(), MenuItemModel::KeyRole, "/|/nope", 1,
                           Qt::MatchExactly | Qt::MatchRecursive)
                    .isEmpty());
        const QModelIndexList programs = model.match(QModelIndex(), MenuItemModel::IsProgramRole, true, -1,
                                                     Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(programs.size(), 3);
    }

    void filter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("visible");
        QTest::newRow("empty shows all")
            << "" << QStringList { "Students", "Enrol Student", "Grades",       "Grade Entry",
                                   "Finance",  "Fees Ledger",   "Empty Reports" };
        QTest::newRow("any case") << "GRADE" << QStringList { "Students", "Grades", "Grade Entry" };
        QTest::newRow("submenu by its own text when empty") << "reports" << QStringList { "Empty Reports" };
        QTest::newRow("path search") << "!fees.opt" << QStringList { "Finance", "Fees Ledger" };
        QTest::newRow("path search trims")
            << "!  /stu/" << QStringList { "Students", "Enrol Student", "Grades", "Grade Entry" };
        QTest::newRow("no hit") << "zzz" << QStringList {};
    }

    void filter()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, visible);
        MenuItemModel model;
        model.setRoot(sampleTree());
        MenuFilter filter;
        filter.setSourceModel(&model);
        filter.setFilter(text);
        QCOMPARE(visibleTitles(filter), visible);
    }
};

QTEST_MAIN(tst_MenuItemModel)
#include "tst_menuitemmodel.moc"

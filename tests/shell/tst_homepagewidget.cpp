#include "shell/homepagewidget.h"
#include "shell/mainmenubutton.h"
#include "shell/menufilter.h"
#include "shell/menuitemmodel.h"
#include "shell/passwordflyout.h"

#include "menu/menuitem.h"

#include "menu.pb.h"
#include "testenvironment.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

namespace {

QString code(const QString &password)
{
    const QString salt = "12345678";
    return salt
        + QCryptographicHash::hash(salt.toUtf8() + password.toUtf8(), QCryptographicHash::Sha256).toHex();
}

// Students > Enrol.opt; Secure (code "outer") > Inner (code "inner") > Payroll.opt; Programs 1..30.
MenuItem *sampleTree()
{
    Menu::MenuData root;
    root.set_shortdesc("College Main Menu");
    root.set_menupath("/");
    auto *students = root.add_menudata();
    students->set_shortdesc("Students");
    students->set_menupath("/stu");
    auto *enrol = students->add_menudata();
    enrol->set_shortdesc("Enrol Student");
    enrol->set_menupath("/stu/enrol.opt");
    auto *secure = root.add_menudata();
    secure->set_shortdesc("Secure");
    secure->set_menupath("/sec");
    secure->set_password(code("outer").toStdString());
    auto *inner = secure->add_menudata();
    inner->set_shortdesc("Inner");
    inner->set_menupath("/sec/in");
    inner->set_password(code("inner").toStdString());
    auto *payroll = inner->add_menudata();
    payroll->set_shortdesc("Payroll Run");
    payroll->set_menupath("/sec/in/payroll.opt");
    auto *many = root.add_menudata();
    many->set_shortdesc("Programs");
    many->set_menupath("/many");
    for (int i = 1; i <= 30; ++i) {
        auto *program = many->add_menudata();
        program->set_shortdesc(QString("Program %1").arg(i).toStdString());
        program->set_menupath(QString("/many/p%1.opt").arg(i).toStdString());
    }
    return MenuItem::fromMenuData(root).release();
}

QString key(const QString &path)
{
    if (path.startsWith("/stu"))
        return "/|/stu|" + path;
    return "/|/many|" + path;
}

} // namespace

class tst_HomePageWidget : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_env = std::make_unique<TestEnvironment>();
        SettingsManager::resetInstance();
        m_model = std::make_unique<MenuItemModel>();
        m_page = std::make_unique<HomePageWidget>(m_model.get());
        m_page->resize(1100, 700);
        m_page->show();
        m_model->setRoot(sampleTree());
    }

    void cleanup()
    {
        m_page.reset();
        m_model.reset();
        m_env.reset();
    }

    void form()
    {
        QCOMPARE(m_page->objectName(), QString("HomePageWidget"));
        QCOMPARE(m_page->searchField()->placeholderText(), QString("Search Halvorne ZU"));
        QCOMPARE(m_page->findChild<QLabel *>("navLabel")->text(), QString("College"));
        m_page->setUserName("jdoe");
        QCOMPARE(m_page->findChild<QPushButton *>("userMenuButton")->text(), QString("jdoe   "));
        QCOMPARE(m_page->findChild<QPushButton *>("userMenuButton")->menu()->actions().size(), 8);
    }

    void searchExpandsAndCollapses()
    {
        QTreeView *tree = m_page->tree();
        QTest::keyClicks(m_page->searchField(), "enrol");
        QCOMPARE(m_page->filter()->rowCount(), 1);
        QVERIFY(tree->isExpanded(m_page->filter()->index(0, 0)));
        m_page->searchField()->clear();
        QCOMPARE(m_page->filter()->rowCount(), 3);
        QVERIFY(!tree->isExpanded(m_page->filter()->index(0, 0)));

        // Expanded by hand: clearing an empty search leaves it alone.
        tree->expand(m_page->filter()->index(0, 0));
        QTest::keyClicks(m_page->searchField(), " ");
        m_page->searchField()->clear();
        QVERIFY(tree->isExpanded(m_page->filter()->index(0, 0)));
    }

    void clickingAProgramLaunchesIt()
    {
        QSignalSpy launched(m_page.get(), &HomePageWidget::itemActivated);
        m_page->tree()->expandAll();
        const QModelIndex enrol = m_page->filter()->index(0, 0, m_page->filter()->index(0, 0));
        emit m_page->tree()->clicked(enrol);
        QCOMPARE(launched.size(), 1);
        QCOMPARE(launched.at(0).at(0).toModelIndex().data(MenuItemModel::MenuPathRole).toString(),
                 QString("/stu/enrol.opt"));
        QCOMPARE(SettingsManager::instance()->recentLaunches().first().path, key("/stu/enrol.opt"));

        // A submenu toggles instead.
        const QModelIndex students = m_page->filter()->index(0, 0);
        const bool expanded = m_page->tree()->isExpanded(students);
        emit m_page->tree()->clicked(students);
        QCOMPARE(m_page->tree()->isExpanded(students), !expanded);
        QCOMPARE(launched.size(), 1);
    }

    void theKeyboardFindsAndLaunchesPrograms()
    {
        QSignalSpy launched(m_page.get(), &HomePageWidget::itemActivated);
        QLineEdit *search = m_page->searchField();
        QTreeView *tree = m_page->tree();
        QApplication::setActiveWindow(m_page.get());
        QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
        search->setFocus();
        QTest::keyClicks(search, "nothing like it");
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), search);

        search->clear();
        QTest::keyClicks(search, "program 2");
        QTest::keyClick(search, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), tree);
        QCOMPARE(tree->currentIndex().data().toString(), QString("Program 2"));
        QTest::keyClick(tree, Qt::Key_Down);
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(launched.size(), 1);
        QCOMPARE(launched.at(0).at(0).toModelIndex().data(MenuItemModel::MenuPathRole).toString(),
                 QString("/many/p20.opt"));

        // Return on a submenu opens or closes it, as a click does.
        search->clear();
        tree->setCurrentIndex(m_page->filter()->index(0, 0));
        const bool expanded = tree->isExpanded(tree->currentIndex());
        QTest::keyClick(tree, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(tree->isExpanded(tree->currentIndex()), !expanded);
        QCOMPARE(launched.size(), 1);
    }

    void nestedAccessCodes()
    {
        QSignalSpy launched(m_page.get(), &HomePageWidget::itemActivated);
        m_page->tree()->expandAll();
        const QModelIndex secure = m_page->filter()->index(1, 0);
        const QModelIndex payroll = m_page->filter()->index(0, 0, m_page->filter()->index(0, 0, secure));
        QCOMPARE(payroll.data().toString(), QString("Payroll Run"));
        emit m_page->tree()->clicked(payroll);
        QCOMPARE(launched.size(), 0);

        PasswordFlyout *outer = PasswordFlyout::current();
        QVERIFY(outer);
        outer->edit()->setText("inner"); // the inner code does not open the outer lock
        QTest::keyClick(outer->edit(), Qt::Key_Return);
        QCOMPARE(PasswordFlyout::current(), outer);
        outer->edit()->setText("outer");
        QTest::keyClick(outer->edit(), Qt::Key_Return);
        QCOMPARE(launched.size(), 0);

        PasswordFlyout *inner = PasswordFlyout::current();
        QVERIFY(inner && inner != outer);
        inner->edit()->setText("inner");
        QTest::keyClick(inner->edit(), Qt::Key_Return);
        QCOMPARE(launched.size(), 1);
        QCOMPARE(launched.at(0).at(0).toModelIndex().data().toString(), QString("Payroll Run"));

        // Unlocked for the rest of the run.
        emit m_page->tree()->clicked(payroll);
        QCOMPARE(launched.size(), 2);
    }

    void welcomeRowAndSections()
    {
        QVERIFY(m_page->findChild<QPushButton *>("blankButton"));
        QCOMPARE(m_page->findChild<QLabel *>("welcomeLabel")->text(), QString("Welcome to ZU 10."));
        QVERIFY(!m_page->pinnedFrame()->isVisible());

        SettingsManager::instance()->pin(key("/stu/enrol.opt"), QDateTime::currentDateTime());
        QTRY_VERIFY(!m_page->recentFrame()->isVisible());
        QVERIFY(m_page->pinnedFrame()->isVisible());
        QCOMPARE(m_page->pinnedFrame()->findChildren<MainMenuButton *>().size(), 1);
        QCOMPARE(m_page->pinnedFrame()->findChildren<MainMenuButton *>().at(0)->text(), QString("ES"));
    }

    void recentRowsAndPinLimit()
    {
        SettingsManager *settings = SettingsManager::instance();
        settings->addRecentLaunch(key("/many/p1.opt"));
        settings->addRecentLaunch(key("/many/p2.opt"));
        QTRY_COMPARE(liveChildren<MainMenuButton>(m_page->recentFrame()).size(), 2);
        QCOMPARE(liveChildren<QPushButton>(m_page->recentFrame(), "recentUnpinnedButton").size(), 2);
        QCOMPARE(liveChildren<QLabel>(m_page->recentFrame(), "recentTitle").at(0)->text(),
                 QString("Program 2"));

        SettingsManager::LaunchList pinned;
        for (int i = 3; i <= 27; ++i)
            pinned.append({ key(QString("/many/p%1.opt").arg(i)), QDateTime::currentDateTime() });
        settings->setPinnedLaunches(pinned);
        QTRY_COMPARE(liveChildren<MainMenuButton>(m_page->pinnedFrame()).size(), 25);
        QCOMPARE(liveChildren<QPushButton>(m_page->recentFrame(), "recentUnpinnedButton").size(), 0);
    }

    void tableLaunchIsDebounced()
    {
        SettingsManager::instance()->addRecentLaunch(key("/many/p1.opt"));
        QSignalSpy launched(m_page.get(), &HomePageWidget::itemActivated);
        QTRY_COMPARE(liveChildren<MainMenuButton>(m_page->recentFrame()).size(), 1);
        liveChildren<MainMenuButton>(m_page->recentFrame()).at(0)->click();
        QCOMPARE(launched.size(), 1);
        QTRY_COMPARE(liveChildren<MainMenuButton>(m_page->recentFrame()).size(), 1);
        QTest::ignoreMessage(QtDebugMsg, "Recent list launch debounced");
        liveChildren<MainMenuButton>(m_page->recentFrame()).at(0)->click();
        QCOMPARE(launched.size(), 1);
        QVERIFY(m_page->isDebouncing());
    }

    void vanishedProgramsAreRemoved()
    {
        SettingsManager::instance()->addRecentLaunch(key("/many/p5.opt"));
        SettingsManager::instance()->addRecentLaunch("/|/gone|/gone/x.opt");
        QTRY_COMPARE(SettingsManager::instance()->recentLaunches().size(), 1);
        QCOMPARE(SettingsManager::instance()->recentLaunches().first().path, key("/many/p5.opt"));
        QTRY_COMPARE(liveChildren<MainMenuButton>(m_page->recentFrame()).size(), 1);
    }

    // A pinned program's drag comes from the page itself; the order it leaves is the one kept.
    void pinnedDropsAndKeyboardMoves()
    {
        SettingsManager *settings = SettingsManager::instance();
        SettingsManager::LaunchList pinned;
        for (int i = 1; i <= 3; ++i)
            pinned.append({ key(QString("/many/p%1.opt").arg(i)), QDateTime::currentDateTime() });
        settings->setPinnedLaunches(pinned);
        QApplication::setActiveWindow(m_page.get());
        QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
        QTRY_COMPARE(liveChildren<MainMenuButton>(m_page->pinnedFrame()).size(), 3);
        QWidget *frame = m_page->pinnedFrame();
        const auto at = [&](int x, int y) {
            return frame->mapTo(m_page.get(), QPoint(x, y));
        };
        QCOMPARE(m_page->pinnedDropRow(m_page.get(), at(10, 2)), 0);
        QCOMPARE(m_page->pinnedDropRow(m_page.get(), at(10, frame->height() / 2)), 1);
        QCOMPARE(m_page->pinnedDropRow(m_page.get(), at(10, frame->height() - 1)), 2);
        QCOMPARE(m_page->pinnedDropRow(m_page.get(), at(10, frame->height() + 5)), -1);
        QObject stranger;
        QCOMPARE(m_page->pinnedDropRow(&stranger, at(10, 2)), -1);
        QCOMPARE(m_page->pinnedDropRow(frame, at(10, 2)), -1);

        // The context menu opens without waiting and moves the row; the new order is kept.
        MainMenuButton *last = liveChildren<MainMenuButton>(m_page->pinnedFrame()).at(2);
        QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, last->rect().center());
        QApplication::sendEvent(last, &keyboard);
        auto *menu = m_page->findChild<QMenu *>("pinnedMenu");
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->actions().at(0)->text(), QString("Move Up"));
        QVERIFY(menu->actions().at(0)->isEnabled());
        QVERIFY(!menu->actions().at(1)->isEnabled());
        menu->actions().at(0)->trigger();
        menu->close();
        QStringList order;
        for (const auto &entry : settings->pinnedLaunches())
            order << entry.path;
        QCOMPARE(order, QStringList({ key("/many/p1.opt"), key("/many/p3.opt"), key("/many/p2.opt") }));
        QTRY_COMPARE(liveChildren<QLabel>(m_page->pinnedFrame(), "recentTitle").size(), 3);
        QCOMPARE(liveChildren<QLabel>(m_page->pinnedFrame(), "recentTitle").at(1)->text(),
                 QString("Program 3"));

        m_page->movePinned(0, -1); // nothing above the first
        m_page->movePinned(2, 1);
        QCOMPARE(settings->pinnedLaunches().at(0).path, key("/many/p1.opt"));
        QCOMPARE(settings->pinnedLaunches().at(2).path, key("/many/p2.opt"));
    }

    // Ctrl+F brings the keyboard back to the search field; F1 asks for the user guide.
    void searchAndGuideKeys()
    {
        QApplication::setActiveWindow(m_page.get());
        QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
        m_page->tree()->setFocus();
        QTest::keyClick(m_page->tree(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), m_page->searchField());

        QSignalSpy guide(m_page.get(), &HomePageWidget::userGuideActivated);
        QTest::keyClick(m_page->tree(), Qt::Key_F1);
        QCOMPARE(guide.size(), 1);
    }

private:
    template<typename T>
    static QList<T *> liveChildren(QWidget *frame, const QString &name = QString())
    {
        QList<T *> result;
        for (T *child : frame->findChildren<T *>(name))
            if (!child->isHidden())
                result << child;
        return result;
    }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MenuItemModel> m_model;
    std::unique_ptr<HomePageWidget> m_page;
};

QTEST_MAIN(tst_HomePageWidget)
#include "tst_homepagewidget.moc"

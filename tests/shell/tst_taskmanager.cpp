#include "shell/circlenumberwidget.h"
#include "shell/modaltaskbuttonflyout.h"
#include "shell/taskmanager.h"
#include "utils/taskpagewidget.h"

#include "utils/busymouse.h"

#include "shownplaintext.h"
#include "testenvironment.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

namespace {

class Page : public TaskPageWidget
{
public:
    Page(const QString &name, bool solo = false)
        : m_name(name)
        , m_solo(solo)
    {
        setAttached(true);
    }
    QString title() const override { return m_name + " title"; }
    QString shortName() const override { return m_name; }
    bool isSoloApp() const override { return m_solo; }
    void detach() { emit detachClicked(); }
    void rename(const QString &title) { emit titleChanged(title); }

private:
    QString m_name;
    bool m_solo;
};

} // namespace

class tst_TaskManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_env = std::make_unique<TestEnvironment>(); }

    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_manager = new TaskManager(m_window.get());
        m_home = new QLabel("home");
        m_manager->setHomePage(m_home);
        m_window->resize(900, 600);
        m_window->show();
    }

    void cleanup() { m_window.reset(); }

    void samePageTwiceGivesOneButton()
    {
        auto *page = new Page("AB");
        QPushButton *first = m_manager->addPage(page);
        QPushButton *second = m_manager->addPage(page);
        QCOMPARE(first, second);
        QCOMPARE(m_manager->taskButtons().size(), 2);
        QCOMPARE(first->text(), QString("AB"));
        QCOMPARE(shownText(first->toolTip()), QString("AB title"));
        QCOMPARE(first->objectName(), QString("taskbarButton"));
        QVERIFY(first->isChecked());
        QCOMPARE(m_manager->pageStack()->currentWidget(), page);

        page->rename("New title");
        QCOMPARE(shownText(first->toolTip()), QString("New title"));
    }

    void removingFallsBackToRecentlyUsed()
    {
        QList<Page *> pages;
        for (int i = 0; i < 6; ++i) {
            pages << new Page(QString("P%1").arg(i));
            m_manager->addPage(pages.last());
        }
        // Used in turn P0..P5 (by adding); now use P2 then P4.
        m_manager->buttonFor(pages[2])->click();
        m_manager->buttonFor(pages[4])->click();
        m_manager->removePage(pages[4], false);
        QCOMPARE(m_manager->pageStack()->currentWidget(), pages[2]);
        QVERIFY(m_manager->buttonFor(pages[2])->isChecked());
        QVERIFY(!m_manager->buttonFor(pages[4]));

        // Remembered now, oldest first: P1, P3, P5, P2. P0 fell off the list of five.
        m_manager->removePage(pages[2], false);
        QCOMPARE(m_manager->pageStack()->currentWidget(), pages[5]);
        m_manager->removePage(pages[5], false);
        QCOMPARE(m_manager->pageStack()->currentWidget(), pages[3]);
        m_manager->removePage(pages[3], false);
        QCOMPARE(m_manager->pageStack()->currentWidget(), pages[1]);
        m_manager->removePage(pages[1], false);
        // P0 is still there but forgotten: home is the fallback.
        QCOMPARE(m_manager->pageStack()->currentWidget(), m_home);
        QVERIFY(m_manager->homeButton()->isChecked());
        QVERIFY(m_manager->buttonFor(pages[0]));
        qDeleteAll(pages.mid(1, 5));
    }

    void soloApplicationMakesShellModal()
    {
        auto *normal = new Page("NO");
        auto *solo = new Page("SO", true);
        m_manager->addPage(normal);
        QSignalSpy modal(m_manager, &TaskManager::isModalRequiredChanged);
        QPushButton *soloButton = m_manager->addPage(solo);
        QCOMPARE(modal.size(), 1);
        QVERIFY(m_manager->isModalRequired());
        QCOMPARE(soloButton->property("isSoloApp").toBool(), true);
        for (QAbstractButton *button : m_manager->taskButtons())
            QVERIFY(!button->isEnabled());
        QVERIFY(m_manager->findChildren<QPushButton *>("utilityButton").at(0)->isEnabled() == false);

        // A click on a disabled button explains, and changes nothing.
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(m_manager->buttonFor(normal), &release);
        QVERIFY(ModalTaskButtonFlyout::current());
        QCOMPARE(ModalTaskButtonFlyout::current()->objectName(), QString("modalTaskButtonFlyout"));
        QCOMPARE(m_manager->pageStack()->currentWidget(), solo);

        m_manager->removePage(solo, false);
        QCOMPARE(modal.size(), 2);
        QVERIFY(!m_manager->isModalRequired());
        for (QAbstractButton *button : m_manager->taskButtons())
            QVERIFY(button->isEnabled());
        delete solo;
    }

    void delayedRemovalCompletesBeforeNextAdd()
    {
        auto *solo = new Page("SO", true);
        m_manager->addPage(solo);
        QPointer<Page> watch(solo);
        m_manager->removePage(solo, true);
        QVERIFY(BusyMouse::instance()->pendingReasons().contains("appRemoveDelay"));
        QVERIFY(m_manager->buttonFor(solo)); // still there for now

        auto *next = new Page("NX");
        m_manager->addPage(next);
        QVERIFY(!BusyMouse::instance()->pendingReasons().contains("appRemoveDelay"));
        QCOMPARE(m_manager->taskButtons().size(), 2);
        QCOMPARE(m_manager->taskButtons().last()->text(), QString("NX"));
        QTRY_VERIFY(!watch); // deleted later
    }

    void delayedRemovalByTimer()
    {
        auto *solo = new Page("SO", true);
        m_manager->addPage(solo);
        m_manager->removePage(solo, true);
        QTest::qWait(TaskManager::RemovalDelayMs / 2);
        QVERIFY(m_manager->buttonFor(solo));
        QTRY_VERIFY(!m_manager->buttonFor(solo));
        QVERIFY(!BusyMouse::instance()->pendingReasons().contains("appRemoveDelay"));
    }

    void detachGeometry()
    {
        QCOMPARE(TaskManager::detachedGeometry(QRect(100, 100, 700, 500)).size(), QSize(1000, 700));
        QCOMPARE(TaskManager::detachedGeometry(QRect(100, 100, 700, 500)).center(),
                 QRect(100, 100, 700, 500).center());
        QCOMPARE(TaskManager::detachedGeometry(QRect(0, 0, 1500, 1000)).size(), QSize(1400, 950));
        QCOMPARE(TaskManager::reattachDuration(QRect(2000, 0, 500, 400), QRect(0, 0, 500, 400)), 500);
        QCOMPARE(TaskManager::reattachDuration(QRect(100, 0, 500, 400), QRect(0, 0, 500, 400)), 100);
    }

    void detachAndReattach()
    {
        auto *page = new Page("DT");
        m_manager->addPage(page);
        QSignalSpy attached(page, &TaskPageWidget::attachedChanged);
        page->detach();
        QVERIFY(!page->isAttached());
        QVERIFY(page->isWindow());
        QCOMPARE(m_manager->pageStack()->indexOf(page), -1);
        QCOMPARE(m_manager->pageStack()->currentWidget(), m_home);
        QVERIFY(m_manager->buttonFor(page)); // the button stays

        page->detach();
        QTRY_VERIFY(page->isAttached());
        QCOMPARE(m_manager->pageStack()->currentWidget(), page);
        QCOMPARE(attached.size(), 2);
    }

    // Typing goes on where it left off: the page back in the stack has the keyboard.
    void reattachedPageTakesTheFocus()
    {
        auto *page = new Page("FO");
        auto *edit = new QLineEdit(page);
        page->setFocusProxy(edit);
        m_manager->addPage(page);
        page->detach();
        QVERIFY(QTest::qWaitForWindowActive(page));
        page->detach();
        QTRY_VERIFY(page->isAttached());
        // The window's focus child: what gets the keys whenever the window is active.
        QTRY_COMPARE(m_window->focusWidget(), edit);
    }

    void ctrlTabSkipsDetachedPages()
    {
        auto *a = new Page("A");
        auto *b = new Page("B");
        auto *c = new Page("C");
        m_manager->addPage(a);
        m_manager->addPage(b);
        m_manager->addPage(c);
        b->detach();
        m_manager->buttonFor(a)->click();
        m_manager->cycleTasks();
        QVERIFY(m_manager->buttonFor(c)->isChecked());
        m_manager->cycleTasks();
        QVERIFY(m_manager->homeButton()->isChecked());
        m_manager->cycleTasks();
        QVERIFY(m_manager->buttonFor(a)->isChecked());
        delete b;
    }

    void badge()
    {
        CircleNumberWidget badge;
        badge.resize(16, 16);
        QImage blank = badge.grab().toImage();
        badge.setNumber(12);
        QCOMPARE(badge.number(), 12);
        QVERIFY(badge.grab().toImage() != blank);
        badge.setNumber(0);
        QCOMPARE(badge.grab().toImage(), blank);

        m_manager->setScheduledTaskCount(3);
        QCOMPARE(m_manager->scheduledTaskCount(), 3);
        QCOMPARE(m_manager->findChild<CircleNumberWidget *>("schedTaskCount")->number(), 3);
    }

    void utilitySignals()
    {
        QSignalSpy files(m_manager, &TaskManager::filesActivated);
        QSignalSpy sched(m_manager, &TaskManager::schedProcActivated);
        const auto utilities = m_manager->findChildren<QPushButton *>("utilityButton");
        QCOMPARE(utilities.size(), 2);
        utilities.at(0)->click();
        utilities.at(1)->click();
        QCOMPARE(files.size(), 1);
        QCOMPARE(sched.size(), 1);
        QVERIFY(m_manager->schedButtonRect().isValid());
    }

    // The drag's source is the bar itself; a drop from anywhere else is refused.
    void dropDecisions()
    {
        QList<QPushButton *> buttons;
        for (const char *name : { "P1", "P2", "P3" })
            buttons << m_manager->addPage(new Page(name));
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QPushButton *home = m_manager->homeButton();
        const auto centre = [](const QWidget *button) {
            return button->geometry().center();
        };

        QCOMPARE(m_manager->dropIndexFor(m_manager, centre(buttons.at(1))), 2);
        QCOMPARE(m_manager->dropIndexFor(m_manager, centre(buttons.at(2))), 3);
        // Above and over the home button: the first place after it.
        QCOMPARE(m_manager->dropIndexFor(m_manager, QPoint(centre(home).x(), 1)), 1);
        QCOMPARE(m_manager->dropIndexFor(m_manager, centre(home)), 1);
        // Below the last button, in the empty part of the column: the last place.
        QCOMPARE(m_manager->dropIndexFor(m_manager,
                                         QPoint(centre(home).x(), buttons.at(2)->geometry().bottom() + 40)),
                 3);

        QObject stranger;
        QCOMPARE(m_manager->dropIndexFor(&stranger, centre(buttons.at(1))), -1);
        QCOMPARE(m_manager->dropIndexFor(nullptr, centre(buttons.at(1))), -1);
        QCOMPARE(m_manager->dropIndexFor(buttons.at(1), centre(buttons.at(1))), -1);
        // Over the page, not the bar.
        QCOMPARE(m_manager->dropIndexFor(m_manager, m_manager->pageStack()->geometry().center()), -1);
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<QWidget> m_window;
    TaskManager *m_manager = nullptr;
    QLabel *m_home = nullptr;
};

QTEST_MAIN(tst_TaskManager)
#include "tst_taskmanager.moc"

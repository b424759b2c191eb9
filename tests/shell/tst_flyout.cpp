#include "shell/calendarflyout.h"
#include "shell/modaltaskbuttonflyout.h"
#include "shell/passwordflyout.h"
#include "shell/scheduledprocessflyout.h"

#include "shownplaintext.h"
#include "testenvironment.h"

#include <QCalendarWidget>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

namespace {

QString accessCode(const QString &salt, const QString &password)
{
    return salt
        + QCryptographicHash::hash(salt.toUtf8() + password.toUtf8(), QCryptographicHash::Sha256).toHex();
}

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

class tst_Flyout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_env = std::make_unique<TestEnvironment>(); }

    void placementBesideAnchor()
    {
        const QRect screen = available();
        auto *flyout
            = ModalTaskButtonFlyout::showFlyout(QRect(screen.left() + 10, screen.top() + 100, 48, 48));
        QVERIFY(flyout->opensRight());
        QCOMPARE(flyout->x(), screen.left() + 10 + 47);
        // The arrow points at the anchor's middle.
        QCOMPARE(flyout->y() + flyout->height() / 2, screen.top() + 100 + 24);

        // Near the right edge: on the left of the anchor, arrow on the right.
        flyout = ModalTaskButtonFlyout::showFlyout(QRect(screen.right() - 30, screen.top() + 100, 20, 20));
        QVERIFY(!flyout->opensRight());
        QVERIFY(flyout->geometry().right() < screen.right() - 30);
        QVERIFY(flyout->outline().boundingRect().right() > flyout->width() - 9);

        // Near the bottom edge: kept inside the available area.
        flyout = ModalTaskButtonFlyout::showFlyout(QRect(screen.left() + 10, screen.bottom() - 5, 20, 4));
        QVERIFY(flyout->geometry().bottom() <= screen.bottom());
    }

    void onlyOneOfAKind()
    {
        QPointer<ModalTaskButtonFlyout> first = ModalTaskButtonFlyout::showFlyout(QRect(10, 10, 20, 20));
        QPointer<ModalTaskButtonFlyout> second = ModalTaskButtonFlyout::showFlyout(QRect(10, 10, 20, 20));
        QVERIFY(first != second);
        QTRY_VERIFY(!first);
        QCOMPARE(ModalTaskButtonFlyout::current(), second.data());
        QCOMPARE(second->findChild<QLabel *>("singleLabel")->text(),
                 QString("Please complete this option before continuing"));
    }

    void modalFlyoutClosesByItself()
    {
        QPointer<ModalTaskButtonFlyout> flyout = ModalTaskButtonFlyout::showFlyout(QRect(10, 10, 20, 20));
        QTest::qWait(Flyout::AutoCloseMs - 1000);
        QVERIFY(flyout);
        QTRY_VERIFY_WITH_TIMEOUT(!flyout, 3000);
        QCOMPARE(ModalTaskButtonFlyout::current(), nullptr);
    }

    void accessCodes()
    {
        const QString stored = accessCode("abcd1234", "open sesame");
        QVERIFY(PasswordFlyout::checkAccessCode(stored, "open sesame"));
        QVERIFY(!PasswordFlyout::checkAccessCode(stored, "open sesame "));
        QVERIFY(!PasswordFlyout::checkAccessCode(stored, ""));
        QVERIFY(!PasswordFlyout::checkAccessCode(stored.toUpper(), "open sesame"));
    }

    void passwordEntry()
    {
        QStandardItemModel model(1, 1);
        const QModelIndex index = model.index(0, 0);
        PasswordFlyout *flyout
            = PasswordFlyout::showFlyout(index, accessCode("saltsalt", "pw"), QRect(10, 10, 20, 20));
        QPointer<PasswordFlyout> watch(flyout);
        QSignalSpy good(flyout, &PasswordFlyout::passwordGood);
        QCOMPARE(flyout->edit()->placeholderText(), QString("Enter Access Code"));

        QTest::keyClicks(flyout->edit(), "wrong");
        QTest::keyClick(flyout->edit(), Qt::Key_Return);
        const QString warned = flyout->edit()->styleSheet();
        QVERIFY(warned.startsWith("color: "));
        QCOMPARE(flyout->edit()->actions().size(), 1);
        QCOMPARE(flyout->edit()->selectedText(), QString("wrong"));
        QTest::keyClicks(flyout->edit(), "again");
        QTest::keyClick(flyout->edit(), Qt::Key_Return);
        QCOMPARE(flyout->edit()->actions().size(), 1); // warned once
        QCOMPARE(good.size(), 0);

        flyout->edit()->setText("pw");
        QTest::keyClick(flyout->edit(), Qt::Key_Return);
        QCOMPARE(good.size(), 1);
        QCOMPARE(good.at(0).at(0).value<QModelIndex>(), index);
        QTRY_VERIFY(!watch);
    }

    void scheduledProcesses()
    {
        auto *empty = ScheduledProcessFlyout::showFlyout({}, QRect(10, 10, 20, 20), nullptr);
        QCOMPARE(empty->findChild<QLabel *>("singleLabel")->text(), QString("No Scheduled Processes"));

        MainConnection::SchedProcList list { { 7, "Nightly", "2026-12-10 02:00", "fees --run" },
                                             { 9, "Weekly", "2026-12-13 03:00", "report" } };
        QPointer<ScheduledProcessFlyout> flyout
            = ScheduledProcessFlyout::showFlyout(list, QRect(10, 10, 20, 20), nullptr);
        QCOMPARE(flyout->objectName(), QString("scheduledProcesses"));
        const auto titles = flyout->findChildren<QLabel *>("procTitle");
        QCOMPARE(titles.size(), 2);
        QCOMPARE(titles.at(1)->text(), QString("Weekly"));
        QCOMPARE(shownText(titles.at(0)->toolTip()), QString("fees --run"));
        QSignalSpy remove(flyout.data(), &ScheduledProcessFlyout::removeProcessRequested);
        flyout->findChildren<QPushButton *>("removeButton").at(1)->click();
        QCOMPARE(remove.size(), 1);
        QCOMPARE(remove.at(0).at(0).toInt(), 9);
        QTRY_VERIFY(!flyout);
    }

    void calendar()
    {
        CalendarFlyout *flyout = CalendarFlyout::showFlyout(QDate(2026, 2, 14), QRect(10, 10, 20, 20));
        QCOMPARE(flyout->calendar()->selectedDate(), QDate(2026, 2, 14));
        QCOMPARE(flyout->calendar()->verticalHeaderFormat(), QCalendarWidget::NoVerticalHeader);
        QSignalSpy picked(flyout, &CalendarFlyout::dateSelected);
        emit flyout->calendar()->clicked(QDate(2026, 2, 20));
        QCOMPARE(picked.at(0).at(0).toDate(), QDate(2026, 2, 20));
        QPointer<CalendarFlyout> watch(flyout);
        CalendarFlyout::closeFlyout();
        QCOMPARE(CalendarFlyout::current(), nullptr);
        QTRY_VERIFY(!watch);
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(tst_Flyout)
#include "tst_flyout.moc"

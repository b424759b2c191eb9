#include "menu/scheduledprocesses.h"
#include "utils/busymouse.h"

#include <QSignalSpy>
#include <QTest>

#include "menu.pb.h"

class tst_ScheduledProcesses : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_sent.clear();
        m_processes = std::make_unique<ScheduledProcesses>(
            [this](const Menu::Envelope &envelope) { m_sent << envelope; });
    }

    void cleanup()
    {
        m_processes.reset();
        for (const QString &reason : BusyMouse::instance()->pendingReasons())
            BusyMouse::instance()->stop(reason);
    }

    void countAndListArrive()
    {
        QSignalSpy count(m_processes.get(), &ScheduledProcesses::countChanged);
        QSignalSpy list(m_processes.get(), &ScheduledProcesses::listArrived);

        Menu::SchedProcCount two;
        two.set_proc_count(2);
        m_processes->countReceived(two);
        m_processes->countReceived(two);
        QCOMPARE(count.size(), 1);
        QCOMPARE(count.at(0).at(0).toInt(), 2);

        Menu::SchedProcData data;
        auto *proc = data.add_schedproc();
        proc->set_proc_number(12);
        proc->set_title("Nightly fees");
        proc->set_datetime("2026-12-10 02:00");
        proc->set_exec_line("fees --run");
        m_processes->listReceived(data); // not asked for: count only
        QCOMPARE(list.size(), 0);
        QCOMPARE(count.size(), 2);
        QCOMPARE(count.at(1).at(0).toInt(), 1);

        m_processes->requestList();
        QVERIFY(m_sent.last().has_schedprocdatarequest());
        QVERIFY(BusyMouse::instance()->pendingReasons().contains("fetchScheduledProcesses"));
        m_processes->listReceived(data);
        QCOMPARE(list.size(), 1);
        const auto procs = list.at(0).at(0).value<ScheduledProcesses::List>();
        QCOMPARE(procs.size(), 1);
        QCOMPARE(procs.at(0).processNumber, 12);
        QCOMPARE(procs.at(0).commandLine, QString("fees --run"));
        QVERIFY(!BusyMouse::instance()->pendingReasons().contains("fetchScheduledProcesses"));

        m_processes->remove(12);
        QCOMPARE(m_sent.last().removeschedprocrequest().proc_number(), 12);
        QVERIFY(m_processes->pollInterval() >= 54000 && m_processes->pollInterval() < 66000);
    }

    // The poll asks only while the session is connected; a list asked for when the link goes
    // leaves no wait cursor behind.
    void pollFollowsTheSession()
    {
        QVERIFY(!m_processes->isPolling());
        m_processes->setAvailable(true);
        QVERIFY(m_processes->isPolling());
        m_processes->requestList();
        QVERIFY(BusyMouse::instance()->pendingReasons().contains("fetchScheduledProcesses"));
        m_processes->setAvailable(false);
        QVERIFY(!m_processes->isPolling());
        QVERIFY(!BusyMouse::instance()->pendingReasons().contains("fetchScheduledProcesses"));
    }

private:
    std::unique_ptr<ScheduledProcesses> m_processes;
    QList<Menu::Envelope> m_sent;
};

QTEST_MAIN(tst_ScheduledProcesses)
#include "tst_scheduledprocesses.moc"

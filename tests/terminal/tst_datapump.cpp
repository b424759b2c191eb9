// The pump between a terminal page and its emulator: nothing lost, and a backlog bound reported
// once on the way up and once on the way down.
#include "terminal/datapump.h"

#include <QSignalSpy>
#include <QTest>

class tst_DataPump : public QObject
{
    Q_OBJECT

private slots:
    void backlogIsReportedAndNothingLost();
};

void tst_DataPump::backlogIsReportedAndNothingLost()
{
    DataPump pump;
    pump.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    QSignalSpy full(&pump, &DataPump::backlogFull);
    QByteArray sent;
    for (int i = 0; sent.size() <= DataPump::MaxBacklogBytes; ++i) {
        const QByteArray chunk = QByteArray::number(i).repeated(64 * 1024);
        sent += chunk;
        pump.dataIn(chunk);
    }
    QCOMPARE(full.count(), 1);
    QCOMPARE(full.at(0).at(0).toBool(), true);
    QVERIFY(pump.isBacklogFull());

    // Read in slices as the terminal does: the bound is let go once, under the resume mark.
    QByteArray received;
    while (pump.bytesAvailable() > 0) {
        received += pump.read(256 * 1024);
        if (full.count() == 1)
            QVERIFY(pump.bytesAvailable() >= DataPump::ResumeBacklogBytes);
    }
    QCOMPARE(full.count(), 2);
    QCOMPARE(full.at(1).at(0).toBool(), false);
    QCOMPARE(received, sent);
}

QTEST_APPLESS_MAIN(tst_DataPump)
#include "tst_datapump.moc"

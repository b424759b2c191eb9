#include "shell/elidedlabel.h"

#include <QTest>

class tst_ElidedLabel : public QObject
{
    Q_OBJECT

private slots:
    void elides()
    {
        ElidedLabel label("A rather long label text that will not fit");
        label.show();
        label.resize(60, 20);
        QVERIFY(label.elidedText().endsWith(QChar(0x2026)));
        QVERIFY(label.elidedText().size() < label.text().size());
        label.resize(2000, 20);
        QCoreApplication::processEvents();
        QCOMPARE(label.elidedText(), label.text());
        label.setText("Short");
        QCOMPARE(label.elidedText(), QString("Short"));
    }

    void noneModeDrawsPlain()
    {
        ElidedLabel label("A rather long label text that will not fit");
        label.resize(60, 20);
        label.setElideMode(Qt::ElideNone);
        QCOMPARE(label.elidedText(), label.text());
        QVERIFY(!label.grab().isNull());
    }
};

QTEST_MAIN(tst_ElidedLabel)
#include "tst_elidedlabel.moc"

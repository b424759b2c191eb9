#include "utils/abbreviatename.h"

#include <QTest>

class tst_AbbreviateName : public QObject
{
    Q_OBJECT

private slots:
    void abbreviate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");

        QTest::newRow("one word") << "Students"
                                  << "Ss";
        QTest::newRow("two words") << "Student Records"
                                   << "SR";
        QTest::newRow("many words use first and last") << "Fees and Payments Ledger"
                                                       << "FL";
        QTest::newRow("case kept") << "student records"
                                   << "sr";
        QTest::newRow("punctuation dropped") << "A/P - Invoices!"
                                             << "AI";
        QTest::newRow("punctuation joins a word") << "Pay-roll"
                                                  << "Pl";
        QTest::newRow("digits count") << "2024 Intake"
                                      << "2I";
        QTest::newRow("single letter") << "X"
                                       << "XX";
        QTest::newRow("extra spaces") << "  Grade   Book  "
                                      << "GB";
        QTest::newRow("only punctuation") << "--/!"
                                          << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("non-ASCII letters dropped") << QString::fromUtf8("Caf\u00e9 Menu") << "CM";
    }

    void abbreviate()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(abbreviateName(name), expected);
    }
};

QTEST_APPLESS_MAIN(tst_AbbreviateName)
#include "tst_abbreviatename.moc"

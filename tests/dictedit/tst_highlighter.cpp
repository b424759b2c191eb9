#include "dictedit/highlighter.h"

#include <QAbstractTextDocumentLayout>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

// References to data sources in a data definition: known names in one format, others in another.
class tst_Highlighter : public QObject
{
    Q_OBJECT

private slots:
    void formats_data();
    void formats();
    void newNamesShowOnTheNextPass();
};

namespace {

// "start+length:e" for an existing name, ":m" for a missing one.
QStringList ranges(const QTextDocument &document, const Highlighter &highlighter)
{
    QStringList result;
    for (const QTextLayout::FormatRange &range : document.firstBlock().layout()->formats()) {
        const char *kind = range.format == highlighter.existingNameFormat() ? "e"
            : range.format == highlighter.missingNameFormat()               ? "m"
                                                                            : "?";
        result.append(QStringLiteral("%1+%2:%3").arg(range.start).arg(range.length).arg(QLatin1String(kind)));
    }
    return result;
}

} // namespace

void tst_Highlighter::formats_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("known and missing") << "a = @@Known and b = @@Other" << QStringList { "4+7:e", "20+7:m" };
    QTest::newRow("name ends at a non-letter") << "@@Known1 @@Knownx" << QStringList { "0+7:e", "9+8:m" };
    QTest::newRow("case counts") << "@@known" << QStringList { "0+7:m" };
    QTest::newRow("bare markers") << "@@ @@1 x@@" << QStringList {};
}

void tst_Highlighter::formats()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QTextDocument document;
    document.documentLayout(); // as in an editor: changes reach the highlighter only through a layout
    Highlighter highlighter(&document);
    highlighter.setKeys({ "Known", "Spare" });
    document.setPlainText(text);
    QCOMPARE(ranges(document, highlighter), expected);

    QCOMPARE(highlighter.existingNameFormat().foreground().color(), QColor(Qt::darkBlue));
    QCOMPARE(highlighter.existingNameFormat().background().color(), QColor(Qt::cyan));
    QCOMPARE(highlighter.existingNameFormat().fontWeight(), 75);
    QCOMPARE(highlighter.missingNameFormat().foreground().color(), QColor(Qt::darkRed));
    QVERIFY(!highlighter.missingNameFormat().hasProperty(QTextFormat::BackgroundBrush));
    QCOMPARE(highlighter.missingNameFormat().fontWeight(), 75);
}

void tst_Highlighter::newNamesShowOnTheNextPass()
{
    QTextDocument document;
    document.documentLayout();
    Highlighter highlighter(&document);
    document.setPlainText("@@Later");
    QCOMPARE(ranges(document, highlighter), QStringList { "0+7:m" });
    highlighter.setKeys({ "Later" });
    QCOMPARE(ranges(document, highlighter), QStringList { "0+7:m" });
    highlighter.rehighlight();
    QCOMPARE(ranges(document, highlighter), QStringList { "0+7:e" });
}

QTEST_MAIN(tst_Highlighter)
#include "tst_highlighter.moc"

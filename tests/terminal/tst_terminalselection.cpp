// Selections over a screen of 3 rows x 20 columns: what each kind takes and the text it gives.
#include "terminal/terminalemulator.h"
#include "terminal/terminalselection.h"

#include <QTest>

namespace {

using Unit = TerminalSelection::Unit;
using Place = TerminalSelection::Place;

struct Screen
{
    explicit Screen(const QByteArray &output)
    {
        emulator.screen().resize(3, 20);
        emulator.setUtf8(true);
        emulator.feed(reinterpret_cast<const uchar *>(output.constData()), output.size());
    }
    // A place on a view line.
    Place at(int line, int column) const { return Place { emulator.screen().firstLineNumber() + line, column }; }

    TerminalEmulator emulator;
};

} // namespace

Q_DECLARE_METATYPE(Unit)

class tst_TerminalSelection : public QObject
{
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void survivesTheScrollBack();
};

void tst_TerminalSelection::text_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<Unit>("unit");
    QTest::addColumn<QPoint>("from"); // column, line
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QString>("text");
    const QByteArray words("ls -l /usr/bin  x\r\nsecond");
    QTest::newRow("characters, backwards too") << words << Unit::Character << QPoint(9, 0) << QPoint(3, 0) << "-l /us";
    QTest::newRow("nothing without a drag") << words << Unit::Character << QPoint(4, 0) << QPoint(4, 0) << "";
    QTest::newRow("a word with a path's characters") << words << Unit::Word << QPoint(7, 0) << QPoint(7, 0) << "/usr/bin";
    QTest::newRow("words extended") << words << Unit::Word << QPoint(0, 0) << QPoint(4, 0) << "ls -l";
    QTest::newRow("a run of blanks") << QByteArray("a    b") << Unit::Word << QPoint(2, 0) << QPoint(6, 0) << "    b";
    QTest::newRow("a line, with its end") << words << Unit::Line << QPoint(5, 1) << QPoint(5, 1) << "second\n";
    QTest::newRow("lines: blanks at their ends go")
        << QByteArray("one   \r\ntwo") << Unit::Character << QPoint(0, 0) << QPoint(20, 1) << "one\ntwo";
    QTest::newRow("a wrapped line runs on") << QByteArray("0123456789abcdefghijklmn") << Unit::Line << QPoint(0, 0)
                                            << QPoint(0, 1) << "0123456789abcdefghijklmn\n";
    QTest::newRow("wide characters and marks") << QByteArray("\xe4\xb8\xad\xe6\x96\x87 e\xcc\x81") << Unit::Character
                                               << QPoint(0, 0) << QPoint(7, 0) << QString::fromUtf8("\u4e2d\u6587 e\u0301");
    QTest::newRow("a wide character is one word") << QByteArray("x \xe4\xb8\xad\xe6\x96\x87 y") << Unit::Word << QPoint(3, 0)
                                                  << QPoint(3, 0) << QString::fromUtf8("\u4e2d\u6587");
}

void tst_TerminalSelection::text()
{
    QFETCH(QByteArray, output);
    QFETCH(Unit, unit);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QString, text);
    Screen screen(output);
    TerminalSelection selection;
    selection.begin(screen.emulator.screen(), screen.at(from.y(), from.x()), unit);
    selection.extend(screen.emulator.screen(), screen.at(to.y(), to.x()));
    QCOMPARE(selection.text(screen.emulator.screen()), text);
}

void tst_TerminalSelection::survivesTheScrollBack()
{
    // Places are line numbers: lines scrolling into the history, and older ones leaving it, do
    // not move the selection off its text.
    Screen screen("first\r\nsecond\r\nthird");
    TerminalSelection selection;
    const TerminalScreen &grid = screen.emulator.screen();
    selection.begin(grid, screen.at(grid.viewLineOfRow(1), 0), Unit::Line);
    QByteArray more;
    for (int i = 0; i < 2 * TerminalBuffer::MaxLines; ++i) {
        more = "\r\nline";
        screen.emulator.feed(reinterpret_cast<const uchar *>(more.constData()), more.size());
        if (i == 10)
            QCOMPARE(selection.text(grid), QString("second\n"));
    }
    QVERIFY(selection.start().line < grid.firstLineNumber());
    QCOMPARE(selection.text(grid), QString());
    QVERIFY(selection.touchesLines(selection.start().line, selection.start().line));
}

QTEST_APPLESS_MAIN(tst_TerminalSelection)
#include "tst_terminalselection.moc"

// The screen alone, 4 rows x 10 columns: what writing, erasing and resizing leave in the grid
// (rows as shownRow() writes them).
#include "terminal/terminalscreen.h"

#include "shownrow.h"

#include <QTest>

namespace {

constexpr int Rows = 4;
constexpr int Columns = 10;

QString shown(const TerminalLine &line)
{
    return shownRow(line, Columns);
}

QStringList grid(const TerminalScreen &screen)
{
    QStringList rows;
    for (int row = 0; row < screen.rows(); ++row)
        rows << shown(screen.row(row));
    return rows;
}

QStringList padded(QStringList rows)
{
    for (QString &row : rows)
        row = row.leftJustified(Columns, QLatin1Char('.'));
    return rows;
}

void write(TerminalScreen &screen, const QString &text)
{
    const std::u32string characters = text.toStdU32String();
    screen.write(characters.data(), int(characters.size()));
}

// Lines of text, each on the next row.
void writeLines(TerminalScreen &screen, const QStringList &lines)
{
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            screen.carriageReturn();
            screen.lineFeed();
        }
        write(screen, lines.at(i));
    }
}

} // namespace

class tst_TerminalScreen : public QObject
{
    Q_OBJECT

private slots:
    void wideCharacters();
    void combiningMarks();
    void doubleWidthLines();
    void selectiveErase();
    void resizeKeepsTheCursorsText();
    void changesNameLinesThatStay();
};

void tst_TerminalScreen::wideCharacters()
{
    TerminalScreen screen;
    screen.resize(Rows, Columns);
    // Two cells each; one that no longer fits goes to the next line, leaving the margin blank.
    write(screen, QString::fromUtf8("ab\u4e2d\u6587cde\u5b57"));
    QCOMPARE(shown(screen.row(0)), QString::fromUtf8("ab\u4e2d\u6587cde."));
    QCOMPARE(shown(screen.row(1)), QString::fromUtf8("\u5b57........"));
    QCOMPARE(screen.cursorColumn(), 2);
    QVERIFY(screen.row(0).wrapped);
    // Writing over either half blanks the other.
    screen.setCursor(0, 3);
    write(screen, "X");
    screen.setCursor(0, 4);
    write(screen, "Y");
    QCOMPARE(shown(screen.row(0)), QString::fromUtf8("ab.XY.cde."));
    // Without wrapping a wide character at the margin takes the last two cells.
    screen.autoWrap = false;
    screen.setCursor(1, 9);
    write(screen, QString::fromUtf8("\u6587"));
    QCOMPARE(shown(screen.row(1)), QString::fromUtf8("\u5b57......\u6587"));
}

void tst_TerminalScreen::combiningMarks()
{
    TerminalScreen screen;
    screen.resize(Rows, Columns);
    // A mark goes on the character before the cursor, also a wide one and the last in the row;
    // at a line's start there is none, and it is dropped.
    write(screen, QString::fromUtf8("\u0301e\u0301\u4e2d\u0323......z\u0308"));
    QCOMPARE(shown(screen.row(0)), QString::fromUtf8("e\u0301\u4e2d\u0323......z\u0308"));
    QCOMPARE(screen.cursorColumn(), 9);
    QVERIFY(screen.pendingWrap());
    // Marks on one character are bounded; clusters a line no longer uses make room.
    screen.setCursor(1, 0);
    write(screen, "b");
    for (int i = 0; i < 100; ++i)
        write(screen, QString::fromUtf8("\u0300"));
    QVERIFY(screen.rowText(1).size() <= TerminalLine::MaxClusterLength);
    for (int i = 0; i < 3 * TerminalLine::MaxClusters; ++i) {
        screen.setCursor(1, 1);
        write(screen, QString::fromUtf8("a\u0301"));
    }
    QCOMPARE(screen.rowText(1).mid(screen.rowText(1).size() - 2), QString::fromUtf8("a\u0301"));
}

void tst_TerminalScreen::doubleWidthLines()
{
    TerminalScreen screen;
    screen.resize(Rows, Columns);
    write(screen, "0123456789");
    screen.carriageReturn();
    // A double-width line keeps its left half, and the cursor and text stay in it.
    screen.setCursor(0, 8);
    screen.setLineSize(TerminalLine::Size::DoubleWidth);
    QCOMPARE(shown(screen.row(0)), QString("01234....."));
    QCOMPARE(screen.cursorColumn(), 4);
    screen.setCursor(0, 3);
    write(screen, "abc");
    QCOMPARE(shown(screen.row(0)), QString("012ab....."));
    QCOMPARE(screen.cursorRow(), 1);
    QCOMPARE(shown(screen.row(1)), QString("c........."));
    // Moving onto it keeps the cursor in its half, also by a line feed or a scroll that brings
    // it under the cursor (found by the fuzzer); erasing the screen makes it single again.
    screen.setCursor(0, 9);
    QCOMPARE(screen.cursorColumn(), 4);
    screen.setCursor(Rows - 1, 9);
    screen.reverseIndex();
    QCOMPARE(screen.cursorColumn(), 9);
    screen.setRegion(0, Rows - 1);
    screen.setCursor(1, 9);
    screen.scrollDown(1);
    QCOMPARE(shown(screen.row(1)), QString("012ab....."));
    QCOMPARE(screen.cursorColumn(), 4);
    screen.autoWrap = false;
    write(screen, "xyz");
    QCOMPARE(shown(screen.row(1)), QString("012az....."));
    screen.autoWrap = true;
    screen.eraseInDisplay(2);
    QCOMPARE(screen.row(0).lineSize, TerminalLine::Size::Single);
    QCOMPARE(screen.row(1).lineSize, TerminalLine::Size::Single);
    QCOMPARE(screen.rowColumns(0), Columns);
}

void tst_TerminalScreen::selectiveErase()
{
    TerminalScreen screen;
    screen.resize(Rows, Columns);
    write(screen, "ab");
    screen.format.attributes |= TerminalFormat::Protected;
    write(screen, "PQ");
    screen.format.attributes &= ~TerminalFormat::Protected;
    writeLines(screen, { "cd", "ef" });
    screen.setCursor(0, 0);
    screen.eraseInDisplay(0, true);
    QCOMPARE(grid(screen), padded({ "..PQ", "", "", "" }));
    screen.eraseInLine(2);
    QCOMPARE(shown(screen.row(0)), QString(".........."));
}

void tst_TerminalScreen::resizeKeepsTheCursorsText()
{
    // Growing takes lines back from the scroll-back; shrinking drops empty rows below the cursor,
    // then moves the top rows into the scroll-back.
    TerminalScreen screen;
    screen.resize(Rows, Columns);
    writeLines(screen, { "1", "2", "3", "4", "5", "6" });
    screen.resize(6, 5);
    QCOMPARE(screen.rowText(0), QString("1"));
    QCOMPARE(screen.rowText(5), QString("6"));
    QCOMPARE(screen.cursorRow(), 5);
    screen.setCursor(1, 0);
    screen.resize(3, 5);
    QCOMPARE(screen.rowText(0), QString("2"));
    QCOMPARE(screen.scrollbackLines(), 1);
    QCOMPARE(screen.cursorRow(), 0);
}

void tst_TerminalScreen::changesNameLinesThatStay()
{
    // A view follows changes by line number, which stays while old lines leave the buffer.
    TerminalScreen screen;
    screen.resize(Rows, Columns);
    screen.takeChanges();
    for (int i = 0; i < TerminalBuffer::MaxLines + 5; ++i)
        screen.lineFeed();
    write(screen, "x");
    const TerminalScreen::Changes changes = screen.takeChanges();
    QVERIFY(changes.scrolled);
    QVERIFY(!changes.all);
    const qint64 cursorLine = screen.firstLineNumber() + screen.viewLineOfRow(screen.cursorRow());
    QCOMPARE(changes.last, cursorLine);
    QVERIFY(screen.firstLineNumber() > 0);
    // Scrolling inside a region names the region's rows; nothing moves into the scroll-back.
    screen.setRegion(1, 2);
    screen.setCursor(2, 0);
    screen.lineFeed();
    const TerminalScreen::Changes region = screen.takeChanges();
    QVERIFY(!region.scrolled);
    QCOMPARE(region.last - region.first, qint64(1));
}

QTEST_APPLESS_MAIN(tst_TerminalScreen)
#include "tst_terminalscreen.moc"

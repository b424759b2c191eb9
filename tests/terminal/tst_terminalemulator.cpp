// Byte streams into the emulator on a small screen (4 rows x 10 columns), compared with the grid,
// the scroll-back and the cursor they should leave, grouped by feature; reports it writes back.
#include "terminal/terminalemulator.h"
#include "testpaths.h"

#include <QFile>
#include <QTest>

namespace {

constexpr int Rows = 4;
constexpr int Columns = 10;

// A row as a string of Columns characters: '.' for a blank cell in the default background, '_'
// for a blank in another background.
QString shownRow(const TerminalLine &line)
{
    QString text;
    for (int column = 0; column < Columns; ++column) {
        if (column >= int(line.size())) {
            text += QLatin1Char('.');
            continue;
        }
        const TerminalCell &cell = line[size_t(column)];
        if (cell.character == ' ' && !(cell.format.attributes & TerminalFormat::LineDrawing))
            text += cell.format.background == TerminalFormat::DefaultBackground ? QLatin1Char('.') : QLatin1Char('_');
        else
            text += cell.toQChar();
    }
    return text;
}

// Short rows in the tables are padded with '.'.
QStringList padded(QStringList rows)
{
    for (QString &row : rows)
        row = row.leftJustified(Columns, QLatin1Char('.'));
    return rows;
}

struct Fed
{
    explicit Fed(const QByteArray &bytes, int rows = Rows, int columns = Columns)
    {
        TerminalEmulator::Callbacks callbacks;
        callbacks.reply = [this](const QByteArray &reply) { replies += reply; };
        callbacks.title = [this](const QString &text) { title = text; };
        emulator.setCallbacks(callbacks);
        emulator.screen().resize(rows, columns);
        emulator.feed(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size());
    }
    QStringList grid() const
    {
        QStringList rows;
        for (int row = 0; row < emulator.screen().rows(); ++row)
            rows.append(shownRow(emulator.screen().row(row)));
        return rows;
    }
    QStringList scrollback() const
    {
        QStringList lines;
        for (int line = 0; line < emulator.screen().scrollbackLines(); ++line)
            lines.append(emulator.screen().buffer().lineText(line));
        return lines;
    }

    TerminalEmulator emulator;
    QByteArray replies;
    QString title;
};

using RowTexts = QMap<int, QString>;

const QByteArray FourLines("1\r\n2\r\n3\r\n4");
const QByteArray SixLines("1\r\n2\r\n3\r\n4\r\n5\r\n6");

} // namespace

class tst_TerminalEmulator : public QObject
{
    Q_OBJECT

private slots:
    void addressing_data();
    void addressing() { checkGrid(); }
    void scrolling_data();
    void scrolling() { checkGrid(); }
    void erasing_data();
    void erasing() { checkGrid(); }
    void characterSets_data();
    void characterSets() { checkGrid(); }
    void alternateScreen_data();
    void alternateScreen() { checkGrid(); }
    void parser_data();
    void parser() { checkGrid(); }
    void reports_data();
    void reports();
    void resizeKeepsTheCursorsText();
    void captures_data();
    void captures();

private:
    void addColumns();
    void checkGrid();
};

void tst_TerminalEmulator::addColumns()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QStringList>("grid");
    QTest::addColumn<QStringList>("scrollback");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
}

void tst_TerminalEmulator::checkGrid()
{
    QFETCH(QByteArray, output);
    QFETCH(QStringList, grid);
    QFETCH(QStringList, scrollback);
    QFETCH(int, row);
    QFETCH(int, column);
    // Whole and one byte at a time: the result may not depend on how the output is cut.
    for (const bool bytewise : { false, true }) {
        Fed fed(bytewise ? QByteArray() : output);
        if (bytewise) {
            for (const char byte : output)
                fed.emulator.feed(reinterpret_cast<const uchar *>(&byte), 1);
        }
        QCOMPARE(fed.grid(), padded(grid));
        QCOMPARE(fed.emulator.screen().columns(), output.contains("\x1b[?3h") ? 132 : Columns);
        QCOMPARE(fed.scrollback(), scrollback);
        QCOMPARE(fed.emulator.screen().cursorRow(), row);
        QCOMPARE(fed.emulator.screen().cursorColumn(), column);
    }
}

void tst_TerminalEmulator::addressing_data()
{
    addColumns();
    QTest::newRow("position after more than a screen of output")
        << SixLines + "\x1b[2;3HX" << QStringList { "3", "4.X", "5", "6" } << QStringList { "1", "2" } << 1 << 3;
    QTest::newRow("position clamped to the screen")
        << QByteArray("\x1b[99;99HX") << QStringList { "", "", "", ".........X" } << QStringList {} << 3 << 9;
    QTest::newRow("VPA, CHA, CPL, CNL") << QByteArray("\x1b[3dA\x1b[5GB\x1b[2FC\x1b[ED")
                                        << QStringList { "C", "D", "A...B", "" } << QStringList {} << 1 << 1;
    QTest::newRow("origin mode counts from the region")
        << QByteArray("\x1b[2;3r\x1b[?6h\x1b[HA\x1b[9;1HB") << QStringList { "", "A", "B", "" } << QStringList {}
        << 2 << 1;
    QTest::newRow("relative moves stop at the region")
        << QByteArray("\x1b[2;3r\x1b[2;1H\x1b[9AA\x1b[9BB") << QStringList { "", "A", ".B", "" } << QStringList {}
        << 2 << 2;
    QTest::newRow("DECSC and DECRC") << QByteArray("\x1b[2;5H\x1b" "7\x1b[HX\x1b" "8Y")
                                     << QStringList { "X", "....Y", "", "" } << QStringList {} << 1 << 5;
    QTest::newRow("SCOSC and SCORC") << QByteArray("\x1b[2;5H\x1b[s\x1b[HX\x1b[uY")
                                     << QStringList { "X", "....Y", "", "" } << QStringList {} << 1 << 5;
    QTest::newRow("tab stops set and cleared") << QByteArray("\x1b[3g\x1b[3G\x1bH\r\tA\tB\x1b[Z\x1b[ZC")
                                               << QStringList { "C.A......B" } + QStringList { "", "", "" }
                                               << QStringList {} << 0 << 1;
    QTest::newRow("no wrap: the margin is overwritten") << QByteArray("\x1b[?7l0123456789AB")
                                                         << QStringList { "012345678B", "", "", "" }
                                                         << QStringList {} << 0 << 9;
    QTest::newRow("wrap") << QByteArray("0123456789AB") << QStringList { "0123456789", "AB", "", "" }
                          << QStringList {} << 1 << 2;
    QTest::newRow("LF keeps the column") << QByteArray("ab\ncd") << QStringList { "ab", "..cd", "", "" }
                                         << QStringList {} << 1 << 4;
}

void tst_TerminalEmulator::scrolling_data()
{
    addColumns();
    QTest::newRow("line feed at the region's bottom")
        << FourLines + "\x1b[2;3r\x1b[3;1H\nX" << QStringList { "1", "3", "X", "4" } << QStringList {} << 2 << 1;
    QTest::newRow("RI at the region's top") << FourLines + "\x1b[2;3r\x1b[2;1H\x1bMX"
                                            << QStringList { "1", "X", "2", "4" } << QStringList {} << 1 << 1;
    QTest::newRow("IL inside the region") << FourLines + "\x1b[1;3r\x1b[2;2H\x1b[L"
                                          << QStringList { "1", "", "2", "4" } << QStringList {} << 1 << 0;
    QTest::newRow("DL inside the region") << FourLines + "\x1b[1;3r\x1b[1;1H\x1b[M"
                                          << QStringList { "2", "3", "", "4" } << QStringList {} << 0 << 0;
    QTest::newRow("IL outside the region does nothing")
        << FourLines + "\x1b[1;2r\x1b[4;1H\x1b[L" << QStringList { "1", "2", "3", "4" } << QStringList {} << 3 << 0;
    QTest::newRow("SU keeps the scroll-back") << FourLines + "\x1b[S" << QStringList { "2", "3", "4", "" }
                                              << QStringList {} << 3 << 1;
    QTest::newRow("SD") << FourLines + "\x1b[2T" << QStringList { "", "", "1", "2" } << QStringList {} << 3 << 1;
    QTest::newRow("ICH") << QByteArray("abcdef\x1b[1;2H\x1b[2@") << QStringList { "a..bcdef", "", "", "" }
                         << QStringList {} << 0 << 1;
    QTest::newRow("DCH") << QByteArray("abcdef\x1b[1;2H\x1b[2P") << QStringList { "adef", "", "", "" }
                         << QStringList {} << 0 << 1;
    QTest::newRow("ECH") << QByteArray("abcdef\x1b[1;2H\x1b[3X") << QStringList { "a...ef", "", "", "" }
                         << QStringList {} << 0 << 1;
    QTest::newRow("REP repeats the last character, wrapping") << QByteArray("ab\x1b[9b") << QStringList { "abbbbbbbbb", "b", "", "" }
                                                              << QStringList {} << 1 << 1;
    QTest::newRow("insert mode pushes text right") << QByteArray("abcdefgh\r\x1b[4hXYZ")
                                                   << QStringList { "XYZabcdefg", "", "", "" } << QStringList {}
                                                   << 0 << 3;
}

void tst_TerminalEmulator::erasing_data()
{
    addColumns();
    const QByteArray three("aaa\r\nbbb\r\nccc\x1b[2;2H");
    QTest::newRow("ED 0") << three + "\x1b[J" << QStringList { "aaa", "b", "", "" } << QStringList {} << 1 << 1;
    QTest::newRow("ED 1") << three + "\x1b[1J" << QStringList { "", "..b", "ccc", "" } << QStringList {} << 1 << 1;
    QTest::newRow("ED 2 keeps the scroll-back")
        << SixLines + "\x1b[2J" << QStringList { "", "", "", "" } << QStringList { "1", "2" } << 3 << 1;
    QTest::newRow("ED 3 clears the scroll-back")
        << SixLines + "\x1b[3J" << QStringList { "3", "4", "5", "6" } << QStringList {} << 3 << 1;
    QTest::newRow("EL 0") << QByteArray("abcdef\x1b[1;3H\x1b[K") << QStringList { "ab", "", "", "" }
                          << QStringList {} << 0 << 2;
    QTest::newRow("EL 1") << QByteArray("abcdef\x1b[1;3H\x1b[1K") << QStringList { "...def", "", "", "" }
                          << QStringList {} << 0 << 2;
    QTest::newRow("EL 2") << QByteArray("abcdef\x1b[1;3H\x1b[2K") << QStringList { "", "", "", "" }
                          << QStringList {} << 0 << 2;
    QTest::newRow("erase in the current background")
        << QByteArray("ab\x1b[44m\x1b[K\r\n\x1b[2X") << QStringList { "ab________", "__", "", "" } << QStringList {}
        << 1 << 0;
    QTest::newRow("DECCOLM: 132 columns, cleared") << QByteArray("abc\x1b[?3h") << QStringList { "", "", "", "" }
                                                  << QStringList {} << 0 << 0;
    QTest::newRow("DECALN") << QByteArray("\x1b[2;3r\x1b#8") << QStringList { "EEEEEEEEEE", "EEEEEEEEEE", "EEEEEEEEEE", "EEEEEEEEEE" }
                            << QStringList {} << 0 << 0;
}

void tst_TerminalEmulator::characterSets_data()
{
    addColumns();
    const QString box = QString::fromUtf8("\u250c\u2500\u2510");
    QTest::newRow("DEC line drawing in G0") << QByteArray("\x1b(0lqk\x1b(Bq") << QStringList { box + "q", "", "", "" }
                                            << QStringList {} << 0 << 4;
    QTest::newRow("G1 shifted in and out") << QByteArray("\x1b)0a\x0eq\x0fq")
                                           << QStringList { QString::fromUtf8("a\u2500q"), "", "", "" }
                                           << QStringList {} << 0 << 3;
    QTest::newRow("United Kingdom") << QByteArray("\x1b(A#") << QStringList { QString::fromLatin1("\xa3"), "", "", "" }
                                    << QStringList {} << 0 << 1;
    QTest::newRow("saved with the cursor") << QByteArray("\x1b(0\x1b" "7\x1b(B\x1b" "8x")
                                           << QStringList { QString::fromUtf8("\u2502"), "", "", "" }
                                           << QStringList {} << 0 << 1;
}

void tst_TerminalEmulator::alternateScreen_data()
{
    addColumns();
    const QByteArray five("1\r\n2\r\n3\r\n4\r\n5");
    QTest::newRow("1049 inside") << five + "\x1b[?1049h\x1b[HX\r\nY" << QStringList { "X", "Y", "", "" }
                                 << QStringList { "1" } << 1 << 1;
    QTest::newRow("1049 back: screen, history and cursor as before")
        << five + "\x1b[?1049h\x1b[HX\r\nY\x1b[?1049l" << QStringList { "2", "3", "4", "5" } << QStringList { "1" }
        << 3 << 1;
    QTest::newRow("scrolling the alternate screen leaves the history")
        << QByteArray("\x1b[?1049h") + SixLines << QStringList { "3", "4", "5", "6" } << QStringList {} << 3 << 1;
    QTest::newRow("47 with DECSC, as xterm-color's smcup and rmcup")
        << five + "\x1b" "7\x1b[?47h\x1b[2J\x1b[HX\x1b[2J\x1b[?47l\x1b" "8"
        << QStringList { "2", "3", "4", "5" } << QStringList { "1" } << 3 << 1;
}

void tst_TerminalEmulator::parser_data()
{
    addColumns();
    QTest::newRow("unknown sequences are consumed, not printed")
        << QByteArray("a\x1b[?1;2$pb\x1b]0;title\x07" "c\x1bP1$r\x1b\\d\x1b[>4;2me\x1b_apc\x1b\\f\x1b[1;2;3 q")
        << QStringList { "abcdef", "", "", "" } << QStringList {} << 0 << 6;
    QTest::newRow("C0 inside a sequence is executed") << QByteArray("ab\x1b[\r1Cc")
                                                      << QStringList { "ac", "", "", "" } << QStringList {} << 0 << 2;
    QTest::newRow("CAN abandons a sequence") << QByteArray("a\x1b[1\x18" "b") << QStringList { "ab", "", "", "" }
                                             << QStringList {} << 0 << 2;
    QTest::newRow("ESC restarts a sequence") << QByteArray("a\x1b[5\x1b[2Cb") << QStringList { "a..b", "", "", "" }
                                             << QStringList {} << 0 << 4;
    QTest::newRow("too many intermediates") << QByteArray("a\x1b[1!!!pb\x1b!!!xc")
                                            << QStringList { "abc", "", "", "" } << QStringList {} << 0 << 3;
    QTest::newRow("huge parameters") << QByteArray("\x1b[99999999999999;99999999999999999H\x1b[999999999Lx")
                                     << QStringList { "", "", "", "x" } << QStringList {} << 3 << 1;
}

void tst_TerminalEmulator::reports_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("replies");
    QTest::newRow("DSR 5") << QByteArray("\x1b[5n") << QByteArray("\x1b[0n");
    QTest::newRow("DSR 6") << QByteArray("\x1b[3;4H\x1b[6n") << QByteArray("\x1b[3;4R");
    QTest::newRow("DSR 6 in origin mode") << QByteArray("\x1b[2;4r\x1b[?6h\x1b[2;5H\x1b[6n") << QByteArray("\x1b[2;5R");
    QTest::newRow("DECXCPR") << QByteArray("\x1b[?6n") << QByteArray("\x1b[?1;1R");
    QTest::newRow("DA") << QByteArray("\x1b[c\x1b[0c") << QByteArray("\x1b[?1;2c\x1b[?1;2c");
    QTest::newRow("DA2") << QByteArray("\x1b[>c") << QByteArray("\x1b[>0;10;0c");
    QTest::newRow("DECID") << QByteArray("\x1bZ") << QByteArray("\x1b[?1;2c");
    QTest::newRow("split across reads") << QByteArray("\x1b[") + "6" + "n" << QByteArray("\x1b[1;1R");
    QTest::newRow("unknown queries get nothing") << QByteArray("\x1b[99n\x1b[>1c\x1b[=c") << QByteArray();
}

void tst_TerminalEmulator::reports()
{
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, replies);
    Fed fed(output, 24, 80);
    QCOMPARE(fed.replies, replies);
}

void tst_TerminalEmulator::resizeKeepsTheCursorsText()
{
    // Growing takes lines back from the scroll-back; shrinking drops empty rows below the cursor,
    // then moves the top rows into the scroll-back.
    Fed fed(SixLines);
    TerminalScreen &screen = fed.emulator.screen();
    screen.resize(6, 5);
    QCOMPARE(fed.grid(), padded({ "1", "2", "3", "4", "5", "6" }));
    QCOMPARE(screen.cursorRow(), 5);
    fed.emulator.feed(reinterpret_cast<const uchar *>("\x1b[2;1H"), 6);
    screen.resize(3, 5);
    QCOMPARE(fed.grid(), padded({ "2", "3", "4" }));
    QCOMPARE(fed.scrollback(), QStringList { "1" });
    QCOMPARE(screen.cursorRow(), 0);
}

// Real programs recorded on a 24 x 80 pseudo-terminal with TERM=xterm: rows that must show, how
// many lines the scroll-back holds, and whether the alternate screen is up.
void tst_TerminalEmulator::captures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<RowTexts>("rows");
    QTest::addColumn<int>("scrollback");
    QTest::addColumn<bool>("alternate");
    QTest::newRow("vim start-up") << "vim-startup.bin"
                                  << RowTexts { { 0, "line 1 of the notes" },
                                                          { 22, "line 23 of the notes" },
                                                          { 23, "\"notes.txt\" 30L, 621B" } }
                                  << 0 << true;
    QTest::newRow("less paging forward and back") << "less-back.bin"
                                                  << RowTexts { { 0, "1" }, { 22, "23" }, { 23, ":" } }
                                                  << 8 << true;
    QTest::newRow("less quits: the shell's screen and history are back")
        << "less-quit.bin" << RowTexts { { 0, "1009" }, { 21, "1030" }, { 22, "done" } } << 9 << false;
    QTest::newRow("mc panels") << "mc.bin"
                               << RowTexts { { 1, QString::fromUtf8("\u250c") } }
                               << 0 << true;
}

void tst_TerminalEmulator::captures()
{
    QFETCH(QString, file);
    QFETCH(RowTexts, rows);
    QFETCH(int, scrollback);
    QFETCH(bool, alternate);
    QFile capture(QStringLiteral(ZU_TERMINAL_CAPTURES "/") + file);
    QVERIFY2(capture.open(QIODevice::ReadOnly), qPrintable(capture.fileName()));
    Fed fed(capture.readAll(), 24, 80);
    const TerminalScreen &screen = fed.emulator.screen();
    for (auto it = rows.begin(); it != rows.end(); ++it)
        QVERIFY2(screen.rowText(it.key()).startsWith(it.value()), qPrintable(screen.rowText(it.key())));
    QCOMPARE(screen.scrollbackLines(), scrollback);
    QCOMPARE(screen.isAlternate(), alternate);
    QCOMPARE(fed.emulator.parser().state(), TerminalParser::State::Ground);
}

QTEST_APPLESS_MAIN(tst_TerminalEmulator)
#include "tst_terminalemulator.moc"

// Byte streams into the emulator on a small screen (4 rows x 10 columns), compared with the grid,
// the scroll-back and the cursor they should leave, grouped by feature; reports it writes back.
#include "terminal/terminalemulator.h"
#include "terminal/terminalpalette.h"
#include "testpaths.h"

#include "shownrow.h"

#include <QFile>
#include <QTest>

namespace {

constexpr int Rows = 4;
constexpr int Columns = 10;

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
        callbacks.colour = [](int which) { return which == -2 ? 0x102030u : TerminalPalette::indexedColor(which) & 0xffffffu; };
        emulator.setCallbacks(callbacks);
        emulator.screen().resize(rows, columns);
        emulator.feed(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size());
    }
    QStringList grid() const
    {
        QStringList rows;
        for (int row = 0; row < emulator.screen().rows(); ++row)
            rows.append(shownRow(emulator.screen().row(row), Columns));
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

Q_DECLARE_METATYPE(TerminalColor)

// Found by QCOMPARE through the colour's own namespace, so a failing colour reads as kind:rgb.
static char *toString(const TerminalColor &colour)
{
    return qstrdup(QByteArray::number(int(colour.kind())) + ':' + QByteArray::number(colour.rgbValue(), 16));
}

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
    void utf8_data();
    void utf8() { checkGrid(true); }
    void renditions_data();
    void renditions();
    void captures_data();
    void captures();

private:
    void addColumns();
    void checkGrid(bool utf8 = false);
};

void tst_TerminalEmulator::addColumns()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QStringList>("grid");
    QTest::addColumn<QStringList>("scrollback");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
}

void tst_TerminalEmulator::checkGrid(bool utf8)
{
    QFETCH(QByteArray, output);
    QFETCH(QStringList, grid);
    QFETCH(QStringList, scrollback);
    QFETCH(int, row);
    QFETCH(int, column);
    // Whole and one byte at a time: the result may not depend on how the output is cut.
    for (const bool bytewise : { false, true }) {
        Fed fed(QByteArray(), Rows, Columns);
        fed.emulator.setUtf8(utf8);
        if (!bytewise)
            fed.emulator.feed(reinterpret_cast<const uchar *>(output.constData()), output.size());
        if (bytewise) {
            for (const char byte : output)
                fed.emulator.feed(reinterpret_cast<const uchar *>(&byte), 1);
        }
        QCOMPARE(fed.grid(), utf8 ? grid : padded(grid));
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
    QTest::newRow("British in NRC mode") << QByteArray("\x1b[?42h\x1b(A#") << QStringList { QString::fromLatin1("\xa3"), "", "", "" }
                                    << QStringList {} << 0 << 1;
    QTest::newRow("saved with the cursor") << QByteArray("\x1b(0\x1b" "7\x1b(B\x1b" "8x")
                                           << QStringList { QString::fromUtf8("\u2502"), "", "", "" }
                                           << QStringList {} << 0 << 1;
    QTest::newRow("'A' without NRC mode is Latin-1's upper half") << QByteArray("\x1b)A\x0e!#")
        << QStringList { QString::fromLatin1("\xa1\xa3"), "", "", "" } << QStringList {} << 0 << 2;
    QTest::newRow("Latin-1's upper half as a 96-character G1")
        << QByteArray("\x1b-A\x0e!#i\x0f!") << QStringList { QString::fromLatin1("\xa1\xa3\xe9!"), "", "", "" }
        << QStringList {} << 0 << 4;
    QTest::newRow("single shift of G3") << QByteArray("\x1b+0\x1bOqq") << QStringList { QString::fromUtf8("\u2500q"), "", "", "" }
                                        << QStringList {} << 0 << 2;
    QTest::newRow("DEC supplemental") << QByteArray("\x1b(<!W(") << QStringList { QString::fromUtf8("\u00a1\u0152\u00a4"), "", "", "" }
                                      << QStringList {} << 0 << 3;
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
    QTest::newRow("huge parameters") << QByteArray("\x1b[99999999999999;99999999999999999H\x1b[999999999Lx")
                                     << QStringList { "", "", "", "x" } << QStringList {} << 3 << 1;
}

// UTF-8 output: rows as text (a wide character once for its two cells), so not padded.
void tst_TerminalEmulator::utf8_data()
{
    addColumns();
    QTest::newRow("wide characters wrap whole") << QByteArray("abcdefgh\xe4\xb8\xad\xe6\x96\x87")
                                                << QStringList { "abcdefgh\u4e2d", QString::fromUtf8("\u6587........"), "..........", ".........." }
                                                << QStringList {} << 1 << 2;
    QTest::newRow("marks on their base") << QByteArray("e\xcc\x81\xcc\xa3x")
                                         << QStringList { QString::fromUtf8("e\u0301\u0323x........"), "..........", "..........", ".........." }
                                         << QStringList {} << 0 << 2;
    QTest::newRow("malformed input shows U+FFFD") << QByteArray("a\xff\xe4\xb8" "b")
                                                  << QStringList { QString::fromUtf8("a\ufffd\ufffdb......"), "..........", "..........", ".........." }
                                                  << QStringList {} << 0 << 4;
    QTest::newRow("line drawing still applies to ASCII") << QByteArray("\x1b(0q\xc3\xa9q")
                                                         << QStringList { QString::fromUtf8("\u2500\u00e9\u2500......."), "..........", "..........", ".........." }
                                                         << QStringList {} << 0 << 3;
    // As in xterm: while a set is shifted into GR, bytes from 0xA0 that are no part of a UTF-8
    // character are that set's characters.
    QTest::newRow("GR shifted in") << QByteArray("\x1b.A\x1b}\xa1\xe9\xc3\xa9\x9b\x1b" "c\xa1")
                                   << QStringList { QString::fromUtf8("\ufffd........."), "..........", "..........", ".........." }
                                   << QStringList {} << 0 << 1;
    QTest::newRow("GR shifted in, UTF-8 still decoded") << QByteArray("\x1b.A\x1b}\xa1\xe9\xc3\xa9\x9b")
                                   << QStringList { QString::fromUtf8("\u00a1\u00e9\u00e9\ufffd......"), "..........", "..........", ".........." }
                                   << QStringList {} << 0 << 4;
    QTest::newRow("double width wraps at half the width") << QByteArray("\x1b#6abcdefg")
                                                          << QStringList { "abcde.....", "fg........", "..........", ".........." }
                                                          << QStringList {} << 1 << 2;
}

// SGR: the formats text takes (colours as chosen, attributes), and what undoes them.
void tst_TerminalEmulator::renditions_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<TerminalColor>("foreground");
    QTest::addColumn<TerminalColor>("background");
    QTest::addColumn<int>("attributes");
    using C = TerminalColor;
    using F = TerminalFormat;
    QTest::newRow("ANSI and bright") << QByteArray("\x1b[31;104m") << C::indexed(1) << C::indexed(12) << 0;
    QTest::newRow("256 colours") << QByteArray("\x1b[38;5;196;48;5;16m") << C::indexed(196) << C::indexed(16) << 0;
    QTest::newRow("direct colours") << QByteArray("\x1b[38;2;1;2;3;48;2;300;0;0m") << C::rgb(1, 2, 3) << C::rgb(255, 0, 0) << 0;
    QTest::newRow("colon forms, with and without a colour space")
        << QByteArray("\x1b[38:2::1:2:3;48:2:1:2:3m") << C::rgb(1, 2, 3) << C::rgb(1, 2, 3) << 0;
    QTest::newRow("an index past 255 is ignored") << QByteArray("\x1b[31m\x1b[38;5;256m") << C::indexed(1) << C() << 0;
    QTest::newRow("malformed: the rest is dropped") << QByteArray("\x1b[38;7;1m") << C() << C() << 0;
    QTest::newRow("every attribute") << QByteArray("\x1b[1;2;3;4;5;7;8;9m") << C() << C()
                                     << int(F::Bold | F::Faint | F::Italic | F::Underline | F::Blink | F::Reverse | F::Hidden | F::Strike);
    QTest::newRow("undone one by one") << QByteArray("\x1b[1;2;3;4;5;7;8;9m\x1b[22;23;24;25;27;28;29m") << C() << C() << 0;
    QTest::newRow("4:0 is no underline") << QByteArray("\x1b[4m\x1b[4:0m") << C() << C() << 0;
    QTest::newRow("defaults back") << QByteArray("\x1b[31;41m\x1b[39;49m") << C() << C() << 0;
    QTest::newRow("protection outlives SGR 0") << QByteArray("\x1b[1\"q\x1b[1;31m\x1b[0m") << C() << C() << int(F::Protected);
}

void tst_TerminalEmulator::renditions()
{
    QFETCH(QByteArray, output);
    QFETCH(TerminalColor, foreground);
    QFETCH(TerminalColor, background);
    QFETCH(int, attributes);
    Fed fed(output + "x");
    const TerminalFormat &format = fed.emulator.screen().row(0).at(0).format;
    QCOMPARE(format.foreground, foreground);
    QCOMPARE(format.background, background);
    QCOMPARE(int(format.attributes), attributes);
}

void tst_TerminalEmulator::reports_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("replies");
    QTest::newRow("DSR 5") << QByteArray("\x1b[5n") << QByteArray("\x1b[0n");
    QTest::newRow("DSR 6") << QByteArray("\x1b[3;4H\x1b[6n") << QByteArray("\x1b[3;4R");
    QTest::newRow("DSR 6 in origin mode") << QByteArray("\x1b[2;4r\x1b[?6h\x1b[2;5H\x1b[6n") << QByteArray("\x1b[2;5R");
    QTest::newRow("DECXCPR") << QByteArray("\x1b[?6n") << QByteArray("\x1b[?1;1R");
    // A VT220 with 132 columns, selective erase and ANSI colour.
    QTest::newRow("DA") << QByteArray("\x1b[c\x1b[0c") << QByteArray("\x1b[?62;1;6;22c\x1b[?62;1;6;22c");
    QTest::newRow("DA2") << QByteArray("\x1b[>c") << QByteArray("\x1b[>1;10;0c");
    QTest::newRow("DECID") << QByteArray("\x1bZ") << QByteArray("\x1b[?62;1;6;22c");
    QTest::newRow("DA3: xterm's unit ID") << QByteArray("\x1b[=c") << QByteArray("\x1bP!|00000000\x1b\\");
    QTest::newRow("VT220 status: printer, keys, keyboard")
        << QByteArray("\x1b[?15n\x1b[?25n\x1b[?26n") << QByteArray("\x1b[?13n\x1b[?20n\x1b[?27;1;0;0n");
    QTest::newRow("DECRQM") << QByteArray("\x1b[?1000h\x1b[?1000$p\x1b[?1002$p\x1b[?4711$p\x1b[4$p")
                            << QByteArray("\x1b[?1000;1$y\x1b[?1002;2$y\x1b[?4711;0$y\x1b[4;2$y");
    QTest::newRow("text area size") << QByteArray("\x1b[18t") << QByteArray("\x1b[8;24;80t");
    QTest::newRow("background colour query")
        << QByteArray("\x1b]11;?\x07\x1b]4;1;?\x07") << QByteArray("\x1b]11;rgb:1010/2020/3030\x1b\\\x1b]4;1;rgb:cdcd/0000/0000\x1b\\");
    QTest::newRow("split across reads") << QByteArray("\x1b[") + "6" + "n" << QByteArray("\x1b[1;1R");
    QTest::newRow("unknown queries get nothing") << QByteArray("\x1b[99n\x1b[>1c\x1b[=1c\x1b]11;x\x07") << QByteArray();
}

void tst_TerminalEmulator::reports()
{
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, replies);
    Fed fed(output, 24, 80);
    QCOMPARE(fed.replies, replies);
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

// The emulator's interpreter, keys and painting, fed straight through appendData() or a DataPump.
#include "terminal/datapump.h"
#include "terminal/qvterminal.h"
#include "terminal/terminalscreen.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QRegularExpression>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

namespace {

QStringList linesOf(const QVTerminal &terminal, int count)
{
    QStringList lines;
    for (int i = 0; i < count && i < terminal.buffer().lineCount(); ++i)
        lines.append(terminal.buffer().lineText(i));
    return lines;
}

// A terminal on a pump, collecting what it writes.
struct Wired
{
    Wired()
    {
        pump.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
        QObject::connect(&pump, &DataPump::dataOut, &pump, [this](const QByteArray &data) { written += data; });
        terminal.setIODevice(&pump);
    }
    // Shown, with the screen the size of the view, as a page makes it.
    void show()
    {
        terminal.resize(700, 400);
        terminal.show();
        QVERIFY(QTest::qWaitForWindowExposed(&terminal));
        const QSize fitting = terminal.fittingScreenSize();
        terminal.setScreenSize(fitting.height(), fitting.width());
    }

    DataPump pump;
    QVTerminal terminal;
    QByteArray written;
};

// A shown terminal with the focus.
struct Shown
{
    Shown()
    {
        terminal.resize(700, 400);
        terminal.show();
        terminal.activateWindow();
        terminal.setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&terminal));
    }
    QVTerminal terminal;
};

// A left-button drag; QTest's mouseMove moves the system cursor rather than sending a move.
void drag(QWidget *view, const QPoint &from, const QPoint &to, Qt::KeyboardModifiers modifiers)
{
    QTest::mousePress(view, Qt::LeftButton, modifiers, from);
    QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, modifiers);
    QApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, modifiers, to);
}

// Pixels of the cell that differ from the cell's middle-left background.
int inkIn(QVTerminal &terminal, int line, int column)
{
    const QImage image = terminal.viewport()->grab().toImage();
    const QPoint centre = terminal.cellCentre(line, column);
    const int w = terminal.characterWidth();
    const int h = terminal.lineHeight();
    const QRect cell(centre.x() - w / 2, centre.y() - h / 2, w, h);
    const QColor background = image.pixelColor(terminal.cellCentre(line, column + 3));
    int ink = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            ink += image.pixelColor(x, y) != background;
    return ink;
}

class PaintRecorder : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
    QRegion painted;
};

int unhandledLogLines = 0;

void countUnhandled(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains(QLatin1String("QVTerm")))
        ++unhandledLogLines;
}

} // namespace

class tst_QVTerminal : public QObject
{
    Q_OBJECT

private slots:
    void interpreting_data();
    void interpreting();
    void eraseAll();
    void sequenceSplitBetweenReads();
    void scrollsAtMaxLines();
    void keys_data();
    void keys();
    void localEchoShowsTypedText();
    void burstIsReadInSlices();
    void paste();
    void binaryOutputLogsBoundedly();
    void bellFloodRingsRarely();
    void paintsCellsCursorAndOnlyChangedLines();
    void paintedColours_data();
    void paintedColours();
    void paintedText_data();
    void paintedText();
    void mouseReportsAndSelection();
    void wheel_data();
    void wheel();
    void viewFollowsTheScreen();
    void programWidth();
    void pasteIsCleanedAndAskedFor();
    void utf8();
};

void tst_QVTerminal::interpreting_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("pendingWrap");
    QTest::addColumn<QStringList>("lines");

    const QByteArray eighty(80, 'a');
    const QString eightyText(80, QLatin1Char('a'));
    QTest::newRow("80 characters wait to wrap") << eighty << 0 << 79 << true << QStringList { eightyText, "" };
    QTest::newRow("the 81st goes to the next line") << eighty + "b" << 1 << 1 << false
                                                    << QStringList { eightyText, "b" };
    QTest::newRow("CR LF after 80 adds no empty line")
        << eighty + "\r\nb" << 1 << 1 << false << QStringList { eightyText, "b", "" };
    QTest::newRow("tab at column 3") << QByteArray("abc\tX") << 0 << 9 << false << QStringList { "abc     X" };
    QTest::newRow("tab at column 8") << QByteArray("abcdefgh\tX") << 0 << 17 << false
                                     << QStringList { "abcdefgh        X" };
    QTest::newRow("position") << QByteArray("\x1b[5;10H") << 4 << 9 << false << QStringList {};
    QTest::newRow("home") << QByteArray("ab\r\nc\x1b[H") << 0 << 0 << false << QStringList { "ab", "c" };
    QTest::newRow("position clamped") << QByteArray("\x1b[99;99H") << 23 << 79 << false << QStringList {};
    QTest::newRow("line only") << QByteArray("\x1b[3H") << 2 << 0 << false << QStringList {};
    QTest::newRow("endless digits are clamped")
        << QByteArray("\x1b[99999999999999999999999999;5H") << 23 << 4 << false << QStringList {};
    QTest::newRow("right stops at column 79") << QByteArray("\x1b[2000000000Cx") << 0 << 79 << true
                                              << QStringList { QString(79, QLatin1Char(' ')) + "x" };
    QTest::newRow("up stops at the first line") << QByteArray("a\r\n\x1b[7A") << 0 << 0 << false
                                                << QStringList { "a", "" };
    QTest::newRow("down stops at the last row") << QByteArray("\x1b[30B") << 23 << 0 << false << QStringList {};
    QTest::newRow("backspace") << QByteArray("ab\b\bX") << 0 << 1 << false << QStringList { "Xb" };
    QTest::newRow("erase to end of line") << QByteArray("abcdef\x1b[3D\x1b[K") << 0 << 3 << false
                                          << QStringList { "abc" };
    QTest::newRow("delete characters") << QByteArray("abcdef\r\x1b[2P") << 0 << 0 << false
                                       << QStringList { "cdef" };
    QTest::newRow("insert mode") << QByteArray("abc\r\x1b[4hXY\x1b[4lZ") << 0 << 3 << false
                                 << QStringList { "XYZbc" };
    QTest::newRow("insert beyond the end pads first")
        << QByteArray("ab\x1b[5C\x1b[4hX") << 0 << 8 << false << QStringList { "ab     X" };
    QTest::newRow("insert pushes cells out at the margin")
        << eighty + "\r\x1b[4hXY" << 0 << 2 << false << QStringList { "XY" + QString(78, QLatin1Char('a')) };
    QTest::newRow("Latin-1") << QByteArray("caf\xe9 \xa3\xff") << 0 << 7 << false
                             << QStringList { QString::fromLatin1("caf\xe9 \xa3\xff") };
}

void tst_QVTerminal::interpreting()
{
    QFETCH(QByteArray, output);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(bool, pendingWrap);
    QFETCH(QStringList, lines);

    QVTerminal terminal;
    terminal.appendData(output);
    QCOMPARE(terminal.cursorLine(), line);
    QCOMPARE(terminal.cursorColumn(), column);
    QCOMPARE(terminal.pendingWrap(), pendingWrap);
    QCOMPARE(linesOf(terminal, lines.size()), lines);
    QCOMPARE(terminal.buffer().lineCount(), std::max(24, line + 1));
    QCOMPARE(terminal.parserState(), QVTerminal::ParserState::Text);
}

void tst_QVTerminal::eraseAll()
{
    // The screen is erased; the scroll-back above it stays.
    QVTerminal terminal;
    for (int i = 0; i < 30; ++i)
        terminal.appendData("text\r\n");
    terminal.appendData("\x1b[H\x1b[J");
    QCOMPARE(terminal.buffer().lineCount(), 31);
    QCOMPARE(terminal.buffer().lineText(6), QString("text"));
    QCOMPARE(terminal.buffer().lineText(7), QString());

    terminal.appendData("\x1b[2J");
    QCOMPARE(terminal.buffer().lineCount(), 31);
    QCOMPARE(terminal.cursorLine(), 7);
    QCOMPARE(terminal.cursorColumn(), 0);
    QCOMPARE(linesOf(terminal, 7).join('|'), QString("text|text|text|text|text|text|text"));
}

void tst_QVTerminal::sequenceSplitBetweenReads()
{
    QVTerminal terminal;
    terminal.appendData("ab\x1b");
    terminal.appendData("[3");
    QCOMPARE(terminal.parserState(), QVTerminal::ParserState::Csi);
    terminal.appendData("1mX\x1b[1");
    terminal.appendData("0;5H");
    QCOMPARE(terminal.buffer().lineText(0), QString("abX"));
    QCOMPARE(terminal.buffer().line(0).at(2).format.foreground, TerminalColor::indexed(1));
    QCOMPARE(terminal.cursorLine(), 9);
    QCOMPARE(terminal.cursorColumn(), 4);
}

void tst_QVTerminal::scrollsAtMaxLines()
{
    QVTerminal terminal;
    QByteArray output;
    for (int i = 0; i < 900; ++i)
        output += "line " + QByteArray::number(i) + "\r\n";
    terminal.appendData(output);
    QCOMPARE(terminal.buffer().lineCount(), TerminalBuffer::MaxLines);
    QCOMPARE(terminal.cursorLine(), 799);
    QCOMPARE(terminal.buffer().lineText(0), QString("line 101"));
    QCOMPARE(terminal.buffer().lineText(798), QString("line 899"));

    terminal.appendData("\r\n");
    QCOMPARE(terminal.cursorLine(), 799);
    QCOMPARE(terminal.buffer().lineText(0), QString("line 102"));
    QCOMPARE(terminal.verticalScrollBar()->maximum(), terminal.verticalScrollBar()->value());
}

void tst_QVTerminal::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("modes");
    QTest::addColumn<QByteArray>("sent");

    const QByteArray cursorKeys("\x1b[?1h");
    const QByteArray normalKeys("\x1b[?1h\x1b[?1l");
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << "\b" << QByteArray() << QByteArray("\x7f");
    QTest::newRow("up") << int(Qt::Key_Up) << "" << QByteArray() << QByteArray("\x1b[A");
    QTest::newRow("up, application keys") << int(Qt::Key_Up) << "" << cursorKeys << QByteArray("\x1bOA");
    QTest::newRow("up, switched back") << int(Qt::Key_Up) << "" << normalKeys << QByteArray("\x1b[A");
    QTest::newRow("down") << int(Qt::Key_Down) << "" << QByteArray() << QByteArray("\x1b[B");
    QTest::newRow("right") << int(Qt::Key_Right) << "" << QByteArray() << QByteArray("\x1b[C");
    QTest::newRow("left, application keys") << int(Qt::Key_Left) << "" << cursorKeys << QByteArray("\x1bOD");
    QTest::newRow("home") << int(Qt::Key_Home) << "" << QByteArray() << QByteArray("\x1b[H");
    QTest::newRow("end, application keys") << int(Qt::Key_End) << "" << cursorKeys << QByteArray("\x1bOF");
    QTest::newRow("tab") << int(Qt::Key_Tab) << "\t" << QByteArray() << QByteArray("\t");
    QTest::newRow("return") << int(Qt::Key_Return) << "\r" << QByteArray() << QByteArray("\r");
    QTest::newRow("enter") << int(Qt::Key_Enter) << "\r" << QByteArray() << QByteArray("\r");
    QTest::newRow("letter") << int(Qt::Key_A) << "a" << QByteArray() << QByteArray("a");
    QTest::newRow("Latin-1 letter") << int(Qt::Key_Eacute) << QString::fromLatin1("\xe9") << QByteArray()
                                    << QByteArray("\xe9");
    QTest::newRow("control C") << int(Qt::Key_C) << "\x03" << QByteArray() << QByteArray("\x03");
    QTest::newRow("function key") << int(Qt::Key_F1) << "" << QByteArray() << QByteArray("\x1bOP");
    QTest::newRow("delete") << int(Qt::Key_Delete) << "\x7f" << QByteArray() << QByteArray("\x1b[3~");
    QTest::newRow("keypad mode changes nothing") << int(Qt::Key_Up) << "" << QByteArray("\x1b=")
                                                 << QByteArray("\x1b[A");
}

void tst_QVTerminal::keys()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(QByteArray, modes);
    QFETCH(QByteArray, sent);

    Wired wired;
    QVTerminal &terminal = wired.terminal;
    const QByteArray &written = wired.written;
    wired.pump.dataIn(modes);

    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(&terminal, &press);
    QCOMPARE(written, sent);
    QCOMPARE(press.isAccepted(), !sent.isEmpty());
    // Keys are not shown without local echo.
    QCOMPARE(terminal.buffer().lineText(0), QString());
}

void tst_QVTerminal::localEchoShowsTypedText()
{
    Wired wired;
    QVTerminal &terminal = wired.terminal;
    const QByteArray &written = wired.written;
    terminal.setLocalEcho(true);
    QTest::keyClicks(&terminal, "ls");
    QTest::keyClick(&terminal, Qt::Key_Left);
    QTest::keyClick(&terminal, Qt::Key_Return);
    QCOMPARE(written, QByteArray("ls\x1b[D\r"));
    QCOMPARE(terminal.buffer().lineText(0), QString("ls"));
    QCOMPARE(terminal.cursorLine(), 1);

    // Without a device nothing is sent and nothing shown.
    terminal.setIODevice(nullptr);
    QTest::keyClicks(&terminal, "x");
    QCOMPARE(terminal.buffer().lineText(1), QString());
}

void tst_QVTerminal::burstIsReadInSlices()
{
    Wired wired;
    QByteArray burst;
    while (burst.size() < 3 * QVTerminal::ReadSliceBytes)
        burst += "0123456789abcdefghijklmnopqrstuvwxyz\r\n";
    burst += "end";
    wired.pump.dataIn(burst);
    // One slice now; the rest once the event loop has had its turn.
    QCOMPARE(wired.pump.bytesAvailable(), burst.size() - QVTerminal::ReadSliceBytes);
    QTRY_COMPARE(wired.pump.bytesAvailable(), 0);
    QCOMPARE(wired.terminal.buffer().lineText(wired.terminal.cursorLine()), QString("end"));
    // Small output afterwards is shown at once again.
    wired.pump.dataIn("\r\nnext");
    QCOMPARE(wired.terminal.buffer().lineText(wired.terminal.cursorLine()), QString("next"));
}

void tst_QVTerminal::paste()
{
    Wired wired;
    QVTerminal &terminal = wired.terminal;
    QApplication::clipboard()->setText(QString::fromLatin1("echo caf\xe9"));
    QCOMPARE(terminal.pasteAction()->shortcut(), QKeySequence("Shift+Ctrl+V"));
    QCOMPARE(terminal.copyAction()->shortcut(), QKeySequence("Shift+Ctrl+C"));
    terminal.pasteAction()->trigger();
    QCOMPARE(wired.written, QByteArray("echo caf\xe9"));
}

void tst_QVTerminal::binaryOutputLogsBoundedly()
{
    QVTerminal terminal;
    unhandledLogLines = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countUnhandled);
    QByteArray output;
    for (int i = 0; i < 1000; ++i)
        output += "\x01\x1b[5n";
    terminal.appendData(output);
    qInstallMessageHandler(previous);
    // The budget of lines, then one line saying that the rest is not logged.
    QCOMPARE(unhandledLogLines, QVTerminal::MaxUnhandledLogsPerChunk + 1);
}

void tst_QVTerminal::bellFloodRingsRarely()
{
    // Each ring costs microseconds under X11: a megabyte of BEL would stall for seconds.
    QVTerminal terminal;
    terminal.appendData(QByteArray(1024 * 1024, '\a'));
    terminal.appendData("\a\a\a");
    QVERIFY(terminal.bellsRung() >= 1);
    QVERIFY(terminal.bellsRung() <= 3);
}

void tst_QVTerminal::paintsCellsCursorAndOnlyChangedLines()
{
    Shown shown;
    QVTerminal &terminal = shown.terminal;
    terminal.appendData("\x1b[41m \x1b[0m\r\n\x1b[2C");
    const QImage image = terminal.viewport()->grab().toImage();
    const QColor background(terminal.palette().defaultBackground(false));
    QCOMPARE(image.pixelColor(terminal.cellCentre(0, 0)), QColor(TerminalPalette::indexedColor(1)));
    // The empty column at the left edge, and the cell after the coloured one.
    QCOMPARE(image.pixelColor(terminal.cellCentre(0, -1)), background);
    QCOMPARE(image.pixelColor(terminal.cellCentre(0, 1)), background);
    // A block in the text's colour while the terminal has the focus.
    QVERIFY(terminal.cursorShown());
    QCOMPARE(image.pixelColor(terminal.cellCentre(1, 2)), QColor(terminal.palette().defaultForeground(false)));

    // Later output repaints only the lines it changed.
    QApplication::processEvents();
    PaintRecorder recorder;
    terminal.viewport()->installEventFilter(&recorder);
    terminal.appendData("def");
    QTRY_VERIFY(!recorder.painted.isEmpty());
    const QRect line(0, QVTerminal::Margin + terminal.lineHeight(), terminal.viewport()->width(), terminal.lineHeight());
    QCOMPARE(recorder.painted.boundingRect(), line);
}

// Cells painted in two ways that xterm shows alike must look alike here; what is painted at all
// is checked by the cell's pixels against its background.
void tst_QVTerminal::paintedColours_data()
{
    QTest::addColumn<QByteArray>("cell");
    QTest::addColumn<QByteArray>("sameAs");
    QTest::newRow("a 24-bit colour as it is") << QByteArray("\x1b[48;2;12;34;56m ") << QByteArray("\x1b[48;2;12;34;56m ");
    QTest::newRow("the cube's red is xterm's") << QByteArray("\x1b[48;5;196m ") << QByteArray("\x1b[48;2;255;0;0m ");
    QTest::newRow("the cube's levels") << QByteArray("\x1b[48;5;110m ") << QByteArray("\x1b[48;2;135;175;215m ");
    QTest::newRow("the grey ramp") << QByteArray("\x1b[48;5;244m ") << QByteArray("\x1b[48;2;128;128;128m ");
    QTest::newRow("colon form of a direct colour") << QByteArray("\x1b[48:2::1:2:3m ") << QByteArray("\x1b[48;2;1;2;3m ");
    QTest::newRow("bright is 8-15") << QByteArray("\x1b[104m ") << QByteArray("\x1b[48;5;12m ");
    QTest::newRow("bold brightens an ANSI colour") << QByteArray("\x1b[1;7;31m ") << QByteArray("\x1b[101m ");
    QTest::newRow("reverse of the defaults") << QByteArray("\x1b[7m ") << QByteArray("\x1b[48;2;0;0;0m ");
}

void tst_QVTerminal::paintedColours()
{
    QFETCH(QByteArray, cell);
    QFETCH(QByteArray, sameAs);
    Shown shown;
    shown.terminal.setColorScheme(TerminalPalette::Scheme { Qt::black, Qt::white });
    shown.terminal.appendData(cell + "\x1b[m\r\n" + sameAs + "\x1b[m\r\n");
    const QImage image = shown.terminal.viewport()->grab().toImage();
    QCOMPARE(image.pixelColor(shown.terminal.cellCentre(0, 0)), image.pixelColor(shown.terminal.cellCentre(1, 0)));
    QVERIFY(image.pixelColor(shown.terminal.cellCentre(0, 0)) != QColor(Qt::white));
}

void tst_QVTerminal::paintedText_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<bool>("visible");
    QTest::newRow("plain") << QByteArray("M") << true;
    QTest::newRow("bold reversed") << QByteArray("\x1b[1;7mM") << true;
    QTest::newRow("black on the default background") << QByteArray("\x1b[30mM") << true;
    QTest::newRow("faint") << QByteArray("\x1b[2mM") << true;
    QTest::newRow("italic") << QByteArray("\x1b[3mM") << true;
    QTest::newRow("strike-through of a blank") << QByteArray("\x1b[9m ") << true;
    QTest::newRow("hidden") << QByteArray("\x1b[8mM") << false;
    QTest::newRow("a box line") << QByteArray("\x1b(0q") << true;
    QTest::newRow("a character the font lacks") << QByteArray("\xe4\xb8\xad") << true;
}

void tst_QVTerminal::paintedText()
{
    QFETCH(QByteArray, output);
    QFETCH(bool, visible);
    for (const QColor &background : { QColor(Qt::white), QColor(0x2b, 0x30, 0x3b) }) {
        Shown shown;
        shown.terminal.setUtf8(true);
        shown.terminal.setColorScheme(TerminalPalette::Scheme { background.lightness() > 128 ? Qt::black : Qt::white, background });
        // The cursor goes to the next line, out of the way.
        shown.terminal.appendData(output + "\r\n");
        QCOMPARE(inkIn(shown.terminal, 0, 0) > 0, visible);
    }
}

void tst_QVTerminal::mouseReportsAndSelection()
{
    Wired wired;
    QVTerminal &terminal = wired.terminal;
    wired.show();
    wired.pump.dataIn("hello world\r\nsecond line");
    QWidget *view = terminal.viewport();

    const int third = terminal.characterWidth() / 3;
    // Nobody asked for reports: a drag selects, Ctrl+Shift+C copies.
    drag(view, terminal.cellCentre(0, 1) - QPoint(third, 0), terminal.cellCentre(1, 2) + QPoint(third, 0), {});
    QCOMPARE(terminal.selectedText(), QString("ello world\nsec"));
    QVERIFY(terminal.copyAction()->isEnabled());
    terminal.copyAction()->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("ello world\nsec"));
    QCOMPARE(wired.written, QByteArray());
    // A double click takes the word, a third click the line.
    QTest::mouseDClick(view, Qt::LeftButton, {}, terminal.cellCentre(0, 8));
    QCOMPARE(terminal.selectedText(), QString("world"));
    QTest::mouseClick(view, Qt::LeftButton, {}, terminal.cellCentre(0, 8));
    QCOMPARE(terminal.selectedText(), QString("hello world\n"));
    // Output over the selected text ends the selection.
    wired.pump.dataIn("\x1b[1;1HX");
    QCOMPARE(terminal.selectedText(), QString());

    // A program that asks gets the clicks, in its encoding; with Shift the user selects.
    wired.pump.dataIn("\x1b[?1000h\x1b[?1006h");
    QTest::mouseClick(view, Qt::LeftButton, {}, terminal.cellCentre(1, 2));
    QCOMPARE(wired.written, QByteArray("\x1b[<0;3;2M\x1b[<0;3;2m"));
    wired.written.clear();
    drag(view, terminal.cellCentre(1, 0) - QPoint(third, 0), terminal.cellCentre(1, 5) + QPoint(third, 0), Qt::ShiftModifier);
    QCOMPARE(wired.written, QByteArray());
    QCOMPARE(terminal.selectedText(), QString("second"));
}

void tst_QVTerminal::wheel_data()
{
    QTest::addColumn<QByteArray>("modes");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("viewMoved");
    QTest::newRow("main screen: the history") << QByteArray() << QByteArray() << true;
    QTest::newRow("alternate screen: cursor keys")
        << QByteArray("\x1b[?1049h") << QByteArray("\x1b[A\x1b[A\x1b[A") << false;
    QTest::newRow("alternate screen, application keys")
        << QByteArray("\x1b[?1049h\x1b[?1h") << QByteArray("\x1bOA\x1bOA\x1bOA") << false;
    QTest::newRow("alternate scroll off: the history") << QByteArray("\x1b[?1049h\x1b[?1007l") << QByteArray() << true;
    QTest::newRow("reported") << QByteArray("\x1b[?1049h\x1b[?1000h\x1b[?1006h") << QByteArray("\x1b[<64;1;1M") << false;
}

void tst_QVTerminal::wheel()
{
    QFETCH(QByteArray, modes);
    QFETCH(QByteArray, sent);
    QFETCH(bool, viewMoved);
    Wired wired;
    QVTerminal &terminal = wired.terminal;
    wired.show();
    QByteArray lines;
    for (int i = 0; i < 100; ++i)
        lines += QByteArray::number(i) + "\r\n";
    wired.pump.dataIn(lines + modes);
    const int bottom = terminal.verticalScrollBar()->value();
    const QPoint corner = terminal.cellCentre(terminal.screen().scrollbackLines(), 0);
    QWheelEvent wheel(corner, terminal.viewport()->mapToGlobal(corner), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(terminal.viewport(), &wheel);
    QCOMPARE(wired.written, sent);
    QCOMPARE(terminal.verticalScrollBar()->value() < bottom, viewMoved);
}

void tst_QVTerminal::viewFollowsTheScreen()
{
    // At the bottom the view shows the whole screen, also after the program switches screens;
    // scrolled back, it stays on its lines while output goes on; typing brings it back.
    Wired wired;
    QVTerminal &terminal = wired.terminal;
    wired.show();
    QScrollBar *bar = terminal.verticalScrollBar();
    QByteArray lines;
    for (int i = 0; i < 100; ++i)
        lines += "line " + QByteArray::number(i) + "\r\n";
    wired.pump.dataIn(lines);
    QCOMPARE(bar->value(), bar->maximum());
    bar->setValue(10);
    wired.pump.dataIn("more\r\n");
    QCOMPARE(bar->value(), 10);
    wired.pump.dataIn("\x1b[?1049h\x1b[H\x1b[2Jfull screen");
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(bar->value() + terminal.screen().rows() <= terminal.screen().viewLineCount(), true);
    bar->setValue(10);
    QTest::keyClick(&terminal, Qt::Key_A);
    QCOMPARE(bar->value(), bar->maximum());
}

void tst_QVTerminal::programWidth()
{
    // DECCOLM asks for 132 columns and keeps asking while the user leaves the width alone.
    QVTerminal terminal;
    terminal.resize(700, 400);
    terminal.show();
    QVERIFY(QTest::qWaitForWindowExposed(&terminal));
    QSignalSpy wanted(&terminal, &QVTerminal::screenSizeWanted);
    terminal.appendData("\x1b[?3h");
    QCOMPARE(wanted.size(), 1);
    QCOMPARE(wanted.at(0).at(1).toInt(), 132);
    QCOMPARE(terminal.fittingScreenSize().width(), 132);
    // The horizontal bar now shown costs rows, not the width; narrower, the view scrolls.
    terminal.resize(700, 380);
    QCOMPARE(terminal.fittingScreenSize().width(), 132);
    terminal.resize(650, 380);
    QCOMPARE(terminal.fittingScreenSize().width(), 132);
    // Wide enough for more, the view takes what fits.
    terminal.resize(terminal.sizeForScreen(24, 140));
    QTRY_COMPARE(terminal.fittingScreenSize(), QSize(140, 24));
}

void tst_QVTerminal::pasteIsCleanedAndAskedFor()
{
    Wired wired;
    QVTerminal &terminal = wired.terminal;
    terminal.show();
    QVERIFY(QTest::qWaitForWindowExposed(&terminal));
    const auto question = [&terminal] { return terminal.findChild<QMessageBox *>(); };

    // One line without controls goes at once.
    QApplication::clipboard()->setText(QStringLiteral("echo one"));
    terminal.paste();
    QCOMPARE(wired.written, QByteArray("echo one"));
    QVERIFY(!question());

    // Line ends and controls: asked first (without a nested loop), then sent cleaned.
    wired.written.clear();
    QApplication::clipboard()->setText(QStringLiteral("a\x1b[201~b\r\nrm x\n\x03\t"));
    terminal.paste();
    QVERIFY(question());
    QCOMPARE(wired.written, QByteArray());
    question()->button(QMessageBox::Cancel)->click();
    QTRY_VERIFY(!question());
    QCOMPARE(wired.written, QByteArray());
    terminal.paste();
    QVERIFY(question());
    question()->button(QMessageBox::Yes)->click();
    QCOMPARE(wired.written, QByteArray("a[201~b\rrm x\r\t"));

    // A program that marks pasted text is not asked about; the text cannot end the mark.
    wired.written.clear();
    wired.pump.dataIn("\x1b[?2004h");
    QTRY_VERIFY(!question());
    terminal.paste();
    QVERIFY(!question());
    QCOMPARE(wired.written, QByteArray("\x1b[200~a[201~b\rrm x\r\t\x1b[201~"));
}

void tst_QVTerminal::utf8()
{
    Wired wired;
    QVTerminal &terminal = wired.terminal;
    terminal.setUtf8(true);
    wired.pump.dataIn("caf\xc3\xa9 \xe4\xb8\xad\xe6\x96\x87 e\xcc\x81 \xff!");
    QCOMPARE(terminal.buffer().lineText(0), QString::fromUtf8("caf\u00e9 \u4e2d\u6587 e\u0301 \ufffd!"));
    // Wide characters take two columns, a mark none.
    QCOMPARE(terminal.cursorColumn(), 14);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString::fromUtf8("\u00e9"));
    QApplication::sendEvent(&terminal, &press);
    QCOMPARE(wired.written, QByteArray("\xc3\xa9"));
}

QTEST_MAIN(tst_QVTerminal)
#include "tst_qvterminal.moc"

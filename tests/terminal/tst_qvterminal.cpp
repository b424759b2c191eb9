// The emulator's interpreter, keys and painting, fed straight through appendData() or a DataPump.
#include "terminal/datapump.h"
#include "terminal/qvterminal.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>

namespace {

QStringList linesOf(const QVTerminal &terminal, int count)
{
    QStringList lines;
    for (int i = 0; i < count && i < terminal.buffer().lineCount(); ++i)
        lines.append(terminal.buffer().lineText(i));
    return lines;
}

const TerminalCell &lastCell(const QVTerminal &terminal)
{
    return terminal.buffer().line(terminal.cursorLine()).back();
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

    DataPump pump;
    QVTerminal terminal;
    QByteArray written;
};

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
    void colours_data();
    void colours();
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

void tst_QVTerminal::colours_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QColor>("foreground");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<bool>("bold");

    const QColor light(238, 238, 238);
    const QColor dark(35, 38, 41);
    const QColor red(255, 128, 128);
    QTest::newRow("bold red") << QByteArray("\x1b[1;31mX") << red << dark << true;
    QTest::newRow("reset") << QByteArray("\x1b[1;31mX\x1b[0mY") << light << dark << false;
    QTest::newRow("empty parameter resets") << QByteArray("\x1b[31mX\x1b[mY") << light << dark << false;
    QTest::newRow("background") << QByteArray("\x1b[44mX") << light << QColor(128, 128, 255) << false;
    QTest::newRow("reverse") << QByteArray("\x1b[31;7mX") << dark << red << false;
    QTest::newRow("default foreground stays readable") << QByteArray("\x1b[32;41m\x1b[39mX") << light << red
                                                        << false;
    QTest::newRow("default background") << QByteArray("\x1b[32;41m\x1b[49mX") << QColor(Qt::green) << dark
                                        << false;
    QTest::newRow("character set keeps the format") << QByteArray("\x1b[33m\x1b(BX") << QColor(Qt::yellow) << dark
                                                    << false;
    QTest::newRow("reverse undone") << QByteArray("\x1b[31;7;27mX") << red << dark << false;
    QTest::newRow("bold undone") << QByteArray("\x1b[1;4m\x1b[22mX") << light << dark << false;
    QTest::newRow("bright") << QByteArray("\x1b[91;104mX") << QColor(255, 160, 160) << QColor(168, 168, 255) << false;
    QTest::newRow("256 colours: nearest") << QByteArray("\x1b[38;5;196;48;5;21mX") << QColor(255, 128, 128)
                                          << QColor(128, 128, 255) << false;
    QTest::newRow("256 colours: black text stays visible") << QByteArray("\x1b[38;5;16mX") << QColor(128, 128, 128)
                                                           << dark << false;
    QTest::newRow("direct colour") << QByteArray("\x1b[38;2;0;250;10mX") << QColor(Qt::green) << dark << false;
    QTest::newRow("malformed extended colour") << QByteArray("\x1b[38;7mX") << light << dark << false;
}

void tst_QVTerminal::colours()
{
    QFETCH(QByteArray, output);
    QFETCH(QColor, foreground);
    QFETCH(QColor, background);
    QFETCH(bool, bold);

    QVTerminal terminal;
    terminal.appendData(output);
    const TerminalFormat &format = lastCell(terminal).format;
    QCOMPARE(format.foregroundColor(), foreground);
    QCOMPARE(format.backgroundColor(), background);
    QCOMPARE(format.isBold(), bold);
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
    QCOMPARE(terminal.buffer().line(0).at(2).format.foregroundColor(), QColor(255, 128, 128));
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
    const QByteArray &written = wired.written;
    QApplication::clipboard()->setText(QString::fromLatin1("echo caf\xe9\n"));
    QCOMPARE(terminal.pasteAction()->shortcut(), QKeySequence("Shift+Ctrl+V"));
    terminal.pasteAction()->trigger();
    QCOMPARE(written, QByteArray("echo caf\xe9\n"));

    // A program that asks for bracketed paste gets the text marked, and the text cannot end the mark.
    wired.pump.dataIn("\x1b[?2004h");
    QApplication::clipboard()->setText(QStringLiteral("a\x1b[201~b"));
    terminal.pasteAction()->trigger();
    QCOMPARE(written, QByteArray("echo caf\xe9\n\x1b[200~ab\x1b[201~"));
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
    QVTerminal terminal;
    terminal.resize(700, 400);
    terminal.show();
    QVERIFY(QTest::qWaitForWindowExposed(&terminal));
    terminal.appendData("\x1b[41m \x1b[0m\r\n\x1b[2C");
    const QImage image = terminal.viewport()->grab().toImage();
    const int width = terminal.characterWidth();
    const int height = terminal.lineHeight();
    const auto centre = [&](int line, int column) {
        return QPoint(QVTerminal::Margin + (column + 1) * width + width / 2,
                      QVTerminal::Margin + line * height + height / 2);
    };
    QCOMPARE(image.pixelColor(centre(0, 0)), QColor(255, 128, 128));
    // The empty column at the left edge, and the cell after the coloured one.
    QCOMPARE(image.pixelColor(QPoint(QVTerminal::Margin + width / 2, centre(0, 0).y())), QColor(35, 38, 41));
    QCOMPARE(image.pixelColor(centre(0, 1)), QColor(35, 38, 41));
    QVERIFY(terminal.cursorShown());
    QCOMPARE(image.pixelColor(centre(1, 2)), QColor(187, 187, 187));

    // Later output repaints only the lines it changed.
    QApplication::processEvents();
    PaintRecorder recorder;
    terminal.viewport()->installEventFilter(&recorder);
    terminal.appendData("def");
    QTRY_VERIFY(!recorder.painted.isEmpty());
    const QRect line(0, QVTerminal::Margin + height, terminal.viewport()->width(), height);
    QCOMPARE(recorder.painted.boundingRect(), line);
}

QTEST_MAIN(tst_QVTerminal)
#include "tst_qvterminal.moc"

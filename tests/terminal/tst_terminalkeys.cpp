// The bytes sent for keys across modes and modifiers, as xterm sends them.
#include "terminal/terminalkeys.h"

#include <QTest>

class tst_TerminalKeys : public QObject
{
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
};

void tst_TerminalKeys::encode_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("modes"); // c: application cursor keys, k: application keypad, n: new-line mode
    QTest::addColumn<QByteArray>("sent");

    const int none = Qt::NoModifier;
    const int shift = Qt::ShiftModifier;
    const int ctrl = Qt::ControlModifier;
    const int alt = Qt::AltModifier;
    QTest::newRow("up") << int(Qt::Key_Up) << none << "" << "" << QByteArray("\x1b[A");
    QTest::newRow("up, application") << int(Qt::Key_Up) << none << "" << "c" << QByteArray("\x1bOA");
    QTest::newRow("ctrl+up") << int(Qt::Key_Up) << ctrl << "" << "c" << QByteArray("\x1b[1;5A");
    QTest::newRow("shift+left") << int(Qt::Key_Left) << shift << "" << "" << QByteArray("\x1b[1;2D");
    QTest::newRow("ctrl+shift+right") << int(Qt::Key_Right) << (ctrl | shift) << "" << "" << QByteArray("\x1b[1;6C");
    QTest::newRow("home, application") << int(Qt::Key_Home) << none << "" << "c" << QByteArray("\x1bOH");
    QTest::newRow("alt+end") << int(Qt::Key_End) << alt << "" << "" << QByteArray("\x1b[1;3F");
    QTest::newRow("F1") << int(Qt::Key_F1) << none << "" << "" << QByteArray("\x1bOP");
    QTest::newRow("shift+F4") << int(Qt::Key_F4) << shift << "" << "" << QByteArray("\x1b[1;2S");
    QTest::newRow("F5") << int(Qt::Key_F5) << none << "" << "" << QByteArray("\x1b[15~");
    QTest::newRow("F10") << int(Qt::Key_F10) << none << "" << "" << QByteArray("\x1b[21~");
    QTest::newRow("ctrl+F12") << int(Qt::Key_F12) << ctrl << "" << "" << QByteArray("\x1b[24;5~");
    QTest::newRow("insert") << int(Qt::Key_Insert) << none << "" << "" << QByteArray("\x1b[2~");
    QTest::newRow("delete") << int(Qt::Key_Delete) << none << "\x7f" << "" << QByteArray("\x1b[3~");
    QTest::newRow("page up") << int(Qt::Key_PageUp) << none << "" << "" << QByteArray("\x1b[5~");
    QTest::newRow("ctrl+page down") << int(Qt::Key_PageDown) << ctrl << "" << "" << QByteArray("\x1b[6;5~");
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << none << "\b" << "" << QByteArray("\x7f");
    QTest::newRow("alt+backspace") << int(Qt::Key_Backspace) << alt << "" << "" << QByteArray("\x1b\x7f");
    QTest::newRow("tab") << int(Qt::Key_Tab) << none << "\t" << "" << QByteArray("\t");
    QTest::newRow("shift+tab") << int(Qt::Key_Backtab) << shift << "" << "" << QByteArray("\x1b[Z");
    QTest::newRow("return") << int(Qt::Key_Return) << none << "\r" << "" << QByteArray("\r");
    QTest::newRow("return, new-line mode") << int(Qt::Key_Return) << none << "\r" << "n" << QByteArray("\r\n");
    QTest::newRow("keypad enter, application") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "\r" << "k"
                                               << QByteArray("\x1bOM");
    // Digits come from the keypad only with Num Lock on, where xterm sends them as digits.
    QTest::newRow("keypad 5, application") << int(Qt::Key_5) << int(Qt::KeypadModifier) << "5" << "k"
                                           << QByteArray("5");
    QTest::newRow("keypad 5") << int(Qt::Key_5) << int(Qt::KeypadModifier) << "5" << "" << QByteArray("5");
    QTest::newRow("escape") << int(Qt::Key_Escape) << none << "\x1b" << "" << QByteArray("\x1b");
    QTest::newRow("letter") << int(Qt::Key_A) << none << "a" << "" << QByteArray("a");
    QTest::newRow("alt+x") << int(Qt::Key_X) << alt << "x" << "" << QByteArray("\x1bx");
    QTest::newRow("ctrl+c without text") << int(Qt::Key_C) << ctrl << "" << "" << QByteArray("\x03");
    QTest::newRow("ctrl+space") << int(Qt::Key_Space) << ctrl << " " << "" << QByteArray(1, '\0');
    QTest::newRow("ctrl+]") << int(Qt::Key_BracketRight) << ctrl << "" << "" << QByteArray("\x1d");
    QTest::newRow("ctrl+alt+a") << int(Qt::Key_A) << (ctrl | alt) << "" << "" << QByteArray("\x1b\x01");
    QTest::newRow("Latin-1 text") << int(Qt::Key_Eacute) << none << QString::fromLatin1("\xe9") << ""
                                  << QByteArray("\xe9");
    QTest::newRow("detach stays the desktop's") << int(Qt::Key_D) << (ctrl | shift) << "\x04" << "" << QByteArray();
    QTest::newRow("ctrl+tab stays the desktop's") << int(Qt::Key_Tab) << ctrl << "" << "" << QByteArray();
    QTest::newRow("shift alone") << int(Qt::Key_Shift) << shift << "" << "" << QByteArray();
}

void tst_TerminalKeys::encode()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(QString, modes);
    QFETCH(QByteArray, sent);
    TerminalKeys::Modes keyModes;
    keyModes.applicationCursorKeys = modes.contains(QLatin1Char('c'));
    keyModes.applicationKeypad = modes.contains(QLatin1Char('k'));
    keyModes.newLineMode = modes.contains(QLatin1Char('n'));
    QCOMPARE(TerminalKeys::encode(key, Qt::KeyboardModifiers(modifiers), text, keyModes), sent);
}

QTEST_APPLESS_MAIN(tst_TerminalKeys)
#include "tst_terminalkeys.moc"

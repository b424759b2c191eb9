// The bytes of each mouse event under each tracking mode and encoding, as xterm writes them.
#include "terminal/terminalmouse.h"

#include <QTest>

using Tracking = TerminalEmulator::MouseTracking;
using Encoding = TerminalEmulator::MouseEncoding;
using Action = TerminalMouse::Action;

Q_DECLARE_METATYPE(Tracking)
Q_DECLARE_METATYPE(Encoding)
Q_DECLARE_METATYPE(Action)

class tst_TerminalMouse : public QObject
{
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
};

void tst_TerminalMouse::encode_data()
{
    QTest::addColumn<Tracking>("tracking");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("bytes");

    const int shiftCtrl = int(Qt::ShiftModifier | Qt::ControlModifier);
    const int alt = int(Qt::AltModifier);
    const int wheelUp = TerminalMouse::WheelUp;
    const int none = TerminalMouse::NoButton;
    // Default encoding: values plus 32 as bytes.
    QTest::newRow("press, default") << Tracking::PressRelease << Encoding::Default << Action::Press << 0 << 0 << 1 << 1 << QByteArray("\x1b[M !!");
    QTest::newRow("release is button 3") << Tracking::PressRelease << Encoding::Default << Action::Release << 2 << 0 << 10 << 5 << QByteArray("\x1b[M#*%");
    QTest::newRow("modifiers") << Tracking::PressRelease << Encoding::Default << Action::Press << 1 << shiftCtrl << 3 << 4 << QByteArray("\x1b[M5#$");
    QTest::newRow("wheel") << Tracking::PressRelease << Encoding::Default << Action::Press << wheelUp << alt << 1 << 1 << QByteArray("\x1b[Mh!!");
    QTest::newRow("wheel has no release") << Tracking::PressRelease << Encoding::Default << Action::Release << wheelUp << 0 << 1 << 1 << QByteArray();
    QTest::newRow("past column 223, nothing") << Tracking::PressRelease << Encoding::Default << Action::Press << 0 << 0 << 224 << 1 << QByteArray();
    // Press only (mode 9): no releases, no modifiers.
    QTest::newRow("X10 press") << Tracking::Press << Encoding::Default << Action::Press << 0 << shiftCtrl << 2 << 2 << QByteArray("\x1b[M \"\"");
    QTest::newRow("X10 release") << Tracking::Press << Encoding::Default << Action::Release << 0 << 0 << 2 << 2 << QByteArray();
    // Motion: with a button held (1002) or any (1003).
    QTest::newRow("drag, 1000") << Tracking::PressRelease << Encoding::Sgr << Action::Motion << 0 << 0 << 5 << 6 << QByteArray();
    QTest::newRow("drag, 1002") << Tracking::ButtonMotion << Encoding::Sgr << Action::Motion << 0 << 0 << 5 << 6 << QByteArray("\x1b[<32;5;6M");
    QTest::newRow("hover, 1002") << Tracking::ButtonMotion << Encoding::Sgr << Action::Motion << none << 0 << 5 << 6 << QByteArray();
    QTest::newRow("hover, 1003") << Tracking::AnyMotion << Encoding::Sgr << Action::Motion << none << 0 << 5 << 6 << QByteArray("\x1b[<35;5;6M");
    // SGR tells the released button, with 'm'; large places are fine.
    QTest::newRow("SGR press") << Tracking::PressRelease << Encoding::Sgr << Action::Press << 2 << shiftCtrl << 300 << 200 << QByteArray("\x1b[<22;300;200M");
    QTest::newRow("SGR release") << Tracking::PressRelease << Encoding::Sgr << Action::Release << 2 << 0 << 3 << 4 << QByteArray("\x1b[<2;3;4m");
    QTest::newRow("SGR wheel down") << Tracking::PressRelease << Encoding::Sgr << Action::Press << TerminalMouse::WheelDown << 0 << 1 << 2 << QByteArray("\x1b[<65;1;2M");
    // 1015: decimal, with the 32 still added to the button.
    QTest::newRow("decimal") << Tracking::PressRelease << Encoding::Decimal << Action::Release << 0 << 0 << 300 << 2 << QByteArray("\x1b[35;300;2M");
    // 1005: the default's values as UTF-8.
    QTest::newRow("UTF-8 beyond 95") << Tracking::PressRelease << Encoding::Utf8 << Action::Press << 0 << 0 << 100 << 3 << QByteArray("\x1b[M \xc2\x84#");
    QTest::newRow("nothing when off") << Tracking::Off << Encoding::Sgr << Action::Press << 0 << 0 << 1 << 1 << QByteArray();
}

void tst_TerminalMouse::encode()
{
    QFETCH(Tracking, tracking);
    QFETCH(Encoding, encoding);
    QFETCH(Action, action);
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(QByteArray, bytes);
    TerminalMouse::Event event;
    event.action = action;
    event.button = button;
    event.modifiers = Qt::KeyboardModifiers(modifiers);
    event.column = column;
    event.row = row;
    QCOMPARE(TerminalMouse::encode(event, tracking, encoding), bytes);
}

QTEST_APPLESS_MAIN(tst_TerminalMouse)
#include "tst_terminalmouse.moc"

// The terminal page's side of the zuterm protocol against a recording transport, and one run of
// the stand-in hub's terminal application in a real pseudo-terminal through the main window's
// debug listener.
#include "applinks/apptranceiver.h"
#include "style/stylemanager.h"
#include "menu/mainconnection.h"
#include "shell/mainwindow.h"
#include "shell/taskmanager.h"
#include "terminal/qvterminal.h"
#include "terminal/terminalpalette.h"
#include "terminal/terminalscreen.h"
#include "terminal/terminaltaskwidget.h"
#include "utils/windowfit.h"

#include "modaldriver.h"
#include "recordingtransport.h"
#include "testenvironment.h"

#include "zuterm.pb.h"
#include "testpaths.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

zuterm::Envelope dataPacket(const QByteArray &bytes)
{
    zuterm::Envelope envelope;
    envelope.mutable_data_packet()->set_data(bytes.constData(), size_t(bytes.size()));
    return envelope;
}

QString screenText(const QVTerminal *terminal)
{
    QStringList lines;
    for (int i = 0; i < terminal->buffer().lineCount(); ++i)
        lines.append(terminal->buffer().lineText(i));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class tst_TerminalTaskWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void handshakeFirst();
    void onePacketPerKeyPress();
    void echoConfig_data();
    void echoConfig();
    void closeQuestion_data();
    void closeQuestion();
    void zeroBytesAreDroppedNotTheRest();
    void unreadableEnvelopeIsDropped();
    void disconnectIsPassedOn();
    void windowSizeTakenOnlyWhenConfirmed();
    void programTitleIsPlainText();
    void freeWindowFollowsTheProgramsWidth();
    void encodingIsTheServersWord();
    void colourZeroShowsInEveryTheme();
    void shellOverTheDebugPort();

private:
    RecordingTransport *m_transport = nullptr;
    std::unique_ptr<TerminalTaskWidget> m_page;
};

void tst_TerminalTaskWidget::init()
{
    m_transport = new RecordingTransport;
    zuterm::Envelope hello;
    hello.mutable_handshake()->set_type(zuterm::Handshake::TERMINAL);
    m_transport->deliver(hello);
    QCOMPARE(m_transport->appType(), AppTranceiver::Terminal);
    m_page = std::make_unique<TerminalTaskWidget>(m_transport);
    QCOMPARE(m_transport->parent(), m_page.get());
}

void tst_TerminalTaskWidget::cleanup()
{
    m_page.reset();
}

void tst_TerminalTaskWidget::handshakeFirst()
{
    QCOMPARE(m_transport->sent.size(), 1);
    const zuterm::Envelope envelope = m_transport->envelopes<zuterm::Envelope>().at(0);
    QVERIFY(envelope.has_handshake());
    QCOMPARE(envelope.handshake().ui_version(), "1.9.0-143");
    QCOMPARE(envelope.handshake().type(), zuterm::Handshake::TERMINAL);
    QCOMPARE(envelope.handshake().encoding(), zuterm::UTF8);
    QVERIFY(!envelope.handshake().has_is_menuopt());
    QCOMPARE(m_page->title(), QString("Virtual Terminal"));
    QCOMPARE(m_page->shortName(), QString("VT"));
}

void tst_TerminalTaskWidget::onePacketPerKeyPress()
{
    QTest::keyClicks(m_page->terminal(), "ls");
    QTest::keyClick(m_page->terminal(), Qt::Key_Return);
    const QList<zuterm::Envelope> envelopes = m_transport->envelopes<zuterm::Envelope>();
    QCOMPARE(envelopes.size(), 4);
    QCOMPARE(envelopes.at(1).data_packet().data(), "l");
    QCOMPARE(envelopes.at(2).data_packet().data(), "s");
    QCOMPARE(envelopes.at(3).data_packet().data(), "\r");
}

void tst_TerminalTaskWidget::echoConfig_data()
{
    QTest::addColumn<QList<int>>("configs"); // 1 echo on, 0 echo off, -1 no echo field
    QTest::addColumn<QString>("shown");

    QTest::newRow("echo on") << QList<int> { 1 } << "x";
    QTest::newRow("without the field") << QList<int> { -1 } << "";
    QTest::newRow("without the field keeps echo on") << QList<int> { 1, -1 } << "x";
    QTest::newRow("echo off again") << QList<int> { 1, 0 } << "";
}

void tst_TerminalTaskWidget::echoConfig()
{
    QFETCH(QList<int>, configs);
    QFETCH(QString, shown);
    for (const int echo : configs) {
        zuterm::Envelope envelope;
        zuterm::Config *config = envelope.mutable_config();
        if (echo >= 0)
            config->set_echo(echo == 1);
        m_transport->deliver(envelope);
    }
    QTest::keyClick(m_page->terminal(), Qt::Key_X);
    QCOMPARE(m_page->terminal()->buffer().lineText(0), shown);
    QCOMPARE(m_transport->envelopes<zuterm::Envelope>().constLast().data_packet().data(), "x");
}

void tst_TerminalTaskWidget::closeQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("killRequests");
    QTest::newRow("no") << int(QMessageBox::No) << 0;
    QTest::newRow("yes") << int(QMessageBox::Yes) << 1;
}

void tst_TerminalTaskWidget::closeQuestion()
{
    QFETCH(int, answer);
    QFETCH(int, killRequests);
    ModalDriver driver;
    QString question;
    driver.expect<QMessageBox>([&](QMessageBox *box) {
        question = box->windowTitle() + "|" + box->text();
        box->button(QMessageBox::StandardButton(answer))->click();
    });
    m_page->findChild<QPushButton *>("closeButton")->click();
    QTRY_VERIFY(driver.allHandled());
    QCOMPARE(question, QString("Close Terminal Session|Are you sure you want to terminate this process?"));
    const QList<zuterm::Envelope> envelopes = m_transport->envelopes<zuterm::Envelope>();
    QCOMPARE(envelopes.size(), 1 + killRequests);
    if (killRequests)
        QVERIFY(envelopes.constLast().has_kill_process());
}

void tst_TerminalTaskWidget::zeroBytesAreDroppedNotTheRest()
{
    m_transport->deliver(dataPacket(QByteArray("ab\0cd\0\0e", 8)));
    QCOMPARE(m_page->terminal()->buffer().lineText(0), QString("abcde"));
}

void tst_TerminalTaskWidget::unreadableEnvelopeIsDropped()
{
    QTest::ignoreMessage(QtWarningMsg, "TerminalTaskWidget::processRawMessage() - Unable to parse envelope");
    m_transport->deliver(QByteArray("\xff\xff\xff", 3));
    m_transport->deliver(dataPacket("still here"));
    QCOMPARE(m_page->terminal()->buffer().lineText(0), QString("still here"));
}

void tst_TerminalTaskWidget::disconnectIsPassedOn()
{
    QSignalSpy gone(m_page.get(), &TerminalTaskWidget::disconnected);
    m_transport->hangUp();
    QCOMPARE(gone.size(), 1);
}

void tst_TerminalTaskWidget::windowSizeTakenOnlyWhenConfirmed()
{
    m_page->resize(900, 700);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    const QSize fitting = m_page->terminal()->fittingScreenSize();
    QVERIFY(fitting != QSize(80, 24));
    const auto asked = [this] {
        QList<zuterm::Envelope> sizes;
        for (const zuterm::Envelope &envelope : m_transport->envelopes<zuterm::Envelope>())
            if (envelope.has_window_size())
                sizes << envelope;
        return sizes;
    };
    QTRY_COMPARE(asked().size(), 1);
    QCOMPARE(int(asked().at(0).window_size().rows()), fitting.height());
    QCOMPARE(int(asked().at(0).window_size().columns()), fitting.width());
    // A server that does not answer keeps the program's 24 x 80; an answer sets the screen.
    const TerminalScreen &screen = m_page->terminal()->screen();
    QCOMPARE(QSize(screen.columns(), screen.rows()), QSize(80, 24));
    zuterm::Envelope echoOnly;
    echoOnly.mutable_config()->set_echo(false);
    m_transport->deliver(echoOnly);
    QCOMPARE(QSize(screen.columns(), screen.rows()), QSize(80, 24));
    zuterm::Envelope confirmed;
    confirmed.mutable_config()->set_rows(uint32_t(fitting.height()));
    confirmed.mutable_config()->set_columns(uint32_t(fitting.width()));
    m_transport->deliver(confirmed);
    QCOMPARE(QSize(screen.columns(), screen.rows()), fitting);
    zuterm::Envelope huge;
    huge.mutable_config()->set_rows(4000000000u);
    huge.mutable_config()->set_columns(0);
    m_transport->deliver(huge);
    QCOMPARE(QSize(screen.columns(), screen.rows()), QSize(TerminalScreen::MinColumns, TerminalScreen::MaxRows));
}

void tst_TerminalTaskWidget::programTitleIsPlainText()
{
    QSignalSpy titles(m_page.get(), &TaskPageWidget::titleChanged);
    m_transport->deliver(dataPacket("\x1b]0;<b>mc</b> [demo]\x07\x1b]2;\x07"));
    QCOMPARE(titles.size(), 2);
    QCOMPARE(titles.at(0).at(0).toString(), QString("<b>mc</b> [demo]"));
    QCOMPARE(m_page->title(), QString("Virtual Terminal"));
    auto *label = m_page->findChild<QLabel *>(QStringLiteral("formTitle"));
    QCOMPARE(label->textFormat(), Qt::PlainText);
}

void tst_TerminalTaskWidget::freeWindowFollowsTheProgramsWidth()
{
    // As xterm's window does for DECCOLM, where the desktop has room.
    m_page->resize(700, 500);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    QVERIFY(!m_page->isAttached());
    const int narrow = m_page->width();
    m_transport->deliver(dataPacket("\x1b[?3h"));
    QTRY_VERIFY(m_page->width() > narrow);
    // Back to 80 columns, the window fits them (as far as the desktop allows).
    m_transport->deliver(dataPacket("\x1b[?3l"));
    QVTerminal *terminal = m_page->terminal();
    // The window's frame fits the screen too.
    const QRect frame = m_page->frameGeometry();
    const QRect inner = m_page->geometry();
    const int room = roomForWindow(QMargins(inner.left() - frame.left(), 0, frame.right() - inner.right(), 0),
                                   QGuiApplication::primaryScreen()->availableGeometry())
                         .width();
    QTRY_COMPARE(terminal->width(), std::min(room, terminal->sizeForScreen(terminal->screen().rows(), 80).width()));
    QCOMPARE(terminal->screen().columns(), 80);
}

void tst_TerminalTaskWidget::encodingIsTheServersWord()
{
    const auto typeEacute = [this] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString::fromUtf8("\u00e9"));
        QApplication::sendEvent(m_page->terminal(), &press);
    };
    // Latin-1 until the server names UTF-8, for output and keys alike; a config without the
    // field changes nothing.
    m_transport->deliver(dataPacket("caf\xc3\xa9 "));
    typeEacute();
    zuterm::Envelope echoOnly;
    echoOnly.mutable_config()->set_echo(false);
    m_transport->deliver(echoOnly);
    zuterm::Envelope utf8;
    utf8.mutable_config()->set_encoding(zuterm::UTF8);
    m_transport->deliver(utf8);
    m_transport->deliver(dataPacket("caf\xc3\xa9"));
    typeEacute();
    QCOMPARE(m_page->terminal()->buffer().lineText(0), QString::fromUtf8("caf\u00c3\u00a9 caf\u00e9"));
    const QList<zuterm::Envelope> sent = m_transport->envelopes<zuterm::Envelope>();
    QCOMPARE(sent.at(sent.size() - 2).data_packet().data(), "\xe9");
    QCOMPARE(sent.constLast().data_packet().data(), "\xc3\xa9");
}

void tst_TerminalTaskWidget::colourZeroShowsInEveryTheme()
{
    // Black cells and black text stand out from the terminal's own background, whichever theme
    // the desktop has.
    const auto luminance = [](const QColor &colour) {
        const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
    };
    m_page->resize(700, 500);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    m_transport->deliver(dataPacket("\x1b[40m  \x1b[m\r\n"));
    QVTerminal *terminal = m_page->terminal();
    const QStringList themes = StyleManager::themeNames();
    QVERIFY(themes.size() >= 2);
    for (const QString &theme : themes) {
        StyleManager::instance()->updateThemeName(theme);
        const QImage image = terminal->viewport()->grab().toImage();
        const QColor black = image.pixelColor(terminal->cellCentre(0, 0));
        const QColor background = image.pixelColor(terminal->cellCentre(0, 5));
        QCOMPARE(black, QColor(TerminalPalette::indexedColor(0)));
        const double lighter = std::max(luminance(black), luminance(background));
        const double darker = std::min(luminance(black), luminance(background));
        QVERIFY2((lighter + 0.05) / (darker + 0.05) >= 1.5, qPrintable(theme));
    }
}

void tst_TerminalTaskWidget::shellOverTheDebugPort()
{
    TestEnvironment environment;
    MainConnection connection;
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));
    MainWindow window(&connection, &listener);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTemporaryDir data;
    QProcess hub;
    QProcessEnvironment hubEnvironment = QProcessEnvironment::systemEnvironment();
    hubEnvironment.insert(QStringLiteral("SHELL"), QStringLiteral("/bin/sh"));
    hub.setProcessEnvironment(hubEnvironment);
    hub.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    hub.start(QStringLiteral(ZU_DEVHUB_PATH),
              { QStringLiteral("--attach"), QStringLiteral("127.0.0.1:%1").arg(listener.serverPort()),
                QStringLiteral("--app"), QStringLiteral("terminal"), QStringLiteral("--data"), data.path() });

    QPointer<TerminalTaskWidget> page;
    QTRY_VERIFY_WITH_TIMEOUT((page = window.findChild<TerminalTaskWidget *>()), 15000);
    QCOMPARE(window.taskManager()->taskButtons().size(), 2);
    QCOMPARE(window.taskManager()->pageStack()->currentWidget(), page.data());

    QVTerminal *terminal = page->terminal();
    // Typed only once the shell prompts: on a loaded machine keys typed ahead may meet a shell that
    // is not reading yet.
    QTRY_VERIFY2_WITH_TIMEOUT(screenText(terminal).trimmed().endsWith('#') || screenText(terminal).trimmed().endsWith('$'),
                              qPrintable(screenText(terminal)), 15000);
    QTest::keyClicks(terminal, "printf 'x%sy\\n' 42 ; echo \"$TERM\"");
    QTest::keyClick(terminal, Qt::Key_Return);
    QTRY_VERIFY2_WITH_TIMEOUT(screenText(terminal).contains("\nx42y\nxterm\n"), qPrintable(screenText(terminal)),
                              15000);

    // The program ends: the hub hangs up and the page leaves the task bar at once.
    QTest::keyClicks(terminal, "exit");
    QTest::keyClick(terminal, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(window.taskManager()->taskButtons().size() == 1, 15000);
    QTRY_VERIFY(!page);
    QVERIFY(QTest::qWaitFor([&hub] { return hub.state() == QProcess::NotRunning; }, 15000));
    QCOMPARE(hub.exitCode(), 0);
}

QTEST_MAIN(tst_TerminalTaskWidget)
#include "tst_terminaltaskwidget.moc"

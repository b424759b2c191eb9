// Typing ahead of the server: a real classic session over a loopback debug connection, the test
// playing a form program that answers each Return by closing the field and opening the next, late
// or at once. Keys are typed before the client has read any answer, which is what a fast typist
// does whenever the answer takes longer than the gap between two keys.
#include "applinks/sockettranceiver.h"
#include "classic/applicationconnection.h"
#include "classic/classicapplicationwidget.h"
#include "classic/classicpageform.h"
#include "classic/overlaydialog.h"
#include "classic/ringmenuwidget.h"
#include "classic/serverturn.h"
#include "classic/zufieldwidget.h"

#include "utils/busymouse.h"

#include "fakepagehost.h"
#include "testpaths.h"
#include "scriptedapplication.h"
#include "testenvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>

namespace {

constexpr quint32 Window = 1;
constexpr int Screen = 5;
const QStringList Fields { "student_no", "student_name", "status", "photo_id" };

Pb::UIEnvelope to()
{
    Pb::UIEnvelope envelope;
    envelope.set_pid(7);
    envelope.set_window_id(Window);
    return envelope;
}

void name(Pb::FieldId *id, const QString &field)
{
    id->set_screen_id(Screen);
    id->set_field_name(field.toStdString());
}

// What a form program sends to move the cursor on: every field closed, one opened and focused.
QList<Pb::UIEnvelope> openOnly(const QString &field)
{
    QList<Pb::UIEnvelope> commands { to(), to(), to() };
    commands[0].mutable_deactivate();
    name(commands[1].mutable_activate_field()->mutable_field_id(), field);
    commands[1].mutable_activate_field()->set_activate(true);
    name(commands[2].mutable_set_focus()->mutable_field_id(), field);
    return commands;
}

Pb::ScreenMenu menu(std::initializer_list<std::pair<const char *, int>> items)
{
    Pb::ScreenMenu built;
    for (const auto &[label, key] : items) {
        Pb::ScreenMenu::MenuItem *item = built.add_menu_item();
        item->set_level(0);
        item->set_label(label);
        item->set_shortcut_key(key);
    }
    return built;
}

// Takes Ctrl+= for the whole application, as the desktop's zoom keys do.
class ZoomKeysStandIn : public QObject
{
public:
    int zooms = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Equal || key->modifiers() != Qt::ControlModifier)
            return false;
        event->accept();
        zooms += event->type() == QEvent::KeyPress;
        return true;
    }
};

} // namespace

class tst_ServerTurn : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_listener.listen(QHostAddress::LocalHost));
        connect(&m_listener, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_listener.nextPendingConnection()) {
                auto *transport = new SocketTranceiver(socket, this);
                connect(transport, &AppTranceiver::appTypeChanged, this, [this, transport] {
                    m_session = new ApplicationConnection(transport, &m_host, this);
                    connect(m_session, &ApplicationSession::ended, m_session, &QObject::deleteLater);
                });
            }
        });
        QVERIFY(QTest::qWaitForWindowActive(m_host.desk()));
    }

    void cleanup()
    {
        m_app.reset();
        QTRY_VERIFY(!m_session);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_host.desk()->activateWindow();
    }

    // Each text reaches the server with its own field, whether the server answers at once (the
    // keys were queued behind the Return before its answer was read) or late.
    void fourFieldsTypedAhead_data()
    {
        QTest::addColumn<int>("answerDelayMs");
        QTest::newRow("at once") << 0;
        QTest::newRow("after 350 ms") << 350;
    }

    void fourFieldsTypedAhead()
    {
        QFETCH(int, answerDelayMs);
        ClassicApplicationWidget *page = startForm(0);
        QVERIFY(page);
        const QStringList texts { "1042", "Ada Lovelace", "125.50", "fast typist" };
        for (const QString &text : texts) {
            QTest::keyClicks(QApplication::focusWidget(), text);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        for (int i = 0; i < texts.size(); ++i) {
            Pb::UIEnvelope reply;
            QVERIFY(m_app->nextReply(&reply));
            QCOMPARE(reply.generic_response().key_code(), int(Pb::ZUGUI_ENTER));
            QCOMPARE(QString::fromStdString(reply.generic_response().field_id().field_name()), Fields.at(i));
            QCOMPARE(QString::fromStdString(reply.generic_response().data()), texts.at(i));
            QTest::qWait(answerDelayMs);
            answer(openOnly(Fields.at((i + 1) % Fields.size())));
        }
        QTRY_COMPARE(page->serverTurn()->state(), ServerTurn::State::UserTurn);
        QVERIFY(m_app->quietFor(50));
    }

    // A full autonext field hands over at once; what follows goes to the next field.
    void autonextFieldTypedAhead()
    {
        ClassicApplicationWidget *page = startForm(0);
        QVERIFY(page);
        Pb::UIEnvelope autonext = to();
        name(autonext.mutable_put_field()->mutable_field_id(), Fields.at(0));
        autonext.mutable_put_field()->set_attribute_mask(ZuFieldWidget::AutonextBit);
        autonext.mutable_put_field()->set_data_type(ZuFieldWidget::ZUGUI_CHAR);
        answer({ autonext });
        QTRY_VERIFY(page->getField(Screen, Fields.at(0))->isAutonext());

        QTest::keyClicks(QApplication::focusWidget(), "S2019-0442Ada");
        Pb::UIEnvelope reply;
        QVERIFY(m_app->nextReply(&reply));
        QCOMPARE(reply.generic_response().key_code(), int(Pb::ZUGUI_ENTER));
        QCOMPARE(reply.generic_response().data(), std::string("S2019-0442"));
        answer(openOnly(Fields.at(1)));
        QTRY_COMPARE(page->getField(Screen, Fields.at(1))->data(), QString("Ada"));
    }

    // A key typed before the screen that binds it arrives acts on that screen; a key typed before a
    // dialog answers the dialog.
    void keysWaitForWhatTheServerShowsNext()
    {
        ClassicApplicationWidget *page = startForm(0);
        QVERIFY(page);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_X);
        Pb::UIEnvelope reply;
        QVERIFY(m_app->nextReply(&reply));
        QCOMPARE(reply.generic_response().key_code(), int(Pb::ZUGUI_ENTER));
        Pb::UIEnvelope browse = to();
        browse.mutable_deactivate();
        *browse.mutable_screen_menu() = menu({ { "Next", 'N' }, { "Exit", 'X' } });
        browse.mutable_keyboard_mode()->set_mode(ClassicApplicationWidget::MenuMode);
        answer({ browse });
        QVERIFY(m_app->nextReply(&reply));
        QCOMPARE(reply.generic_response().command(), Pb::GenericResponse::ZUGUI_KEY);
        QCOMPARE(reply.generic_response().key_code(), int('X'));

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_N);
        Pb::UIEnvelope dialog = to();
        dialog.mutable_dialog()->set_type(1);
        dialog.mutable_dialog()->set_prompt("Leave?");
        for (const auto &[text, key] : { std::pair { "Yes", 'Y' }, std::pair { "No", 'N' } }) {
            Pb::Dialog::Option *option = dialog.mutable_dialog()->add_option();
            option->set_text(text);
            option->set_key(key);
        }
        QVERIFY(m_app->nextReply(&reply));
        QCOMPARE(reply.generic_response().key_code(), int('N'));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_N);
        QVERIFY(page->serverTurn()->isHolding());
        answer({ dialog });
        QVERIFY(m_app->nextReply(&reply));
        QCOMPARE(reply.dialog_response().response(), int('N'));
        QVERIFY(page->findChild<OverlayDialog *>());
    }

    // A key typed ahead that opens a drop-down of the ring menu, then the key of one of its items:
    // the item is chosen, as from the keyboard, not the key given to the field behind the menu.
    void keysTypedAheadIntoADropDown()
    {
        QVERIFY(startForm(0));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_O);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_R);
        Pb::UIEnvelope reply;
        QVERIFY(m_app->nextReply(&reply));
        QCOMPARE(reply.generic_response().key_code(), int(Pb::ZUGUI_ENTER));
        Pb::UIEnvelope browse = to();
        browse.mutable_deactivate();
        Pb::ScreenMenu ring = menu({ { "Next", 'N' }, { "Options", 'O' } });
        Pb::ScreenMenu::MenuItem *reset = ring.add_menu_item();
        reset->set_level(1);
        reset->set_label("Reset");
        reset->set_shortcut_key('R');
        *browse.mutable_screen_menu() = ring;
        browse.mutable_keyboard_mode()->set_mode(ClassicApplicationWidget::MenuMode);
        answer({ browse });
        QVERIFY(m_app->nextReply(&reply));
        QCOMPARE(reply.generic_response().command(), Pb::GenericResponse::ZUGUI_MENU);
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }

    // The desktop's keys act during the server's turn: the page's detach key, a shortcut of the
    // desktop, and a key that an application-wide filter of the desktop takes (the zoom keys).
    void desktopKeysAreNotHeld()
    {
        auto *desktopKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), m_host.desk());
        QSignalSpy desktop(desktopKey, &QShortcut::activated);
        ZoomKeysStandIn zoom;
        qApp->installEventFilter(&zoom);
        ClassicApplicationWidget *page = startForm(0);
        QVERIFY(page);
        QSignalSpy detach(page, &TaskPageWidget::detachClicked);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(page->serverTurn()->isHolding());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(desktop.count(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(zoom.zooms, 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(detach.count(), 1);
        QVERIFY(!page->isAttached());
        delete desktopKey;
    }

    // A silent server gets the held keys back into the field where they were typed, after the
    // bound and not before; the wait cursor shows only once the turn has lasted a moment. Past the
    // queue's bound the rest is refused with a log line, and nothing already held is lost.
    void boundsOfAServerTurn()
    {
        ClassicApplicationWidget *page = startForm(0);
        QVERIFY(page);
        ZuFieldWidget *first = page->getField(Screen, Fields.at(0));
        const BusyMouse *busy = BusyMouse::instance();
        const auto turnBusy = [busy] {
            return !busy->pendingReasons().filter(QRegularExpression("^serverTurn")).isEmpty();
        };
        QElapsedTimer turn;
        turn.start();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), "abc");
        QVERIFY(!turnBusy());
        QTRY_VERIFY(turnBusy());
        QTRY_COMPARE_WITH_TIMEOUT(page->serverTurn()->state(), ServerTurn::State::UserTurn,
                                  3 * ServerTurn::SilenceReleaseMs);
        QVERIFY(turn.elapsed() >= ServerTurn::SilenceReleaseMs - 20);
        QVERIFY(!turnBusy());
        QCOMPARE(first->data(), QString("abc"));
        Pb::UIEnvelope reply;
        QVERIFY(m_app->nextReply(&reply));

        first->lineEdit()->setMaxLength(ServerTurn::MaxHeld + 10);
        first->lineEdit()->clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("already 4096 inputs wait"));
        QTest::keyClicks(QApplication::focusWidget(), QString(ServerTurn::MaxHeld + 3, QLatin1Char('k')));
        QCOMPARE(page->serverTurn()->heldCount(), ServerTurn::MaxHeld);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("inputs beyond 4096 were refused"));
        answer(openOnly(Fields.at(0)));
        QTRY_COMPARE(page->serverTurn()->state(), ServerTurn::State::UserTurn);
        QCOMPARE(first->lineEdit()->text(), QString(ServerTurn::MaxHeld, QLatin1Char('k')));

        // A page that goes with keys still held says how many.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), "lost");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("closed with 4 inputs typed ahead"));
        m_app.reset();
        QTRY_VERIFY(!m_session);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A click during the turn comes after the keys typed before it; the screen the server sends is
    // painted when it says where input goes, not a render burst later.
    void clickAfterHeldKeysAndPaintAtHandOver()
    {
        ClassicApplicationWidget *page = startForm(0);
        QVERIFY(page);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), "Ada");
        ZuFieldWidget *third = page->getField(Screen, Fields.at(2));
        QTest::mouseClick(third->lineEdit(), Qt::LeftButton);
        QVERIFY(!third->lineEdit()->hasFocus());
        Pb::UIEnvelope reply;
        QVERIFY(m_app->nextReply(&reply));

        QList<Pb::UIEnvelope> next { to() };
        next[0].mutable_clear_rows()->set_first_row(40);
        next[0].mutable_clear_rows()->set_last_row(41);
        Pb::UIEnvelope activateThird = to();
        name(activateThird.mutable_activate_field()->mutable_field_id(), Fields.at(2));
        activateThird.mutable_activate_field()->set_activate(true);
        next << openOnly(Fields.at(1)) << activateThird;
        answer(next);
        // The clearing suspended painting; the keys are replayed when it is painted again.
        QTRY_COMPARE(page->getField(Screen, Fields.at(1))->data(), QString("Ada"));
        QVERIFY(page->form().scrollArea->updatesEnabled());
        QVERIFY(third->lineEdit()->hasFocus());
    }

private:
    void answer(const QList<Pb::UIEnvelope> &commands)
    {
        QList<const google::protobuf::Message *> batch;
        for (const Pb::UIEnvelope &command : commands)
            batch << &command;
        m_app->sendTogether(batch);
    }

    // A form of four editable text fields in field mode, the cursor in the first.
    ClassicApplicationWidget *startForm(int keyboardMode)
    {
        m_app = std::make_unique<ScriptedApplication>();
        if (!m_app->connectTo(m_listener.serverPort()))
            return nullptr;
        Pb::UIEnvelope handshake;
        handshake.mutable_handshake()->set_ui_version("form 1");
        m_app->send(handshake);
        Pb::UIEnvelope reply;
        if (!m_app->nextReply(&reply))
            return nullptr;
        QFile file(QStringLiteral(ZU_CLASSIC_TEST_DATA "/student.ui"));
        if (!file.open(QIODevice::ReadOnly))
            return nullptr;
        QList<Pb::UIEnvelope> start { to() };
        start[0].mutable_load_screen()->set_screen(file.readAll().toStdString());
        start[0].mutable_load_screen()->set_screen_id(Screen);
        *start[0].mutable_screen_menu() = menu({ { "Exit", Pb::ZUGUI_ABORT } });
        start[0].mutable_keyboard_mode()->set_mode(keyboardMode == 0 ? ClassicApplicationWidget::FieldMode
                                                                    : keyboardMode);
        for (const QString &field : Fields) {
            Pb::UIEnvelope put = to();
            name(put.mutable_put_field()->mutable_field_id(), field);
            put.mutable_put_field()->set_attribute_mask(0);
            put.mutable_put_field()->set_data_type(ZuFieldWidget::ZUGUI_CHAR);
            put.mutable_put_field()->set_data("");
            start << put;
        }
        start << openOnly(Fields.first());
        answer(start);
        ClassicApplicationWidget *page = nullptr;
        // Null unless the form reached the user's turn with its first field focused.
        const bool ready = QTest::qWaitFor([&] {
            page = m_session ? m_session->page(Window) : nullptr;
            return page && page->currentField() && page->serverTurn()->state() == ServerTurn::State::UserTurn
                && page->currentField()->lineEdit()->hasFocus();
        });
        return ready ? page : nullptr;
    }

    TestEnvironment m_environment;
    FakePageHost m_host;
    QTcpServer m_listener;
    QPointer<ApplicationConnection> m_session;
    std::unique_ptr<ScriptedApplication> m_app;
};

QTEST_MAIN(tst_ServerTurn)
#include "tst_serverturn.moc"

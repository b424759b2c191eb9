// Drives real classic sessions: the test plays the server application over a loopback debug
// connection and checks the exact replies; the desktop is a fake page host.
#include "classic/applicationconnection.h"
#include "applinks/sockettranceiver.h"
#include "classic/classicapplicationwidget.h"
#include "classic/gridlookupmodelbuilder.h"
#include "classic/overlayblobedit.h"
#include "classic/overlaydialog.h"
#include "classic/overlaygridlookup.h"
#include "classic/overlayidsec.h"
#include "classic/ringmenuwidget.h"
#include "classic/serverturn.h"
#include "classic/tablelookupdialog.h"
#include "classic/zufieldwidget.h"

#include "fakepagehost.h"
#include "scriptedapplication.h"
#include "testenvironment.h"
#include "testpaths.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>
#include <optional>

namespace {

constexpr quint32 StudentScreen = 5;

QByteArray studentDocument()
{
    QFile file(QStringLiteral(ZU_CLASSIC_TEST_DATA "/student.ui"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Pb::UIEnvelope to(quint32 windowId)
{
    Pb::UIEnvelope envelope;
    envelope.set_window_id(windowId);
    return envelope;
}

void setField(Pb::FieldId *id, const char *name, int screenId = StudentScreen)
{
    id->set_screen_id(screenId);
    id->set_field_name(name);
}

Pb::ScreenMenu menuOf(std::initializer_list<std::tuple<int, const char *, int>> items)
{
    Pb::ScreenMenu menu;
    menu.set_menu_info("STUDENT:");
    for (const auto &[level, label, key] : items) {
        Pb::ScreenMenu::MenuItem *item = menu.add_menu_item();
        item->set_level(level);
        item->set_label(label);
        item->set_shortcut_key(key);
    }
    return menu;
}

QString textOf(const Pb::UIEnvelope &envelope)
{
    return QString::fromStdString(envelope.ShortDebugString());
}

// The envelope a generic reply must be, field for field.
QString genericReply(quint32 pid, quint32 windowId, Pb::GenericResponse::Commands command,
                     std::optional<int> key, const char *field, std::optional<std::string> data)
{
    Pb::UIEnvelope envelope;
    envelope.set_pid(pid);
    envelope.set_window_id(windowId);
    Pb::GenericResponse *response = envelope.mutable_generic_response();
    response->set_command(command);
    if (key)
        response->set_key_code(*key);
    if (field)
        setField(response->mutable_field_id(), field);
    if (data)
        response->set_data(*data);
    return textOf(envelope);
}


// The debug connection's transport, noting the blanked form each reply carries for a recording.
class RecordedSocketTranceiver : public SocketTranceiver
{
public:
    using SocketTranceiver::SocketTranceiver;
    void rawMessageSend(QByteArray data, QByteArray redacted) override
    {
        lastRedacted = redacted;
        SocketTranceiver::rawMessageSend(data, redacted);
    }
    QByteArray lastRedacted;
};

} // namespace

class tst_ApplicationConnection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(!studentDocument().isEmpty());
        QVERIFY(m_listener.listen(QHostAddress::LocalHost));
        // What the main window does with a debug connection, without the rest of the desktop.
        connect(&m_listener, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_listener.nextPendingConnection()) {
                auto *transport = new RecordedSocketTranceiver(socket, this);
                m_transport = transport;
                connect(transport, &AppTranceiver::appTypeChanged, this, [this, transport] {
                    m_session = new ApplicationConnection(transport, m_host.get(), this);
                    connect(m_session, &ApplicationSession::ended, m_session, &QObject::deleteLater);
                });
            }
        });
        makeHost();
    }

    void cleanup()
    {
        m_app.reset();
        QTRY_VERIFY(!m_session);
        QTRY_COMPARE(livePages(), 0);
        if (!m_host)
            makeHost();
        m_host->desk()->activateWindow();
    }

    void handshakeReply()
    {
        startApplication();
        QCOMPARE(m_session->pageCount(), 0);
    }

    void serverFocusIsNotReportedButUserEditsAre()
    {
        ClassicApplicationWidget *page = startStudentScreen(2);
        QVERIFY(page);
        ZuFieldWidget *field = page->getField(StudentScreen, "student_no");
        QVERIFY(field);
        QTRY_VERIFY(field->lineEdit()->hasFocus());
        QCOMPARE(page->currentField(), field);
        QCOMPARE(page->title(), QString("Records"));
        QCOMPARE(page->windowTitle(), QString("Records - Student Record"));
        QCOMPARE(page->shortName(), QString("SR"));

        // The user types over the selected value and presses Enter: one reply with the new text.
        // Coming first proves that the server's own set_focus was answered with nothing.
        QTest::keyClicks(field->lineEdit(), "s123");
        QTest::keyClick(field->lineEdit(), Qt::Key_Return);
        QCOMPARE(nextReply(),
                 genericReply(77, 1, Pb::GenericResponse::ZUGUI_KEY, Pb::ZUGUI_ENTER, "student_no", "S123"));
        // Nothing edited since: the key goes without data.
        QTest::keyClick(field->lineEdit(), Qt::Key_Return);
        QCOMPARE(
            nextReply(),
            genericReply(77, 1, Pb::GenericResponse::ZUGUI_KEY, Pb::ZUGUI_ENTER, "student_no", std::nullopt));

        // The server answers by leaving the cursor where it is; then a focus change by the user is
        // reported, with the data of the field left behind.
        Pb::UIEnvelope stay = to(1);
        setField(stay.mutable_set_focus()->mutable_field_id(), "student_no");
        m_app->send(stay);
        QTRY_VERIFY(!page->serverTurn()->isHolding());
        ZuFieldWidget *name = page->getField(StudentScreen, "student_name");
        field->lineEdit()->end(false);
        QTest::keyClicks(field->lineEdit(), "9");
        name->lineEdit()->setFocus(Qt::MouseFocusReason);
        QCOMPARE(nextReply(),
                 genericReply(77, 1, Pb::GenericResponse::ZUGUI_CHANGE_FOCUS, std::nullopt, "student_name",
                              "S1239"));
        QVERIFY(m_app->quietFor(50));
    }

    // A recording of the session must not hold what was typed into a field the screen marks
    // invisible; the server still gets it.
    void invisibleFieldTextIsBlankedForRecordings()
    {
        ClassicApplicationWidget *page = startStudentScreen(2);
        QVERIFY(page);
        ZuFieldWidget *field = page->getField(StudentScreen, "student_no");
        QVERIFY(field);
        QTRY_VERIFY(field->lineEdit()->hasFocus());
        for (const bool invisible : { true, false }) {
            field->setProperty("propInvisible", invisible);
            field->lineEdit()->selectAll();
            QTest::keyClicks(field->lineEdit(), invisible ? "pin42" : "s7");
            QTest::keyClick(field->lineEdit(), Qt::Key_Return);
            Pb::UIEnvelope reply;
            QVERIFY(m_app->nextReply(&reply));
            QCOMPARE(reply.generic_response().data(), std::string(invisible ? "PIN42" : "S7"));
            // The blanked form travels with the reply, for a recording; a visible field's has none.
            QVERIFY(m_transport);
            const QByteArray kept = m_transport->lastRedacted;
            QCOMPARE(kept.isNull(), !invisible);
            if (invisible) {
                Pb::UIEnvelope recorded;
                QVERIFY(recorded.ParseFromArray(kept.constData(), kept.size()));
                QCOMPARE(recorded.generic_response().data(), std::string());
                QCOMPARE(recorded.generic_response().key_code(), int(Pb::ZUGUI_ENTER));
            }
        }
    }

    void ringMenuKeys()
    {
        ClassicApplicationWidget *page = startStudentScreen(0);
        QVERIFY(page);
        ZuFieldWidget *field = page->getField(StudentScreen, "student_no");
        QTRY_VERIFY(field->lineEdit()->hasFocus());

        // In menu mode a letter bound in the ring triggers its button; the edit goes with it.
        QTest::keyClicks(field->lineEdit(), "xyz");
        QTest::keyClick(field->lineEdit(), Qt::Key_S);
        QCOMPARE(nextReply(), genericReply(77, 1, Pb::GenericResponse::ZUGUI_KEY, 'S', nullptr, "XYZ"));
        QTest::keyClick(field->lineEdit(), Qt::Key_S);
        QCOMPARE(nextReply(),
                 genericReply(77, 1, Pb::GenericResponse::ZUGUI_KEY, 'S', nullptr, std::nullopt));
        // A drop-down action reports its position in the menu less its level, as a menu command.
        QTest::keyClick(field->lineEdit(), Qt::Key_F9);
        QCOMPARE(nextReply(),
                 genericReply(77, 1, Pb::GenericResponse::ZUGUI_MENU, 2 - 1, nullptr, std::nullopt));
        QCOMPARE(field->lineEdit()->text(), QString("XYZ"));
    }

    void characterMode()
    {
        ClassicApplicationWidget *page = startStudentScreen(1);
        QVERIFY(page);
        ZuFieldWidget *field = page->getField(StudentScreen, "student_no");
        QTRY_VERIFY(field->lineEdit()->hasFocus());
        QTest::keyClick(field->lineEdit(), Qt::Key_A);
        QCOMPARE(nextReply(),
                 genericReply(77, 1, Pb::GenericResponse::ZUGUI_KEY, 'A', nullptr, std::nullopt));
        QTest::keyClick(field->lineEdit(), Qt::Key_F6);
        QCOMPARE(nextReply(),
                 genericReply(77, 1, Pb::GenericResponse::ZUGUI_KEY, Pb::ZUGUI_TABLE, nullptr, std::nullopt));
        QCOMPARE(field->lineEdit()->text(), QString("S2019"));
    }

    void overlayReplies()
    {
        ClassicApplicationWidget *page = startStudentScreen(0);
        QVERIFY(page);

        Pb::UIEnvelope dialog = to(1);
        dialog.mutable_dialog()->set_type(1);
        dialog.mutable_dialog()->set_prompt("Save the changes?");
        for (const auto &[text, key] : { std::pair{ "Yes", 'Y' }, std::pair{ "No", 'N' } }) {
            Pb::Dialog::Option *option = dialog.mutable_dialog()->add_option();
            option->set_text(text);
            option->set_key(key);
        }
        m_app->send(dialog);
        QTRY_VERIFY(page->findChild<OverlayDialog *>());
        emit page->findChild<OverlayDialog *>()->buttonPressed('N');
        QCOMPARE(nextReply(), QString("pid: 77 window_id: 1 dialog_response { response: 78 }"));

        // A grid while the dialog is up is refused; nothing is answered for it.
        Pb::UIEnvelope grid = to(1);
        grid.mutable_grid_lookup()->set_title("Courses");
        for (int i = 0; i < 3; ++i) {
            Pb::GridLookup::GridRow *row = grid.mutable_grid_lookup()->add_row();
            row->set_index(40 + i);
            row->add_item(QString("Course %1").arg(i).toStdString());
        }
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("gridLookup\\(\\) - invalid mode: 3"));
        m_app->send(grid);
        QVERIFY(m_app->quietFor(200));
        Pb::UIEnvelope end = to(1);
        end.mutable_end_dialog();
        m_app->send(end);
        QTRY_COMPARE(page->overlayMode(), int(ClassicApplicationWidget::NoOverlay));

        m_app->send(grid);
        QTRY_VERIFY(page->findChild<OverlayGridLookup *>());
        emit page->findChild<OverlayGridLookup *>()->accepted(41);
        QCOMPARE(nextReply(), QString("pid: 77 window_id: 1 grid_lookup_response { value: 41 }"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_app->send(grid);
        QTRY_VERIFY(page->findChild<OverlayGridLookup *>());
        emit page->findChild<OverlayGridLookup *>()->rejected();
        QCOMPARE(nextReply(), QString("pid: 77 window_id: 1 grid_lookup_response { }"));

        // A table lookup answers with the choice, and with the field's initial text on cancel.
        Pb::UIEnvelope table = to(1);
        table.mutable_table_lookup()->add_item("Alpha");
        table.mutable_table_lookup()->add_item("Beta");
        m_app->send(table);
        QTRY_VERIFY(page->findChild<TableLookupDialog *>());
        emit page->findChild<TableLookupDialog *>()->itemSelected("Beta");
        QCOMPARE(nextReply(), QString(R"(pid: 77 window_id: 1 table_lookup_response { value: "Beta" })"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_app->send(table);
        QTRY_VERIFY(page->findChild<TableLookupDialog *>());
        QTest::keyClick(page->findChild<TableLookupDialog *>(), Qt::Key_Escape);
        QCOMPARE(nextReply(), QString(R"(pid: 77 window_id: 1 table_lookup_response { value: "S2019" })"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // The identity button asks with the text of its field, as the user sees it.
        Pb::UIEnvelope idField = to(1);
        setField(idField.mutable_put_field()->mutable_field_id(), "student_no");
        idField.mutable_put_field()->set_attribute_mask(ZuFieldWidget::IdBit);
        idField.mutable_put_field()->set_data_type(ZuFieldWidget::ZUGUI_CHAR);
        m_app->send(idField);
        ZuFieldWidget *number = page->getField(StudentScreen, "student_no");
        QTRY_COMPARE(number->displayMode(), ZuFieldWidget::DisplayMode::Id);
        number->findChild<QPushButton *>("idSecButton")->click();
        QString expected = genericReply(77, 1, Pb::GenericResponse::ZUGUI_DO_IDSEC, std::nullopt, "student_no",
                                        std::string("S2019"));
        expected.insert(expected.lastIndexOf(" }"), " supports_idsec: true");
        QCOMPARE(nextReply(), expected);

        // An identity card is only looked at: closing it answers nothing.
        Pb::UIEnvelope card = to(1);
        card.mutable_id_sec()->set_title("Student 2019");
        m_app->send(card);
        QTRY_VERIFY(page->findChild<OverlayIdSec *>());
        emit page->findChild<OverlayIdSec *>()->okayButtonPressed();
        QCOMPARE(page->overlayMode(), int(ClassicApplicationWidget::NoOverlay));
        QVERIFY(m_app->quietFor(200));

        // A text block answers with its Latin-1 text, or without one when cancelled.
        Pb::UIEnvelope blob = to(1);
        blob.mutable_edit_blob()->set_blob("Scholarship holder");
        blob.mutable_edit_blob()->mutable_field_id()->set_screen_id(StudentScreen);
        blob.mutable_edit_blob()->mutable_field_id()->set_field_name("student_name");
        m_app->send(blob);
        QTRY_VERIFY(page->findChild<OverlayBlobEdit *>());
        emit page->findChild<OverlayBlobEdit *>()->accepted(QString::fromUtf8("Zoë\nPart-time"));
        QCOMPARE(nextReply(),
                 QString(R"(pid: 77 window_id: 1 edit_blob_response { blob: "Zo\353\nPart-time" })"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_app->send(blob);
        QTRY_VERIFY(page->findChild<OverlayBlobEdit *>());
        emit page->findChild<OverlayBlobEdit *>()->rejected();
        QCOMPARE(nextReply(), QString("pid: 77 window_id: 1 edit_blob_response { }"));
    }

    void pidAndWindowRouting()
    {
        startApplication();
        Pb::UIEnvelope first = to(7);
        first.set_pid(4242);
        first.mutable_set_status()->set_status_text("seven");
        Pb::UIEnvelope second = to(9);
        second.mutable_set_status()->set_status_text("nine");
        Pb::UIEnvelope noWindow;
        noWindow.mutable_set_status()->set_status_text("zero");
        noWindow.mutable_keyboard_mode()->set_mode(1);
        m_app->sendTogether({ &first, &second, &noWindow });

        ApplicationConnection *session = m_session.data();
        QTRY_COMPARE(session->pageCount(), 3);
        QCOMPARE(session->page(7)->statusText(), QString("seven"));
        QCOMPARE(session->page(9)->statusText(), QString("nine"));
        QCOMPARE(session->page(0)->statusText(), QString("zero"));
        QCOMPARE(session->pid(), 4242u);

        // A reply carries the window of the page that made it and the pid remembered last.
        emit session->page(9)->charModeKeyPressed('Q');
        QCOMPARE(nextReply(),
                 genericReply(4242, 9, Pb::GenericResponse::ZUGUI_KEY, 'Q', nullptr, std::nullopt));
        QTest::keyClick(session->page(0), Qt::Key_Q);
        QCOMPARE(nextReply(),
                 genericReply(4242, 0, Pb::GenericResponse::ZUGUI_KEY, 'Q', nullptr, std::nullopt));
        // Each page has a task button, named after the menu item (none here).
        QVERIFY(m_host->isOnTaskBar(session->page(7)));
    }

    void badInputIsLoggedAndSkipped()
    {
        startApplication();
        QTest::ignoreMessage(QtCriticalMsg, "Unable to parse Envelope");
        m_app->sendRaw("\xff\xff\xff\xff");

        // Commands without a handler are logged; the others in the same envelope still run.
        Pb::UIEnvelope envelope = to(1);
        envelope.mutable_set_status()->set_status_text("still here");
        envelope.mutable_help()->set_help_url("http://example.invalid/");
        envelope.mutable_end_session();
        QTest::ignoreMessage(QtWarningMsg, "No message handler found for \"help\"");
        QTest::ignoreMessage(QtWarningMsg, "No message handler found for \"end_session\"");
        m_app->send(envelope);
        ApplicationConnection *session = m_session.data();
        QTRY_VERIFY(session->page(1));
        QCOMPARE(session->page(1)->statusText(), QString("still here"));
        QVERIFY(m_app->quietFor(50));
    }

    void hiddenDetachedWindowIsReplacedInPlace()
    {
        startApplication();
        ApplicationConnection *session = m_session.data();
        Pb::UIEnvelope status = to(1);
        status.mutable_set_status()->set_status_text("one");
        m_app->send(status);
        QTRY_VERIFY(session->page(1));
        ClassicApplicationWidget *first = session->page(1);
        emit first->detachClicked();
        QVERIFY(!first->isAttached());
        const QRect where = first->geometry();

        Pb::UIEnvelope hide = to(1);
        hide.mutable_hide();
        Pb::UIEnvelope show = to(2);
        show.mutable_show();
        m_app->sendTogether({ &hide, &show });
        QTRY_VERIFY(session->page(2));
        ClassicApplicationWidget *second = session->page(2);
        QVERIFY(first->isHidden());
        QVERIFY(second->isWindow());
        QVERIFY(!second->isAttached());
        QVERIFY(second->isVisible());
        QCOMPARE(second->geometry(), where);
        QVERIFY(!(second->windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(m_host->isOnTaskBar(second));
        QVERIFY(!m_host->isOnTaskBar(first));
    }

    void lateShowOpensInTheStack()
    {
        startApplication();
        ApplicationConnection *session = m_session.data();
        Pb::UIEnvelope status = to(3);
        status.mutable_set_status()->set_status_text("three");
        m_app->send(status);
        QTRY_VERIFY(session->page(3));
        emit session->page(3)->detachClicked();
        Pb::UIEnvelope hide = to(3);
        hide.mutable_hide();
        m_app->send(hide);
        QTRY_VERIFY(session->page(3)->isHidden());

        QTest::qWait(ApplicationConnection::WindowContinuityMs + 50);
        Pb::UIEnvelope show = to(4);
        show.mutable_show();
        m_app->send(show);
        QTRY_VERIFY(session->page(4));
        QVERIFY(session->page(4)->isAttached());
        QVERIFY(session->page(4)->isVisible());
        QVERIFY(m_host->isOnTaskBar(session->page(4)));
    }

    // Lookups and windows beyond the bounds are refused with the answer a cancel would give.
    void lookupsAndWindowsBeyondBounds()
    {
        ClassicApplicationWidget *page = startStudentScreen(0);
        QVERIFY(page);
        Pb::UIEnvelope grid = to(1);
        Pb::GridLookup::GridRow *row = grid.mutable_grid_lookup()->add_row();
        row->set_index(1);
        for (int i = 0; i <= GridLookupModelBuilder::MaxColumns; ++i)
            grid.mutable_grid_lookup()->add_column()->set_header("c");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("lookup refused: \"257 columns exceed 256\""));
        m_app->send(grid);
        QCOMPARE(nextReply(), QString("pid: 77 window_id: 1 grid_lookup_response { }"));
        QVERIFY(!page->findChild<OverlayGridLookup *>());

        Pb::UIEnvelope table = to(1);
        for (int i = 0; i <= TableLookupDialog::MaxItems; ++i)
            table.mutable_table_lookup()->add_item("x");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("lookup refused"));
        m_app->send(table);
        QCOMPARE(nextReply(), QString(R"(pid: 77 window_id: 1 table_lookup_response { value: "S2019" })"));
        QVERIFY(!page->findChild<TableLookupDialog *>());

        QList<Pb::UIEnvelope> windows;
        for (int id = 100; id < 100 + ApplicationConnection::MaxPages; ++id) {
            windows.append(to(id));
            windows.last().mutable_set_status()->set_status_text("w");
        }
        QList<const google::protobuf::Message *> batch;
        for (const Pb::UIEnvelope &window : windows)
            batch.append(&window);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("window 163 refused"));
        m_app->sendTogether(batch);
        QTRY_VERIFY(m_session->page(162));
        QTest::qWait(100);
        QCOMPARE(m_session->pageCount(), ApplicationConnection::MaxPages);
        QVERIFY(!m_session->page(163));
    }

    // The desktop goes first: the session carries on with free windows and never calls it again.
    void hostGoneBeforeTheSession()
    {
        startApplication();
        Pb::UIEnvelope first = to(1);
        first.mutable_set_status()->set_status_text("one");
        m_app->send(first);
        QTRY_VERIFY(m_session->page(1));
        QPointer<ClassicApplicationWidget> attached = m_session->page(1);
        m_host.reset();
        QVERIFY(!attached);

        Pb::UIEnvelope second = to(2);
        second.mutable_set_status()->set_status_text("two");
        Pb::UIEnvelope hide = to(2);
        hide.mutable_hide();
        m_app->sendTogether({ &second, &hide });
        QTRY_VERIFY(m_session->page(2));
        QVERIFY(m_session->page(2)->isWindow());
        QTRY_VERIFY(m_session->page(2)->isHidden());
    }

private:
    static int livePages()
    {
        int count = 0;
        for (QWidget *widget : QApplication::allWidgets())
            count += qobject_cast<ClassicApplicationWidget *>(widget) ? 1 : 0;
        return count;
    }

    void makeHost()
    {
        m_host = std::make_unique<FakePageHost>();
        m_host->menuTitles.insert("/stu/records.opt", "Student Records");
        QVERIFY(QTest::qWaitForWindowActive(m_host->desk()));
    }

    QString nextReply()
    {
        Pb::UIEnvelope envelope;
        return m_app->nextReply(&envelope) ? textOf(envelope) : QStringLiteral("<no reply>");
    }

    void startApplication()
    {
        m_app = std::make_unique<ScriptedApplication>();
        QVERIFY(m_app->connectTo(m_listener.serverPort()));
        Pb::UIEnvelope handshake;
        handshake.mutable_handshake()->set_ui_version("server 1");
        m_app->send(handshake);
        QCOMPARE(nextReply(), QString(R"(pid: 0 window_id: 0 handshake { ui_version: "1.9.0-143" })"));
        QVERIFY(m_session);
    }

    // The student screen in window 1 with the focus put on student_no by the server.
    ClassicApplicationWidget *startStudentScreen(int keyboardMode)
    {
        startApplication();
        if (QTest::currentTestFailed())
            return nullptr;
        Pb::UIEnvelope session = to(1);
        session.set_pid(77);
        session.mutable_create_session()->set_menupath("/stu/records.opt");
        session.mutable_set_title()->set_window_title("Records");
        Pb::UIEnvelope load = to(1);
        load.mutable_load_screen()->set_screen(studentDocument().toStdString());
        load.mutable_load_screen()->set_screen_id(StudentScreen);
        load.mutable_screen_menu()->CopyFrom(menuOf({ { 0, "Save", 'S' },
                                                      { 0, "Reports", 'R' },
                                                      { 1, "Transcript", Pb::ZUGUI_DONE },
                                                      { 0, "Exit", Pb::ZUGUI_ABORT } }));
        load.mutable_keyboard_mode()->set_mode(keyboardMode);
        Pb::UIEnvelope putNumber = to(1);
        setField(putNumber.mutable_put_field()->mutable_field_id(), "student_no");
        putNumber.mutable_put_field()->set_attribute_mask(ZuFieldWidget::UpshiftBit);
        putNumber.mutable_put_field()->set_data_type(ZuFieldWidget::ZUGUI_CHAR);
        putNumber.mutable_put_field()->set_data("S2019");
        setField(putNumber.mutable_activate_field()->mutable_field_id(), "student_no");
        Pb::UIEnvelope putName = to(1);
        setField(putName.mutable_put_field()->mutable_field_id(), "student_name");
        putName.mutable_put_field()->set_data_type(ZuFieldWidget::ZUGUI_CHAR);
        putName.mutable_put_field()->set_data("Ada");
        setField(putName.mutable_activate_field()->mutable_field_id(), "student_name");
        setField(putName.mutable_set_focus()->mutable_field_id(), "student_no");
        m_app->sendTogether({ &session, &load, &putNumber, &putName });

        ApplicationConnection *connection = m_session.data();
        [&] {
            QTRY_VERIFY(connection->page(1) && connection->page(1)->currentField());
        }();
        return connection->page(1);
    }

    TestEnvironment m_environment;
    QTcpServer m_listener;
    std::unique_ptr<FakePageHost> m_host;
    QPointer<ApplicationConnection> m_session;
    QPointer<RecordedSocketTranceiver> m_transport;
    std::unique_ptr<ScriptedApplication> m_app;
};

QTEST_MAIN(tst_ApplicationConnection)
#include "tst_applicationconnection.moc"

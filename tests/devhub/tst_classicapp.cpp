#include "applink.h"
#include "classicapp.h"
#include "classicform.h"
#include "classicscreens.h"
#include "idpicture.h"
#include "sampledata.h"
#include "studentdatabase.h"

#include "uidlg.pb.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <google/protobuf/descriptor.h>

#include <memory>
#include <optional>

namespace {

constexpr int StudentScreen = 1;
constexpr int GradesScreen = 2;
constexpr char F9Marker[] = "\xFE"
                            "2001 ";

// Plays the client's side of one window: records what the application sends and delivers the
// client's replies to it.
class ClientDouble : public AppLink
{
public:
    QList<Pb::UIEnvelope> sent;
    int screen = 0; // the screen loaded last

    void sendMessage(const QByteArray &message) override
    {
        Pb::UIEnvelope envelope;
        QVERIFY(envelope.ParseFromArray(message.constData(), message.size()));
        if (envelope.has_load_screen())
            screen = envelope.load_screen().screen_id();
        sent.append(envelope);
    }
    void close() override { }
    bool isCongested() const override { return false; }
    QString description() const override { return QStringLiteral("test link"); }

    void deliverRaw(const QByteArray &bytes) { emit messageReceived(bytes); }
    void deliver(Pb::UIEnvelope envelope, quint32 window = ClassicApp::WindowId)
    {
        envelope.set_window_id(window);
        envelope.set_pid(quint32(QCoreApplication::applicationPid()));
        deliverRaw(QByteArray::fromStdString(envelope.SerializeAsString()));
    }

    void handshake()
    {
        Pb::UIEnvelope envelope;
        envelope.mutable_handshake()->set_ui_version("1.9.0-143");
        deliver(envelope, 0);
    }
    // A key as the client reports it: in a field (with its name) or from the ring menu.
    void key(int code, const char *field = nullptr, std::optional<QByteArray> data = std::nullopt,
             Pb::GenericResponse::Commands command = Pb::GenericResponse::ZUGUI_KEY)
    {
        Pb::UIEnvelope envelope;
        Pb::GenericResponse *response = envelope.mutable_generic_response();
        response->set_command(command);
        response->set_key_code(code);
        if (field) {
            response->mutable_field_id()->set_screen_id(screen);
            response->mutable_field_id()->set_field_name(field);
        }
        if (data)
            response->set_data(data->toStdString());
        deliver(envelope);
    }
    void menu(int code) { key(code, nullptr, std::nullopt, Pb::GenericResponse::ZUGUI_MENU); }
    // The user clicked into a field; the text of the field left goes along.
    void focusTo(const char *field, std::optional<QByteArray> previousData = std::nullopt)
    {
        key(0, field, previousData, Pb::GenericResponse::ZUGUI_CHANGE_FOCUS);
    }
    void answerDialog(int key)
    {
        Pb::UIEnvelope envelope;
        envelope.mutable_dialog_response()->set_response(key);
        deliver(envelope);
    }
    void answerTable(const QByteArray &value)
    {
        Pb::UIEnvelope envelope;
        envelope.mutable_table_lookup_response()->set_value(value.toStdString());
        deliver(envelope);
    }
    void answerBlob(std::optional<QByteArray> text)
    {
        Pb::UIEnvelope envelope;
        envelope.mutable_edit_blob_response();
        if (text)
            envelope.mutable_edit_blob_response()->set_blob(text->toStdString());
        deliver(envelope);
    }
    void answerGrid(std::optional<int> row)
    {
        Pb::UIEnvelope envelope;
        envelope.mutable_grid_lookup_response();
        if (row)
            envelope.mutable_grid_lookup_response()->set_value(*row);
        deliver(envelope);
    }

    // The command fields of each envelope sent since the last clear, "+"-joined.
    QStringList commands() const
    {
        QStringList names;
        for (const Pb::UIEnvelope &envelope : sent) {
            std::vector<const google::protobuf::FieldDescriptor *> fields;
            envelope.GetReflection()->ListFields(envelope, &fields);
            QStringList set;
            for (const auto *field : fields) {
                if (field->number() > 2)
                    set << QString::fromStdString(field->name());
            }
            names << set.join(QLatin1Char('+'));
        }
        return names;
    }
    // The last PutField for a field, and the value it carried.
    const Pb::PutField *putOf(const char *field) const
    {
        for (int i = sent.size() - 1; i >= 0; --i) {
            const Pb::PutField &put = sent.at(i).put_field();
            if (sent.at(i).has_put_field() && put.field_id().field_name() == field && put.has_data())
                return &put;
        }
        return nullptr;
    }
    std::optional<QByteArray> putData(const char *field) const
    {
        const Pb::PutField *put = putOf(field);
        return put ? std::optional<QByteArray>(QByteArray::fromStdString(put->data())) : std::nullopt;
    }
    const Pb::UIEnvelope *last(bool (Pb::UIEnvelope::*has)() const) const
    {
        for (int i = sent.size() - 1; i >= 0; --i) {
            if ((sent.at(i).*has)())
                return &sent.at(i);
        }
        return nullptr;
    }
    QByteArray focused() const
    {
        const Pb::UIEnvelope *focus = last(&Pb::UIEnvelope::has_set_focus);
        return focus ? QByteArray::fromStdString(focus->set_focus().field_id().field_name()) : QByteArray();
    }
    QByteArray error() const
    {
        const Pb::UIEnvelope *error = last(&Pb::UIEnvelope::has_set_error);
        return error ? QByteArray::fromStdString(error->set_error().error_text()) : QByteArray();
    }
};

} // namespace

// The student records application against a client double: the first screen, queries and
// paging, adding and changing students in the database with validation and a confirming dialog,
// the programme table lookup, the result grid, the sort selector, pauses, the grades screen, and
// what a misbehaving client gets.
class TestClassicApp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstScreenExchange();
    void queryAndPaging();
    void updateWritesTheDatabase();
    void validation_data();
    void validation();
    void addWithProgrammeLookup();
    void resultGridSortAndPause();
    void gradesScreen();
    void misbehavingClient_data();
    void misbehavingClient();
    void keyWhileAnOverlayWasNeverShown();
    void exitEndsTheApplication();
    void silentClientIsGivenUp();
    void unusableDatabase_data();
    void unusableDatabase();
    void identityCard();
    void notesAsATextBlock();
    void versionOneFileGetsIdentities();

private:
    DemoAppContext context() const;
    // Started, handshaken, and in Browse on student number (0: all students, the first shown).
    std::unique_ptr<ClassicApp> running(ClientDouble &client, int number = -1);
    Student stored(int number) const;

    std::unique_ptr<QTemporaryDir> m_data;
};

void TestClassicApp::init()
{
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(m_data->isValid());
}

DemoAppContext TestClassicApp::context() const
{
    DemoAppContext context;
    context.userName = QStringLiteral("tester");
    context.homePath = m_data->path();
    context.dataDir = m_data->path();
    context.menuPath = QStringLiteral("/students/records.opt");
    return context;
}

std::unique_ptr<ClassicApp> TestClassicApp::running(ClientDouble &client, int number)
{
    auto app = std::make_unique<ClassicApp>(&client, context());
    QString error;
    if (!app->start(&error))
        qFatal("classic app did not start: %s", qPrintable(error));
    client.handshake();
    if (number > 0)
        client.key(Pb::ZUGUI_DONE, "student_no", QByteArray::number(number));
    else if (number == 0)
        client.key(Pb::ZUGUI_ABORT);
    client.sent.clear();
    return app;
}

bool setUserVersion(const QString &path, int version)
{
    const QString name = QStringLiteral("tst_classicapp");
    bool done = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        done = db.open() && QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return done;
}

Student StudentDatabaseRead(const QString &path, int number)
{
    StudentDatabase db;
    QString error;
    if (!db.open(path, &error))
        qFatal("cannot read back the database: %s", qPrintable(error));
    return db.student(number).value_or(Student());
}

Student TestClassicApp::stored(int number) const
{
    return StudentDatabaseRead(ClassicApp::databasePath(context()), number);
}

void TestClassicApp::firstScreenExchange()
{
    ClientDouble client;
    ClassicApp app(&client, context());
    QString error;
    QVERIFY2(app.start(&error), qPrintable(error));
    QVERIFY(QFile::exists(m_data->filePath(QStringLiteral("classic/students.sqlite"))));

    // The handshake alone, until the client answers with its own.
    QCOMPARE(client.commands(), QStringList { "handshake" });
    const Pb::UIEnvelope hello = client.sent.takeFirst();
    QCOMPARE(hello.handshake().type(), Pb::Handshake::CLASSIC);
    QVERIFY(!hello.handshake().ui_version().empty());
    QCOMPARE(hello.pid(), quint32(QCoreApplication::applicationPid()));
    QCOMPARE(app.state(), ClassicApp::State::AwaitingHandshake);

    client.handshake();
    QCOMPARE(app.state(), ClassicApp::State::Running);
    QCOMPARE(app.clientVersion(), QStringLiteral("1.9.0-143"));
    QStringList expected { "create_session", "set_title", "clear_rows", "load_screen", "navbar_item_list" };
    for (int i = 0; i < 11; ++i)
        expected << "put_field";
    expected << "deactivate";
    for (int i = 0; i < 4; ++i)
        expected << "activate_field";
    expected << "screen_menu"
             << "keyboard_mode"
             << "navbar_status"
             << "set_status"
             << "set_focus";
    QCOMPARE(client.commands(), expected);
    for (const Pb::UIEnvelope &envelope : qAsConst(client.sent)) {
        QCOMPARE(envelope.window_id(), ClassicApp::WindowId);
        QCOMPARE(envelope.pid(), hello.pid());
    }

    QCOMPARE(client.sent.at(0).create_session().menupath(), "/students/records.opt");
    QCOMPARE(client.sent.at(0).create_session().app_name(), "Student Records");
    QCOMPARE(client.sent.at(1).set_title().window_title(), "Student Records");
    QCOMPARE(client.sent.at(2).clear_rows().first_row(), 0);
    QCOMPARE(client.sent.at(2).clear_rows().last_row(), -1);
    const Pb::LoadScreen &load = client.sent.at(3).load_screen();
    QCOMPARE(load.screen_id(), StudentScreen);
    QCOMPARE(QByteArray::fromStdString(load.screen()), ClassicScreens::document(QStringLiteral("student")));
    QCOMPARE(load.screen_path(), "screens/student.ui");

    // Every field gets its type, attributes and an empty value.
    QHash<QByteArray, Pb::PutField> puts;
    for (const Pb::UIEnvelope &envelope : qAsConst(client.sent)) {
        if (envelope.has_put_field())
            puts.insert(QByteArray::fromStdString(envelope.put_field().field_id().field_name()),
                        envelope.put_field());
    }
    QCOMPARE(puts.size(), 11);
    QCOMPARE(puts.value("student_no").data_type(), 513);
    QCOMPARE(puts.value("fees").data_type(), 514);
    QCOMPARE(puts.value("birth_date").data_type(), 515);
    QCOMPARE(puts.value("active").data_type(), 516);
    QCOMPARE(puts.value("programme").data_type(), 512);
    QCOMPARE(puts.value("programme").attribute_mask(), 0x4 | 0x10);
    QCOMPARE(puts.value("programme_title").attribute_mask(), 0x10000);
    for (const Pb::PutField &put : qAsConst(puts)) {
        QCOMPARE(put.field_id().screen_id(), StudentScreen);
        QVERIFY(put.has_data() && put.data().empty());
    }

    QStringList activated;
    for (const Pb::UIEnvelope &envelope : qAsConst(client.sent)) {
        if (envelope.has_activate_field()) {
            QVERIFY(envelope.activate_field().activate());
            activated << QString::fromStdString(envelope.activate_field().field_id().field_name());
        }
    }
    QCOMPARE(activated, QStringList({ "student_no", "last_name", "programme", "active" }));
    const Pb::ScreenMenu &menu = client.last(&Pb::UIEnvelope::has_screen_menu)->screen_menu();
    QCOMPARE(menu.menu_item_size(), 3);
    QCOMPARE(menu.menu_item(0).label(), "Search");
    QCOMPARE(menu.menu_item(0).shortcut_key(), int(Pb::ZUGUI_DONE));
    QCOMPARE(menu.menu_item(2).shortcut_key(), int(Pb::ZUGUI_ABORT));
    QCOMPARE(client.last(&Pb::UIEnvelope::has_keyboard_mode)->keyboard_mode().mode(), 2);
    QVERIFY(
        QByteArray::fromStdString(client.last(&Pb::UIEnvelope::has_set_status)->set_status().status_text())
            .contains(F9Marker));
    QCOMPARE(client.focused(), QByteArray("student_no"));
    QCOMPARE(client.sent.last().set_focus().field_id().screen_id(), StudentScreen);
}

void TestClassicApp::queryAndPaging()
{
    ClientDouble client;
    const auto app = running(client);
    // Part of a name in Last Name (the user clicked there, then pressed F9 on the ring menu).
    client.focusTo("last_name");
    client.key(Pb::ZUGUI_DONE, nullptr, QByteArray("ller"));
    QCOMPARE(client.putData("last_name"), QByteArray("M\xFCller"));
    const Pb::UIEnvelope *count = client.last(&Pb::UIEnvelope::has_row_count);
    QVERIFY(count);
    const int found = count->row_count().maximum();
    QVERIFY(found >= 2);
    QCOMPARE(count->row_count().current(), 1);
    QCOMPARE(client.last(&Pb::UIEnvelope::has_keyboard_mode)->keyboard_mode().mode(), 0);
    const Pb::ScreenMenu &menu = client.last(&Pb::UIEnvelope::has_screen_menu)->screen_menu();
    QCOMPARE(menu.menu_item(0).label(), "Query");
    // Next and its Page Down alias, and the sub-menu below Options.
    QCOMPARE(menu.menu_item(2).label(), "");
    QCOMPARE(menu.menu_item(2).shortcut_key(), int(Pb::ZUGUI_PGDOWN));
    QCOMPARE(menu.menu_item(9).level(), 1);

    const QByteArray first = *client.putData("student_no");
    client.key('N');
    QCOMPARE(client.last(&Pb::UIEnvelope::has_row_count)->row_count().current(), 2);
    QVERIFY(*client.putData("student_no") != first);
    client.key(Pb::ZUGUI_PGUP); // the alias of Previous
    QCOMPARE(*client.putData("student_no"), first);
    client.sent.clear();
    client.key('P');
    QCOMPARE(client.commands(), QStringList({ "beep", "set_error" }));
    QCOMPARE(client.error(), QByteArray("This is the first student found."));

    // An exact number; Return (and Tab) move between the query fields, the done key searches; an
    // error clears when the next search succeeds.
    client.key('Q');
    QCOMPARE(client.commands().count("set_error"), 2);
    QVERIFY(client.error().isEmpty());
    client.sent.clear();
    client.key(Pb::ZUGUI_ENTER, "student_no", QByteArray("100005"));
    QCOMPARE(client.focused(), QByteArray("last_name"));
    QVERIFY(!client.last(&Pb::UIEnvelope::has_row_count));
    client.key(Pb::ZUGUI_DONE, "last_name");
    QCOMPARE(client.putData("student_no"), QByteArray("100005"));
    QCOMPARE(client.last(&Pb::UIEnvelope::has_row_count)->row_count().maximum(), 1);

    // Nothing found: the query stays, with the reason.
    client.key('Q');
    client.key(Pb::ZUGUI_DONE, "last_name", QByteArray("nobody-has-this-name"));
    QVERIFY(client.error().startsWith("No student matches."));
    QCOMPARE(client.last(&Pb::UIEnvelope::has_keyboard_mode)->keyboard_mode().mode(), 2);
}

void TestClassicApp::updateWritesTheDatabase()
{
    ClientDouble client;
    const auto app = running(client, 100010);
    const Student before = stored(100010);
    client.key('U');
    QCOMPARE(client.focused(), QByteArray("last_name"));
    // Every field but the number, the programme title and the notes, which have their own editor.
    QCOMPARE(client.commands().count("activate_field"), 8);
    // Required fields carry the marker bit while they can be edited.
    QCOMPARE(client.putOf("last_name")->attribute_mask() & 0x80000, 0x80000);
    QCOMPARE(client.putOf("notes")->attribute_mask() & 0x80000, 0);
    client.key(Pb::ZUGUI_ENTER, "last_name", QByteArray("Smith-Jones"));
    QCOMPARE(client.focused(), QByteArray("first_name"));
    client.focusTo("fees");
    client.key(Pb::ZUGUI_DONE, nullptr, QByteArray("$1,234.5"));
    const Pb::UIEnvelope *dialog = client.last(&Pb::UIEnvelope::has_dialog);
    QVERIFY(dialog);
    QCOMPARE(dialog->dialog().type(), 1);
    QCOMPARE(dialog->dialog().option_size(), 2);
    QCOMPARE(dialog->dialog().option(0).key(), int('Y'));
    QCOMPARE(QByteArray::fromStdString(dialog->dialog().prompt()),
             QByteArray("Save the changes to student 100010, ") + before.firstName.toLatin1()
                 + " Smith-Jones?");
    QCOMPARE(stored(100010).lastName, before.lastName); // nothing written before the answer

    client.sent.clear();
    client.answerDialog('Y');
    QCOMPARE(client.commands().first(), QStringLiteral("end_dialog"));
    const Student after = stored(100010);
    QCOMPARE(after.lastName, QStringLiteral("Smith-Jones"));
    QCOMPARE(after.feesCents, qint64(123450));
    QCOMPARE(after.firstName, before.firstName);
    QCOMPARE(after.birthDate, before.birthDate);
    QCOMPARE(client.putData("fees"), QByteArray("1234.50"));
    QCOMPARE(client.last(&Pb::UIEnvelope::has_keyboard_mode)->keyboard_mode().mode(), 0);

    // No keeps the edit going and writes nothing.
    client.key('U');
    client.key(Pb::ZUGUI_DONE, "last_name", QByteArray("Other"));
    client.answerDialog('N');
    QCOMPARE(stored(100010).lastName, QStringLiteral("Smith-Jones"));
    QCOMPARE(client.focused(), QByteArray("last_name"));

    // Leaving with changes asks first; No stays, Yes leaves them unsaved.
    client.sent.clear();
    client.key(Pb::ZUGUI_ABORT, "last_name", QByteArray("Unsaved"));
    dialog = client.last(&Pb::UIEnvelope::has_dialog);
    QVERIFY(dialog);
    QCOMPARE(QByteArray::fromStdString(dialog->dialog().prompt()), QByteArray("Leave without saving the changes?"));
    client.answerDialog('N');
    QCOMPARE(client.focused(), QByteArray("last_name"));
    client.key(Pb::ZUGUI_ABORT);
    client.answerDialog('Y');
    QCOMPARE(client.last(&Pb::UIEnvelope::has_keyboard_mode)->keyboard_mode().mode(), 0);
    QCOMPARE(stored(100010).lastName, QStringLiteral("Smith-Jones"));
    // Without changes it leaves at once.
    client.key('U');
    client.sent.clear();
    client.key(Pb::ZUGUI_ABORT);
    QVERIFY(!client.last(&Pb::UIEnvelope::has_dialog));
    QCOMPARE(client.last(&Pb::UIEnvelope::has_keyboard_mode)->keyboard_mode().mode(), 0);
}

void TestClassicApp::validation_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("name missing") << QByteArray("last_name") << QByteArray("  ")
                                  << QByteArray("Last Name is required.");
    QTest::newRow("name too long") << QByteArray("first_name") << QByteArray(21, 'x')
                                   << QByteArray("First Name has at most 20 characters.");
    QTest::newRow("no date") << QByteArray("birth_date") << QByteArray("13/45/2000")
                             << QByteArray("Birth Date is a date like 07/31/2004.");
    QTest::newRow("born tomorrow") << QByteArray("birth_date")
                                   << QDate::currentDate().addDays(1).toString("MM/dd/yyyy").toLatin1()
                                   << QByteArray("Birth Date must lie between 1900 and today.");
    QTest::newRow("unknown programme") << QByteArray("programme") << QByteArray("XYZ")
                                       << QByteArray("There is no programme \"XYZ\"; \xFE"
                                                     "2003 lists them.");
    QTest::newRow("negative fees") << QByteArray("fees") << QByteArray("-5")
                                   << QByteArray("Fees Due is an amount like 1250.00, at most 99999.99.");
    QTest::newRow("three decimals") << QByteArray("fees") << QByteArray("1.005")
                                    << QByteArray("Fees Due is an amount like 1250.00, at most 99999.99.");
    QTest::newRow("credits") << QByteArray("credits") << QByteArray("1000")
                             << QByteArray("Credits is a whole number from 0 to 999.");
    QTest::newRow("active") << QByteArray("active") << QByteArray("maybe") << QByteArray("Active is Y or N.");
}

void TestClassicApp::validation()
{
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, message);
    ClientDouble client;
    const auto app = running(client, 100020);
    const Student before = stored(100020);
    client.key('U');
    client.focusTo(field.constData());
    client.sent.clear();
    client.key(Pb::ZUGUI_DONE, nullptr, text);
    QCOMPARE(client.error(), message + " Correct it and press " + F9Marker + "again.");
    QCOMPARE(client.focused(), field);
    QVERIFY(!client.last(&Pb::UIEnvelope::has_dialog));
    QCOMPARE(client.commands().first(), QStringLiteral("beep"));
    QCOMPARE(stored(100020).lastName, before.lastName);
}

void TestClassicApp::addWithProgrammeLookup()
{
    ClientDouble client;
    const auto app = running(client, 0);
    client.key('A');
    QCOMPARE(client.putData("active"), QByteArray("Y"));
    QCOMPARE(client.putData("enrolled"), QDate::currentDate().toString("MM/dd/yyyy").toLatin1());
    client.key(Pb::ZUGUI_ENTER, "last_name", QByteArray("Doe"));
    client.key(Pb::ZUGUI_ENTER, "first_name", QByteArray("Zo\xEB"));
    client.key(Pb::ZUGUI_ENTER, "birth_date", QByteArray("7/4/2001"));
    client.key(Pb::ZUGUI_ENTER, "enrolled", QByteArray("09/01/2023"));
    QCOMPARE(client.focused(), QByteArray("programme"));
    client.sent.clear();
    client.key(Pb::ZUGUI_TABLE); // F6 on the ring menu
    QCOMPARE(client.commands(), QStringList({ "set_focus", "table_lookup" }));
    const Pb::TableLookup &table = client.sent.last().table_lookup();
    QCOMPARE(table.item_size(), 6);
    QCOMPARE(table.item(0), "ARTS\tFine Arts");
    client.answerTable("NURS");
    QCOMPARE(client.putData("programme"), QByteArray("NURS"));
    QCOMPARE(client.putData("programme_title"), QByteArray("Nursing"));
    QCOMPARE(client.focused(), QByteArray("credits"));

    client.key(Pb::ZUGUI_DONE);
    QCOMPARE(QByteArray::fromStdString(client.last(&Pb::UIEnvelope::has_dialog)->dialog().prompt()),
             QByteArray("Save Zo\xEB Doe as a new student?"));
    client.answerDialog('Y');
    const Student added = stored(100065);
    QCOMPARE(added.lastName, QStringLiteral("Doe"));
    QCOMPARE(added.firstName, QString::fromLatin1("Zo\xEB"));
    QCOMPARE(added.birthDate, QDate(2001, 7, 4));
    QCOMPARE(added.enrolled, QDate(2023, 9, 1));
    QCOMPARE(added.programme, QStringLiteral("NURS"));
    QVERIFY(added.active);
    QCOMPARE(client.putData("student_no"), QByteArray("100065"));
    QCOMPARE(client.last(&Pb::UIEnvelope::has_row_count)->row_count().current(), 65);
}

void TestClassicApp::resultGridSortAndPause()
{
    ClientDouble client;
    const auto app = running(client, 0);
    // Options > Result list: position 9 in the menu, level 1.
    client.menu(8);
    const Pb::GridLookup &grid = client.last(&Pb::UIEnvelope::has_grid_lookup)->grid_lookup();
    QCOMPARE(grid.row_size(), 64);
    QCOMPARE(grid.column_size(), 7);
    QCOMPARE(grid.column(0).type(), Pb::INTEGER);
    QCOMPARE(grid.column(4).type(), Pb::DATE);
    QCOMPARE(grid.column(5).type(), Pb::FLOAT);
    QCOMPARE(grid.row(5).index(), 5);
    QCOMPARE(grid.row(5).item(0), "100006");
    client.answerGrid(5);
    QCOMPARE(client.putData("student_no"), QByteArray("100006"));
    // The form bar's result-set button opens it too; cancelling changes nothing.
    client.key('S');
    QVERIFY(client.last(&Pb::UIEnvelope::has_grid_lookup));
    client.answerGrid(std::nullopt);
    QCOMPARE(client.putData("student_no"), QByteArray("100006"));

    client.menu(9); // Sort order
    const Pb::Dialog &selector = client.last(&Pb::UIEnvelope::has_dialog)->dialog();
    QCOMPARE(selector.type(), 2);
    QVERIFY(selector.allow_cancel());
    QCOMPARE(selector.default_choice(), int('N'));
    client.answerDialog('L');
    QCOMPARE(client.putData("student_no"), QByteArray("100006")); // still the same student
    client.menu(8);
    const Pb::GridLookup &sorted = client.last(&Pb::UIEnvelope::has_grid_lookup)->grid_lookup();
    for (int i = 1; i < sorted.row_size(); ++i)
        QVERIFY(QString::fromLatin1(sorted.row(i - 1).item(1).c_str())
                    .compare(QString::fromLatin1(sorted.row(i).item(1).c_str()), Qt::CaseInsensitive)
                <= 0);
    client.answerGrid(std::nullopt);
    client.menu(9);
    client.answerDialog(Pb::ZUGUI_ABORT); // cancelled: the order stays

    client.menu(10); // Fee summary
    QVERIFY(QByteArray::fromStdString(client.last(&Pb::UIEnvelope::has_pause)->pause().message())
                .startsWith("64 students, "));
    client.sent.clear();
    client.key('x'); // any key ends a pause; the mode again says where input goes
    QCOMPARE(client.commands(), QStringList({ "set_status", "keyboard_mode" }));
    client.key('N'); // and keys mean commands again
    QVERIFY(client.last(&Pb::UIEnvelope::has_row_count));
}

void TestClassicApp::gradesScreen()
{
    ClientDouble client;
    const auto app = running(client, 100001);
    client.key('G');
    QCOMPARE(client.screen, GradesScreen);
    QCOMPARE(QByteArray::fromStdString(client.last(&Pb::UIEnvelope::has_load_screen)->load_screen().screen()),
             ClassicScreens::document(QStringLiteral("grades")));
    QCOMPARE(client.putData("student_no"), QByteArray("100001"));
    StudentDatabase db;
    QString error;
    QVERIFY(db.open(ClassicApp::databasePath(context()), &error));
    const QVector<Enrolment> courses = db.enrolments(100001);
    QVERIFY(courses.size() >= 4);
    QCOMPARE(client.putData("course_code"), courses.first().courseCode.toLatin1());

    client.key('C');
    const Pb::GridLookup &grid = client.last(&Pb::UIEnvelope::has_grid_lookup)->grid_lookup();
    QCOMPARE(grid.row_size(), courses.size());
    QVERIFY(grid.column(6).is_hidden());
    client.answerGrid(1);
    QCOMPARE(client.putData("course_code"), courses.at(1).courseCode.toLatin1());

    client.key('R');
    QCOMPARE(client.focused(), QByteArray("grade"));
    client.key(Pb::ZUGUI_ENTER, "grade", QByteArray("b+"));
    QCOMPARE(client.focused(), QByteArray("completed"));
    client.key(Pb::ZUGUI_DONE, nullptr, QByteArray("12/15/2020"));
    QVERIFY(QByteArray::fromStdString(client.last(&Pb::UIEnvelope::has_dialog)->dialog().prompt())
                .startsWith("Record grade B+ for " + courses.at(1).courseCode.toLatin1()));
    client.answerDialog('Y');
    const Enrolment updated = db.enrolments(100001).at(1);
    QCOMPARE(updated.grade, QStringLiteral("B+"));
    QCOMPARE(updated.completed, QDate(2020, 12, 15));
    QCOMPARE(client.putData("passed"), QByteArray("Y"));

    client.key('T');
    QVERIFY(client.last(&Pb::UIEnvelope::has_pause));
    client.key(' ');
    client.key(Pb::ZUGUI_ABORT); // the alias of Back
    QCOMPARE(client.screen, StudentScreen);
    QCOMPARE(client.putData("student_no"), QByteArray("100001"));
}

void TestClassicApp::misbehavingClient_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("logged");

    const auto envelope = [](const std::function<void(Pb::UIEnvelope *)> &fill, quint32 window = 1) {
        Pb::UIEnvelope message;
        message.set_window_id(window);
        fill(&message);
        return QByteArray::fromStdString(message.SerializeAsString());
    };
    QTest::newRow("unreadable") << QByteArray("\xff\xff\xff") << int(QtWarningMsg)
                                << "unreadable message from the client \\(3 bytes\\) ignored";
    QTest::newRow("unknown window") << envelope(
        [](Pb::UIEnvelope *m) { m->mutable_generic_response()->set_key_code('Q'); },
        7) << int(QtWarningMsg) << "\"generic_response\" for unknown window 7 ignored";
    QTest::newRow("dialog answer without dialog")
        << envelope([](Pb::UIEnvelope *m) { m->mutable_dialog_response()->set_response('Y'); })
        << int(QtInfoMsg) << "dialog answer 89 without a dialog ignored";
    QTest::newRow("table answer without lookup")
        << envelope([](Pb::UIEnvelope *m) { m->mutable_table_lookup_response()->set_value("ARTS"); })
        << int(QtInfoMsg) << "table lookup answer without a lookup ignored";
    QTest::newRow("grid answer without lookup")
        << envelope([](Pb::UIEnvelope *m) { m->mutable_grid_lookup_response()->set_value(3); })
        << int(QtInfoMsg) << "grid lookup answer without a lookup ignored";
    QTest::newRow("server command from the client")
        << envelope([](Pb::UIEnvelope *m) { m->mutable_load_screen()->set_screen_id(1); })
        << int(QtWarningMsg) << "no handler for the client's \"load_screen\"";
    QTest::newRow("second handshake")
        << envelope([](Pb::UIEnvelope *m) { m->mutable_handshake()->set_ui_version("x"); }) << int(QtInfoMsg)
        << "repeated handshake ignored";
}

void TestClassicApp::misbehavingClient()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, level);
    QFETCH(QString, logged);
    ClientDouble client;
    const auto app = running(client);
    QTest::ignoreMessage(QtMsgType(level), QRegularExpression(logged));
    client.deliverRaw(bytes);
    QCOMPARE(client.commands(), QStringList());
    // The application goes on as before.
    client.key(Pb::ZUGUI_DONE, "student_no", QByteArray("100003"));
    QCOMPARE(client.putData("student_no"), QByteArray("100003"));
    QCOMPARE(app->state(), ClassicApp::State::Running);
}

void TestClassicApp::keyWhileAnOverlayWasNeverShown()
{
    ClientDouble client;
    const auto app = running(client, 100030);
    const QString notes = stored(100030).notes;
    // Data for a field that is not editable is not taken.
    client.key('U', "notes", QByteArray("sneaked in"));
    client.key(Pb::ZUGUI_DONE);
    client.answerDialog('Y');
    QCOMPARE(stored(100030).notes, notes);

    client.key('U');
    client.key(Pb::ZUGUI_DONE);
    QVERIFY(client.last(&Pb::UIEnvelope::has_dialog));
    client.sent.clear();
    // A key instead of the answer: the client did not show the dialog, so it is closed and the
    // key (Cancel) counts.
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression("a key arrived while a dialog was awaited"));
    client.key(Pb::ZUGUI_ABORT);
    QCOMPARE(client.commands().first(), QStringLiteral("end_dialog"));
    QCOMPARE(client.last(&Pb::UIEnvelope::has_keyboard_mode)->keyboard_mode().mode(), 0);
}

void TestClassicApp::exitEndsTheApplication()
{
    ClientDouble client;
    const auto app = running(client, 0);
    QSignalSpy finished(app.get(), &DemoApplication::finished);
    client.key('E');
    QCOMPARE(finished.count(), 1);
    QCOMPARE(app->state(), ClassicApp::State::Finished);
    client.sent.clear();
    client.key('Q');
    QCOMPARE(client.commands(), QStringList());
}

void TestClassicApp::silentClientIsGivenUp()
{
    ClientDouble client;
    ClassicApp app(&client, context());
    app.setHandshakeTimeout(50);
    QSignalSpy finished(&app, &DemoApplication::finished);
    QString error;
    QVERIFY(app.start(&error));
    // A key is no answer to the handshake.
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("\"generic_response\" before the handshake ignored"));
    client.key('Q');
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the client did not answer the handshake; ending"));
    QVERIFY(finished.wait(5000));
    QCOMPARE(app.state(), ClassicApp::State::Finished);
    QCOMPARE(client.commands(), QStringList { "handshake" });
}

void TestClassicApp::unusableDatabase_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("not a database") << QByteArray(4096, 'x') << "is not a database";
    QTest::newRow("a newer schema") << QByteArray() << "has schema version 99";
}

void TestClassicApp::unusableDatabase()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    const QString path = m_data->filePath(QStringLiteral("other.sqlite"));
    if (content.isEmpty()) {
        StudentDatabase db;
        QString error;
        QVERIFY(db.open(path, &error));
        QVERIFY(setUserVersion(path, 99));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    ClientDouble client;
    DemoAppContext withOption = context();
    withOption.options.insert(QStringLiteral("database"), QStringLiteral("other.sqlite"));
    ClassicApp app(&client, withOption);
    QString error;
    QVERIFY(!app.start(&error));
    QVERIFY2(error.contains(message), qPrintable(error));
    QCOMPARE(client.commands(), QStringList());
}

void TestClassicApp::identityCard()
{
    ClientDouble client;
    const auto app = running(client, 0);
    client.key('N');
    QVERIFY(client.putOf("student_no")->attribute_mask() & ClassicForm::IdField);
    QCOMPARE(client.putOf("notes")->data_type(), ClassicForm::Blob);

    StudentDatabase db;
    QString error;
    QVERIFY(db.open(ClassicApp::databasePath(context()), &error));
    // A student with a relative who holds two categories, and one with a sponsor.
    int withCategories = 0;
    int withSponsor = 0;
    for (int number = SampleData::FirstStudentNumber; number < SampleData::FirstStudentNumber + 64;
         ++number) {
        for (const PermittedPerson &person : db.permittedPersons(number)) {
            if (person.categories.size() == 2 && !withCategories)
                withCategories = number;
            if (person.relation == "Sponsor" && !withSponsor)
                withSponsor = number;
        }
    }
    QVERIFY(withCategories && withSponsor);

    for (int number : { withCategories, withSponsor }) {
        client.sent.clear();
        // The number shown in the field is what the client reports with the request.
        client.key(0, "student_no", QByteArray::number(number), Pb::GenericResponse::ZUGUI_DO_IDSEC);
        const Pb::UIEnvelope *sent = client.last(&Pb::UIEnvelope::has_id_sec);
        QVERIFY(sent);
        const Pb::IdSec &card = sent->id_sec();
        const Student student = stored(number);
        QCOMPARE(QString::fromLatin1(card.title().c_str()),
                 QString("%1 (%2)").arg(student.fullName()).arg(number));
        const QImage picture = QImage::fromData(QByteArray::fromStdString(card.image()));
        QCOMPARE(picture.size(), QSize(IdPicture::Width, IdPicture::Height));
        const QVector<PermittedPerson> persons = db.permittedPersons(number);
        QCOMPARE(card.permitted_person_size(), persons.size());
        for (int i = 0; i < persons.size(); ++i) {
            const Pb::IdSec::PermittedPerson &person = card.permitted_person(i);
            QCOMPARE(QString::fromLatin1(person.name().c_str()), persons.at(i).name);
            QCOMPARE(person.has_relation(), !persons.at(i).relation.isNull());
            QCOMPARE(person.category_size(), persons.at(i).categories.size());
            for (int c = 0; c < person.category_size(); ++c)
                QCOMPARE(person.category(c).permission_size(),
                         persons.at(i).categories.at(c).permissions.size());
        }
        // Only looked at: nothing awaits an answer, so keys go on working.
        client.key('N');
        QVERIFY(client.error().isEmpty());
    }

    client.sent.clear();
    client.key(0, "student_no", QByteArray("999999"), Pb::GenericResponse::ZUGUI_DO_IDSEC);
    QVERIFY(!client.last(&Pb::UIEnvelope::has_id_sec));
    QCOMPARE(client.error(), QByteArray("There is no student 999999."));
}

void TestClassicApp::notesAsATextBlock()
{
    const auto pressNotes = [](ClientDouble &client) {
        client.sent.clear();
        client.key(0, "notes", std::nullopt, Pb::GenericResponse::ZUGUI_BUTTON_PRESSED);
        const Pb::UIEnvelope *sent = client.last(&Pb::UIEnvelope::has_edit_blob);
        return sent ? std::optional<Pb::EditBlob>(sent->edit_blob()) : std::nullopt;
    };
    ClientDouble client;
    const auto app = running(client, 100003);
    QVERIFY(stored(100003).active);

    // Browse: saved at once, the field shows the first line.
    std::optional<Pb::EditBlob> blob = pressNotes(client);
    QVERIFY(blob);
    QVERIFY(!blob->readonly());
    QCOMPARE(QString::fromLatin1(blob->blob().c_str()), stored(100003).notes);
    QCOMPARE(blob->field_id().field_name(), std::string("notes"));
    client.answerBlob(QByteArray("Needs a laptop\nFrom the library"));
    QCOMPARE(stored(100003).notes, QString("Needs a laptop\nFrom the library"));
    QCOMPARE(client.putData("notes"), QByteArray("Needs a laptop ..."));

    // Cancelled, or too long: nothing changes.
    QVERIFY(pressNotes(client));
    client.answerBlob(std::nullopt);
    QVERIFY(pressNotes(client));
    client.answerBlob(QByteArray(StudentDatabase::MaxNotesLength + 1, 'x'));
    QVERIFY(client.error().startsWith("Notes have at most 2000 characters"));
    QCOMPARE(stored(100003).notes, QString("Needs a laptop\nFrom the library"));

    // Update: the notes go with the record, after the confirmation.
    client.key('U');
    QVERIFY(pressNotes(client));
    client.answerBlob(QByteArray("Draft"));
    QCOMPARE(stored(100003).notes, QString("Needs a laptop\nFrom the library"));
    client.key(Pb::ZUGUI_DONE);
    client.answerDialog('Y');
    QCOMPARE(stored(100003).notes, QString("Draft"));

    // An inactive student's notes are read only; text sent back anyway is not taken.
    client.key('Q');
    client.key(Pb::ZUGUI_DONE, "active", QByteArray("N"));
    const int inactive = client.putData("student_no")->toInt();
    QVERIFY(!stored(inactive).active);
    blob = pressNotes(client);
    QVERIFY(blob && blob->readonly());
    const QString before = stored(inactive).notes;
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression("text sent back from a read-only text block ignored"));
    client.answerBlob(QByteArray("overwritten"));
    QCOMPARE(stored(inactive).notes, before);
}

void TestClassicApp::versionOneFileGetsIdentities()
{
    const QString path = ClassicApp::databasePath(context());
    {
        StudentDatabase db;
        QString error;
        QVERIFY(db.open(path, &error));
    }
    // Back to what a hub of version 1 left: no picture or permitted-person tables.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("downgrade"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        for (const char *table : { "pictures", "permitted_persons", "permit_categories" })
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("DROP TABLE %1").arg(QLatin1String(table))));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("downgrade"));
    QVERIFY(setUserVersion(path, 1));

    StudentDatabase db;
    QString error;
    QVERIFY2(db.open(path, &error), qPrintable(error));
    int persons = 0;
    for (int number = SampleData::FirstStudentNumber; number < SampleData::FirstStudentNumber + 64;
         ++number) {
        QVERIFY(!QImage::fromData(db.picture(number)).isNull());
        persons += db.permittedPersons(number).size();
    }
    QVERIFY(persons > 0);
}

QTEST_GUILESS_MAIN(TestClassicApp)
#include "tst_classicapp.moc"

#include "dicteditapp.h"

#include "applink.h"
#include "classicapp.h"
#include "devhubversion.h"
#include "librarydatabase.h"
#include "studentdatabase.h"

#include "latin1.h"

#include "dictedit.pb.h"

#include <QDebug>
#include <QDir>

namespace {

constexpr char DefaultLibraryFile[] = "dictedit/library.sqlite";

} // namespace

DictEditApp::DictEditApp(AppLink *link, const DemoAppContext &context, QObject *parent)
    : DemoApplication(link, context, parent)
    , m_dispatcher(this, QtDebugMsg, "No 'dictedit' message handler found for")
    , m_store(dataPath("file", QLatin1String(DefaultFile)))
    , m_tester(context.options.value(QLatin1String("maxRows")).toInt(QueryTester::DefaultMaxRows),
               context.options.value(QLatin1String("timeLimitMs")).toInt(QueryTester::DefaultTimeLimitMs))
    , m_dictionary(
          context.options.value(QLatin1String("dictionary")).toString(QLatin1String(DefaultDictionary)))
{ }

QString DictEditApp::kind() const
{
    return QLatin1String(Kind);
}

QString DictEditApp::dataPath(const char *option, const QString &fallback) const
{
    const QString value = context().options.value(QLatin1String(option)).toString();
    const QString file = value.isEmpty() ? fallback : value;
    if (QDir::isAbsolutePath(file))
        return QDir::cleanPath(file);
    return context().dataDir.isEmpty() ? QString() : QDir(context().dataDir).absoluteFilePath(file);
}

bool DictEditApp::start(QString *error)
{
    if (m_state != State::Idle) {
        *error = QStringLiteral("the dictionary editor was already started");
        return false;
    }
    if (m_store.path().isEmpty()) {
        *error = QStringLiteral("the dictionary editor has no data directory for its files");
        return false;
    }
    if (!prepareDatabases(error))
        return false;
    dictedit::Envelope begin;
    dictedit::BeginDictionaryEdit *edit = begin.mutable_begin_edit();
    if (!m_store.load(m_dictionary, edit, error))
        return false;
    for (const dictedit::DataSource &source : edit->dictionary_sources()) {
        if (source.type() == dictedit::DataSource::COMMAND)
            m_commands.insert(Latin1::toQString(source.source_string()));
    }
    for (const char *name : { StudentDatabaseName, LibraryDatabaseName })
        edit->add_databases(name);
    edit->set_default_database(StudentDatabaseName);

    qInfo().noquote() << QStringLiteral("dictedit (%1): \"%2\" of %3 for \"%4\"")
                             .arg(where(), m_dictionary, m_store.path(), context().userName);
    setState(State::Editing);
    dictedit::Envelope hello;
    hello.mutable_handshake()->set_ui_version(DevHubVersion);
    hello.mutable_handshake()->set_type(dictedit::Handshake::DICTEDIT);
    send(hello);
    send(begin);
    return true;
}

bool DictEditApp::prepareDatabases(QString *error)
{
    const QString students = dataPath("studentDatabase", QLatin1String(ClassicApp::DefaultDatabase));
    const QString library = dataPath("libraryDatabase", QLatin1String(DefaultLibraryFile));
    // Opening makes a missing file with its sample data; tests then read it read-only.
    StudentDatabase studentDatabase;
    if (!studentDatabase.open(students, error) || !LibraryDatabase::ensure(library, error))
        return false;
    m_databases.insert(QLatin1String(StudentDatabaseName), students);
    m_databases.insert(QLatin1String(LibraryDatabaseName), library);
    return true;
}

void DictEditApp::stop()
{
    setState(State::Finished);
}

void DictEditApp::setState(State state)
{
    if (m_state == state || m_state == State::Finished)
        return;
    m_state = state;
    if (state == State::Finished)
        finish();
}

void DictEditApp::processMessage(const QByteArray &message)
{
    dictedit::Envelope envelope;
    if (!envelope.ParseFromArray(message.constData(), message.size())) {
        qWarning().noquote() << QStringLiteral(
                                    "dictedit (%1): unreadable message from the client (%2 bytes) ignored")
                                    .arg(where())
                                    .arg(message.size());
        return;
    }
    m_dispatcher.dispatch(envelope);
}

void DictEditApp::mh_handshake(const google::protobuf::Message &msg)
{
    const auto &handshake = static_cast<const dictedit::Handshake &>(msg);
    qDebug().noquote() << QStringLiteral("dictedit (%1): client page version %2")
                              .arg(where(), Latin1::toQString(handshake.ui_version()));
}

void DictEditApp::mh_edit_complete(const google::protobuf::Message &msg)
{
    const auto &edit = static_cast<const dictedit::EditComplete &>(msg);
    if (m_state != State::Editing)
        return;
    if (edit.mode() == dictedit::EditComplete::CANCEL) {
        qInfo().noquote()
            << QStringLiteral("dictedit (%1): cancelled, %2 left as it was").arg(where(), m_store.path());
        setState(State::Finished);
        return;
    }
    QString error;
    if (!m_store.save(m_dictionary, edit, &error)) {
        qWarning().noquote() << QStringLiteral("dictedit (%1): not saved: %2").arg(where(), error);
        answerTest(false, QStringLiteral("The dictionary was not saved: %1").arg(error));
        return;
    }
    qInfo().noquote() << QStringLiteral("dictedit (%1): saved \"%2\" with %3 changeable data sources to %4")
                             .arg(where(), m_dictionary)
                             .arg(edit.mutable_sources_size())
                             .arg(m_store.path());
    setState(State::Finished);
}

void DictEditApp::mh_test_query(const google::protobuf::Message &msg)
{
    const auto &test = static_cast<const dictedit::TestQuery &>(msg);
    if (m_state != State::Editing)
        return;
    const QString sql = Latin1::toQString(test.query());
    const QString database = Latin1::toQString(test.database());
    if (m_commands.contains(sql)) {
        answerTest(
            false,
            QStringLiteral("This is a command. The demo hub never runs commands; it tests SQL queries."));
        return;
    }
    if (sql.trimmed().isEmpty()) {
        answerTest(false, QStringLiteral("The query is empty."));
        return;
    }
    if (!m_databases.contains(database)) {
        answerTest(false,
                   database.isEmpty() ? QStringLiteral("Choose a database for the query.")
                                      : QStringLiteral("There is no database named \"%1\"; there are: %2.")
                                            .arg(database, m_databases.keys().join(QLatin1String(", "))));
        return;
    }
    // A name used twice arrives twice; its first value counts.
    QHash<QString, QString> values;
    for (const dictedit::TestQuery::Pair &pair : test.values()) {
        const QString key = Latin1::toQString(pair.key());
        if (!values.contains(key))
            values.insert(key, Latin1::toQString(pair.val()));
    }
    const QueryTester::Outcome outcome = m_tester.run(m_databases.value(database), sql, values);
    qInfo().noquote() << QStringLiteral("dictedit (%1): query test against %2 %3")
                             .arg(where(), database,
                                  outcome.success ? QLatin1String("ran") : QLatin1String("failed"));
    answerTest(outcome.success, outcome.text);
}

void DictEditApp::answerTest(bool success, const QString &text)
{
    dictedit::Envelope envelope;
    dictedit::TestQueryResponse *response = envelope.mutable_test_query_response();
    response->set_success(success);
    if (success)
        response->set_result(Latin1::fromQString(text));
    else
        response->set_error(Latin1::fromQString(text));
    send(envelope);
}

QString DictEditApp::where() const
{
    return link() ? link()->description() : QStringLiteral("closed link");
}

#include "applink.h"
#include "dicteditapp.h"

#include "dictedit.pb.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using dictedit::DataSource;

namespace {

// Plays the client's page: records what the application sends, delivers the page's messages.
class PageDouble : public AppLink
{
public:
    QList<dictedit::Envelope> sent;

    void sendMessage(const QByteArray &message) override
    {
        dictedit::Envelope envelope;
        QVERIFY(envelope.ParseFromArray(message.constData(), message.size()));
        sent.append(envelope);
    }
    void close() override { }
    bool isCongested() const override { return false; }
    QString description() const override { return QStringLiteral("test link"); }

    void deliver(const dictedit::Envelope &envelope)
    {
        emit messageReceived(QByteArray::fromStdString(envelope.SerializeAsString()));
    }
};

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The stand-in hub's dictionary editor against a page double: what begin_edit offers, query tests
// against the sample databases, and save or cancel ending the application.
class tst_DictEditApp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tests_data();
    void tests();
    void editComplete_data();
    void editComplete();

private:
    QString file() const { return m_data->filePath("dictedit/dictionaries.json"); }

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<PageDouble> m_page;
    std::unique_ptr<DictEditApp> m_app;
};

void tst_DictEditApp::init()
{
    m_data = std::make_unique<QTemporaryDir>();
    m_page = std::make_unique<PageDouble>();
    DemoAppContext context;
    context.userName = QStringLiteral("demo");
    context.dataDir = m_data->path();
    m_app = std::make_unique<DictEditApp>(m_page.get(), context);
    QString error;
    QVERIFY2(m_app->start(&error), qPrintable(error));
    QCOMPARE(m_app->state(), DictEditApp::State::Editing);
}

void tst_DictEditApp::cleanup()
{
    m_app.reset();
    m_page.reset();
}

void tst_DictEditApp::tests_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QStringList>("pairs");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("contains");

    QTest::newRow("students") << "SELECT first_name FROM students WHERE student_no = @@StudentNo"
                              << "students" << QStringList { "StudentNo", "100001" } << true << "(1 row)";
    QTest::newRow("library") << "SELECT COUNT(*) AS loans FROM loans WHERE student_no = @@StudentNo"
                             << "library" << QStringList { "StudentNo", "100001" } << true << "(1 row)";
    QTest::newRow("a name sent twice: its first value")
        << "SELECT @@A = @@A AS same"
        << "students" << QStringList { "A", "1", "A", "1" } << true << "1";
    QTest::newRow("command") << "feesexp --student @@StudentNo --out /exports"
                             << "students" << QStringList { "StudentNo", "1" } << false
                             << "never runs commands";
    QTest::newRow("no database") << "SELECT 1"
                                 << "" << QStringList {} << false << "Choose a database for the query.";
    QTest::newRow("unknown database")
        << "SELECT 1"
        << "payroll" << QStringList {} << false
        << "There is no database named \"payroll\"; there are: library, students.";
    QTest::newRow("empty query") << " "
                                 << "students" << QStringList {} << false << "The query is empty.";
}

void tst_DictEditApp::tests()
{
    QFETCH(QString, query);
    QFETCH(QString, database);
    QFETCH(QStringList, pairs);
    QFETCH(bool, success);
    QFETCH(QString, contains);
    dictedit::Envelope envelope;
    dictedit::TestQuery *test = envelope.mutable_test_query();
    test->set_query(query.toStdString());
    test->set_database(database.toStdString());
    for (int i = 0; i + 1 < pairs.size(); i += 2) {
        dictedit::TestQuery::Pair *pair = test->add_values();
        pair->set_key(pairs.at(i).toStdString());
        pair->set_val(pairs.at(i + 1).toStdString());
    }
    m_page->deliver(envelope);
    QCOMPARE(m_page->sent.size(), 3);
    const dictedit::TestQueryResponse &response = m_page->sent.constLast().test_query_response();
    const QString text = QString::fromStdString(success ? response.result() : response.error());
    QCOMPARE(response.success(), success);
    QVERIFY2(text.contains(contains), qPrintable(text));
    QCOMPARE(m_app->state(), DictEditApp::State::Editing);
}

void tst_DictEditApp::editComplete_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fileChanged");
    QTest::addColumn<bool>("finished");

    QTest::newRow("cancel") << int(dictedit::EditComplete::CANCEL) << "New" << false << true;
    QTest::newRow("save") << int(dictedit::EditComplete::SAVE) << "New" << true << true;
    QTest::newRow("refused save") << int(dictedit::EditComplete::SAVE) << "CollegeName" << false << false;
}

void tst_DictEditApp::editComplete()
{
    QFETCH(int, mode);
    QFETCH(QString, name);
    QFETCH(bool, fileChanged);
    QFETCH(bool, finished);
    const QByteArray before = contents(file());
    QSignalSpy ended(m_app.get(), &DemoApplication::finished);
    dictedit::Envelope envelope;
    dictedit::EditComplete *edit = envelope.mutable_edit_complete();
    edit->set_mode(dictedit::EditComplete::Mode(mode));
    edit->set_dict_desc("Changed");
    DataSource *source = edit->add_mutable_sources();
    source->set_name(name.toStdString());
    source->set_type(DataSource::STRING);
    source->set_is_mutable(true);
    m_page->deliver(envelope);

    QCOMPARE(contents(file()) != before, fileChanged);
    QCOMPARE(ended.size(), finished ? 1 : 0);
    if (fileChanged)
        QVERIFY(contents(file()).contains("\"New\""));
    if (!finished) {
        // The user learns why, and the editor stays open with the edits.
        QCOMPARE(m_page->sent.size(), 3);
        QCOMPARE(QString::fromStdString(m_page->sent.constLast().test_query_response().error()),
                 QString("The dictionary was not saved: the name \"CollegeName\" is used twice"));
    }
}

QTEST_GUILESS_MAIN(tst_DictEditApp)
#include "tst_dicteditapp.moc"

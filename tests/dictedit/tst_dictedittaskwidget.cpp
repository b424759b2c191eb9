// The dictionary page's side of the dictedit protocol against a recording transport, and one
// editing session with the stand-in hub's dictionary application through the main window's debug
// listener.
#include "dictedit/dictedittaskwidget.h"
#include "dictedit/dictedittestdialog.h"
#include "menu/mainconnection.h"
#include "shell/mainwindow.h"
#include "shell/taskmanager.h"

#include "modaldriver.h"
#include "recordingtransport.h"
#include "shownplaintext.h"
#include "testenvironment.h"

#include "dictedit.pb.h"
#include "testpaths.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <memory>

using dictedit::DataSource;

namespace {

DataSource source(const char *name, DataSource::Type type, bool isMutable, const char *definition = "",
                  const char *database = nullptr)
{
    DataSource result;
    result.set_name(name);
    result.set_description(std::string("about ") + name);
    result.set_type(type);
    result.set_scope(DataSource::RECORD);
    result.set_source_string(definition);
    if (database)
        result.set_database(database);
    result.set_is_mutable(isMutable);
    return result;
}

dictedit::Envelope beginEdit(const QList<DataSource> &sources)
{
    dictedit::Envelope envelope;
    dictedit::BeginDictionaryEdit *begin = envelope.mutable_begin_edit();
    for (const DataSource &entry : sources)
        *begin->add_dictionary_sources() = entry;
    begin->add_databases("students");
    begin->add_databases("library");
    begin->set_default_database("students");
    begin->set_dict_name("Letters");
    begin->set_dict_desc("For letters");
    return envelope;
}

QStringList comboItems(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

} // namespace

class tst_DictEditTaskWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void handshakeFirst();
    void emptyDictionaryDisablesTheEditor();
    void sourcesAreSortedByName();
    void addingNames_data();
    void addingNames();
    void editsAreKeptAcrossSwitching();
    void queryBecomingStringLosesItsDatabase();
    void removingTheLastSourceDisablesTheEditor();
    void nothingIsSavedBeforeTheDictionaryArrives();
    void cancelSendsOnlyTheMode();
    void closeAsksOnlyAfterEdits_data();
    void closeAsksOnlyAfterEdits();
    void testDialog_data();
    void testDialog();
    void queryWithoutReferencesIsSentAtOnce();
    void bareMarkerStopsTheTest();
    void testResponse_data();
    void testResponse();
    void highlighting_data();
    void highlighting();
    void editingWithTheStandInHub();

private:
    template<class T>
    T *child(const char *name) const
    {
        T *widget = m_page->findChild<T *>(QLatin1String(name));
        Q_ASSERT(widget);
        return widget;
    }
    QList<dictedit::Envelope> sent() const { return m_transport->envelopes<dictedit::Envelope>(); }
    void chooseSource(const QString &name) { child<QComboBox>("dataSourceName")->setCurrentText(name); }

    std::unique_ptr<TestEnvironment> m_environment;
    RecordingTransport *m_transport = nullptr;
    std::unique_ptr<DictEditTaskWidget> m_page;
};

void tst_DictEditTaskWidget::init()
{
    m_environment = std::make_unique<TestEnvironment>();
    m_transport = new RecordingTransport;
    dictedit::Envelope hello;
    hello.mutable_handshake()->set_type(dictedit::Handshake::DICTEDIT);
    m_transport->deliver(hello);
    QCOMPARE(m_transport->appType(), AppTranceiver::DictEdit);
    m_page = std::make_unique<DictEditTaskWidget>(m_transport);
    QCOMPARE(m_transport->parent(), m_page.get());
}

void tst_DictEditTaskWidget::cleanup()
{
    m_page.reset();
    m_environment.reset();
}

void tst_DictEditTaskWidget::handshakeFirst()
{
    QCOMPARE(sent().size(), 1);
    const dictedit::Handshake handshake = sent().at(0).handshake();
    QCOMPARE(handshake.ui_version(), "1.9.0-143");
    QCOMPARE(handshake.type(), dictedit::Handshake::DICTEDIT);
    QVERIFY(!handshake.has_is_menuopt());
    QCOMPARE(m_page->title(), QString("Data Dictionary Editor"));
    QCOMPARE(m_page->shortName(), QString("DE"));

    QTest::ignoreMessage(QtWarningMsg, "DictEditTaskWidget::processRawMessage() - Unable to parse envelope");
    m_transport->deliver(QByteArray("\xff\xff\xff", 3));
    QSignalSpy gone(m_page.get(), &DictEditTaskWidget::disconnected);
    m_transport->hangUp();
    QCOMPARE(gone.size(), 1);
}

void tst_DictEditTaskWidget::emptyDictionaryDisablesTheEditor()
{
    m_transport->deliver(beginEdit({}));
    for (const char *name : { "descriptionEdit", "cacheMode", "sourceType", "removeButton", "databaseLabel",
                              "database", "dataDefinitionEdit" })
        QVERIFY2(!child<QWidget>(name)->isEnabled(), name);
    QVERIFY(child<QPushButton>("testButton")->isHidden());
    QCOMPARE(child<QComboBox>("database")->currentText(), QString());
    QCOMPARE(child<QLabel>("dictName")->text(), QString("Letters"));
    QCOMPARE(child<QPlainTextEdit>("dictDescEdit")->toPlainText(), QString("For letters"));
    QVERIFY(child<QPushButton>("addButton")->isEnabled());
}

void tst_DictEditTaskWidget::sourcesAreSortedByName()
{
    m_transport->deliver(beginEdit({ source("Zeta", DataSource::STRING, true),
                                     source("Alpha", DataSource::QUERY, false, "SELECT 1", "library"),
                                     source("Mid", DataSource::COMMAND, true) }));
    QCOMPARE(comboItems(child<QComboBox>("dataSourceName")), QStringList({ "Alpha", "Mid", "Zeta" }));
    QCOMPARE(child<QComboBox>("dataSourceName")->currentText(), QString("Alpha"));
    QCOMPARE(child<QPlainTextEdit>("descriptionEdit")->toPlainText(), QString("about Alpha"));
    QCOMPARE(child<QComboBox>("cacheMode")->currentIndex(), int(DataSource::RECORD));
    QCOMPARE(child<QComboBox>("database")->currentText(), QString("library"));
    QVERIFY(!child<QPlainTextEdit>("dataDefinitionEdit")->isEnabled());
    QVERIFY(!child<QPushButton>("testButton")->isHidden());
}

void tst_DictEditTaskWidget::addingNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("logged");

    QTest::newRow("letters only") << "Abc1" << QStringList { "Alpha", "Zeta" } << false;
    QTest::newRow("existing name") << "Alpha" << QStringList { "Alpha", "Zeta" } << true;
    QTest::newRow("sorted in") << "Mid" << QStringList { "Alpha", "Mid", "Zeta" } << false;
    QTest::newRow("lower case sorts last") << "beta" << QStringList { "Alpha", "Zeta", "beta" } << false;
}

void tst_DictEditTaskWidget::addingNames()
{
    QFETCH(QString, name);
    QFETCH(QStringList, names);
    QFETCH(bool, logged);
    m_transport->deliver(
        beginEdit({ source("Zeta", DataSource::STRING, false), source("Alpha", DataSource::QUERY, true) }));
    ModalDriver driver;
    QString title;
    driver.expect<QInputDialog>([&](QInputDialog *dialog) {
        title = dialog->windowTitle() + "|" + dialog->labelText();
        dialog->setTextValue(name);
        dialog->accept();
    });
    if (logged)
        QTest::ignoreMessage(QtInfoMsg, "Data source name already exists");
    child<QPushButton>("addButton")->click();
    QTRY_VERIFY(driver.allHandled());
    QCOMPARE(title, QString("Add New Data Source|Please enter new data source name."));
    QCOMPARE(comboItems(child<QComboBox>("dataSourceName")), names);
    if (names.contains(name) && !logged) {
        // The new source is current, empty and editable.
        QCOMPARE(child<QComboBox>("dataSourceName")->currentText(), name);
        QVERIFY(child<QPlainTextEdit>("dataDefinitionEdit")->isEnabled());
        QCOMPARE(child<QPlainTextEdit>("descriptionEdit")->toPlainText(), QString());
        QCOMPARE(child<QComboBox>("sourceType")->currentIndex(), int(DataSource::INVALID));
    }
    QCOMPARE(sent().size(), 1);
}

void tst_DictEditTaskWidget::editsAreKeptAcrossSwitching()
{
    m_transport->deliver(beginEdit({ source("Alpha", DataSource::STRING, true, "old"),
                                     source("Beta", DataSource::QUERY, false, "SELECT 2", "students"),
                                     source("Gamma", DataSource::QUERY, true, "SELECT 3", "students") }));
    child<QPlainTextEdit>("descriptionEdit")->setPlainText("edited");
    child<QPlainTextEdit>("dataDefinitionEdit")->setPlainText("new @@Beta");
    child<QComboBox>("cacheMode")->setCurrentIndex(DataSource::BATCH);
    chooseSource("Beta");
    QVERIFY(!child<QPlainTextEdit>("descriptionEdit")->isEnabled());
    QCOMPARE(child<QPlainTextEdit>("dataDefinitionEdit")->toPlainText(), QString("SELECT 2"));
    chooseSource("Gamma");
    child<QComboBox>("database")->setCurrentText("library");
    chooseSource("Alpha");
    QCOMPARE(child<QPlainTextEdit>("descriptionEdit")->toPlainText(), QString("edited"));
    QCOMPARE(child<QPlainTextEdit>("dataDefinitionEdit")->toPlainText(), QString("new @@Beta"));
    child<QPlainTextEdit>("dictDescEdit")->setPlainText("Letters, edited");

    child<QPushButton>("saveButton")->click();
    const dictedit::EditComplete save = sent().constLast().edit_complete();
    QCOMPARE(save.mode(), dictedit::EditComplete::SAVE);
    QCOMPARE(save.dict_desc(), "Letters, edited");
    // Only the mutable sources, in name order; the immutable one is never sent.
    QCOMPARE(save.mutable_sources_size(), 2);
    const DataSource &alpha = save.mutable_sources(0);
    QCOMPARE(alpha.name(), "Alpha");
    QCOMPARE(alpha.description(), "edited");
    QCOMPARE(alpha.source_string(), "new @@Beta");
    QCOMPARE(alpha.scope(), DataSource::BATCH);
    QVERIFY(!alpha.has_database());
    QCOMPARE(save.mutable_sources(1).name(), "Gamma");
    QCOMPARE(save.mutable_sources(1).database(), "library");
}

void tst_DictEditTaskWidget::queryBecomingStringLosesItsDatabase()
{
    m_transport->deliver(beginEdit({ source("Alpha", DataSource::QUERY, true, "SELECT 1", "library") }));
    QVERIFY(!child<QPushButton>("testButton")->isHidden());
    child<QComboBox>("sourceType")->setCurrentIndex(DataSource::STRING);
    QVERIFY(child<QPushButton>("testButton")->isHidden());
    QVERIFY(!child<QComboBox>("database")->isEnabled());
    child<QPushButton>("saveButton")->click();
    const DataSource alpha = sent().constLast().edit_complete().mutable_sources(0);
    QCOMPARE(alpha.type(), DataSource::STRING);
    QVERIFY(!alpha.has_database());
}

void tst_DictEditTaskWidget::removingTheLastSourceDisablesTheEditor()
{
    m_transport->deliver(beginEdit({ source("Alpha", DataSource::STRING, true, "first"),
                                     source("Beta", DataSource::STRING, true, "second") }));
    child<QPlainTextEdit>("dataDefinitionEdit")->setPlainText("changed");
    child<QPushButton>("removeButton")->click();
    QCOMPARE(comboItems(child<QComboBox>("dataSourceName")), QStringList { "Beta" });
    QCOMPARE(child<QPlainTextEdit>("dataDefinitionEdit")->toPlainText(), QString("second"));
    child<QPushButton>("removeButton")->click();
    QVERIFY(!child<QPlainTextEdit>("dataDefinitionEdit")->isEnabled());
    QCOMPARE(child<QPlainTextEdit>("dataDefinitionEdit")->toPlainText(), QString());
    QCOMPARE(sent().size(), 1);
    child<QPushButton>("saveButton")->click();
    QCOMPARE(sent().constLast().edit_complete().mutable_sources_size(), 0);
}

void tst_DictEditTaskWidget::nothingIsSavedBeforeTheDictionaryArrives()
{
    QVERIFY(!child<QPushButton>("saveButton")->isEnabled());
    QVERIFY(!child<QPushButton>("addButton")->isEnabled());
    // A second dictionary would throw the user's edits away.
    m_transport->deliver(beginEdit({ source("Alpha", DataSource::STRING, true, "first") }));
    child<QPlainTextEdit>("dataDefinitionEdit")->setPlainText("kept");
    QTest::ignoreMessage(
        QtWarningMsg, "DictEditTaskWidget::mh_begin_edit() - a dictionary is being edited already; dropped");
    m_transport->deliver(beginEdit({ source("Other", DataSource::STRING, true) }));
    QCOMPARE(comboItems(child<QComboBox>("dataSourceName")), QStringList { "Alpha" });
    QCOMPARE(child<QPlainTextEdit>("dataDefinitionEdit")->toPlainText(), QString("kept"));
}

void tst_DictEditTaskWidget::cancelSendsOnlyTheMode()
{
    m_transport->deliver(beginEdit({ source("Alpha", DataSource::STRING, true) }));
    child<QPushButton>("cancelButton")->click();
    child<QPushButton>("closeButton")->click();
    QCOMPARE(sent().size(), 3);
    for (const dictedit::Envelope &envelope : sent().mid(1)) {
        QVERIFY(envelope.edit_complete().has_mode());
        QCOMPARE(envelope.edit_complete().mode(), dictedit::EditComplete::CANCEL);
        QCOMPARE(envelope.edit_complete().mutable_sources_size(), 0);
        QVERIFY(!envelope.edit_complete().has_dict_desc());
    }
}

void tst_DictEditTaskWidget::closeAsksOnlyAfterEdits_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("mode"); // what is sent: -1 nothing
    QTest::newRow("untouched: no question") << false << 0 << int(dictedit::EditComplete::CANCEL);
    QTest::newRow("edited, save") << true << int(QMessageBox::Save) << int(dictedit::EditComplete::SAVE);
    QTest::newRow("edited, discard") << true << int(QMessageBox::Discard) << int(dictedit::EditComplete::CANCEL);
    QTest::newRow("edited, cancel") << true << int(QMessageBox::Cancel) << -1;
}

void tst_DictEditTaskWidget::closeAsksOnlyAfterEdits()
{
    QFETCH(bool, edit);
    QFETCH(int, answer);
    QFETCH(int, mode);
    m_transport->deliver(beginEdit({ source("Alpha", DataSource::STRING, true, "old") }));
    m_page->show();
    if (edit)
        QTest::keyClicks(child<QPlainTextEdit>("descriptionEdit"), "new");
    QCOMPARE(m_page->unsavedWork().isEmpty(), !edit);
    ModalDriver driver;
    if (edit)
        driver.expect<QMessageBox>([answer](QMessageBox *box) { box->button(QMessageBox::StandardButton(answer))->click(); });
    const int before = sent().size();
    child<QPushButton>("closeButton")->click();
    QTRY_VERIFY(driver.allHandled());
    QVERIFY(driver.unexpected().isEmpty());
    if (mode < 0) {
        QCOMPARE(sent().size(), before);
        return;
    }
    QCOMPARE(sent().size(), before + 1);
    QCOMPARE(int(sent().last().edit_complete().mode()), mode);
}

void tst_DictEditTaskWidget::testDialog_data()
{
    QTest::addColumn<QString>("definition");
    QTest::addColumn<QStringList>("editors"); // one per distinct name
    QTest::addColumn<QStringList>("pairs"); // key=value, one per use

    QTest::newRow("two names") << "SELECT * FROM t WHERE a = @@First AND b = @@Second"
                               << QStringList { "First=1", "Second=" }
                               << QStringList { "First=1", "Second=two" };
    QTest::newRow("a name used twice")
        << "SELECT @@First, @@Second WHERE @@First > 0" << QStringList { "First=1", "Second=" }
        << QStringList { "First=1", "Second=two", "First=1" };
}

void tst_DictEditTaskWidget::testDialog()
{
    QFETCH(QString, definition);
    QFETCH(QStringList, editors);
    QFETCH(QStringList, pairs);
    QSettings().setValue("dicteditTestData/First", "1");
    m_transport->deliver(beginEdit({ source("Alpha", DataSource::QUERY, true, "", "library") }));
    child<QPlainTextEdit>("dataDefinitionEdit")->setPlainText(definition);
    child<QPushButton>("testButton")->click();

    auto *dialog = m_page->findChild<DictEditTestDialog *>();
    QVERIFY(dialog && dialog->isVisible() && dialog->isModal());
    QStringList shown;
    for (const QLabel *label : dialog->findChildren<QLabel *>())
        shown.append(label->text() + "=" + qobject_cast<QLineEdit *>(label->buddy())->text());
    QCOMPARE(shown, editors);
    QCOMPARE(dialog->focusWidget(), dialog->findChildren<QLineEdit *>().at(0));
    QCOMPARE(dialog->value("Nobody"), QString());
    dialog->findChildren<QLineEdit *>().at(1)->setText("two");
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();

    QCOMPARE(sent().size(), 2);
    const dictedit::TestQuery query = sent().constLast().test_query();
    QCOMPARE(QString::fromStdString(query.query()), definition);
    QCOMPARE(query.database(), "library");
    QStringList sentPairs;
    for (const auto &pair : query.values())
        sentPairs.append(QString::fromStdString(pair.key() + "=" + pair.val()));
    QCOMPARE(sentPairs, pairs);
    QCOMPARE(QSettings().value("dicteditTestData/Second").toString(), QString("two"));
    QTRY_VERIFY(!m_page->findChild<DictEditTestDialog *>());
}

void tst_DictEditTaskWidget::queryWithoutReferencesIsSentAtOnce()
{
    m_transport->deliver(beginEdit({ source("Alpha", DataSource::QUERY, true, "SELECT 1", "students") }));
    child<QPushButton>("testButton")->click();
    QVERIFY(!m_page->findChild<DictEditTestDialog *>());
    QCOMPARE(sent().constLast().test_query().query(), "SELECT 1");
    QCOMPARE(sent().constLast().test_query().database(), "students");
    QCOMPARE(sent().constLast().test_query().values_size(), 0);
}

void tst_DictEditTaskWidget::bareMarkerStopsTheTest()
{
    m_transport->deliver(beginEdit({ source("Alpha", DataSource::QUERY, true, "SELECT @@ FROM t") }));
    ModalDriver driver;
    QString shown;
    driver.expect<QMessageBox>([&](QMessageBox *box) {
        shown = box->text() + "|" + box->informativeText();
        QCOMPARE(box->icon(), QMessageBox::Critical);
        box->accept();
    });
    child<QPushButton>("testButton")->click();
    QTRY_VERIFY(driver.allHandled());
    QCOMPARE(shown, QString("Invlaid Data Definition|Invalid @@key"));
    QVERIFY(!m_page->findChild<DictEditTestDialog *>());
    QCOMPARE(sent().size(), 1);
}

void tst_DictEditTaskWidget::testResponse_data()
{
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("title");

    QTest::newRow("result") << true << "a | b\n<b>1</b> | 2" << int(QMessageBox::Information)
                            << "Query Test Result";
    QTest::newRow("error") << false << "no such table: <i>t</i>" << int(QMessageBox::Critical)
                           << "Query Test Failed";
}

void tst_DictEditTaskWidget::testResponse()
{
    QFETCH(bool, success);
    QFETCH(QString, text);
    QFETCH(int, icon);
    QFETCH(QString, title);
    dictedit::Envelope envelope;
    envelope.mutable_test_query_response()->set_success(success);
    if (success)
        envelope.mutable_test_query_response()->set_result(text.toStdString());
    else
        envelope.mutable_test_query_response()->set_error(text.toStdString());
    m_transport->deliver(beginEdit({ source("Alpha", DataSource::QUERY, true, "SELECT 1", "students") }));

    // Unasked, a result opens nothing: a server could otherwise open boxes without end.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no test was asked for"));
    m_transport->deliver(envelope);
    QVERIFY(!m_page->findChild<QMessageBox *>());

    child<QPushButton>("testButton")->click();
    m_transport->deliver(envelope);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no test was asked for"));
    m_transport->deliver(envelope);
    QCOMPARE(m_page->findChildren<QMessageBox *>().size(), 1);
    QMessageBox *box = m_page->findChild<QMessageBox *>();
    QVERIFY(box && box->isVisible() && box->isModal());
    QCOMPARE(int(box->icon()), icon);
    QCOMPARE(box->text(), title);
    // Shown as the server wrote it, markup and line breaks included.
    QCOMPARE(shownText(box->informativeText()).trimmed(), text);
    box->close();
}

void tst_DictEditTaskWidget::highlighting_data()
{
    QTest::addColumn<QString>("definition");
    QTest::addColumn<QStringList>("ranges"); // start+length:e for a known name, :m for a missing one

    QTest::newRow("known and missing") << "a = @@Alpha and b = @@Other" << QStringList { "4+7:e", "20+7:m" };
    QTest::newRow("name ends at a non-letter") << "@@Alpha1 @@Alphax" << QStringList { "0+7:e", "9+8:m" };
    QTest::newRow("case counts") << "@@alpha" << QStringList { "0+7:m" };
    QTest::newRow("bare markers") << "@@ @@1 x@@" << QStringList {};
}

void tst_DictEditTaskWidget::highlighting()
{
    QFETCH(QString, definition);
    QFETCH(QStringList, ranges);
    m_transport->deliver(beginEdit({ source("Alpha", DataSource::STRING, true) }));
    auto *editor = child<QPlainTextEdit>("dataDefinitionEdit");
    editor->setPlainText(definition);
    QStringList shown;
    for (const QTextLayout::FormatRange &range : editor->document()->firstBlock().layout()->formats()) {
        const QTextCharFormat &format = range.format;
        const bool existing = format.foreground().color() == QColor(Qt::darkBlue)
            && format.background().color() == QColor(Qt::cyan) && format.fontWeight() == QFont::Bold;
        const bool missing = format.foreground().color() == QColor(Qt::darkRed)
            && !format.hasProperty(QTextFormat::BackgroundBrush) && format.fontWeight() == QFont::Bold;
        shown.append(QStringLiteral("%1+%2:%3")
                         .arg(range.start)
                         .arg(range.length)
                         .arg(existing      ? "e"
                                  : missing ? "m"
                                            : "?"));
    }
    QCOMPARE(shown, ranges);
}

void tst_DictEditTaskWidget::editingWithTheStandInHub()
{
    MainConnection connection;
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));
    MainWindow window(&connection, &listener);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTemporaryDir data;
    QProcess hub;
    hub.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    hub.start(QStringLiteral(ZU_DEVHUB_PATH),
              { QStringLiteral("--attach"), QStringLiteral("127.0.0.1:%1").arg(listener.serverPort()),
                QStringLiteral("--app"), QStringLiteral("dictedit"), QStringLiteral("--data"), data.path() });
    QPointer<DictEditTaskWidget> page;
    QTRY_VERIFY_WITH_TIMEOUT((page = window.findChild<DictEditTaskWidget *>()), 15000);
    QCOMPARE(window.taskManager()->taskButtons().size(), 2);
    auto *names = page->findChild<QComboBox *>("dataSourceName");
    QTRY_VERIFY_WITH_TIMEOUT(names->count() > 0, 15000);
    QCOMPARE(page->findChild<QLabel *>("dictName")->text(), QString("Student Records"));
    QCOMPARE(comboItems(page->findChild<QComboBox *>("database")),
             QStringList({ "", "students", "library" }));

    // The stored query, tested with a name that has a quote in it, and with one that tries to
    // widen the query: both are values, never SQL.
    names->setCurrentText("StudentsByLastName");
    auto *definition = page->findChild<QPlainTextEdit *>("dataDefinitionEdit");
    QVERIFY(definition->toPlainText().contains("@@LastName"));
    const auto test = [&](const QString &value) {
        page->findChild<QPushButton *>("testButton")->click();
        auto *dialog = page->findChild<DictEditTestDialog *>();
        dialog->findChild<QLineEdit *>()->setText(value);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QMessageBox *box = nullptr;
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT((box = page->findChild<QMessageBox *>()), 15000);
        }();
        const QString shown = box ? box->text() + "\n" + shownText(box->informativeText()) : QString();
        delete box;
        return shown;
    };
    const QString oneill = test("O'Neill");
    QVERIFY2(oneill.startsWith("Query Test Result") && oneill.count("O'Neill") == 2
                 && oneill.contains("(2 rows)"),
             qPrintable(oneill));
    const QString injected = test("x' OR '1'='1");
    QVERIFY2(injected.startsWith("Query Test Result") && injected.contains("(0 rows)"), qPrintable(injected));

    // An edit, saved: the hub writes the file and ends the application; the page goes.
    definition->setPlainText("SELECT student_no FROM students WHERE last_name = @@LastName");
    page->findChild<QPushButton *>("saveButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(window.taskManager()->taskButtons().size() == 1, 15000);
    QTRY_VERIFY(!page);
    QVERIFY(QTest::qWaitFor([&hub] { return hub.state() == QProcess::NotRunning; }, 15000));
    QCOMPARE(hub.exitCode(), 0);

    QFile file(data.filePath("dictedit/dictionaries.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray sources
        = QJsonDocument::fromJson(file.readAll())["dictionaries"]["Student Records"]["sources"].toArray();
    QStringList definitions;
    for (const QJsonValue &entry : sources)
        definitions.append(entry["name"].toString() + ": " + entry["definition"].toString());
    QVERIFY2(definitions.contains(
                 "StudentsByLastName: SELECT student_no FROM students WHERE last_name = @@LastName"),
             qPrintable(definitions.join('\n')));
    QVERIFY(definitions.contains("CollegeName: Northfield College"));
}

QTEST_MAIN(tst_DictEditTaskWidget)
#include "tst_dictedittaskwidget.moc"

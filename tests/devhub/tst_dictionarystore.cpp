#include "dictionarystore.h"

#include "dictedit.pb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using dictedit::DataSource;

namespace {

constexpr char Sample[] = "Student Records";

DataSource source(const char *name, DataSource::Type type, const char *definition)
{
    DataSource result;
    result.set_name(name);
    result.set_type(type);
    result.set_source_string(definition);
    result.set_is_mutable(true);
    if (type == DataSource::QUERY)
        result.set_database("students");
    return result;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The dictionary editor's file: the sample on first use, saves that replace only the mutable
// sources, and refused or unreadable input that changes nothing.
class tst_DictionaryStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sampleOnFirstUse();
    void saveKeepsImmutableSources();
    void refusedSaves_data();
    void refusedSaves();
    void unreadableFiles_data();
    void unreadableFiles();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void tst_DictionaryStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath("dictedit/dictionaries.json");
}

void tst_DictionaryStore::sampleOnFirstUse()
{
    DictionaryStore store(m_path);
    dictedit::BeginDictionaryEdit dictionary;
    QString error;
    QVERIFY2(store.load(Sample, &dictionary, &error), qPrintable(error));
    QVERIFY(QFile::exists(m_path));
    QCOMPARE(dictionary.dict_name(), Sample);
    QVERIFY(!dictionary.dict_desc().empty());
    // Every type, mutable and not.
    QSet<QString> kinds;
    for (const DataSource &entry : dictionary.dictionary_sources())
        kinds.insert(QStringLiteral("%1/%2").arg(entry.type()).arg(entry.is_mutable()));
    QCOMPARE(kinds, QSet<QString>({ "1/0", "1/1", "2/0", "2/1", "3/0", "3/1" }));

    QVERIFY(!store.load("Nothing", &dictionary, &error));
    QCOMPARE(error, QString("there is no dictionary \"Nothing\" in %1").arg(m_path));
}

void tst_DictionaryStore::saveKeepsImmutableSources()
{
    DictionaryStore store(m_path);
    dictedit::BeginDictionaryEdit before;
    QString error;
    QVERIFY(store.load(Sample, &before, &error));
    QJsonObject root = QJsonDocument::fromJson(contents(m_path)).object();
    QJsonObject dictionaries = root["dictionaries"].toObject();
    dictionaries.insert("Other", QJsonObject { { "description", "untouched" }, { "sources", QJsonArray() } });
    root.insert("dictionaries", dictionaries);
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(root).toJson());
    file.close();

    dictedit::EditComplete edit;
    edit.set_mode(dictedit::EditComplete::SAVE);
    edit.set_dict_desc("Edited");
    *edit.add_mutable_sources() = source("Zed", DataSource::STRING, "last");
    *edit.add_mutable_sources() = source("Added", DataSource::QUERY, "SELECT @@StudentNo");
    QVERIFY2(store.save(Sample, edit, &error), qPrintable(error));

    dictedit::BeginDictionaryEdit after;
    QVERIFY(store.load(Sample, &after, &error));
    QCOMPARE(after.dict_desc(), "Edited");
    QStringList names;
    for (const DataSource &entry : after.dictionary_sources()) {
        names.append(QString::fromStdString(entry.name()));
        QCOMPARE(entry.is_mutable(), entry.name() == "Added" || entry.name() == "Zed");
    }
    QCOMPARE(names, QStringList({ "Added", "CollegeName", "FeesExport", "StudentName", "StudentNo", "Zed" }));
    QCOMPARE(after.dictionary_sources(0).database(), "students");
    QCOMPARE(after.dictionary_sources(0).source_string(), "SELECT @@StudentNo");
    dictedit::BeginDictionaryEdit other;
    QVERIFY(store.load("Other", &other, &error));
    QCOMPARE(other.dict_desc(), "untouched");
}

void tst_DictionaryStore::refusedSaves_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("error");
    QTest::newRow("no name") << QStringList { "Fine", "" } << "a data source has no name";
    QTest::newRow("used twice") << QStringList { "Twice", "Twice" } << "the name \"Twice\" is used twice";
    QTest::newRow("an immutable source's name")
        << QStringList { "CollegeName" } << "the name \"CollegeName\" is used twice";
}

void tst_DictionaryStore::refusedSaves()
{
    QFETCH(QStringList, names);
    QFETCH(QString, error);
    DictionaryStore store(m_path);
    dictedit::BeginDictionaryEdit dictionary;
    QString reason;
    QVERIFY(store.load(Sample, &dictionary, &reason));
    const QByteArray before = contents(m_path);
    dictedit::EditComplete edit;
    edit.set_mode(dictedit::EditComplete::SAVE);
    for (const QString &name : names)
        *edit.add_mutable_sources() = source(qPrintable(name), DataSource::STRING, "x");
    QVERIFY(!store.save(Sample, edit, &reason));
    QCOMPARE(reason, error);
    QCOMPARE(contents(m_path), before);
}

void tst_DictionaryStore::unreadableFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");
    QTest::newRow("not JSON") << QByteArray("{ nope") << "is not valid JSON";
    QTest::newRow("no dictionaries") << QByteArray("{}") << "has no \"dictionaries\" object";
    QTest::newRow("source without a name")
        << QByteArray(R"({"dictionaries": {"Student Records": {"sources": [{"type": "string"}]}}})")
        << "every data source needs an object with a \"name\"";
    QTest::newRow("unknown type") << QByteArray(
        R"({"dictionaries": {"Student Records": {"sources": [{"name": "A", "type": "macro"}]}}})")
                                  << "the data source \"A\" has an unknown type or scope";
}

void tst_DictionaryStore::unreadableFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    QVERIFY(QDir().mkpath(QFileInfo(m_path).path()));
    QFile out(m_path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();
    DictionaryStore store(m_path);
    dictedit::BeginDictionaryEdit dictionary;
    QString reason;
    QVERIFY(!store.load(Sample, &dictionary, &reason));
    QVERIFY2(reason.contains(error), qPrintable(reason));
    dictedit::EditComplete edit;
    QVERIFY(!store.save(Sample, edit, &reason));
    QCOMPARE(contents(m_path), file);
}

QTEST_GUILESS_MAIN(tst_DictionaryStore)
#include "tst_dictionarystore.moc"

#include "dictionarystore.h"

#include "devhubresources.h"
#include "latin1.h"

#include "dictedit.pb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <iterator>

using dictedit::DataSource;

namespace {

constexpr char SampleFile[] = ":/devhub/dictionaries.json";
constexpr char Dictionaries[] = "dictionaries";
constexpr char Sources[] = "sources";

// Indexed by DataSource::Type and DataSource::CacheScope.
const char *const TypeNames[] = { "invalid", "string", "query", "command" };
const char *const ScopeNames[] = { "none", "record", "batch" };

template<size_t N>
int indexOf(const char *const (&names)[N], const QString &name)
{
    const auto it = std::find_if(std::begin(names), std::end(names),
                                 [&name](const char *candidate) { return name == QLatin1String(candidate); });
    return it == std::end(names) ? -1 : int(it - std::begin(names));
}

bool sourceFromJson(const QJsonValue &value, DataSource *source, QString *error)
{
    const QJsonObject object = value.toObject();
    const QString name = object.value(QLatin1String("name")).toString();
    if (!value.isObject() || name.isEmpty()) {
        *error = QStringLiteral("every data source needs an object with a \"name\"");
        return false;
    }
    const int type
        = indexOf(TypeNames, object.value(QLatin1String("type")).toString(QLatin1String(TypeNames[0])));
    const int scope
        = indexOf(ScopeNames, object.value(QLatin1String("scope")).toString(QLatin1String(ScopeNames[0])));
    if (type < 0 || scope < 0) {
        *error = QStringLiteral("the data source \"%1\" has an unknown type or scope").arg(name);
        return false;
    }
    source->set_name(Latin1::fromQString(name));
    source->set_description(Latin1::fromQString(object.value(QLatin1String("description")).toString()));
    source->set_type(DataSource::Type(type));
    source->set_scope(DataSource::CacheScope(scope));
    const QString database = object.value(QLatin1String("database")).toString();
    if (!database.isEmpty())
        source->set_database(Latin1::fromQString(database));
    source->set_source_string(Latin1::fromQString(object.value(QLatin1String("definition")).toString()));
    source->set_is_mutable(object.value(QLatin1String("mutable")).toBool(false));
    return true;
}

QJsonObject sourceToJson(const DataSource &source)
{
    QJsonObject object {
        { QStringLiteral("name"), Latin1::toQString(source.name()) },
        { QStringLiteral("description"), Latin1::toQString(source.description()) },
        { QStringLiteral("type"), QLatin1String(TypeNames[source.type()]) },
        { QStringLiteral("scope"), QLatin1String(ScopeNames[source.scope()]) },
        { QStringLiteral("definition"), Latin1::toQString(source.source_string()) },
        { QStringLiteral("mutable"), source.is_mutable() },
    };
    if (source.has_database())
        object.insert(QStringLiteral("database"), Latin1::toQString(source.database()));
    return object;
}

QString sourceName(const QJsonValue &source)
{
    return source.toObject().value(QLatin1String("name")).toString();
}

} // namespace

DictionaryStore::DictionaryStore(const QString &path)
    : m_path(path)
{ }

bool DictionaryStore::load(const QString &name, dictedit::BeginDictionaryEdit *dictionary,
                           QString *error) const
{
    QJsonObject root;
    if (!read(&root, error))
        return false;
    const QJsonValue entry = root.value(QLatin1String(Dictionaries)).toObject().value(name);
    if (!entry.isObject()) {
        *error = QStringLiteral("there is no dictionary \"%1\" in %2").arg(name, m_path);
        return false;
    }
    const QJsonArray sources = entry.toObject().value(QLatin1String(Sources)).toArray();
    if (sources.size() > MaxSources) {
        *error
            = QStringLiteral("the dictionary \"%1\" has more than %2 data sources").arg(name).arg(MaxSources);
        return false;
    }
    dictionary->set_dict_name(Latin1::fromQString(name));
    dictionary->set_dict_desc(
        Latin1::fromQString(entry.toObject().value(QLatin1String("description")).toString()));
    for (const QJsonValue &source : sources) {
        if (!sourceFromJson(source, dictionary->add_dictionary_sources(), error)) {
            *error = QStringLiteral("%1, dictionary \"%2\": %3").arg(m_path, name, *error);
            return false;
        }
    }
    return true;
}

bool DictionaryStore::save(const QString &name, const dictedit::EditComplete &edit, QString *error) const
{
    QJsonObject root;
    if (!read(&root, error))
        return false;
    QJsonObject dictionaries = root.value(QLatin1String(Dictionaries)).toObject();
    if (!dictionaries.value(name).isObject()) {
        *error = QStringLiteral("there is no dictionary \"%1\" in %2").arg(name, m_path);
        return false;
    }
    QJsonObject dictionary = dictionaries.value(name).toObject();

    QJsonArray kept;
    QSet<QString> names;
    for (const QJsonValue &source : dictionary.value(QLatin1String(Sources)).toArray()) {
        DataSource stored;
        if (!sourceFromJson(source, &stored, error)) {
            *error = QStringLiteral("%1, dictionary \"%2\": %3").arg(m_path, name, *error);
            return false;
        }
        if (!stored.is_mutable()) {
            kept.append(source);
            names.insert(sourceName(source));
        }
    }
    if (edit.mutable_sources_size() > MaxSources - kept.size()) {
        *error = QStringLiteral("more than %1 data sources").arg(MaxSources);
        return false;
    }
    for (const DataSource &source : edit.mutable_sources()) {
        const QString newName = Latin1::toQString(source.name());
        if (newName.isEmpty()) {
            *error = QStringLiteral("a data source has no name");
            return false;
        }
        if (names.contains(newName)) {
            *error = QStringLiteral("the name \"%1\" is used twice").arg(newName);
            return false;
        }
        names.insert(newName);
        DataSource stored = source;
        stored.set_is_mutable(true);
        kept.append(sourceToJson(stored));
    }
    QVector<QJsonValue> sorted(kept.begin(), kept.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const QJsonValue &a, const QJsonValue &b) { return sourceName(a) < sourceName(b); });
    QJsonArray sources;
    for (const QJsonValue &source : sorted)
        sources.append(source);

    if (edit.has_dict_desc())
        dictionary.insert(QStringLiteral("description"), Latin1::toQString(edit.dict_desc()));
    dictionary.insert(QLatin1String(Sources), sources);
    dictionaries.insert(name, dictionary);
    root.insert(QLatin1String(Dictionaries), dictionaries);
    return write(root, error);
}

bool DictionaryStore::read(QJsonObject *root, QString *error) const
{
    registerDevHubResources();
    const bool exists = QFileInfo::exists(m_path);
    QFile file(exists ? m_path : QLatin1String(SampleFile));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    if (file.size() > MaxFileSize) {
        *error = QStringLiteral("%1 is larger than %2 bytes").arg(m_path).arg(MaxFileSize);
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("%1 is not valid JSON (at byte %2: %3)")
                     .arg(file.fileName())
                     .arg(parseError.offset)
                     .arg(parseError.errorString());
        return false;
    }
    if (!document.object().value(QLatin1String(Dictionaries)).isObject()) {
        *error = QStringLiteral("%1 has no \"%2\" object").arg(file.fileName(), QLatin1String(Dictionaries));
        return false;
    }
    *root = document.object();
    // The sample becomes the file, for the operator to find and change.
    return exists || write(*root, error);
}

bool DictionaryStore::write(const QJsonObject &root, QString *error) const
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
        return false;
    }
    file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
        return false;
    }
    return true;
}

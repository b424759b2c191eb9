#pragma once

#include <QJsonObject>
#include <QString>

namespace dictedit {
class BeginDictionaryEdit;
class EditComplete;
} // namespace dictedit

// The data dictionaries of the dictionary editor demo, in one JSON file:
//   { "dictionaries": { "<name>": { "description": "…", "sources": [
//       { "name": "StudentName", "description": "…", "type": "string|query|command",
//         "scope": "none|record|batch", "database": "students", "definition": "…",
//         "mutable": true } ] } } }
// A missing file starts as the built-in sample. Every save reads the file again, changes one
// dictionary and replaces the file in one step (a new file renamed over the old), so a failed or
// refused save leaves it as it was, and other dictionaries keep what others saved meanwhile.
class DictionaryStore
{
public:
    static constexpr qint64 MaxFileSize = 8 * 1024 * 1024;
    static constexpr int MaxSources = 10000;

    explicit DictionaryStore(const QString &path);

    QString path() const { return m_path; }

    // Fills name, description and sources of a begin_edit.
    bool load(const QString &name, dictedit::BeginDictionaryEdit *dictionary, QString *error) const;
    // The edited description and mutable sources replace the dictionary's; its immutable sources
    // stay. Refused with a reason, the file untouched, when a source has no name, a name is used
    // twice or an immutable source's name is taken.
    bool save(const QString &name, const dictedit::EditComplete &edit, QString *error) const;

private:
    bool read(QJsonObject *root, QString *error) const;
    bool write(const QJsonObject &root, QString *error) const;

    QString m_path;
};

#pragma once

#include <QString>

// One user's home directory on disk and the confinement of every client path to it.
//
// Clients name files relative to their home: "/" and "" are the home itself, "/a/b" and "a/b" the
// same file below it. A path with a ".." component is refused outright rather than normalised, and
// every path is resolved against the canonical home, so neither an absolute name nor a symbolic link
// can reach anything outside. The returned local paths are canonical (links already followed), so
// the operation that uses them cannot be redirected by the same link again.
class UserHome
{
public:
    enum class Follow {
        Final, // the operation reads or writes through the last component (get, list, upload)
        NotFinal, // it acts on the entry itself (delete, rename): a link is not followed
    };

    struct Resolved
    {
        QString localPath; // empty on failure
        QString clientPath; // normalised: "/" or "/a/b"
        QString error; // the text for fail_desc
        bool exists = false; // the entry (itself, not its link target) exists
        bool ok() const { return error.isEmpty(); }
    };

    // rootPath must exist; it is made canonical here.
    explicit UserHome(const QString &rootPath);

    // Creates the directory with a few demo files when it does not exist yet.
    static bool prepare(const QString &rootPath, const QString &userName, QString *error);

    QString root() const { return m_root; }
    bool isValid() const { return !m_root.isEmpty(); }

    Resolved resolve(const QString &clientPath, Follow follow) const;
    // The client's name for a local path inside the home ("/" for the home itself).
    QString clientPathOf(const QString &localPath) const;
    bool contains(const QString &canonicalPath) const;

    // True when any component of the client path starts with a dot.
    static bool isHidden(const QString &clientPath);

private:
    QString m_root;
};

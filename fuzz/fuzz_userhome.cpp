#include "fuzzsupport.h"

#include "userhome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A client path against a home with a file, a folder and links leading out of it; whatever the
// path, what it resolves to stays inside.
QList<QByteArray> fuzzSeeds()
{
    return { "/", "", "/notes.txt", "docs/../../etc/passwd", "/docs//a/./b", "/outside/x", "\\..\\x",
             "/docs/inner", "/.hidden/x", "/%2e%2e/x" };
}

namespace {

const UserHome &home()
{
    static QTemporaryDir base;
    static const UserHome made = [] {
        const QString root = base.path() + QStringLiteral("/home");
        QDir().mkpath(root + QStringLiteral("/docs/inner"));
        QDir().mkpath(base.path() + QStringLiteral("/secret"));
        QFile file(root + QStringLiteral("/notes.txt"));
        file.open(QIODevice::WriteOnly);
        QFile::link(base.path() + QStringLiteral("/secret"), root + QStringLiteral("/outside"));
        QFile::link(QStringLiteral("/etc/passwd"), root + QStringLiteral("/docs/passwd"));
        return UserHome(root);
    }();
    return made;
}

} // namespace

void fuzzOne(const QByteArray &input)
{
    const UserHome &root = home();
    const QString path = QString::fromUtf8(input);
    for (UserHome::Follow follow : { UserHome::Follow::Final, UserHome::Follow::NotFinal }) {
        const UserHome::Resolved resolved = root.resolve(path, follow);
        if (!resolved.ok())
            continue;
        FUZZ_CHECK(resolved.localPath == root.root() || resolved.localPath.startsWith(root.root() + QLatin1Char('/')));
        FUZZ_CHECK(resolved.clientPath.startsWith(QLatin1Char('/')));
        FUZZ_CHECK(!resolved.clientPath.split(QLatin1Char('/')).contains(QStringLiteral("..")));
    }
}

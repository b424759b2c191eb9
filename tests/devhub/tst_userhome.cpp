#include "userhome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Confinement of client paths to the home directory, case by case: names with "..", absolute
// names, links inside and outside, dangling links and loops.
class TestUserHome : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void resolve_data();
    void resolve();
    void hiddenNames_data();
    void hiddenNames();
    void prepareSeedsOnce();

private:
    QTemporaryDir m_dir;
    QString m_home;
};

void TestUserHome::initTestCase()
{
    QDir base(m_dir.path());
    QVERIFY(base.mkpath(QStringLiteral("home/sub")));
    QVERIFY(base.mkpath(QStringLiteral("outside")));
    m_home = QFileInfo(base.filePath(QStringLiteral("home"))).canonicalFilePath();
    QFile file(m_home + QStringLiteral("/a.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const auto link = [this](const QString &target, const QString &name) {
        return QFile::link(target, m_home + QLatin1Char('/') + name);
    };
    QVERIFY(link(QStringLiteral("a.txt"), QStringLiteral("in")));
    QVERIFY(link(m_dir.filePath(QStringLiteral("outside")), QStringLiteral("out")));
    QVERIFY(link(m_home + QStringLiteral("/new.txt"), QStringLiteral("dangling_in")));
    QVERIFY(link(m_dir.filePath(QStringLiteral("outside/x")), QStringLiteral("dangling_out")));
    QVERIFY(link(QStringLiteral("loop2"), QStringLiteral("loop1")));
    QVERIFY(link(QStringLiteral("loop1"), QStringLiteral("loop2")));
    QVERIFY(link(QStringLiteral(".."), QStringLiteral("sub/up")));
    QVERIFY(link(QStringLiteral("sub/../../outside/y"), QStringLiteral("climber")));
    QVERIFY(link(QStringLiteral("dangling_in"), QStringLiteral("chain")));
}

void TestUserHome::resolve_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("follow");
    QTest::addColumn<QString>("local"); // relative to the home; "-" when refused
    QTest::addColumn<QString>("error");

    QTest::newRow("empty is the home") << "" << true << ""
                                       << "";
    QTest::newRow("slash is the home") << "/" << true << ""
                                       << "";
    QTest::newRow("the home itself cannot be changed") << "/" << false << "-"
                                                       << "cannot be changed";
    QTest::newRow("absolute name") << "/a.txt" << true << "/a.txt"
                                   << "";
    QTest::newRow("relative name") << "a.txt" << true << "/a.txt"
                                   << "";
    QTest::newRow("doubled slashes and dots") << "//sub/./new" << true << "/sub/new"
                                              << "";
    QTest::newRow("dot-dot is refused") << "/sub/../a.txt" << true << "-"
                                        << "Access denied";
    QTest::newRow("leading dot-dot") << "../a.txt" << false << "-"
                                     << "Access denied";
    QTest::newRow("system path stays inside") << "/etc/passwd" << true << "-"
                                              << "No such directory: '/etc'";
    QTest::newRow("link inside, followed") << "/in" << true << "/a.txt"
                                           << "";
    QTest::newRow("link inside, itself") << "/in" << false << "/in"
                                         << "";
    QTest::newRow("link outside, followed") << "/out" << true << "-"
                                            << "Access denied";
    QTest::newRow("link outside, itself") << "/out" << false << "/out"
                                          << "";
    QTest::newRow("below a link outside") << "/out/y" << false << "-"
                                          << "Access denied";
    QTest::newRow("dangling link inside") << "/dangling_in" << true << "/new.txt"
                                          << "";
    QTest::newRow("chain to a dangling link") << "/chain" << true << "/new.txt"
                                              << "";
    QTest::newRow("dangling link outside") << "/dangling_out" << true << "-"
                                           << "Access denied";
    QTest::newRow("link climbing out") << "/climber" << true << "-"
                                       << "Access denied";
    QTest::newRow("link loop") << "/loop1" << true << "-"
                               << "Too many levels";
    QTest::newRow("link up, still inside") << "/sub/up/a.txt" << true << "/a.txt"
                                           << "";
    QTest::newRow("zero byte") << QStringLiteral("/a%1b").arg(QChar(0)) << true << "-"
                               << "Invalid file name";
}

void TestUserHome::resolve()
{
    QFETCH(QString, path);
    QFETCH(bool, follow);
    QFETCH(QString, local);
    QFETCH(QString, error);

    const UserHome home(m_home);
    const UserHome::Resolved resolved
        = home.resolve(path, follow ? UserHome::Follow::Final : UserHome::Follow::NotFinal);
    if (local == QLatin1String("-")) {
        QVERIFY(!resolved.ok());
        QVERIFY(resolved.localPath.isEmpty());
        QVERIFY2(resolved.error.contains(error), qPrintable(resolved.error));
        return;
    }
    QVERIFY2(resolved.ok(), qPrintable(resolved.error));
    QCOMPARE(resolved.localPath, m_home + local);
    QVERIFY(home.contains(QFileInfo(resolved.localPath).absolutePath()) || resolved.localPath == m_home);
}

void TestUserHome::hiddenNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("plain") << "/docs/a.txt" << false;
    QTest::newRow("dot file") << "/.zudesktop_0001" << true;
    QTest::newRow("inside a dot folder") << "/.cache/a" << true;
    QTest::newRow("dot component") << "/./a" << false;
    QTest::newRow("dot inside a name") << "/a.b/c.d" << false;
}

void TestUserHome::hiddenNames()
{
    QFETCH(QString, path);
    QFETCH(bool, hidden);
    QCOMPARE(UserHome::isHidden(path), hidden);
}

void TestUserHome::prepareSeedsOnce()
{
    const QString path = m_dir.filePath(QStringLiteral("fresh"));
    QString error;
    QVERIFY2(UserHome::prepare(path, QStringLiteral("pat"), &error), qPrintable(error));
    QFile readme(path + QStringLiteral("/README.txt"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    QVERIFY(readme.readAll().contains("pat"));
    QVERIFY(QFile::exists(path + QStringLiteral("/reports/enrolment.pdf")));

    // An existing home is left as the user left it.
    QVERIFY(QFile::remove(path + QStringLiteral("/README.txt")));
    QVERIFY(UserHome::prepare(path, QStringLiteral("pat"), &error));
    QVERIFY(!QFile::exists(path + QStringLiteral("/README.txt")));
    QCOMPARE(UserHome(path).clientPathOf(UserHome(path).root() + QStringLiteral("/reports")),
             QStringLiteral("/reports"));
    QCOMPARE(UserHome(path).clientPathOf(UserHome(path).root()), QStringLiteral("/"));
}

QTEST_GUILESS_MAIN(TestUserHome)
#include "tst_userhome.moc"

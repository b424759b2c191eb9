#include "certificatestore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The hub's certificate: made once, then reused; replaced when unreadable or mismatched.
class TestCertificateStore : public QObject
{
    Q_OBJECT

private slots:
    void createThenReuse();
    void replacesBrokenPairs_data();
    void replacesBrokenPairs();
};

void TestCertificateStore::createThenReuse()
{
    QTemporaryDir dir;
    CertificateStore first(dir.path() + QStringLiteral("/new/data"));
    QString error;
    QVERIFY2(first.load(&error), qPrintable(error));
    QVERIFY(first.createdNow());
    QCOMPARE(first.certificate().subjectInfo(QSslCertificate::CommonName), QStringList { "zu-devhub" });
    QVERIFY(first.certificate().expiryDate() > QDateTime::currentDateTimeUtc().addYears(5));
    QCOMPARE(QFile::permissions(first.keyPath()) & (QFile::ReadGroup | QFile::ReadOther),
             QFile::Permissions());

    CertificateStore second(dir.path() + QStringLiteral("/new/data"));
    QVERIFY2(second.load(&error), qPrintable(error));
    QVERIFY(!second.createdNow());
    QCOMPARE(second.certificate(), first.certificate());
    QCOMPARE(second.key().toPem(), first.key().toPem());
}

void TestCertificateStore::replacesBrokenPairs_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("garbage certificate") << "certificate";
    QTest::newRow("key missing") << "key";
    QTest::newRow("key of another pair") << "swap";
}

void TestCertificateStore::replacesBrokenPairs()
{
    QFETCH(QString, damage);
    QTemporaryDir dir;
    CertificateStore original(dir.path());
    QString error;
    QVERIFY2(original.load(&error), qPrintable(error));

    if (damage == QLatin1String("certificate")) {
        QFile file(original.certificatePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a certificate");
    } else if (damage == QLatin1String("key")) {
        QVERIFY(QFile::remove(original.keyPath()));
    } else {
        QTemporaryDir otherDir;
        CertificateStore other(otherDir.path());
        QVERIFY(other.load(&error));
        QVERIFY(QFile::remove(original.keyPath()));
        QVERIFY(QFile::copy(other.keyPath(), original.keyPath()));
    }

    CertificateStore again(dir.path());
    QVERIFY2(again.load(&error), qPrintable(error));
    QVERIFY(again.createdNow());
    QVERIFY(again.certificate() != original.certificate());
    CertificateStore reused(dir.path());
    QVERIFY(reused.load(&error));
    QVERIFY(!reused.createdNow());
}

QTEST_GUILESS_MAIN(TestCertificateStore)
#include "tst_certificatestore.moc"

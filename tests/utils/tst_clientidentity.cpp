#include "utils/clientidentity.h"

#include "testenvironment.h"

#include <QSettings>
#include <QTest>

class tst_ClientIdentity : public QObject
{
    Q_OBJECT

private slots:
    void stableAcrossRuns()
    {
        TestEnvironment env;
        QTest::ignoreMessage(QtInfoMsg, "Generating system UUID");
        QTest::ignoreMessage(QtInfoMsg, "Generating user UUID");
        const ClientIdentity first;
        QVERIFY(!first.systemUuid().isNull());
        QVERIFY(!first.userUuid().isNull());
        QVERIFY(first.systemUuid() != first.userUuid());

        const ClientIdentity second;
        QCOMPARE(second.systemUuid(), first.systemUuid());
        QCOMPARE(second.userUuid(), first.userUuid());

        QSettings machine(QSettings::SystemScope, QCoreApplication::organizationName(),
                          QCoreApplication::applicationName());
        QCOMPARE(machine.value(QStringLiteral("systemID")).toString(), first.systemUuid().toString());
        QSettings user;
        QCOMPARE(user.value(QStringLiteral("userID")).toString(), first.userUuid().toString());
    }

    void unwritableMachineStore()
    {
        TestEnvironment env;
        env.lockSystemConfig();
        QTest::ignoreMessage(QtInfoMsg, "Could not save system UUID. System settings are not writable.");
        const ClientIdentity identity;
        QVERIFY(identity.systemUuid().isNull());
        QVERIFY(!identity.userUuid().isNull());

        // The user identity still persists.
        const ClientIdentity again;
        QVERIFY(again.systemUuid().isNull());
        QCOMPARE(again.userUuid(), identity.userUuid());
    }

    void logsBothUuids()
    {
        TestEnvironment env;
        QSettings machine(QSettings::SystemScope, QCoreApplication::organizationName(),
                          QCoreApplication::applicationName());
        machine.setValue(QStringLiteral("systemID"),
                         QStringLiteral("{11111111-2222-3333-4444-555555555555}"));
        machine.sync();
        QSettings user;
        user.setValue(QStringLiteral("userID"), QStringLiteral("{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}"));
        user.sync();
        QTest::ignoreMessage(QtInfoMsg, "systemUUID: \"{11111111-2222-3333-4444-555555555555}\"");
        QTest::ignoreMessage(QtInfoMsg, "  userUUID: \"{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}\"");
        const ClientIdentity identity;
        QCOMPARE(identity.systemUuid(), QUuid(QStringLiteral("{11111111-2222-3333-4444-555555555555}")));
    }

    void damagedValueIsReplaced()
    {
        TestEnvironment env;
        QSettings user;
        user.setValue(QStringLiteral("userID"), QStringLiteral("not a uuid"));
        user.sync();
        const ClientIdentity identity;
        QVERIFY(!identity.userUuid().isNull());
        QSettings reread;
        QCOMPARE(reread.value(QStringLiteral("userID")).toString(), identity.userUuid().toString());
    }
};

QTEST_GUILESS_MAIN(tst_ClientIdentity)
#include "tst_clientidentity.moc"

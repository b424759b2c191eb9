// Recording and replay as the client sets them up from its command line and settings.
#include "app/sessioncapture.h"

#include "app/commandline.h"
#include "hub/hubconnection.h"
#include "utils/replaymode.h"
#include "hub/sessionreplay.h"
#include "hub/tlshubtransport.h"

#include "framecodec.h"
#include "sessionrecordreader.h"
#include "sessionrecordwriter.h"
#include "testenvironment.h"

#include "zuhub.pb.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

namespace {

CommandLine commandLine(const QStringList &options)
{
    CommandLine parsed;
    parsed.parse(QStringList { "zu-desktop" } + options);
    return parsed;
}

QString recordingsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/recordings";
}

} // namespace

class tst_SessionCapture : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings().clear();
        QDir(recordingsFolder()).removeRecursively();
    }

    // With "recordSessions" on, every start gets a new file: two in the same second do not share
    // one, and the first is left whole.
    void everyStartRecordsIntoItsOwnFile()
    {
        QSettings().setValue(SessionCapture::RecordSetting, true);
        HubConnection firstHub(nullptr);
        SessionCapture first(&firstHub);
        QVERIFY(first.setUp(commandLine({})));
        HubConnection secondHub(nullptr);
        SessionCapture second(&secondHub);
        QVERIFY(second.setUp(commandLine({})));
        const QStringList files = QDir(recordingsFolder()).entryList({ "*.zurec" }, QDir::Files);
        QCOMPARE(files.size(), 2);
        for (const QString &file : files) {
            SessionRecordReader reader;
            QVERIFY2(reader.open(QDir(recordingsFolder()).filePath(file)), qPrintable(reader.errorText()));
            QVERIFY(reader.headerText().contains("side=client"));
        }
    }

    // Keys typed into terminals are counted only, unless "recordTerminalKeys" asks for them; the
    // recording's header says which.
    void terminalKeysOnlyOnRequest_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("default") << false;
        QTest::newRow("asked for") << true;
    }

    void terminalKeysOnlyOnRequest()
    {
        QFETCH(bool, keep);
        if (keep)
            QSettings().setValue(SessionCapture::TerminalKeysSetting, true);
        const QString path = m_environment.path() + QStringLiteral("/keys-%1.zurec").arg(keep);
        {
            HubConnection hub(nullptr);
            SessionCapture capture(&hub);
            QVERIFY(capture.setUp(commandLine({ "--record", path })));
        }
        SessionRecordReader reader;
        QVERIFY(reader.open(path));
        QCOMPARE(reader.headerText().contains("terminal keys"), !keep);
    }

    // A replay stays offline: it is the link's transport, and an address anything hands to the
    // system is not opened but logged.
    void replayStaysOffline()
    {
        const QString path = m_environment.path() + "/offline.zurec";
        {
            SessionRecordWriter writer;
            QVERIFY(writer.open(path, SessionRecordWriter::Side::Client, "test"));
            ZuHubProto::Envelope ack;
            ack.mutable_hello_ack()->set_accepted(true);
            writer.recordFrame(SessionRecord::Direction::FromHub, FrameCodec::EnvelopeFrame,
                               QByteArray::fromStdString(ack.SerializeAsString()));
        }
        HubConnection hub(nullptr);
        {
            SessionCapture capture(&hub);
            QVERIFY2(capture.setUp(commandLine({ "--replay", path })), qPrintable(capture.errorText()));
            QVERIFY(capture.isReplaying());
            QCOMPARE(hub.transport(), static_cast<HubTransport *>(capture.replay()));
            QVERIFY(ReplayMode::isReplaying());
            QTest::ignoreMessage(QtInfoMsg, "Replay: https://reports.example/term.pdf not opened during a replay");
            QDesktopServices::openUrl(QUrl("https://reports.example/term.pdf"));
            QTest::ignoreMessage(QtInfoMsg, "Replay: file:///tmp/report.pdf not opened during a replay");
            QDesktopServices::openUrl(QUrl::fromLocalFile("/tmp/report.pdf"));
        }
        // The replay gone, the link has its socket again.
        QVERIFY(qobject_cast<TlsHubTransport *>(hub.transport()));
        ReplayMode::setReplaying(false);
    }

private:
    TestEnvironment m_environment;
};

QTEST_MAIN(tst_SessionCapture)
#include "tst_sessioncapture.moc"

// A Student Records session recorded against zu-devhub (log in, query, page through, update, grades)
// replayed into the client's hub link with no network: the menu session and the classic page run on
// the recorded hub messages alone, and what the client sends is compared with the recording.
#include "hub/sessionreplay.h"

#include "applinks/sessionrouter.h"
#include "classic/applicationconnection.h"
#include "hub/hostentry.h"
#include "hub/hubconnection.h"
#include "menu/mainconnection.h"

#include "fakepagehost.h"
#include "framecodec.h"
#include "sessionrecordreader.h"
#include "sessionrecordwriter.h"
#include "testenvironment.h"

#include "uidlg.pb.h"
#include "testpaths.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString StudentSession = QStringLiteral(ZU_HUB_TEST_DATA "/studentrecords.zurec");

QVector<SessionRecord> recordsOf(const QString &path)
{
    QVector<SessionRecord> records;
    SessionRecordReader reader;
    SessionRecord record;
    if (reader.open(path)) {
        while (reader.next(&record) == SessionRecordReader::Result::Record)
            records << record;
    }
    return records;
}

// The client as Runner and the main window wire it, minus the windows.
struct ReplayedClient
{
    explicit ReplayedClient(SessionReplay *replay, SessionRecordWriter *recorder = nullptr)
        : router(&host, nullptr, {{AppTranceiver::Classic, &ApplicationConnection::create}})
    {
        hub.setRecorder(recorder);
        host.menuTitles.insert("/students/records.opt", "Student Records");
        hub.setReplay(replay);
        entry.name = entry.host = QStringLiteral("replay");
        entry.port = 1;
        hub.setHostEntry(&entry);
        MainConnection *menu = hub.mainConnection();
        QObject::connect(menu, &MainConnection::releaseListRcvd, menu,
                         [menu, replay] { menu->setRelease(replay->recordedRelease(), QString()); });
        QObject::connect(&hub, &HubConnection::channelState, &router, &SessionRouter::hubChannelState);
        QObject::connect(&hub, &HubConnection::channelMessageRcvd, &router,
                         &SessionRouter::hubChannelMessageRcvd);
        QObject::connect(&router, &SessionRouter::hubChannelMessageSend, &hub,
                         &HubConnection::channelMessageSend);
        menu->setCredentials(replay->recordedUsername(), QStringLiteral("typed at the replay"));
        hub.startConnection(true);
    }

    QStringList shownTexts() const
    {
        QStringList texts;
        for (const QLineEdit *edit : host.desk()->findChildren<QLineEdit *>()) {
            if (edit->isVisible())
                texts << edit->text();
        }
        return texts;
    }

    FakePageHost host;
    SessionRouter router;
    HubConnection hub { nullptr };
    HostEntry entry;
};

} // namespace

class tst_SessionReplay : public QObject
{
    Q_OBJECT

private slots:
    void recordedSessionReplaysWithoutDifference()
    {
        SessionReplay replay;
        QVERIFY2(replay.load(StudentSession), qPrintable(replay.errorText()));
        QVERIFY(replay.warningText().isEmpty());
        QCOMPARE(replay.recordedUsername(), QString("demo"));
        replay.setSpeed(0);
        // The link records what it replays, as it records a live hub.
        QTemporaryDir dir;
        SessionRecordWriter again;
        QVERIFY(again.open(dir.filePath("again.zurec"), SessionRecordWriter::Side::Client, "test"));
        ReplayedClient client(&replay, &again);
        QTRY_COMPARE_WITH_TIMEOUT(replay.state(), SessionReplay::State::Finished, 30000);
        QVERIFY2(replay.firstDifference().isEmpty(), qPrintable(replay.firstDifference()));
        again.close();
        const auto hubSide = [](const QVector<SessionRecord> &records) {
            QList<QPair<quint16, QByteArray>> messages;
            for (const SessionRecord &record : records) {
                if (record.direction == SessionRecord::Direction::FromHub)
                    messages.append({ record.channel, record.data });
            }
            return messages;
        };
        QCOMPARE(hubSide(recordsOf(dir.filePath("again.zurec"))), hubSide(recordsOf(StudentSession)));
        QCOMPARE(replay.deliveredCount(), replay.hubMessageCount());
        // Hello, menu link, handshake, login, release and the classic handshake at least.
        QVERIFY(replay.matchedCount() >= 6);
        QCOMPARE(client.hub.state(), HubConnection::State::Connected);
        // The last screen of the recording: the updated student's second course.
        const QStringList shown = client.shownTexts();
        QVERIFY2(shown.contains("100032") && shown.contains("ENG150"), qPrintable(shown.join(", ")));
    }

    // A client that answers differently from the recorded one is caught at the first such message.
    void changedClientMessageIsTheFirstDifference()
    {
        QVector<SessionRecord> records = recordsOf(StudentSession);
        bool changed = false;
        for (SessionRecord &record : records) {
            Pb::UIEnvelope envelope;
            if (record.direction != SessionRecord::Direction::FromClient
                || record.frameType != FrameCodec::ChannelFrame
                || !envelope.ParseFromArray(record.data.constData(), record.data.size())
                || !envelope.has_handshake())
                continue;
            envelope.mutable_handshake()->set_is_menuopt(true);
            record.data = QByteArray::fromStdString(envelope.SerializeAsString());
            changed = true;
        }
        QVERIFY(changed);
        SessionReplay replay;
        QVERIFY(replay.loadRecords(records));
        replay.setSpeed(0);
        ReplayedClient client(&replay);
        QTRY_COMPARE_WITH_TIMEOUT(replay.state(), SessionReplay::State::Finished, 30000);
        QCOMPARE(replay.differenceCount(), 1);
        const QString difference = replay.firstDifference();
        QVERIFY2(difference.startsWith("Replay difference on channel 1:")
                     && difference.contains("is_menuopt: true")
                     && difference.contains("replayed: Pb.UIEnvelope"),
                 qPrintable(difference));
    }

    // A recording cut short by a crash replays what it holds; one that is not a recording is refused.
    void damagedRecordings()
    {
        QFile file(StudentSession);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray whole = file.readAll();
        QTemporaryDir dir;
        const QString cut = dir.filePath("cut.zurec");
        QFile cutFile(cut);
        QVERIFY(cutFile.open(QIODevice::WriteOnly));
        cutFile.write(whole.left(whole.size() / 2));
        cutFile.close();
        SessionReplay partial;
        QVERIFY2(partial.load(cut), qPrintable(partial.errorText()));
        QVERIFY2(partial.warningText().contains("ends inside the record at byte"),
                 qPrintable(partial.warningText()));
        QVERIFY(partial.hubMessageCount() > 10);

        const QString other = dir.filePath("other.zurec");
        QFile otherFile(other);
        QVERIFY(otherFile.open(QIODevice::WriteOnly));
        otherFile.write(whole.mid(8));
        otherFile.close();
        SessionReplay refused;
        QVERIFY(!refused.load(other));
        QCOMPARE(refused.errorText(), QString("Not a session recording"));
    }

private:
    TestEnvironment m_environment;
};

QTEST_MAIN(tst_SessionReplay)
#include "tst_sessionreplay.moc"

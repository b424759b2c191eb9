// A Student Records session recorded against zu-devhub (log in, query, page through, update, grades)
// replayed into the client's hub link with no network: the menu session and the classic page run on
// the recorded hub messages alone, and what the client sends is compared with the recording.
#include "hub/sessionreplay.h"

#include "applinks/sessionrouter.h"
#include "classic/applicationconnection.h"
#include "hub/hostentry.h"
#include "hub/hubconnection.h"
#include "hub/recordingtap.h"
#include "menu/mainconnection.h"

#include "fakepagehost.h"
#include "framecodec.h"
#include "processprobe.h"
#include "sessionrecordreader.h"
#include "sessionrecordwriter.h"
#include "testenvironment.h"

#include "uidlg.pb.h"
#include "zuhub.pb.h"
#include "testpaths.h"

#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
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
        if (recorder) {
            tap = std::make_unique<RecordingTap>(recorder);
            hub.setTap(tap.get());
        }
        host.menuTitles.insert("/students/records.opt", "Student Records");
        hub.setTransport(replay);
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
    std::unique_ptr<RecordingTap> tap;
    HubConnection hub { nullptr };
    HostEntry entry;
};

// The hub link alone, over a replay.
struct ReplayLink
{
    explicit ReplayLink(SessionReplay *replay)
    {
        hub.setHostEntry(&entry);
        hub.setTransport(replay);
    }

    HubConnection hub { nullptr };
    HostEntry entry { "replay", "replay", 1, {} };
};

QByteArray bytesOf(const google::protobuf::Message &message)
{
    return QByteArray::fromStdString(message.SerializeAsString());
}

ZuHubProto::Envelope hello()
{
    ZuHubProto::Envelope envelope;
    envelope.mutable_hello()->set_version("recorded");
    return envelope;
}

SessionRecord hubRecord(quint64 timeUs, const ZuHubProto::Envelope &envelope,
                        SessionRecord::Direction direction = SessionRecord::Direction::FromHub)
{
    SessionRecord record;
    record.timeUs = timeUs;
    record.direction = direction;
    record.frameType = FrameCodec::EnvelopeFrame;
    record.data = bytesOf(envelope);
    return record;
}

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

    // A replayed hub that refuses the client, or forces it off, ends the link as a live one would:
    // the login dialog comes back with the reason, and Login then says the replay is over instead
    // of waiting for good.
    void replaysEndInAClearState_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("says");
        QTest::newRow("refused hello") << true << "Licence limit reached";
        QTest::newRow("forced off") << false << "Disconnected: Nightly maintenance";
    }

    void replaysEndInAClearState()
    {
        QFETCH(bool, refused);
        QFETCH(QString, says);
        ZuHubProto::Envelope ack;
        ack.mutable_hello_ack()->set_accepted(!refused);
        ack.mutable_hello_ack()->set_reject_reason("Licence limit reached");
        ZuHubProto::Envelope force;
        force.mutable_force_disconnect()->set_message("Nightly maintenance");
        QVector<SessionRecord> records { hubRecord(0, hello(), SessionRecord::Direction::FromClient),
                                         hubRecord(1000, ack) };
        if (!refused)
            records << hubRecord(2000, force);
        SessionReplay replay;
        QVERIFY(replay.loadRecords(records));
        replay.setSpeed(0);
        ReplayLink link(&replay);
        HubConnection &hub = link.hub;
        QSignalSpy disconnected(&hub, &HubConnection::disconnected);
        hub.startConnection(false);
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, 10000);
        QVERIFY2(replay.firstDifference().isEmpty(), qPrintable(replay.firstDifference()));
        QCOMPARE(hub.state(), HubConnection::State::Disconnected);
        QCOMPARE(hub.errorText(), says);
        QCOMPARE(replay.state(), SessionReplay::State::Finished);

        hub.startConnection(false);
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 2, 10000);
        QVERIFY2(hub.errorText().startsWith("This replay has ended"), qPrintable(hub.errorText()));
        QCOMPARE(hub.state(), HubConnection::State::Disconnected);
    }

    // The recording is read as a stream: a 60 MiB hub message is not held in memory once loaded,
    // and a difference on a message that size is shown by its start and its size.
    void largeMessagesAreReadWhenNeeded()
    {
        constexpr int Size = 60 * 1024 * 1024;
        const auto bigReply = [](char fill) {
            Pb::UIEnvelope reply;
            reply.mutable_generic_response()->set_data(std::string(Size, fill));
            return reply;
        };
        QTemporaryDir dir;
        const QString path = dir.filePath("large.zurec");
        {
            SessionRecordWriter writer;
            QVERIFY(writer.open(path, SessionRecordWriter::Side::Client, "test"));
            writer.recordFrame(SessionRecord::Direction::FromClient, FrameCodec::EnvelopeFrame, bytesOf(hello()));
            ZuHubProto::Envelope ack;
            ack.mutable_hello_ack()->set_accepted(true);
            writer.recordFrame(SessionRecord::Direction::FromHub, FrameCodec::EnvelopeFrame, bytesOf(ack));
            Pb::UIEnvelope screen;
            screen.mutable_handshake()->set_ui_version("1");
            writer.recordFrame(SessionRecord::Direction::FromHub, FrameCodec::ChannelFrame,
                               FrameCodec::channelPayload(1, bytesOf(screen)));
            writer.recordFrame(SessionRecord::Direction::FromClient, FrameCodec::ChannelFrame,
                               FrameCodec::channelPayload(1, bytesOf(bigReply('x'))));
            writer.recordFrame(SessionRecord::Direction::FromHub, FrameCodec::ChannelFrame,
                               FrameCodec::channelPayload(1, QByteArray(Size, 'y')));
        }
        const qint64 before = ProcessProbe::residentBytes();
        SessionReplay replay;
        QVERIFY2(replay.load(path), qPrintable(replay.errorText()));
        const qint64 after = ProcessProbe::residentBytes();
        QVERIFY(before > 0);
        if (ProcessProbe::memoryIsJudged())
            QVERIFY2(after - before < Size / 4, qPrintable(QString::number(after - before)));

        // What the client sends instead of the big reply: the difference shows both, bounded.
        replay.setSpeed(0);
        ReplayLink link(&replay);
        HubConnection &hub = link.hub;
        QSignalSpy differences(&replay, &SessionReplay::differenceFound);
        QObject::connect(&hub, &HubConnection::channelMessageRcvd, &hub, [&hub, bigReply](ushort channel, const char *, int) {
            hub.channelMessageSend(channel, bytesOf(bigReply('z')));
        });
        hub.startConnection(false);
        QTRY_COMPARE_WITH_TIMEOUT(differences.count(), 1, 30000);
        const QString text = differences.first().first().toString();
        const QString size = QString("(%1 bytes)").arg(bytesOf(bigReply('x')).size());
        QVERIFY2(text.size() < 3 * SessionRecord::DescribedBytes && text.count(size) == 2, qPrintable(text.left(500)));
        QVERIFY(text.contains("xxxx") && text.contains("zzzz"));
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

#include "sessionrecordwriter.h"

#include "framecodec.h"
#include "sessionrecordreader.h"

#include "menu.pb.h"
#include "uidlg.pb.h"
#include "zuhub.pb.h"
#include "zuterm.pb.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Direction = SessionRecord::Direction;

QByteArray bytesOf(const google::protobuf::Message &message)
{
    return QByteArray::fromStdString(message.SerializeAsString());
}

QVector<SessionRecord> readAll(const QString &path, SessionRecordReader *reader)
{
    QVector<SessionRecord> records;
    if (!reader->open(path))
        return records;
    SessionRecord record;
    while (reader->next(&record) == SessionRecordReader::Result::Record)
        records << record;
    return records;
}

} // namespace

class tst_SessionRecordWriter : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void framesComeBackInOrderWithTheirChannel()
    {
        const QString path = m_dir.filePath("round.zurec");
        SessionRecordWriter writer;
        QVERIFY2(writer.open(path, SessionRecordWriter::Side::Client, "test"),
                 qPrintable(writer.errorText()));
        ZuHubProto::Envelope hello;
        hello.mutable_hello()->set_version("1.0");
        writer.recordFrame(Direction::FromClient, FrameCodec::EnvelopeFrame, bytesOf(hello));
        writer.recordFrame(Direction::FromHub, FrameCodec::ChannelFrame,
                           FrameCodec::channelPayload(7, "app bytes"));
        writer.recordFrame(Direction::FromHub, FrameCodec::MenuFrame, QByteArray("\x00\xff", 2));
        writer.recordNote("done");
        writer.close();

        const QFileDevice::Permissions permissions = QFile::permissions(path);
        QVERIFY(permissions.testFlag(QFileDevice::ReadOwner)
                && permissions.testFlag(QFileDevice::WriteOwner));
        QCOMPARE(permissions
                     & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther
                        | QFileDevice::WriteOther | QFileDevice::ExeOwner),
                 QFileDevice::Permissions());
        SessionRecordReader reader;
        const QVector<SessionRecord> records = readAll(path, &reader);
        QVERIFY2(reader.errorText().isEmpty(), qPrintable(reader.errorText()));
        QVERIFY(reader.isRedacted());
        QVERIFY(reader.headerText().contains("side=client"));
        QCOMPARE(records.size(), 4);
        QCOMPARE(records[0].direction, Direction::FromClient);
        QCOMPARE(records[0].data, bytesOf(hello));
        QCOMPARE(records[1].frameType, quint16(FrameCodec::ChannelFrame));
        QCOMPARE(records[1].channel, quint16(7));
        QCOMPARE(records[1].data, QByteArray("app bytes"));
        // Bytes from the hub that parse as nothing are kept as they came.
        QCOMPARE(records[2].data, QByteArray("\x00\xff", 2));
        QCOMPARE(records[3].direction, Direction::Note);
        QCOMPARE(records[3].data, QByteArray("done"));
        QVERIFY(records[1].timeUs >= records[0].timeUs && records[3].timeUs >= records[2].timeUs);
    }

    // The file must hold none of the secrets, and still say who logged in and which items are locked.
    void secretsNeverReachTheFile()
    {
        const QString path = m_dir.filePath("secret.zurec");
        SessionRecordWriter writer;
        QVERIFY(writer.open(path, SessionRecordWriter::Side::Client, "test"));

        ZuHubProto::Envelope change;
        change.mutable_password_change()->set_username("alice");
        change.mutable_password_change()->set_old_password("OldSecret1");
        change.mutable_password_change()->set_new_password("NewSecret2");
        writer.recordFrame(Direction::FromClient, FrameCodec::EnvelopeFrame, bytesOf(change));
        Menu::Envelope login;
        login.mutable_authenticate()->set_username("alice");
        login.mutable_authenticate()->set_password("LoginSecret3");
        writer.recordFrame(Direction::FromClient, FrameCodec::MenuFrame, bytesOf(login));
        Menu::Envelope menuChange;
        menuChange.mutable_changepassword()->set_newpassword("MenuSecret4");
        writer.recordFrame(Direction::FromClient, FrameCodec::MenuFrame, bytesOf(menuChange));
        Menu::Envelope menu;
        Menu::MenuData *item = menu.mutable_menudata()->add_menudata()->add_menudata();
        item->set_shortdesc("Payroll");
        item->set_password("AccessSecret5");
        writer.recordFrame(Direction::FromHub, FrameCodec::MenuFrame, bytesOf(menu));
        // What the classic session sends for a field the screen marks invisible, with its blanked
        // form beside it.
        Pb::UIEnvelope typed;
        typed.mutable_generic_response()->set_data("FieldSecret6");
        Pb::UIEnvelope blanked = typed;
        blanked.mutable_generic_response()->set_data(std::string());
        writer.recordFrame(Direction::FromClient, FrameCodec::ChannelFrame,
                           FrameCodec::channelPayload(3, bytesOf(typed)), FrameCodec::channelPayload(3, bytesOf(blanked)));
        // Unreadable bytes from the client could be anything typed.
        writer.recordFrame(Direction::FromClient, FrameCodec::MenuFrame,
                           QByteArray("\xffGarbledSecret7", 15));
        writer.close();

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray all = file.readAll();
        for (const char *secret : { "OldSecret1", "NewSecret2", "LoginSecret3", "MenuSecret4",
                                    "AccessSecret5", "FieldSecret6", "GarbledSecret7" })
            QVERIFY2(!all.contains(secret), secret);
        QVERIFY(all.contains("alice"));

        SessionRecordReader reader;
        const QVector<SessionRecord> records = readAll(path, &reader);
        QCOMPARE(records.size(), 6);
        Menu::Envelope readMenu;
        QVERIFY(readMenu.ParseFromArray(records[3].data.constData(), records[3].data.size()));
        QCOMPARE(readMenu.menudata().menudata(0).menudata(0).password(),
                 std::string(SessionRecord::AccessCodeMarker));
        QCOMPARE(records[4].channel, quint16(3));
        QCOMPARE(records[4].data, bytesOf(blanked));
        QVERIFY(records[5].data.isEmpty());
    }

    // Keys typed into a terminal are kept as their count only (a no-echo password prompt looks like
    // any other), unless asked for; other channels and the terminal's other messages are kept.
    void terminalKeysAreCounted_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("counted") << false;
        QTest::newRow("kept on request") << true;
    }

    void terminalKeysAreCounted()
    {
        QFETCH(bool, keep);
        const QString path = m_dir.filePath(QStringLiteral("terminal-%1.zurec").arg(keep));
        SessionRecordWriter writer;
        writer.redactor().setKeepTerminalKeys(keep);
        QVERIFY(writer.open(path, SessionRecordWriter::Side::Client, "test"));
        Pb::UIEnvelope terminal;
        terminal.mutable_handshake()->set_type(Pb::Handshake::TERMINAL);
        Pb::UIEnvelope classic;
        classic.mutable_handshake()->set_type(Pb::Handshake::CLASSIC);
        writer.recordFrame(Direction::FromHub, FrameCodec::ChannelFrame, FrameCodec::channelPayload(5, bytesOf(terminal)));
        writer.recordFrame(Direction::FromHub, FrameCodec::ChannelFrame, FrameCodec::channelPayload(6, bytesOf(classic)));
        zuterm::Envelope keys;
        keys.mutable_data_packet()->set_data("TermSecret8\r");
        zuterm::Envelope size;
        size.mutable_window_size()->set_rows(24);
        writer.recordFrame(Direction::FromClient, FrameCodec::ChannelFrame, FrameCodec::channelPayload(5, bytesOf(keys)));
        writer.recordFrame(Direction::FromClient, FrameCodec::ChannelFrame, FrameCodec::channelPayload(5, bytesOf(size)));
        writer.recordFrame(Direction::FromClient, FrameCodec::ChannelFrame, FrameCodec::channelPayload(6, bytesOf(keys)));
        writer.close();

        SessionRecordReader reader;
        const QVector<SessionRecord> records = readAll(path, &reader);
        QCOMPARE(records.size(), 5);
        zuterm::Envelope recorded;
        QVERIFY(recorded.ParseFromArray(records[2].data.constData(), records[2].data.size()));
        QCOMPARE(recorded.data_packet().data(), keep ? std::string("TermSecret8\r") : std::string("(12 bytes typed)"));
        QCOMPARE(records[3].data, bytesOf(size));
        QCOMPARE(records[4].data, bytesOf(keys)); // not a terminal's channel
        QCOMPARE(reader.headerText().contains("terminal keys"), !keep);
    }

    // A recording never opens a file that exists: the next free name is taken, the old file stays.
    void existingFilesAreNeverWritten()
    {
        const QString path = m_dir.filePath("same-second.zurec");
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("an earlier recording");
        earlier.close();
        QVERIFY(QFile::link(m_dir.filePath("elsewhere"), m_dir.filePath("same-second-2.zurec")));

        SessionRecordWriter writer;
        QVERIFY2(writer.open(path, SessionRecordWriter::Side::Client, "test"), qPrintable(writer.errorText()));
        QCOMPARE(writer.fileName(), m_dir.filePath("same-second-3.zurec"));
        writer.recordNote("second");
        writer.close();
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("an earlier recording"));
        QVERIFY(!QFileInfo::exists(m_dir.filePath("elsewhere")));
        SessionRecordReader reader;
        QCOMPARE(readAll(writer.fileName(), &reader).size(), 1);
    }

    void stopsWithANoteAtItsSizeBound()
    {
        const QString path = m_dir.filePath("bounded.zurec");
        SessionRecordWriter writer;
        QVERIFY(writer.open(path, SessionRecordWriter::Side::Hub, "test"));
        writer.setMaxBytes(4000);
        for (int i = 0; i < 20; ++i)
            writer.recordFrame(Direction::FromHub, FrameCodec::ChannelFrame,
                               FrameCodec::channelPayload(1, QByteArray(500, 'x')));
        QVERIFY(!writer.isRecording());
        QVERIFY(QFileInfo(path).size() <= 4000);

        SessionRecordReader reader;
        const QVector<SessionRecord> records = readAll(path, &reader);
        QVERIFY2(reader.errorText().isEmpty(), qPrintable(reader.errorText()));
        QVERIFY(records.size() > 3);
        QCOMPARE(records.last().direction, Direction::Note);
        QVERIFY(records.last().data.contains("limit"));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(tst_SessionRecordWriter)
#include "tst_sessionrecordwriter.moc"

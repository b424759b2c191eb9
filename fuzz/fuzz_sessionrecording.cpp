#include "fuzzsupport.h"

#include "framecodec.h"
#include "hub/sessionreplay.h"
#include "sessionrecordreader.h"
#include "sessionrecordwriter.h"

#include "menu.pb.h"
#include "zuhub.pb.h"

#include <QBuffer>
#include <QTemporaryDir>

// A recording file handed to --replay: read, shown as text, blanked and normalised for comparing.
QList<QByteArray> fuzzSeeds()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("seed.zurec");
    SessionRecordWriter writer;
    if (!writer.open(path, SessionRecordWriter::Side::Client, "fuzz"))
        return {};
    ZuHubProto::Envelope hello;
    hello.mutable_hello()->set_version("1");
    writer.recordFrame(SessionRecord::Direction::FromClient, FrameCodec::EnvelopeFrame,
                       QByteArray::fromStdString(hello.SerializeAsString()));
    Menu::Envelope menu;
    menu.mutable_menudata()->add_menudata()->set_password("code");
    writer.recordFrame(SessionRecord::Direction::FromHub, FrameCodec::MenuFrame,
                       QByteArray::fromStdString(menu.SerializeAsString()));
    writer.recordFrame(SessionRecord::Direction::FromHub, FrameCodec::ChannelFrame,
                       FrameCodec::channelPayload(1, QByteArray("\x8a\x3e\x02\x08\x01", 5)));
    writer.recordNote("end");
    writer.close();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return { file.readAll() };
}

void fuzzOne(const QByteArray &input)
{
    QByteArray bytes = input;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    SessionRecordReader reader;
    if (!reader.open(&buffer)) {
        FUZZ_CHECK(!reader.errorText().isEmpty());
        return;
    }
    QVector<SessionRecord> records;
    SessionRecord record;
    SessionRecordReader::Result result;
    while ((result = reader.next(&record)) == SessionRecordReader::Result::Record) {
        FUZZ_CHECK(record.data.size() <= input.size());
        SessionRecord::describe(record, 200);
        SessionRecord::redacted(record.direction, record.frameType, record.data);
        SessionReplay::comparable(record.frameType, record.data);
        records << record;
    }
    FUZZ_CHECK(result == SessionRecordReader::Result::End || !reader.errorText().isEmpty());
    SessionReplay replay;
    replay.loadRecords(records);
}

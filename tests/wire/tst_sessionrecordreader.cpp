#include "sessionrecordreader.h"

#include "framecodec.h"
#include "sessionrecordwriter.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

} // namespace

// Recordings come from outside: each kind of damage gives its own clear error, and the whole
// records before the damage are still read.
class tst_SessionRecordReader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString path = m_dir.filePath("good.zurec");
        SessionRecordWriter writer;
        QVERIFY(writer.open(path, SessionRecordWriter::Side::Client, "test"));
        writer.recordFrame(SessionRecord::Direction::FromHub, FrameCodec::ChannelFrame,
                           FrameCodec::channelPayload(2, "first"));
        writer.close();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        m_good = file.readAll();
        // One record: 4 length bytes, 12 head bytes, 5 data bytes.
        m_headerSize = m_good.size() - 21;
    }

    void damage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("wholeRecords");
        QTest::addColumn<QString>("error");
        const QByteArray header = m_good.left(m_headerSize);
        const QByteArray record = m_good.mid(m_headerSize);
        QByteArray otherVersion = m_good;
        otherVersion[SessionRecord::MagicSize + 1] = 9;
        QByteArray hugeHeader = m_good.left(SessionRecord::MagicSize + 4) + bigEndian32(0x7fffffff);
        auto withHead = [&](quint32 length, quint8 direction, quint8 type) {
            QByteArray bytes = bigEndian32(length) + QByteArray(8, '\0');
            bytes += char(direction);
            bytes += char(type);
            return header + record + bytes + QByteArray(2, '\0') + "data";
        };

        QTest::newRow("empty file") << QByteArray() << 0 << "Not a session recording";
        QTest::newRow("another format") << QByteArray("%PDF-1.4 and so on") << 0 << "Not a session recording";
        QTest::newRow("newer version") << otherVersion << 0 << "Unsupported recording version 9";
        QTest::newRow("header claims 2 GB") << hugeHeader << 0 << "a header of";
        QTest::newRow("cut in the header") << header.left(header.size() - 3) << 0 << "inside its header";
        QTest::newRow("cut in a record head")
            << header + record + record.left(7) << 1 << "inside the record at byte";
        QTest::newRow("cut in a record's data")
            << header + record + record.left(record.size() - 1) << 1 << "inside the record at byte";
        QTest::newRow("record shorter than its head") << withHead(3, 1, 2) << 1 << "is not valid";
        QTest::newRow("record claims 4 GB") << withHead(0xffffffff, 1, 2) << 1 << "is not valid";
        QTest::newRow("record claims more than is left") << withHead(1000, 1, 2) << 1 << "inside the record";
        QTest::newRow("unknown direction") << withHead(16, 7, 2) << 1 << "is not valid";
        QTest::newRow("unknown frame type") << withHead(16, 1, 9) << 1 << "is not valid";
    }

    void damage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, wholeRecords);
        QFETCH(QString, error);
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        SessionRecordReader reader;
        int records = 0;
        if (reader.open(&buffer)) {
            SessionRecord record;
            SessionRecordReader::Result result;
            while ((result = reader.next(&record)) == SessionRecordReader::Result::Record)
                ++records;
            QCOMPARE(result, SessionRecordReader::Result::Error);
        }
        QCOMPARE(records, wholeRecords);
        QVERIFY2(reader.errorText().contains(error), qPrintable(reader.errorText()));
    }

    void missingFileNamesTheFile()
    {
        SessionRecordReader reader;
        QVERIFY(!reader.open(m_dir.filePath("absent.zurec")));
        QVERIFY(reader.errorText().contains("absent.zurec"));
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_good;
    int m_headerSize = 0;
};

QTEST_GUILESS_MAIN(tst_SessionRecordReader)
#include "tst_sessionrecordreader.moc"

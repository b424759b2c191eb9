// A terminal application flooding a logged-in desktop over a hub channel with 1 MiB data packets,
// as fast as the client takes them (the in-process hub keeps a few MiB queued at all times). The
// output the terminal has not read yet must stay within its pump's bound: past it the client stops
// reading the hub link, so TCP holds the hub back, and memory stays flat. The longest stall of the
// event loop is reported.
#include "shell/mainwindow.h"
#include "terminal/datapump.h"
#include "terminal/qvterminal.h"
#include "terminal/terminaltaskwidget.h"

#include "framecodec.h"

#include "processprobe.h"
#include "soakdesktop.h"
#include "soakrun.h"
#include "stallmeter.h"
#include "testhub.h"

#include "zuhub.pb.h"
#include "zuterm.pb.h"

#include <QPointer>
#include <QSslSocket>
#include <QTest>
#include <QTimer>

namespace {

constexpr quint16 Channel = 7;
constexpr int PacketBytes = 1024 * 1024;
constexpr qint64 MiB = 1024 * 1024;
constexpr qint64 QueuedBytes = 8 * MiB;
constexpr int FloodTimeoutMs = 15 * 60 * 1000;
const char EndMark[] = "FLOOD-END";

QByteArray packet(const QByteArray &bytes)
{
    zuterm::Envelope envelope;
    envelope.mutable_data_packet()->set_data(bytes.constData(), size_t(bytes.size()));
    return QByteArray::fromStdString(envelope.SerializeAsString());
}

} // namespace

class tst_TerminalHubFlood : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_desktop.start(), qPrintable(m_desktop.failure()));
        QVERIFY2(m_desktop.logIn(0), qPrintable(m_desktop.failure()));
    }

    void floodOverAHubChannel()
    {
        const qint64 total = SoakRun::count(96, 1024) * MiB;
        QByteArray text;
        while (text.size() < PacketBytes)
            text += "\x1b[1;32mok\x1b[0m lorem ipsum dolor sit amet 0123456789\r\n";
        text.truncate(PacketBytes);
        const QByteArray data = packet(text);

        ZuHubProto::Envelope status;
        status.mutable_classic_connection_status()->set_channel_id(Channel);
        status.mutable_classic_connection_status()->set_is_connected(true);
        TestHub *hub = m_desktop.hub();
        hub->sendEnvelope(status);
        zuterm::Envelope hello;
        hello.mutable_handshake()->set_type(zuterm::Handshake::TERMINAL);
        hello.mutable_handshake()->set_ui_version("soak");
        send(QByteArray::fromStdString(hello.SerializeAsString()));
        QPointer<TerminalTaskWidget> page;
        QVERIFY(QTest::qWaitFor([&] { return (page = m_desktop.mainWindow()->findChild<TerminalTaskWidget *>()); },
                                SoakDesktop::WaitMs));
        const DataPump *pump = page->findChild<DataPump *>();
        QVERIFY(pump);

        // The hub writes whenever its queue runs low; what it has queued is its share of memory.
        qint64 sent = 0;
        qint64 largestBacklog = 0;
        qint64 reference = -1;
        qint64 highest = 0;
        QTimer writer;
        connect(&writer, &QTimer::timeout, this, [&] {
            largestBacklog = std::max(largestBacklog, pump->bytesAvailable());
            const qint64 resident = ProcessProbe::residentBytes();
            if (reference < 0 && sent >= total / 10)
                reference = resident;
            highest = std::max(highest, resident);
            QSslSocket *peer = hub->peer();
            while (peer && sent < total && peer->bytesToWrite() + peer->encryptedBytesToWrite() < QueuedBytes) {
                send(data);
                sent += PacketBytes;
            }
            if (sent >= total && sent < total + 1) {
                send(packet(QByteArray("\r\n") + EndMark));
                sent = total + 1;
            }
        });
        StallMeter stalls;
        stalls.start();
        writer.start(1);
        const bool ended = QTest::qWaitFor(
            [&] {
                const QVTerminal *terminal = page ? page->terminal() : nullptr;
                return terminal && terminal->buffer().lineText(terminal->cursorLine()).startsWith(QLatin1String(EndMark));
            },
            FloodTimeoutMs);
        stalls.stop();
        writer.stop();
        QVERIFY2(ended, "the flood did not reach its end");

        SoakRun run(QStringLiteral("terminal flood over a hub channel"));
        run.setSize(QStringLiteral("%1 MiB").arg(total / MiB));
        run.setMemory(reference, ProcessProbe::residentBytes());
        run.setStall(stalls.longestStallMs(), stalls.longestBusyMs());
        run.addNote(QStringLiteral("largest backlog %1 MiB").arg(double(largestBacklog) / MiB, 0, 'f', 1));
        run.print();
        // One packet may arrive after the pump has asked the link to stop.
        QVERIFY2(largestBacklog <= DataPump::MaxBacklogBytes + PacketBytes, qPrintable(run.line()));
        QVERIFY2(!ProcessProbe::memoryIsJudged() || highest <= reference + 64 * MiB, qPrintable(run.line()));
    }

private:
    void send(const QByteArray &message)
    {
        m_desktop.hub()->sendFrame(FrameCodec::ChannelFrame, FrameCodec::channelPayload(Channel, message));
    }

    SoakDesktop m_desktop;
};

QTEST_MAIN(tst_TerminalHubFlood)
#include "tst_terminalhubflood.moc"

// Floods into a shown desktop over its debug listener, written by a thread of their own as fast
// as the client takes them: a classic application sending status and field messages, and a
// terminal application printing a gigabyte. Memory must hold within 10 % of what it was after the
// first tenth of the flood; the longest stall of the event loop is reported, and held to 100 ms of
// the client's own work in full runs (a test on a shared machine asserts no timings).
#include "utils/busymouse.h"
#include "classic/applicationconnection.h"
#include "applinks/sessionrouter.h"
#include "classic/classicapplicationwidget.h"
#include "classic/zufieldwidget.h"
#include "menu/mainconnection.h"
#include "shell/mainwindow.h"
#include "style/stylemanager.h"
#include "terminal/qvterminal.h"
#include "terminal/terminalbuffer.h"
#include "terminal/terminaltaskwidget.h"

#include "lengthprefixcodec.h"

#include "classicscreens.h"

#include "floodwriter.h"
#include "processprobe.h"
#include "soakrun.h"
#include "stallmeter.h"
#include "testenvironment.h"
#include "routedsessions.h"

#include "uidlg.pb.h"
#include "zuterm.pb.h"

#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <QDeadlineTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr int ScreenId = 3;
constexpr int SampleMs = 50;
constexpr double HeldWithin = 0.10;
constexpr int MaxBusyMs = 100;
constexpr qint64 MiB = 1024 * 1024;
constexpr int PacketBytes = 4096; // what a pseudo-terminal hands out per read
constexpr int WriteBytes = 64 * 1024;
constexpr int FloodTimeoutMs = 15 * 60 * 1000;
constexpr int GateMs = 10000;
const char EndMark[] = "FLOOD-END";
const char StatusPrefix[] = "Reading record ";

QByteArray framed(const google::protobuf::Message &message)
{
    return LengthPrefixCodec::encode(QByteArray::fromStdString(message.SerializeAsString()));
}

// Terminal output of every kind the emulator meets: text runs, colours, line ends, cursor moves,
// erases; the same bytes on every run.
QByteArray terminalOutput(int size)
{
    static const char *const Pieces[] = { "lorem ipsum dolor sit amet ", "\r\n", "\x1b[1;31m", "0123456789 ",
                                          "\x1b[0m", "-rw-r--r-- 1 zu zu 4096 ", "\x1b[5A", "\x1b[K",
                                          "\x1b[12;40H", "consectetur adipiscing elit ", "\t", "\x1b[7m" };
    QByteArray out;
    out.reserve(size);
    quint32 state = 2024;
    while (out.size() < size) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        out.append(Pieces[state % (sizeof Pieces / sizeof *Pieces)]);
    }
    out.truncate(size);
    return out;
}

// Resident memory sampled through a run: the reference once the flood is a tenth through, and the
// extremes after it.
class MemoryWatch
{
public:
    void sample(double progress)
    {
        const qint64 now = ProcessProbe::residentBytes();
        if (m_reference < 0) {
            if (progress >= HeldWithin) {
                m_reference = now;
                m_lowest = m_highest = now;
            }
            return;
        }
        m_lowest = std::min(m_lowest, now);
        m_highest = std::max(m_highest, now);
    }
    qint64 reference() const { return m_reference; }
    qint64 highest() const { return m_highest; }
    bool heldWithinBounds() const
    {
        return m_reference > 0 && m_highest <= m_reference * (1 + HeldWithin)
            && m_lowest >= m_reference * (1 - HeldWithin);
    }

private:
    qint64 m_reference = -1;
    qint64 m_lowest = 0;
    qint64 m_highest = 0;
};

} // namespace

class tst_Floods : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        StyleManager::loadTheme();
        QVERIFY(m_listener.listen(QHostAddress::LocalHost));
        m_connection = std::make_unique<MainConnection>();
        m_window = std::make_unique<MainWindow>(m_connection.get(), &m_listener);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_connection.reset();
    }

    void classicStatusAndFields()
    {
        const int messages = SoakRun::count(10000, 100000);
        const QByteArray opening = classicOpening();
        const QByteArray flood = classicFlood(messages);
        // The page is shown and painted first (it holds its first paint back a moment after a
        // screen loads): that is the page's cost, not the flood's.
        std::atomic<bool> pageShown { false };
        qint64 offset = -1;
        FloodWriter writer([&](QByteArray *next) {
            if (offset < 0) {
                *next = opening;
                offset = 0;
                return true;
            }
            for (QDeadlineTimer gate(GateMs); !pageShown && !gate.hasExpired();)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (offset >= flood.size())
                return false;
            *next = flood.mid(offset, WriteBytes);
            offset += next->size();
            return true;
        });
        const auto status = [this] { return classicPage() ? classicPage()->statusText() : QString(); };
        // The whole flood fits in the socket buffers: how far the client is, its status line tells.
        const auto progress = [&status, messages] {
            const QString shown = status();
            if (shown == QLatin1String(EndMark))
                return 1.0;
            return shown.startsWith(QLatin1String(StatusPrefix))
                ? shown.midRef(int(sizeof StatusPrefix) - 1).toDouble() / messages
                : 0.0;
        };
        QVERIFY(writer.start(m_listener.serverPort()));
        QVERIFY(QTest::qWaitFor(
            [this] {
                return classicPage() && classicPage()->isVisible()
                    && !BusyMouse::instance()->pendingReasons().contains(QLatin1String("appUpdatesSuspended"));
            },
            GateMs));
        QTest::qWait(SampleMs); // the paint
        pageShown = true;
        runFlood(QStringLiteral("classic flood"), QStringLiteral("%1 messages").arg(messages), &writer, progress,
                 [&status] { return status() == QLatin1String(EndMark); });
        writer.stop();
        QVERIFY(QTest::qWaitFor([this] { return m_window->sessionRouter()->sessions().isEmpty(); }, 10000));
    }

    void terminalGigabyte()
    {
        const qint64 total = SoakRun::count(64, 1024) * MiB;
        const QByteArray output = terminalOutput(4 * int(MiB));
        QList<QByteArray> packets;
        for (int offset = 0; offset < output.size(); offset += PacketBytes) {
            zuterm::Envelope envelope;
            envelope.mutable_data_packet()->set_data(output.constData() + offset, PacketBytes);
            packets << framed(envelope);
        }
        zuterm::Envelope hello;
        hello.mutable_handshake()->set_type(zuterm::Handshake::TERMINAL);
        hello.mutable_handshake()->set_ui_version("soak");
        zuterm::Envelope end;
        end.mutable_data_packet()->set_data(QByteArray("\x1b[0m\r\n").append(EndMark).toStdString());
        qint64 sent = -1;
        int next = 0;
        FloodWriter writer([&](QByteArray *chunk) {
            if (sent < 0) {
                *chunk = framed(hello);
                sent = 0;
                return true;
            }
            if (sent >= total) {
                if (sent == total + 1)
                    return false;
                *chunk = framed(end);
                sent = total + 1;
                return true;
            }
            chunk->clear();
            while (chunk->size() < WriteBytes && sent < total) {
                *chunk += packets.at(next);
                next = (next + 1) % packets.size();
                sent += PacketBytes;
            }
            return true;
        });
        const auto finished = [this] {
            auto *page = m_window->findChild<TerminalTaskWidget *>();
            if (!page)
                return false;
            const QVTerminal *terminal = page->terminal();
            return terminal->buffer().lineText(terminal->cursorLine()).startsWith(QLatin1String(EndMark));
        };
        // A gigabyte dwarfs the socket buffers: what was written is about what was read.
        QVERIFY(writer.start(m_listener.serverPort()));
        runFlood(QStringLiteral("terminal flood"), QStringLiteral("%1 MiB").arg(total / MiB), &writer,
                 [&writer, total] { return double(writer.bytesWritten()) / double(total); }, finished);
        writer.stop();
        QVERIFY(QTest::qWaitFor([this] { return !m_window->findChild<TerminalTaskWidget *>(); }, 10000));
    }

private:
    ClassicApplicationWidget *classicPage() const
    {
        ApplicationConnection *session = routedSessions<ApplicationConnection>(m_window->sessionRouter()).value(0);
        return session ? session->page(1) : nullptr;
    }

    static QByteArray classicOpening()
    {
        Pb::UIEnvelope hello;
        hello.mutable_handshake()->set_ui_version("soak");
        Pb::UIEnvelope open;
        open.set_pid(1);
        open.set_window_id(1);
        open.mutable_create_session()->set_app_name("flood");
        open.mutable_load_screen()->set_screen(ClassicScreens::document(QString::fromLatin1(ClassicScreens::Student)).toStdString());
        open.mutable_load_screen()->set_screen_id(ScreenId);
        return framed(hello) + framed(open);
    }

    static QByteArray classicFlood(int messages)
    {
        QByteArray flood;
        static const char *const Fields[] = { "last_name", "first_name", "programme", "notes", "student_no" };
        for (int i = 0; i < messages; ++i) {
            Pb::UIEnvelope message;
            message.set_pid(1);
            message.set_window_id(1);
            if (i % 2 == 0) {
                message.mutable_set_status()->set_status_text(StatusPrefix + std::to_string(i));
            } else {
                const int field = (i / 2) % int(sizeof Fields / sizeof *Fields);
                Pb::PutField *put = message.mutable_put_field();
                put->mutable_field_id()->set_screen_id(ScreenId);
                put->mutable_field_id()->set_field_name(Fields[field]);
                put->set_data_type(field == 4 ? ZuFieldWidget::ZUGUI_NUMBER : ZuFieldWidget::ZUGUI_CHAR);
                put->set_data(std::to_string(100000 + i));
            }
            flood += framed(message);
        }
        Pb::UIEnvelope end;
        end.set_pid(1);
        end.set_window_id(1);
        end.mutable_set_status()->set_status_text(EndMark);
        return flood + framed(end);
    }

    // progress: how far through the flood the client is, from 0 to 1.
    template<class Progress, class Finished>
    void runFlood(const QString &what, const QString &size, FloodWriter *writer, Progress progress, Finished finished)
    {
        StallMeter stalls;
        MemoryWatch memory;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this,
                [&memory, &progress] { memory.sample(progress()); });
        sampler.start(SampleMs);
        stalls.start();
        QVERIFY2(QTest::qWaitFor(finished, FloodTimeoutMs), "the flood did not reach its end");
        memory.sample(1);
        stalls.stop();
        sampler.stop();
        QVERIFY(!writer->failed());

        SoakRun run(what);
        run.setSize(size);
        run.setMemory(memory.reference(), ProcessProbe::residentBytes());
        run.setStall(stalls.longestStallMs(), stalls.longestBusyMs());
        run.addNote(QStringLiteral("peak %1 MB").arg(ProcessProbe::megabytes(memory.highest()), 0, 'f', 1));
        run.print();
        QVERIFY2(!ProcessProbe::memoryIsJudged() || memory.heldWithinBounds(), qPrintable(run.line()));
        if (SoakRun::isFull())
            QVERIFY2(stalls.longestBusyMs() <= MaxBusyMs, qPrintable(run.line()));
    }

    TestEnvironment m_environment;
    QTcpServer m_listener;
    std::unique_ptr<MainConnection> m_connection;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(tst_Floods)
#include "tst_floods.moc"

// The terminal's data path. BM_AppendData/n: a stream through QVTerminal::appendData in 16 KiB
// chunks, with the widget shown offscreen; BM_Libvterm/n: the same bytes through libvterm's screen
// (a reference only, linked here and nowhere else). Streams: 0 = 64 MiB of mixed output (text runs,
// colours, CR LF, cursor moves, erases; fixed seed), goal at least 150 MB/s; 1 = 16 MiB scrolling
// inside a region (line feeds at its bottom, RI at its top, IL and DL, as editors and pagers
// scroll), goal at least 3x libvterm; 2 = 16 MiB of full-screen redraws (every row addressed and
// rewritten in colours, as htop and mc do), goal at least 3x libvterm; 3 = 16 MiB of UTF-8
// (accented Latin, Greek, Cyrillic, box drawing, wide CJK, combining marks) in 256 and 24-bit
// colours, both sides decoding UTF-8, goal at least 3x libvterm.
// BM_PagePackets: the mixed bytes as 4 KiB data packets through a shown TerminalTaskWidget (parse,
// dispatch, zero bytes, pump, interpretation, painting).
// BM_CatThroughPseudoTerminal: `cat` of a 100 MB file in a real pseudo-terminal, through the
// stand-in hub, a debug connection and a shown terminal page; reports the longest stall of the
// event loop (goal: under 50 ms) as the gap between ticks of a 2 ms timer, and the thread's CPU
// time within that gap (on a shared machine the wall-clock gap includes time not scheduled at all).
// ZU_BENCH_GAPS=1 prints every gap over 20 ms with its time into the run.

#include "applinks/sockettranceiver.h"
#include "style/stylemanager.h"
#include "terminal/qvterminal.h"
#include "terminal/terminaltaskwidget.h"

#include "devhubconfig.h"

#include "zuterm.pb.h"

#include "ratioreporter.h"

#include <benchmark/benchmark.h>

#include <vterm.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

constexpr int OutputBytes = 64 * 1024 * 1024;
constexpr int ScreenStreamBytes = 16 * 1024 * 1024;
constexpr int CatBytes = 100 * 1000 * 1000;
constexpr int ChunkBytes = 16 * 1024;
constexpr int TickMs = 2;
constexpr int CatTimeoutMs = 600000;

// xorshift32: the same bytes on every machine and run.
class Random
{
public:
    explicit Random(quint32 seed) : m_state(seed) { }
    quint32 next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    int below(int bound) { return int(next() % quint32(bound)); }

private:
    quint32 m_state;
};

QByteArray mixedOutput(int size, quint32 seed)
{
    static const char Words[] = "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod "
                                "tempor incididunt ut labore et dolore magna aliqua 0123456789 -rw-r--r--";
    Random random(seed);
    QByteArray out;
    out.reserve(size + 256);
    while (out.size() < size) {
        const int pick = random.below(100);
        if (pick < 55) {
            const int length = 4 + random.below(60);
            const int start = random.below(int(sizeof Words) - 1 - length);
            out.append(Words + start, length);
        } else if (pick < 72) {
            out.append("\r\n");
        } else if (pick < 84) {
            static const char *const Sgr[]
                = { "\x1b[0m", "\x1b[1;31m", "\x1b[32m", "\x1b[1;34m", "\x1b[7m", "\x1b[43;30m", "\x1b[m", "\x1b[39;49m" };
            out.append(Sgr[random.below(8)]);
        } else if (pick < 92) {
            switch (random.below(4)) {
            case 0: out.append("\x1b[" + QByteArray::number(1 + random.below(5)) + "A"); break;
            case 1: out.append("\x1b[" + QByteArray::number(1 + random.below(20)) + "C"); break;
            case 2: out.append("\x1b[" + QByteArray::number(1 + random.below(10)) + "D"); break;
            default:
                out.append("\x1b[" + QByteArray::number(1 + random.below(24)) + ";"
                           + QByteArray::number(1 + random.below(80)) + "H");
            }
        } else if (pick < 97) {
            out.append("\x1b[K");
        } else if (pick < 99) {
            out.append("\t");
        } else {
            out.append(random.below(50) == 0 ? "\x1b[2J" : "\b\b");
        }
    }
    return out;
}

// Lines scrolled inside the region of rows 2-23, as an editor or a pager scrolls its text.
QByteArray regionOutput(int size, quint32 seed)
{
    Random random(seed);
    QByteArray out("\x1b[2;23r");
    out.reserve(size + 256);
    int line = 0;
    while (out.size() < size) {
        const int pick = random.below(100);
        const QByteArray text = "line " + QByteArray::number(++line) + " of the text being scrolled, "
            + QByteArray(random.below(40), 'x');
        if (pick < 70) {
            out.append("\x1b[23;1H" + text + "\r\n");
        } else if (pick < 85) {
            out.append("\x1b[2;1H\x1bM" + text);
        } else if (pick < 93) {
            out.append("\x1b[" + QByteArray::number(2 + random.below(20)) + ";1H\x1b["
                       + QByteArray::number(1 + random.below(3)) + "L" + text);
        } else {
            out.append("\x1b[" + QByteArray::number(2 + random.below(20)) + ";1H\x1b["
                       + QByteArray::number(1 + random.below(3)) + "M");
        }
    }
    return out;
}

// Whole screens of 24 rows addressed and rewritten in colours, on the alternate screen.
QByteArray redrawOutput(int size, quint32 seed)
{
    Random random(seed);
    QByteArray out("\x1b[?1049h");
    out.reserve(size + 4096);
    static const char *const Sgr[] = { "\x1b[0m", "\x1b[1;37;44m", "\x1b[30;46m", "\x1b[33m", "\x1b[7m" };
    int frame = 0;
    while (out.size() < size) {
        if (++frame % 50 == 0)
            out.append("\x1b[H\x1b[2J");
        for (int row = 1; row <= 24; ++row) {
            out.append("\x1b[" + QByteArray::number(row) + ";1H");
            for (int column = 0; column < 80;) {
                const int run = std::min(80 - column, 4 + random.below(30));
                out.append(Sgr[random.below(5)]);
                out.append(QByteArray(run, char('a' + random.below(26))));
                column += run;
            }
        }
    }
    return out;
}

// Words in several scripts, some wide and some with combining marks, in extended colours.
QByteArray utf8Output(int size, quint32 seed)
{
    static const char *const Words[] = {
        "caf\xc3\xa9", "na\xc3\xafve", "r\xc3\xa9sum\xc3\xa9", "\xce\xb1\xce\xbb\xcf\x86\xce\xb1",
        "\xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e",
        "\xe4\xb8\xad\xe6\x96\x87", "\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4", "e\xcc\x81" "a\xcc\x88",
        "\xe2\x94\x8c\xe2\x94\x80\xe2\x94\x90", "plain", "ascii-text", "\xe2\x86\x92",
    };
    constexpr int WordCount = int(sizeof Words / sizeof *Words);
    Random random(seed);
    QByteArray out;
    out.reserve(size + 256);
    while (out.size() < size) {
        const int pick = random.below(100);
        if (pick < 70) {
            out.append(Words[random.below(WordCount)]);
            out.append(' ');
        } else if (pick < 82) {
            out.append("\r\n");
        } else if (pick < 90) {
            out.append("\x1b[38;5;" + QByteArray::number(random.below(256)) + 'm');
        } else if (pick < 96) {
            out.append("\x1b[38;2;" + QByteArray::number(random.below(256)) + ';' + QByteArray::number(random.below(256))
                       + ';' + QByteArray::number(random.below(256)) + 'm');
        } else {
            out.append("\x1b[0m");
        }
    }
    return out;
}

// 0 mixed, 1 scrolling region, 2 full-screen redraws, 3 UTF-8 (see the top of the file).
constexpr int Utf8Stream = 3;

const QByteArray &sharedOutput(int stream = 0)
{
    static const QByteArray mixed = mixedOutput(OutputBytes, 20240611);
    static const QByteArray region = regionOutput(ScreenStreamBytes, 42);
    static const QByteArray redraw = redrawOutput(ScreenStreamBytes, 43);
    static const QByteArray utf8 = utf8Output(ScreenStreamBytes, 44);
    switch (stream) {
    case 1: return region;
    case 2: return redraw;
    case Utf8Stream: return utf8;
    default: return mixed;
    }
}

void BM_AppendData(benchmark::State &state)
{
    const QByteArray &output = sharedOutput(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto terminal = std::make_unique<QVTerminal>();
        terminal->setUtf8(state.range(0) == Utf8Stream);
        terminal->resize(800, 600);
        terminal->show();
        QApplication::processEvents();
        state.ResumeTiming();
        for (int offset = 0; offset < output.size(); offset += ChunkBytes)
            terminal->appendData(QByteArray::fromRawData(output.constData() + offset,
                                                         std::min(ChunkBytes, output.size() - offset)));
        benchmark::DoNotOptimize(terminal->cursorLine());
    }
    state.SetBytesProcessed(state.iterations() * output.size());
}

// Plays the application's end of a transport for BM_PagePackets.
class PacketTransport : public AppTranceiver
{
public:
    void rawMessageSend(QByteArray, QByteArray) override { }
    void deliver(const QByteArray &message) { processIncomingMessage(message.constData(), message.size()); }
};

// The page's share of the path: 4 KiB data packets (what a pseudo-terminal hands out per read)
// parsed, dispatched, freed of zero bytes and interpreted by a shown page, events processed every
// 64 packets so that it paints too.
void BM_PagePackets(benchmark::State &state)
{
    const QByteArray &output = sharedOutput();
    constexpr int PacketBytes = 4096;
    QList<QByteArray> messages;
    for (int offset = 0; offset < output.size(); offset += PacketBytes) {
        zuterm::Envelope envelope;
        envelope.mutable_data_packet()->set_data(output.constData() + offset,
                                                 size_t(std::min(PacketBytes, output.size() - offset)));
        messages.append(QByteArray::fromStdString(envelope.SerializeAsString()));
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto *transport = new PacketTransport;
        zuterm::Envelope hello;
        hello.mutable_handshake()->set_type(zuterm::Handshake::TERMINAL);
        transport->deliver(QByteArray::fromStdString(hello.SerializeAsString()));
        TerminalTaskWidget page(transport);
        page.resize(1000, 800);
        page.show();
        QApplication::processEvents();
        state.ResumeTiming();
        for (int i = 0; i < messages.size(); ++i) {
            transport->deliver(messages.at(i));
            if (i % 64 == 63)
                QApplication::processEvents();
        }
        QApplication::processEvents();
    }
    state.SetBytesProcessed(state.iterations() * output.size());
}

int ignoreScrollback(int, const VTermScreenCell *, void *)
{
    return 1;
}

void BM_Libvterm(benchmark::State &state)
{
    const QByteArray &output = sharedOutput(int(state.range(0)));
    VTermScreenCallbacks callbacks {};
    callbacks.sb_pushline = ignoreScrollback;
    for (auto _ : state) {
        state.PauseTiming();
        VTerm *vt = vterm_new(24, 80);
        vterm_set_utf8(vt, state.range(0) == Utf8Stream ? 1 : 0);
        VTermScreen *screen = vterm_obtain_screen(vt);
        vterm_screen_set_callbacks(screen, &callbacks, nullptr);
        vterm_screen_reset(screen, 1);
        state.ResumeTiming();
        for (int offset = 0; offset < output.size(); offset += ChunkBytes)
            vterm_input_write(vt, output.constData() + offset, size_t(std::min(ChunkBytes, output.size() - offset)));
        state.PauseTiming();
        vterm_free(vt);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * output.size());
}

double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
}

void BM_CatThroughPseudoTerminal(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("output.txt"));
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(mixedOutput(CatBytes, 7)) < 0) {
            state.SkipWithError("cannot write the file to cat");
            return;
        }
    }
    QJsonObject config = QJsonDocument::fromJson(DevHubConfig::builtInJson()).object();
    QJsonObject applications = config.value(QStringLiteral("applications")).toObject();
    applications.insert(QStringLiteral("terminal"),
                        QJsonObject { { QStringLiteral("program"), QStringLiteral("/bin/cat") },
                                      { QStringLiteral("arguments"), QJsonArray { file } } });
    config.insert(QStringLiteral("applications"), applications);
    const QString configPath = dir.filePath(QStringLiteral("config.json"));
    QFile configFile(configPath);
    if (!configFile.open(QIODevice::WriteOnly) || configFile.write(QJsonDocument(config).toJson()) < 0) {
        state.SkipWithError("cannot write the hub configuration");
        return;
    }
    configFile.close();

    QTcpServer listener;
    listener.listen(QHostAddress::LocalHost);
    qint64 worstGapMs = 0;
    double worstBusy = 0;
    for (auto _ : state) {
        QProcess hub;
        hub.start(QStringLiteral(ZU_DEVHUB_PATH),
                  { QStringLiteral("--attach"), QStringLiteral("127.0.0.1:%1").arg(listener.serverPort()),
                    QStringLiteral("--app"), QStringLiteral("terminal"), QStringLiteral("--config"), configPath,
                    QStringLiteral("--data"), dir.path() });
        if (!listener.waitForNewConnection(10000)) {
            state.SkipWithError("the hub did not connect");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        auto *transport = new SocketTranceiver(listener.nextPendingConnection());
        std::unique_ptr<TerminalTaskWidget> page;
        bool done = false;
        QObject::connect(transport, &AppTranceiver::appTypeChanged, transport, [&] {
            page = std::make_unique<TerminalTaskWidget>(transport);
            page->resize(1000, 800);
            page->show();
            QObject::connect(page.get(), &TerminalTaskWidget::disconnected, page.get(), [&] { done = true; });
        });
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        qint64 lastTick = clock.elapsed();
        double lastCpu = threadCpuMs();
        qint64 worstGap = 0;
        QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
            const qint64 now = clock.elapsed();
            const double cpu = threadCpuMs();
            worstGap = std::max(worstGap, now - lastTick);
            worstBusy = std::max(worstBusy, cpu - lastCpu);
            if (qEnvironmentVariableIsSet("ZU_BENCH_GAPS") && now - lastTick > 20)
                std::fprintf(stderr, "gap %lld ms (%.1f ms on the CPU) at %lld ms\n", now - lastTick, cpu - lastCpu, now);
            lastTick = now;
            lastCpu = cpu;
        });
        ticker.start(TickMs);
        while (!done && clock.elapsed() < CatTimeoutMs)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        state.SetIterationTime(double(clock.elapsed()) / 1000);
        worstGapMs = std::max(worstGapMs, worstGap);
        if (!done)
            state.SkipWithError("the output did not end in time");
        if (!page)
            delete transport;
        page.reset();
        hub.waitForFinished(10000);
    }
    state.counters["longest_stall_ms"] = double(worstGapMs);
    // The same gap counted in this thread's CPU time: on a busy machine the wall-clock gap also
    // holds time when the process was not scheduled at all.
    state.counters["longest_busy_ms"] = worstBusy;
    state.SetBytesProcessed(state.iterations() * CatBytes);
}

// A running client has its theme applied and has painted text before: those one-time costs are
// paid here, not inside the measured stall.
void warmUp()
{
    StyleManager::loadTheme();
    QVTerminal terminal;
    terminal.resize(800, 600);
    terminal.show();
    terminal.appendData(mixedOutput(64 * 1024, 1));
    QApplication::processEvents();
}

} // namespace

BENCHMARK(BM_AppendData)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(0)->Arg(1)->Arg(2)->Arg(Utf8Stream);
BENCHMARK(BM_Libvterm)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(0)->Arg(1)->Arg(2)->Arg(Utf8Stream);
BENCHMARK(BM_PagePackets)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CatThroughPseudoTerminal)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    warmUp();
    RatioReporter reporter;
    reporter.addRatio("64 MiB of mixed output (appendData / libvterm)", "BM_AppendData/0/iterations:3",
                      "BM_Libvterm/0/iterations:3");
    reporter.addRatio("16 MiB scrolling in a region (appendData / libvterm)", "BM_AppendData/1/iterations:3",
                      "BM_Libvterm/1/iterations:3");
    reporter.addRatio("16 MiB of full-screen redraws (appendData / libvterm)", "BM_AppendData/2/iterations:3",
                      "BM_Libvterm/2/iterations:3");
    reporter.addRatio("16 MiB of UTF-8 in extended colours (appendData / libvterm)", "BM_AppendData/3/iterations:3",
                      "BM_Libvterm/3/iterations:3");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return 0;
}

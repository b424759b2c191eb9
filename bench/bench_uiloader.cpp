// Loading a 200-field screen with ZuUiLoader against plain QUiLoader loading the same document with
// the screen classes replaced by QWidget. Warm loads run under Google Benchmark; the first load of
// a process is measured in fresh child processes of this program (--first-load zu|plain|scan).
// Three more warm measurements show where the time of a load goes: the two readings ZuUiLoader
// made before it built in one (its QUiLoader path, still the fallback), one bare QXmlStreamReader
// pass over the document, and making the same widgets with no document at all.

#include "classic/zufieldwidget.h"
#include "classic/zuscreen.h"
#include "classic/zuuiloader.h"

#include "benchscreen.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QXmlStreamReader>
#include <QProcess>
#include <QUiLoader>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int FirstLoadRuns = 7;

QByteArray plainDocument()
{
    QByteArray ui = benchScreenDocument();
    ui.replace("class=\"ZuScreen\"", "class=\"QWidget\"");
    ui.replace("class=\"ZuFieldWidget\"", "class=\"QWidget\"");
    const int from = ui.indexOf(" <customwidgets>");
    const int to = ui.indexOf("</customwidgets>\n") + int(qstrlen("</customwidgets>\n"));
    ui.remove(from, to - from);
    return ui;
}

std::unique_ptr<QWidget> loadZu(const QByteArray &document)
{
    std::unique_ptr<QWidget> root(ZuUiLoader::loadDocument(document));
    if (!qobject_cast<ZuScreen *>(root.get()))
        qFatal("the benchmark screen did not load");
    return root;
}

// The baseline: a stock loader, also kept from scanning Designer plugins unless scan is set.
std::unique_ptr<QWidget> loadPlain(const QByteArray &document, bool scan = false)
{
    const QStringList saved = QCoreApplication::libraryPaths();
    if (!scan)
        QCoreApplication::setLibraryPaths({});
    QUiLoader loader;
    if (!scan) {
        loader.clearPluginPaths();
        QCoreApplication::setLibraryPaths(saved);
    }
    QBuffer buffer;
    buffer.setData(document);
    buffer.open(QIODevice::ReadOnly);
    std::unique_ptr<QWidget> root(loader.load(&buffer));
    if (!root)
        qFatal("the baseline screen did not load");
    return root;
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

int runFirstLoad(const QString &kind)
{
    const QByteArray zu = benchScreenDocument();
    const QByteArray plain = plainDocument();
    const long before = residentKb();
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<QWidget> root;
    if (kind == QLatin1String("zu"))
        root = loadZu(zu);
    else
        root = loadPlain(plain, kind == QLatin1String("scan"));
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf("%.3f %ld\n", ms, residentKb() - before);
    return 0;
}

struct FirstLoad
{
    double medianMs = 0;
    double medianKb = 0;
};

// Runs the kinds in turn, FirstLoadRuns rounds, so that a busy moment does not fall on one kind.
std::map<QString, FirstLoad> measureFirstLoads(const QString &program, const QStringList &kinds)
{
    std::map<QString, std::vector<double>> times;
    std::map<QString, std::vector<double>> sizes;
    for (int round = 0; round < FirstLoadRuns; ++round) {
        for (const QString &kind : kinds) {
            QProcess child;
            child.start(program, { QStringLiteral("--first-load"), kind });
            if (!child.waitForFinished(60000) || child.exitCode() != 0)
                qFatal("first-load child failed: %s", child.readAllStandardError().constData());
            const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
            times[kind].push_back(fields.value(0).toDouble());
            sizes[kind].push_back(fields.value(1).toDouble());
        }
    }
    std::map<QString, FirstLoad> result;
    for (const QString &kind : kinds) {
        std::sort(times[kind].begin(), times[kind].end());
        std::sort(sizes[kind].begin(), sizes[kind].end());
        result[kind] = { times[kind][FirstLoadRuns / 2], sizes[kind][FirstLoadRuns / 2] };
    }
    return result;
}

void BM_ZuUiLoader(benchmark::State &state)
{
    const QByteArray document = benchScreenDocument();
    for (auto _ : state) {
        auto root = loadZu(document);
        state.PauseTiming();
        root.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ZuUiLoader)->Unit(benchmark::kMillisecond);

void BM_PlainUiLoader(benchmark::State &state)
{
    const QByteArray document = plainDocument();
    for (auto _ : state) {
        auto root = loadPlain(document);
        state.PauseTiming();
        root.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PlainUiLoader)->Unit(benchmark::kMillisecond);

void BM_TwoReadings(benchmark::State &state)
{
    const QByteArray document = benchScreenDocument();
    for (auto _ : state) {
        std::unique_ptr<QWidget> root(ZuUiLoader::loadWithQUiLoader(document));
        state.PauseTiming();
        root.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TwoReadings)->Unit(benchmark::kMillisecond);

void BM_ReadingOnly(benchmark::State &state)
{
    const QByteArray document = benchScreenDocument();
    for (auto _ : state) {
        QXmlStreamReader reader(document);
        int elements = 0;
        while (!reader.atEnd()) {
            if (reader.readNext() == QXmlStreamReader::StartElement)
                ++elements;
        }
        benchmark::DoNotOptimize(elements);
    }
}
BENCHMARK(BM_ReadingOnly)->Unit(benchmark::kMillisecond);

// The widgets of the benchmark screen, made and laid out directly.
void BM_WidgetsOnly(benchmark::State &state)
{
    for (auto _ : state) {
        auto root = std::make_unique<ZuScreen>();
        auto *visible = new QWidget(root.get());
        auto *grid = new QGridLayout(visible);
        for (int i = 0; i < BenchScreenFields; ++i) {
            const int row = i / BenchScreenFieldsPerRow;
            const int column = (i % BenchScreenFieldsPerRow) * 40;
            auto *label = new QLabel(visible);
            label->setText(QStringLiteral("Field %1").arg(i));
            grid->addWidget(label, row, column, 1, 12);
            auto *field = new ZuFieldWidget(visible);
            field->setLabelName(label->objectName());
            field->setPropLength(20);
            field->setProperty("propUpshift", true);
            field->setToolTip(QStringLiteral("Field number %1").arg(i));
            grid->addWidget(field, row, column + 14, 1, 20);
        }
        state.PauseTiming();
        root.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WidgetsOnly)->Unit(benchmark::kMillisecond);

// The two loaders alternately, so that both see the same machine load; reports the median of the
// per-pair ratios, which is what the goal is stated in.
void BM_PairedRatio(benchmark::State &state)
{
    const QByteArray zuDocument = benchScreenDocument();
    const QByteArray plainDocumentBytes = plainDocument();
    std::vector<double> ratios;
    QElapsedTimer timer;
    std::unique_ptr<QWidget> zu;
    std::unique_ptr<QWidget> plain;
    qint64 zuNs = 0;
    qint64 plainNs = 0;
    const auto timeZu = [&] {
        timer.start();
        zu = loadZu(zuDocument);
        zuNs = timer.nsecsElapsed();
    };
    const auto timePlain = [&] {
        timer.start();
        plain = loadPlain(plainDocumentBytes);
        plainNs = timer.nsecsElapsed();
    };
    bool zuFirst = true;
    for (auto _ : state) {
        // Each goes first every other time, so neither gains from the other's warm caches.
        if (zuFirst) {
            timeZu();
            timePlain();
        } else {
            timePlain();
            timeZu();
        }
        zuFirst = !zuFirst;
        state.PauseTiming();
        zu.reset();
        plain.reset();
        state.ResumeTiming();
        ratios.push_back(double(zuNs) / double(plainNs));
    }
    std::sort(ratios.begin(), ratios.end());
    state.counters["ratio"] = ratios.empty() ? 0.0 : ratios[ratios.size() / 2];
}
BENCHMARK(BM_PairedRatio)->Unit(benchmark::kMillisecond);

// Prints as usual and keeps each benchmark's time per iteration for the ratio.
class RecordingReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> msPerLoad;
    double pairedRatio = 0;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            msPerLoad[run.run_name.function_name] = run.GetAdjustedRealTime();
            const auto ratio = run.counters.find("ratio");
            if (ratio != run.counters.end())
                pairedRatio = ratio->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--first-load") == 0)
        return runFirstLoad(QString::fromLatin1(argv[2]));

    const QString program = QCoreApplication::applicationFilePath();
    auto firstLoads = measureFirstLoads(
        program, { QStringLiteral("zu"), QStringLiteral("plain"), QStringLiteral("scan") });
    const FirstLoad zuFirst = firstLoads[QStringLiteral("zu")];
    const FirstLoad plainFirst = firstLoads[QStringLiteral("plain")];
    const FirstLoad scanFirst = firstLoads[QStringLiteral("scan")];

    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%d-field screen, first load in a fresh process (median of %d processes):\n", BenchScreenFields,
                FirstLoadRuns);
    std::printf("  ZuUiLoader                    %8.2f ms  %+7.0f kB resident\n", zuFirst.medianMs,
                zuFirst.medianKb);
    std::printf("  QUiLoader, QWidget classes    %8.2f ms  %+7.0f kB resident\n", plainFirst.medianMs,
                plainFirst.medianKb);
    std::printf("  QUiLoader scanning plugins    %8.2f ms  %+7.0f kB resident (for comparison)\n",
                scanFirst.medianMs, scanFirst.medianKb);
    std::printf("  ratio ZuUiLoader / QUiLoader  %8.2f\n", zuFirst.medianMs / plainFirst.medianMs);
    const auto zu = reporter.msPerLoad.find("BM_ZuUiLoader");
    const auto plain = reporter.msPerLoad.find("BM_PlainUiLoader");
    if (zu != reporter.msPerLoad.end() && plain != reporter.msPerLoad.end()) {
        std::printf("later loads:\n");
        std::printf("  ZuUiLoader                    %8.2f ms\n", zu->second);
        std::printf("  QUiLoader, QWidget classes    %8.2f ms\n", plain->second);
        std::printf("  ratio ZuUiLoader / QUiLoader  %8.2f\n", zu->second / plain->second);
    }
    if (reporter.pairedRatio > 0)
        std::printf("  ratio, alternating pairs      %8.2f (median)\n", reporter.pairedRatio);
    const auto two = reporter.msPerLoad.find("BM_TwoReadings");
    const auto reading = reporter.msPerLoad.find("BM_ReadingOnly");
    const auto widgets = reporter.msPerLoad.find("BM_WidgetsOnly");
    if (plain != reporter.msPerLoad.end() && two != reporter.msPerLoad.end() && reading != reporter.msPerLoad.end()
        && widgets != reporter.msPerLoad.end()) {
        std::printf("where the time goes (later loads, as a share of QUiLoader's):\n");
        std::printf("  limits check + QUiLoader      %8.2f ms  %5.2f\n", two->second, two->second / plain->second);
        std::printf("  one QXmlStreamReader pass     %8.2f ms  %5.2f\n", reading->second,
                    reading->second / plain->second);
        std::printf("  the widgets alone             %8.2f ms  %5.2f\n", widgets->second,
                    widgets->second / plain->second);
        std::printf("  the two together              %8.2f ms  %5.2f (the least a one-pass build can take)\n",
                    reading->second + widgets->second, (reading->second + widgets->second) / plain->second);
    }
    return 0;
}

// The path a person feels on every key: from a key event delivered to the focused field of a loaded
// 200-field classic page to the reply bytes handed to the transport (a transport that only records
// when it was given them), in process and offscreen. BM_KeyToReply presses Return after typing one
// character (so the reply carries the field's changed text); BM_SerializeReply serializes the same
// reply envelope alone, the floor any client pays. Both report the median and the 99th percentile
// over 10,000 keys. Goal: p99 under 1 ms.

#include "benchpage.h"
#include "ratioreporter.h"

#include "classic/serverturn.h"

#include "uidlg.pb.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int Keys = 10000;

void reportPercentiles(benchmark::State &state, std::vector<double> &us)
{
    std::sort(us.begin(), us.end());
    if (us.empty())
        return;
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    state.counters["max_us"] = us.back();
}

void BM_KeyToReply(benchmark::State &state)
{
    BenchPage &page = loadedBenchPage();
    if (!page.editor) {
        state.SkipWithError("no focused field on the page");
        return;
    }
    BenchTransport &transport = *page.transport;
    transport.clock.start();
    std::vector<double> us;
    us.reserve(Keys);
    for (auto _ : state) {
        // Typed but not measured: it makes the reply carry the changed text.
        QTest::keyClick(page.editor, Qt::Key_X);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        const int before = transport.sent;
        const qint64 start = transport.clock.nsecsElapsed();
        QApplication::sendEvent(page.editor, &press);
        if (transport.sent == before) {
            state.SkipWithError("the key sent no reply");
            return;
        }
        const double seconds = double(transport.lastSentNs - start) / 1e9;
        state.SetIterationTime(seconds);
        us.push_back(seconds * 1e6);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(page.editor, &release);
        // The server's answer gives the page its turn back, as a form program's would.
        page.transport->deliver(benchFocusOn(100));
        while (page.page->serverTurn()->isHolding())
            QCoreApplication::processEvents();
        if (page.editor->text().size() > 15)
            page.editor->clear();
    }
    reportPercentiles(state, us);
}
BENCHMARK(BM_KeyToReply)->Iterations(Keys)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_SerializeReply(benchmark::State &state)
{
    BenchPage &page = loadedBenchPage();
    Pb::UIEnvelope reply;
    if (!reply.ParseFromArray(page.transport->lastSent.constData(), page.transport->lastSent.size())
        || !reply.has_generic_response()) {
        state.SkipWithError("no reply to copy; run BM_KeyToReply first");
        return;
    }
    QElapsedTimer clock;
    clock.start();
    std::vector<double> us;
    us.reserve(Keys);
    for (auto _ : state) {
        const qint64 start = clock.nsecsElapsed();
        QByteArray bytes(int(reply.ByteSizeLong()), Qt::Uninitialized);
        reply.SerializeWithCachedSizesToArray(reinterpret_cast<quint8 *>(bytes.data()));
        benchmark::DoNotOptimize(bytes.data());
        const double seconds = double(clock.nsecsElapsed() - start) / 1e9;
        state.SetIterationTime(seconds);
        us.push_back(seconds * 1e6);
    }
    reportPercentiles(state, us);
}
BENCHMARK(BM_SerializeReply)->Iterations(Keys)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    reporter.addRatio("key to reply / serializing the reply (means)",
                      "BM_KeyToReply/iterations:10000/manual_time",
                      "BM_SerializeReply/iterations:10000/manual_time");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return 0;
}

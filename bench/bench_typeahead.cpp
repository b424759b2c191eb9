// Typing ahead of the server and painting when it hands input back, on the 200-field page of the
// key benchmarks (offscreen, in process).
//
// BM_PaintAfterHandBack: a screen change as a server sends it (load screen, keyboard mode, set
// focus), timed from the moment the last command has been handled to the first paint of the
// page's contents; BM_PaintAfterBurstTimer: the same screen change without a command that says
// where input goes, which paints when the render burst timer ends (400 ms), the baseline.
// Goal: painted within 20 ms of the end of the server's turn.
//
// BM_HoldKeys and BM_ReplayKeys: 100 keys typed during the server's turn, held, then replayed into
// the field once the server has placed the cursor; BM_TypeKeys: the same keys typed while the page
// has the turn, the baseline. Goal: holding under 50 us a key.

#include "benchpage.h"
#include "ratioreporter.h"

#include "classic/classicpageform.h"
#include "classic/serverturn.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QScrollArea>
#include <QStackedWidget>

namespace {

constexpr int Screens = 20;
constexpr int KeysPerTurn = 100;
constexpr int Turns = 200;
constexpr int PaintTimeoutMs = 2000;

// Notes the first paint of anything on the page's pages after it is armed.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget *contents)
        : m_contents(contents)
    {
        qApp->installEventFilter(this);
    }

    void arm()
    {
        m_painted = false;
        m_clock.start();
    }
    bool painted() const { return m_painted; }
    qint64 paintedAfterNs() const { return m_paintedNs; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_painted && event->type() == QEvent::Paint) {
            const auto *widget = qobject_cast<QWidget *>(watched);
            if (widget && m_contents->isAncestorOf(widget)) {
                m_painted = true;
                m_paintedNs = m_clock.nsecsElapsed();
            }
        }
        return false;
    }

private:
    QWidget *m_contents;
    QElapsedTimer m_clock;
    bool m_painted = true;
    qint64 m_paintedNs = 0;
};

void screenChangeToPaint(benchmark::State &state, bool handBack)
{
    BenchPage &page = loadedBenchPage();
    PaintWatch watch(page.page->form().pageStack);
    const std::string document = benchScreenDocument().toStdString();
    for (auto _ : state) {
        Pb::UIEnvelope load = benchEnvelope();
        load.mutable_load_screen()->set_screen(document);
        load.mutable_load_screen()->set_screen_id(BenchScreenId);
        page.transport->deliver(load);
        for (int i = 0; i < BenchScreenFields; i += 10) {
            Pb::UIEnvelope put = benchEnvelope();
            setBenchField(put.mutable_put_field()->mutable_field_id(), i);
            put.mutable_put_field()->set_data_type(ZuFieldWidget::ZUGUI_CHAR);
            put.mutable_put_field()->set_data("changed " + std::to_string(i));
            setBenchField(put.mutable_activate_field()->mutable_field_id(), i);
            put.mutable_activate_field()->set_activate(true);
            page.transport->deliver(put);
        }
        if (handBack) {
            Pb::UIEnvelope mode = benchEnvelope();
            mode.mutable_keyboard_mode()->set_mode(2);
            page.transport->deliver(mode);
            page.transport->deliver(benchFocusOn(100));
        }
        watch.arm();
        QElapsedTimer waited;
        waited.start();
        while (!watch.painted() && waited.elapsed() < PaintTimeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (!watch.painted()) {
            state.SkipWithError("the page was never painted");
            return;
        }
        state.SetIterationTime(double(watch.paintedAfterNs()) / 1e9);
    }
}

void BM_PaintAfterHandBack(benchmark::State &state)
{
    screenChangeToPaint(state, true);
}
BENCHMARK(BM_PaintAfterHandBack)->Iterations(Screens)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PaintAfterBurstTimer(benchmark::State &state)
{
    screenChangeToPaint(state, false);
}
BENCHMARK(BM_PaintAfterBurstTimer)->Iterations(Screens)->UseManualTime()->Unit(benchmark::kMillisecond);

void typeKeys(QWidget *target)
{
    for (int i = 0; i < KeysPerTurn; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(target, &release);
    }
}

enum class Phase { Hold, Replay };

void heldKeys(benchmark::State &state, Phase measured)
{
    BenchPage &page = loadedBenchPage();
    if (!page.focusedEditor()) {
        state.SkipWithError("no focused field on the page");
        return;
    }
    page.editor->setMaxLength(KeysPerTurn);
    ServerTurn *turn = page.page->serverTurn();
    QElapsedTimer clock;
    clock.start();
    qint64 total = 0;
    for (auto _ : state) {
        page.editor->clear();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(page.editor, &enter);
        if (!turn->isHolding()) {
            state.SkipWithError("the Return did not hand the turn to the server");
            return;
        }
        const qint64 holdStart = clock.nsecsElapsed();
        typeKeys(page.editor);
        const qint64 held = clock.nsecsElapsed() - holdStart;
        page.transport->deliver(benchFocusOn(100));
        const qint64 replayStart = clock.nsecsElapsed();
        while (turn->state() != ServerTurn::State::UserTurn)
            QCoreApplication::processEvents();
        const qint64 replayed = clock.nsecsElapsed() - replayStart;
        if (page.editor->text().size() != KeysPerTurn) {
            state.SkipWithError("keys were lost");
            return;
        }
        const qint64 measuredNs = measured == Phase::Hold ? held : replayed;
        total += measuredNs;
        state.SetIterationTime(double(measuredNs) / 1e9);
    }
    state.counters["us_per_key"] = double(total) / 1e3 / double(state.iterations() * KeysPerTurn);
}

void BM_HoldKeys(benchmark::State &state)
{
    heldKeys(state, Phase::Hold);
}
BENCHMARK(BM_HoldKeys)->Iterations(Turns)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_ReplayKeys(benchmark::State &state)
{
    heldKeys(state, Phase::Replay);
}
BENCHMARK(BM_ReplayKeys)->Iterations(Turns)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_TypeKeys(benchmark::State &state)
{
    BenchPage &page = loadedBenchPage();
    if (!page.focusedEditor()) {
        state.SkipWithError("no focused field on the page");
        return;
    }
    page.editor->setMaxLength(KeysPerTurn);
    for (auto _ : state) {
        page.editor->clear();
        QElapsedTimer clock;
        clock.start();
        typeKeys(page.editor);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_TypeKeys)->Iterations(Turns)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    reporter.addRatio("painted after the hand-back / after the 400 ms burst timer (means)",
                      "BM_PaintAfterHandBack/iterations:20/manual_time",
                      "BM_PaintAfterBurstTimer/iterations:20/manual_time");
    reporter.addRatio("100 keys held / typed with the turn (means)", "BM_HoldKeys/iterations:200/manual_time",
                      "BM_TypeKeys/iterations:200/manual_time");
    reporter.addRatio("100 keys replayed / typed with the turn (means)",
                      "BM_ReplayKeys/iterations:200/manual_time", "BM_TypeKeys/iterations:200/manual_time");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return 0;
}

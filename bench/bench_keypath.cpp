// The path a person feels on every key: from a key event delivered to the focused field of a loaded
// 200-field classic page to the reply bytes handed to the transport (a transport that only records
// when it was given them), in process and offscreen. BM_KeyToReply presses Return after typing one
// character (so the reply carries the field's changed text); BM_SerializeReply serializes the same
// reply envelope alone, the floor any client pays. Both report the median and the 99th percentile
// over 10,000 keys. Goal: p99 under 1 ms.

#include "classic/applicationconnection.h"
#include "applinks/apptranceiver.h"
#include "classic/classicapplicationwidget.h"
#include "classic/zufieldwidget.h"

#include "benchscreen.h"
#include "ratioreporter.h"

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
constexpr int ScreenId = 1;
constexpr quint32 WindowId = 1;

// Hands the client's replies to nobody, noting when each arrived.
class RecordingTransport : public AppTranceiver
{
public:
    QElapsedTimer clock;
    qint64 lastSentNs = 0;
    QByteArray lastSent;
    int sent = 0;

    void deliver(const google::protobuf::Message &envelope)
    {
        const std::string bytes = envelope.SerializeAsString();
        processIncomingMessage(bytes.data(), int(bytes.size()));
    }

    void rawMessageSend(QByteArray data, QByteArray) override
    {
        lastSentNs = clock.nsecsElapsed();
        lastSent = std::move(data);
        ++sent;
    }
};

void setField(Pb::FieldId *id, int number)
{
    id->set_screen_id(ScreenId);
    id->set_field_name("field_" + std::to_string(number));
}

struct Page
{
    RecordingTransport *transport = new RecordingTransport;
    std::unique_ptr<ApplicationConnection> session;
    ClassicApplicationWidget *page = nullptr;
    QLineEdit *editor = nullptr;
};

// A classic application's page as the server leaves it: the screen loaded, every field filled and
// editable, the focus in field 100, the keyboard in field mode.
Page &loadedPage()
{
    static Page state;
    if (state.page)
        return state;
    Pb::UIEnvelope handshake;
    handshake.mutable_handshake()->set_ui_version("bench");
    state.transport->deliver(handshake);
    state.session = std::make_unique<ApplicationConnection>(state.transport, nullptr);

    Pb::UIEnvelope load;
    load.set_window_id(WindowId);
    load.mutable_create_session()->set_app_name("bench");
    load.mutable_load_screen()->set_screen(benchScreenDocument().toStdString());
    load.mutable_load_screen()->set_screen_id(ScreenId);
    load.mutable_keyboard_mode()->set_mode(2);
    state.transport->deliver(load);
    for (int i = 0; i < BenchScreenFields; ++i) {
        Pb::UIEnvelope put;
        put.set_window_id(WindowId);
        setField(put.mutable_put_field()->mutable_field_id(), i);
        put.mutable_put_field()->set_data_type(ZuFieldWidget::ZUGUI_CHAR);
        put.mutable_put_field()->set_data("value " + std::to_string(i));
        setField(put.mutable_activate_field()->mutable_field_id(), i);
        put.mutable_activate_field()->set_activate(true);
        state.transport->deliver(put);
    }
    Pb::UIEnvelope focus;
    focus.set_window_id(WindowId);
    setField(focus.mutable_set_focus()->mutable_field_id(), 100);
    state.transport->deliver(focus);

    state.page = state.session->page(WindowId);
    state.page->resize(1200, 900);
    state.page->show();
    (void)QTest::qWaitForWindowActive(state.page);
    ZuFieldWidget *field = state.page->getField(ScreenId, QStringLiteral("field_100"));
    state.editor = field ? field->lineEdit() : nullptr;
    if (state.editor)
        state.editor->setFocus(Qt::OtherFocusReason);
    QTest::qWait(100);
    return state;
}

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
    Page &page = loadedPage();
    if (!page.editor) {
        state.SkipWithError("no focused field on the page");
        return;
    }
    RecordingTransport &transport = *page.transport;
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
        if (page.editor->text().size() > 15)
            page.editor->clear();
    }
    reportPercentiles(state, us);
}
BENCHMARK(BM_KeyToReply)->Iterations(Keys)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_SerializeReply(benchmark::State &state)
{
    Page &page = loadedPage();
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

#pragma once

#include "applinks/apptranceiver.h"
#include "classic/applicationconnection.h"
#include "classic/classicapplicationwidget.h"
#include "classic/zufieldwidget.h"

#include "benchscreen.h"

#include "uidlg.pb.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include <memory>
#include <string>

// The classic page the key benchmarks drive, in process and offscreen: a session on a transport
// that records when the client handed it each reply, the 200-field screen loaded, every field
// filled and editable, the focus in field 100, the keyboard in field mode.
class BenchTransport : public AppTranceiver
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

constexpr int BenchScreenId = 1;
constexpr quint32 BenchWindowId = 1;

inline void setBenchField(Pb::FieldId *id, int number)
{
    id->set_screen_id(BenchScreenId);
    id->set_field_name("field_" + std::to_string(number));
}

inline Pb::UIEnvelope benchEnvelope()
{
    Pb::UIEnvelope envelope;
    envelope.set_window_id(BenchWindowId);
    return envelope;
}

// What a server sends to put the cursor into one field.
inline Pb::UIEnvelope benchFocusOn(int number)
{
    Pb::UIEnvelope focus = benchEnvelope();
    setBenchField(focus.mutable_set_focus()->mutable_field_id(), number);
    return focus;
}

struct BenchPage
{
    BenchTransport *transport = new BenchTransport;
    std::unique_ptr<ApplicationConnection> session;
    ClassicApplicationWidget *page = nullptr;
    QLineEdit *editor = nullptr;

    // The editor of field 100 of the screen shown now (a new screen makes new editors), focused.
    QLineEdit *focusedEditor()
    {
        ZuFieldWidget *field = page->getField(BenchScreenId, QStringLiteral("field_100"));
        editor = field ? field->lineEdit() : nullptr;
        if (editor)
            editor->setFocus(Qt::OtherFocusReason);
        return editor;
    }
};

inline BenchPage &loadedBenchPage()
{
    static BenchPage state;
    if (state.page)
        return state;
    Pb::UIEnvelope handshake;
    handshake.mutable_handshake()->set_ui_version("bench");
    state.transport->deliver(handshake);
    state.session = std::make_unique<ApplicationConnection>(state.transport, nullptr);

    Pb::UIEnvelope load = benchEnvelope();
    load.mutable_create_session()->set_app_name("bench");
    load.mutable_load_screen()->set_screen(benchScreenDocument().toStdString());
    load.mutable_load_screen()->set_screen_id(BenchScreenId);
    load.mutable_keyboard_mode()->set_mode(2);
    state.transport->deliver(load);
    for (int i = 0; i < BenchScreenFields; ++i) {
        Pb::UIEnvelope put = benchEnvelope();
        setBenchField(put.mutable_put_field()->mutable_field_id(), i);
        put.mutable_put_field()->set_data_type(ZuFieldWidget::ZUGUI_CHAR);
        put.mutable_put_field()->set_data("value " + std::to_string(i));
        setBenchField(put.mutable_activate_field()->mutable_field_id(), i);
        put.mutable_activate_field()->set_activate(true);
        state.transport->deliver(put);
    }
    state.transport->deliver(benchFocusOn(100));

    state.page = state.session->page(BenchWindowId);
    state.page->resize(1200, 900);
    state.page->show();
    (void)QTest::qWaitForWindowActive(state.page);
    state.focusedEditor();
    QTest::qWait(100);
    return state;
}

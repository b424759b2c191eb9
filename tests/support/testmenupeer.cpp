#include "testmenupeer.h"

#include "testhub.h"

TestMenuPeer::TestMenuPeer(TestHub *hub, QObject *parent)
    : QObject(parent)
    , m_hub(hub)
{
    authStatus.set_status(Menu::AuthStatus::SUCCESS);
    menu.set_shortdesc("College Main Menu");
    menu.set_menupath("/");
    auto *students = menu.add_menudata();
    students->set_shortdesc("Students");
    students->set_menupath("/stu");
    auto *enrol = students->add_menudata();
    enrol->set_shortdesc("Enrol Student");
    enrol->set_menupath("/stu/enrol.opt");
    connect(hub, &TestHub::frameReceived, this, &TestMenuPeer::frameReceived);
}

void TestMenuPeer::sendMenu(const Menu::Envelope &envelope)
{
    m_hub->sendFrame(FrameCodec::MenuFrame, QByteArray::fromStdString(envelope.SerializeAsString()));
}

void TestMenuPeer::frameReceived()
{
    const FrameCodec::Frame frame = m_hub->frames().last();
    if (frame.type == FrameCodec::EnvelopeFrame) {
        ZuHubProto::Envelope envelope;
        envelope.ParseFromArray(frame.payload.constData(), frame.payload.size());
        if (envelope.has_menu_connection_control()) {
            const bool on = envelope.menu_connection_control().connect_state();
            menuLinkRequests << (on ? "on" : "off");
            ZuHubProto::Envelope status;
            status.mutable_menu_connection_status()->set_is_connected(on);
            if (!on)
                status.mutable_menu_connection_status()->set_error_message("Menu closed");
            if (on)
                m_hub->sendEnvelope(status);
        } else if (envelope.has_password_change()) {
            const auto &change = envelope.password_change();
            passwordChanges << QString::fromStdString(change.username() + " " + change.old_password() + " "
                                                      + change.new_password());
            ZuHubProto::Envelope result;
            result.mutable_password_change_result()->set_success(passwordChangeSucceeds);
            result.mutable_password_change_result()->set_result_message(passwordChangeMessage.toStdString());
            m_hub->sendEnvelope(result);
        }
        return;
    }
    if (frame.type != FrameCodec::MenuFrame)
        return;

    Menu::Envelope in;
    in.ParseFromArray(frame.payload.constData(), frame.payload.size());
    std::vector<const google::protobuf::FieldDescriptor *> fields;
    in.GetReflection()->ListFields(in, &fields);
    for (const auto *field : fields)
        received << QString::fromStdString(field->name());

    Menu::Envelope out;
    if (in.has_authenticate()) {
        *out.mutable_authstatus() = authStatus;
    } else if (in.has_releasedatarequest()) {
        for (const auto &release : releases) {
            auto *entry = out.mutable_releaselist()->add_release();
            entry->set_key(release.first.toStdString());
            entry->set_title(release.second.toStdString());
        }
        out.mutable_releaselist(); // an empty list is still a list
    } else if (in.has_setrelease()) {
        lastRelease = QString::fromStdString(in.setrelease().release());
        return;
    } else if (in.has_menudatarequest()) {
        *out.mutable_menudata() = menu;
    } else if (in.has_launchitem()) {
        lastLaunch = QString::fromStdString(in.launchitem().menupath());
        return;
    } else {
        return;
    }
    sendMenu(out);
}

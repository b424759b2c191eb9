// Not a test: plays a classic server application against a client's debug port (first argument,
// default 7070). It shows the student screen with a ring menu and answers the client like a small
// application would: Enter moves to the next field, Save (S) confirms with the field values it was
// sent, Exit (Escape) ends the application. Every reply of the client is printed on stdout, one
// line each.

#include "lengthprefixcodec.h"
#include "uidlg.pb.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>

namespace {

constexpr quint32 WindowId = 1;
constexpr int ScreenId = 5;
constexpr quint32 Pid = 31337;
const QStringList EditableFields = { "student_no", "student_name", "status", "birth_date" };

class Session : public QObject
{
public:
    explicit Session(quint16 port)
    {
        connect(&m_socket, &QTcpSocket::connected, this, &Session::start);
        connect(&m_socket, &QTcpSocket::readyRead, this, &Session::read);
        connect(&m_socket, &QTcpSocket::disconnected, qApp, &QCoreApplication::quit);
        m_socket.connectToHost(QHostAddress::LocalHost, port);
    }

private:
    static Pb::UIEnvelope envelope()
    {
        Pb::UIEnvelope e;
        e.set_pid(Pid);
        e.set_window_id(WindowId);
        return e;
    }

    static void setField(Pb::FieldId *id, const QString &name)
    {
        id->set_screen_id(ScreenId);
        id->set_field_name(name.toStdString());
    }

    void send(const Pb::UIEnvelope &e)
    {
        m_socket.write(LengthPrefixCodec::encode(QByteArray::fromStdString(e.SerializeAsString())));
    }

    void put(const char *name, int mask, int type, const char *data, bool editable)
    {
        Pb::UIEnvelope e = envelope();
        setField(e.mutable_put_field()->mutable_field_id(), QLatin1String(name));
        e.mutable_put_field()->set_attribute_mask(mask);
        e.mutable_put_field()->set_data_type(type);
        e.mutable_put_field()->set_data(data);
        setField(e.mutable_activate_field()->mutable_field_id(), QLatin1String(name));
        e.mutable_activate_field()->set_activate(editable);
        send(e);
    }

    void focus(const QString &name, const QString &status)
    {
        Pb::UIEnvelope e = envelope();
        e.mutable_set_status()->set_status_text(status.toLatin1().toStdString());
        setField(e.mutable_set_focus()->mutable_field_id(), name);
        send(e);
    }

    void start()
    {
        Pb::UIEnvelope hello;
        hello.mutable_handshake()->set_ui_version("classic demo 1.0");
        send(hello);

        Pb::UIEnvelope session = envelope();
        session.mutable_create_session()->set_app_name("student_records");
        session.mutable_create_session()->set_menupath("/stu/records.opt");
        session.mutable_set_title()->set_window_title("Student Records");
        send(session);

        QFile file(QStringLiteral(ZU_CLASSIC_TEST_DATA "/student.ui"));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read the student screen");
        Pb::UIEnvelope load = envelope();
        load.mutable_load_screen()->set_screen(file.readAll().toStdString());
        load.mutable_load_screen()->set_screen_id(ScreenId);
        Pb::ScreenMenu *menu = load.mutable_screen_menu();
        menu->set_menu_info("STUDENT:");
        const struct
        {
            int level;
            const char *label;
            int key;
            const char *comment;
        } items[] = {
            { 0, "Save", 'S', "Save this student" },
            { 0, "Query", 'Q', "Find students" },
            { 0, "Reports", 'R', "Print reports" },
            { 1, "Transcript", 'T', "" },
            { 1, "Schedule", 'H', "" },
            { 0, "Done", Pb::ZUGUI_DONE,
              "Finish with \xFE"
              "2001 " },
            { 0, "Exit", Pb::ZUGUI_ABORT, "Leave without saving" },
        };
        for (const auto &item : items) {
            Pb::ScreenMenu::MenuItem *added = menu->add_menu_item();
            added->set_level(item.level);
            added->set_label(item.label);
            added->set_shortcut_key(item.key);
            added->set_comment(item.comment);
        }
        load.mutable_keyboard_mode()->set_mode(2);
        send(load);

        put("student_no", 0x4 | 0x80000, 512, "S2019-0442", true);
        put("student_name", 0, 512, "Marguerite Okonkwo", true);
        put("status", 0x10, 512, "ENROLLED", true);
        put("photo_id", 0x40, 512, "200144871", false);
        put("birth_date", 0, 515, "04/17/2001", true);
        put("enrolled", 0, 515, "09/01/2019", false);
        put("notes", 0, 518, "Transferred from the evening programme", false);
        put("approve", 0x20, 512, "Approve", true);
        put("credit_summary", 0x20000, 512, "009l000Credits earned|r030128|l035of|r041140", false);
        focus(EditableFields.first(), "Enter the student's details");
    }

    void read()
    {
        m_codec.feed(m_socket.readAll());
        QByteArray message;
        while (m_codec.next(&message) == LengthPrefixCodec::Result::Message) {
            Pb::UIEnvelope reply;
            reply.ParseFromArray(message.constData(), message.size());
            std::printf("%s\n", reply.ShortDebugString().c_str());
            std::fflush(stdout);
            answer(reply);
        }
    }

    void answer(const Pb::UIEnvelope &reply)
    {
        if (!reply.has_generic_response())
            return;
        const Pb::GenericResponse &response = reply.generic_response();
        const QString field = QString::fromStdString(response.field_id().field_name());
        if (response.has_data())
            m_values.insert(field.isEmpty() ? m_current : field,
                            QString::fromLatin1(response.data().c_str()));
        if (response.command() == Pb::GenericResponse::ZUGUI_CHANGE_FOCUS)
            m_current = field;
        if (response.command() != Pb::GenericResponse::ZUGUI_KEY)
            return;
        switch (response.key_code()) {
        case Pb::ZUGUI_ENTER: {
            const int next = (EditableFields.indexOf(field) + 1) % EditableFields.size();
            m_current = EditableFields.at(next);
            focus(m_current, QStringLiteral("Now at %1").arg(m_current));
            break;
        }
        case 'S': {
            QStringList saved;
            for (auto it = m_values.cbegin(); it != m_values.cend(); ++it)
                saved << it.key() + '=' + it.value();
            Pb::UIEnvelope e = envelope();
            e.mutable_set_status()->set_status_text(
                ("Saved: " + (saved.isEmpty() ? QStringLiteral("nothing changed") : saved.join(", ")))
                    .toLatin1()
                    .toStdString());
            send(e);
            break;
        }
        case Pb::ZUGUI_ABORT:
            m_socket.disconnectFromHost();
            break;
        default:
            break;
        }
    }

    QTcpSocket m_socket;
    LengthPrefixCodec m_codec;
    QMap<QString, QString> m_values;
    QString m_current = EditableFields.first();
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const quint16 port = argc > 1 ? quint16(QString::fromLocal8Bit(argv[1]).toUInt()) : 7070;
    Session session(port);
    return app.exec();
}

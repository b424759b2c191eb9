#include "classicapp.h"

#include "applink.h"
#include "devhubversion.h"
#include "gradesform.h"
#include "studentdatabase.h"
#include "studentform.h"
#include "typingform.h"
#include "uiwriter.h"

#include "latin1.h"

#include "uidlg.pb.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>

#include <google/protobuf/descriptor.h>

namespace {
constexpr char HandshakeField[] = "handshake";
}

ClassicApp::ClassicApp(AppLink *link, const DemoAppContext &context, QObject *parent, Program program)
    : DemoApplication(link, context, parent)
    , m_program(program)
    , m_dispatcher(this, QtWarningMsg, "Classic demo: no handler for the client's")
{
    m_handshakeTimer.setSingleShot(true);
    m_handshakeTimer.setInterval(HandshakeTimeoutMs);
    connect(&m_handshakeTimer, &QTimer::timeout, this, [this] {
        qWarning().noquote()
            << QStringLiteral("classic (%1): the client did not answer the handshake; ending").arg(where());
        setState(State::Finished);
    });
    // Until the handshake only the handshake counts, and afterwards only our window.
    m_dispatcher.setFieldFilter([this](const google::protobuf::FieldDescriptor &field) {
        const bool handshake = field.name() == HandshakeField;
        if (handshake)
            return true;
        if (m_state != State::Running) {
            qWarning().noquote() << QStringLiteral("classic (%1): \"%2\" before the handshake ignored")
                                        .arg(where(), QString::fromStdString(field.name()));
            return false;
        }
        if (m_windowOfMessage != WindowId) {
            qWarning().noquote() << QStringLiteral("classic (%1): \"%2\" for unknown window %3 ignored")
                                        .arg(where(), QString::fromStdString(field.name()))
                                        .arg(m_windowOfMessage);
            return false;
        }
        return true;
    });
}

ClassicApp::~ClassicApp() = default;

QString ClassicApp::kind() const
{
    return QLatin1String(m_program == Program::TypingCheck ? TypingKind : Kind);
}

QString ClassicApp::databasePath(const DemoAppContext &context)
{
    const QString option = context.options.value(QLatin1String("database")).toString();
    const QString file = option.isEmpty() ? QLatin1String(DefaultDatabase) : option;
    if (QDir::isAbsolutePath(file))
        return QDir::cleanPath(file);
    return context.dataDir.isEmpty() ? QString() : QDir(context.dataDir).absoluteFilePath(file);
}

bool ClassicApp::start(QString *error)
{
    if (m_state != State::Idle) {
        *error = QStringLiteral("the classic application was already started");
        return false;
    }
    const auto pid = quint32(QCoreApplication::applicationPid());
    m_ui = std::make_unique<UiWriter>([this](const Pb::UIEnvelope &envelope) { send(envelope); }, pid,
                                      WindowId);
    if (m_program == Program::TypingCheck)
        startTypingCheck();
    else if (!startStudentRecords(error))
        return false;
    setState(State::AwaitingHandshake);
    return true;
}

void ClassicApp::startTypingCheck()
{
    m_typing = new TypingForm(m_ui.get(), this);
    m_typing->setLogLabel(QStringLiteral("typing (%1)").arg(where()));
    connect(m_typing, &TypingForm::roundCompleted, this, [this](const QString &texts) {
        qInfo().noquote() << QStringLiteral("typing (%1): round %2: %3").arg(where()).arg(m_typing->rounds()).arg(texts);
    });
    connect(m_typing, &TypingForm::exitRequested, this, [this] { setState(State::Finished); });
    qInfo().noquote() << QStringLiteral("typing (%1): started").arg(where());
}

bool ClassicApp::startStudentRecords(QString *error)
{
    const QString path = databasePath(context());
    if (path.isEmpty()) {
        *error = QStringLiteral("the classic application has no data directory for its database");
        return false;
    }
    m_db = std::make_unique<StudentDatabase>();
    if (!m_db->open(path, error))
        return false;
    m_students = new StudentForm(m_ui.get(), m_db.get(), this);
    m_grades = new GradesForm(m_ui.get(), m_db.get(), this);
    for (ClassicForm *form : { static_cast<ClassicForm *>(m_students), static_cast<ClassicForm *>(m_grades) })
        form->setLogLabel(QStringLiteral("classic (%1)").arg(where()));
    connect(m_students, &StudentForm::gradesRequested, this, &ClassicApp::showGrades);
    connect(m_students, &StudentForm::exitRequested, this, [this] {
        qInfo().noquote() << QStringLiteral("classic (%1): the user left").arg(where());
        setState(State::Finished);
    });
    connect(m_grades, &GradesForm::backRequested, this, &ClassicApp::showStudents);

    qInfo().noquote()
        << QStringLiteral("classic (%1): started for \"%2\" with %3").arg(where(), context().userName, path);
    return true;
}

void ClassicApp::stop()
{
    setState(State::Finished);
}

void ClassicApp::setState(State state)
{
    if (m_state == state || m_state == State::Finished)
        return;
    m_state = state;
    switch (state) {
    case State::Idle:
        break;
    case State::AwaitingHandshake:
        m_ui->handshake(QLatin1String(DevHubVersion));
        m_handshakeTimer.start();
        break;
    case State::Running:
        m_handshakeTimer.stop();
        if (m_typing) {
            m_ui->createSession(QLatin1String(TypingAppName), context().menuPath);
            m_ui->setTitle(QLatin1String(TypingAppName));
            m_active = m_typing;
            m_typing->start();
            break;
        }
        m_ui->createSession(QLatin1String(AppName), context().menuPath);
        m_ui->setTitle(QLatin1String(AppName));
        m_active = m_students;
        m_students->start();
        break;
    case State::Finished:
        m_handshakeTimer.stop();
        m_active = nullptr;
        finish();
        break;
    }
}

void ClassicApp::processMessage(const QByteArray &message)
{
    Pb::UIEnvelope envelope;
    if (!envelope.ParseFromArray(message.constData(), message.size())) {
        qWarning().noquote() << QStringLiteral(
                                    "classic (%1): unreadable message from the client (%2 bytes) ignored")
                                    .arg(where())
                                    .arg(message.size());
        return;
    }
    m_windowOfMessage = envelope.window_id();
    m_dispatcher.dispatch(envelope);
}

void ClassicApp::mh_handshake(const google::protobuf::Message &msg)
{
    const auto &handshake = static_cast<const Pb::Handshake &>(msg);
    if (m_state != State::AwaitingHandshake) {
        qInfo().noquote() << QStringLiteral("classic (%1): repeated handshake ignored").arg(where());
        return;
    }
    m_clientVersion = Latin1::toQString(handshake.ui_version());
    qInfo().noquote() << QStringLiteral("classic (%1): client version %2").arg(where(), m_clientVersion);
    setState(State::Running);
}

void ClassicApp::mh_generic_response(const google::protobuf::Message &msg)
{
    if (m_active)
        m_active->genericResponse(static_cast<const Pb::GenericResponse &>(msg));
}

void ClassicApp::mh_dialog_response(const google::protobuf::Message &msg)
{
    const auto &response = static_cast<const Pb::DialogResponse &>(msg);
    if (m_active && response.has_response())
        m_active->dialogResponse(response.response());
}

void ClassicApp::mh_table_lookup_response(const google::protobuf::Message &msg)
{
    if (m_active)
        m_active->tableLookupResponse(
            Latin1::toQString(static_cast<const Pb::TableLookupResponse &>(msg).value()));
}

void ClassicApp::mh_grid_lookup_response(const google::protobuf::Message &msg)
{
    const auto &response = static_cast<const Pb::GridLookupResponse &>(msg);
    if (m_active)
        m_active->gridLookupResponse(response.has_value() ? std::optional<int>(response.value())
                                                          : std::nullopt);
}

void ClassicApp::mh_edit_blob_response(const google::protobuf::Message &msg)
{
    const auto &response = static_cast<const Pb::EditBlobResponse &>(msg);
    if (m_active)
        m_active->blobEditResponse(
            response.has_blob() ? std::optional<QString>(Latin1::toQString(response.blob())) : std::nullopt);
}

void ClassicApp::showGrades(int studentNumber)
{
    if (!m_grades->enter(studentNumber)) {
        qWarning().noquote()
            << QStringLiteral("classic (%1): student %2 vanished").arg(where()).arg(studentNumber);
        return;
    }
    m_active = m_grades;
}

void ClassicApp::showStudents()
{
    m_active = m_students;
    m_students->reenter();
}

QString ClassicApp::where() const
{
    return link() ? link()->description() : QStringLiteral("closed link");
}

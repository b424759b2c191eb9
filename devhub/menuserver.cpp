#include "menuserver.h"

#include "devhubconfig.h"
#include "devhubcontext.h"
#include "devhubversion.h"
#include "userstore.h"

#include "latin1.h"

#include <QDateTime>
#include <QDebug>
#include <QUrl>
#include <QUrlQuery>

namespace {

constexpr char WebApp[] = "web";
constexpr char ReportPath[] = "/report";

void fillMenu(const DevHubConfig::MenuNode &node, Menu::MenuData *out)
{
    out->set_shortdesc(Latin1::fromQString(node.shortDesc));
    if (!node.longDesc.isEmpty())
        out->set_longdesc(Latin1::fromQString(node.longDesc));
    if (!node.password.isEmpty())
        out->set_password(Latin1::fromQString(node.password));
    out->set_menupath(Latin1::fromQString(node.menuPath));
    for (const DevHubConfig::MenuNode &child : node.children)
        fillMenu(child, out->add_menudata());
}

QString failureOf(const Menu::Envelope &envelope)
{
    if (!envelope.has_fileoperationresponse())
        return QString();
    return Latin1::toQString(envelope.fileoperationresponse().fail_desc());
}

} // namespace

MenuServer::MenuServer(const DevHubContext &context, const QString &label, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_label(label)
    , m_dispatcher(this, QtWarningMsg, "menu: No message handler found for")
{ }

MenuServer::~MenuServer() = default;

bool MenuServer::processMessage(const QByteArray &bytes)
{
    Menu::Envelope envelope;
    if (!envelope.ParseFromArray(bytes.constData(), bytes.size()))
        return false;
    m_dispatcher.dispatch(envelope);
    return true;
}

void MenuServer::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    switch (state) {
    case State::AwaitingLogin:
        m_files.reset();
        break;
    case State::PasswordChangeRequired:
        qInfo().noquote() << QStringLiteral("%1: \"%2\" must change the password").arg(m_label, m_userName);
        break;
    case State::LoggedIn: {
        qInfo().noquote() << QStringLiteral("%1: \"%2\" logged in").arg(m_label, m_userName);
        recordHistory(QStringLiteral("login"));
        Menu::Envelope history;
        history.mutable_historyfile()->set_name(Latin1::fromQString(historyFile()));
        send(history);
        sendSchedProcCount();
        if (!m_context.statusOnLogin.isEmpty())
            sendStatus(Menu::StatusMessage::WARNING, m_context.statusOnLogin);
        emit loggedIn(m_userName);
        break;
    }
    }
}

void MenuServer::send(const Menu::Envelope &envelope)
{
    QByteArray bytes(int(envelope.ByteSizeLong()), Qt::Uninitialized);
    envelope.SerializeToArray(bytes.data(), bytes.size());
    emit messageReady(bytes);
}

void MenuServer::sendAuthStatus(Menu::AuthStatus::Status status, int errorNumber, const QString &text)
{
    Menu::Envelope envelope;
    auto *auth = envelope.mutable_authstatus();
    auth->set_status(status);
    if (errorNumber != 0) {
        auth->set_pam_error_number(errorNumber);
        auth->set_pam_error_message(Latin1::fromQString(text));
    }
    send(envelope);
}

void MenuServer::sendSchedProcCount()
{
    Menu::Envelope envelope;
    envelope.mutable_schedproccount()->set_proc_count(m_context.users->scheduledProcesses(m_userName).size());
    send(envelope);
}

void MenuServer::sendStatus(Menu::StatusMessage::Type type, const QString &text)
{
    Menu::Envelope envelope;
    envelope.mutable_statusmessage()->set_type(type);
    envelope.mutable_statusmessage()->set_message(Latin1::fromQString(text));
    send(envelope);
}

void MenuServer::launchFailed(const QString &menuPath, const QString &reason)
{
    qWarning().noquote() << QStringLiteral("%1: cannot launch \"%2\": %3").arg(m_label, menuPath, reason);
    sendStatus(Menu::StatusMessage::WARNING,
               QStringLiteral("Could not start \"%1\": %2").arg(menuPath, reason));
}

bool MenuServer::requireLogin(const char *what, quint32 requestId)
{
    if (m_state == State::LoggedIn)
        return true;
    qWarning().noquote() << QStringLiteral("%1: %2 before login refused").arg(m_label, QLatin1String(what));
    if (requestId != 0)
        send(FileService::failure(requestId, QStringLiteral("Not logged in")));
    return false;
}

void MenuServer::reply(const QString &operation, const QString &path, const Menu::Envelope &envelope,
                       bool mutating)
{
    const QString failure = failureOf(envelope);
    if (!failure.isEmpty())
        qInfo().noquote()
            << QStringLiteral("%1: %2 \"%3\" refused: %4").arg(m_label, operation, path, failure);
    else if (mutating)
        qInfo().noquote() << QStringLiteral("%1: %2 \"%3\" done").arg(m_label, operation, path);
    else
        qDebug().noquote() << QStringLiteral("%1: %2 \"%3\"").arg(m_label, operation, path);
    send(envelope);
}

void MenuServer::passwordChanged(const QString &userName)
{
    if (m_state != State::PasswordChangeRequired || userName != m_userName)
        return;
    QString error;
    if (!UserHome::prepare(m_context.homesDir + QLatin1Char('/') + m_userName, m_userName, &error)) {
        qWarning().noquote() << QStringLiteral("%1: %2").arg(m_label, error);
        sendStatus(Menu::StatusMessage::FATAL, QStringLiteral("Your home directory is not available."));
        return;
    }
    m_files = std::make_unique<FileService>(UserHome(m_context.homesDir + QLatin1Char('/') + m_userName),
                                            *m_context.config, m_context.spoolDir, m_userName);
    setState(State::LoggedIn);
}

void MenuServer::mh_handshake(const google::protobuf::Message &msg)
{
    const auto &handshake = static_cast<const Menu::Handshake &>(msg);
    qDebug().noquote() << QStringLiteral(
                              "%1: menu handshake: version %2, port %3, local address %4, public address %5")
                              .arg(m_label, Latin1::toQString(handshake.version()))
                              .arg(handshake.port())
                              .arg(Latin1::toQString(handshake.local_address()),
                                   Latin1::toQString(handshake.public_address()));
    Menu::Envelope envelope;
    envelope.mutable_handshake()->set_version(
        Latin1::fromQString(QStringLiteral("zu-devhub %1").arg(DevHubVersion)));
    send(envelope);
}

void MenuServer::mh_authenticate(const google::protobuf::Message &msg)
{
    const auto &auth = static_cast<const Menu::Authenticate &>(msg);
    const QString name = Latin1::toQString(auth.username());
    if (auth.has_history_file())
        qDebug().noquote()
            << QStringLiteral("%1: history file \"%2\"").arg(m_label, Latin1::toQString(auth.history_file()));
    setState(State::AwaitingLogin);
    m_userName.clear();
    m_release.clear();

    switch (m_context.users->authenticate(name, Latin1::toQString(auth.password()))) {
    case UserStore::AuthResult::Failed:
        qInfo().noquote() << QStringLiteral("%1: login failed for \"%2\"").arg(m_label, name);
        sendAuthStatus(Menu::AuthStatus::FAILED, ErrorAuthentication,
                       QStringLiteral("Authentication failure"));
        return;
    case UserStore::AuthResult::NotAllowed:
        qInfo().noquote()
            << QStringLiteral("%1: login refused for \"%2\": account disabled").arg(m_label, name);
        sendAuthStatus(Menu::AuthStatus::NOT_ALLOWED, ErrorAccountExpired,
                       QStringLiteral("User account has expired"));
        return;
    case UserStore::AuthResult::NeedPasswordChange:
        m_userName = name;
        sendAuthStatus(Menu::AuthStatus::NEED_PASSWORD_CHANGE, ErrorNewPasswordRequired,
                       QStringLiteral("Authentication token is no longer valid; new one required"));
        setState(State::PasswordChangeRequired);
        return;
    case UserStore::AuthResult::Success:
        break;
    }

    const QString home = m_context.homesDir + QLatin1Char('/') + name;
    QString error;
    if (!UserHome::prepare(home, name, &error) || !UserHome(home).isValid()) {
        qWarning().noquote() << QStringLiteral("%1: login of \"%2\" failed: %3").arg(m_label, name, error);
        sendAuthStatus(Menu::AuthStatus::NOT_AUTHENTICATED, ErrorSystem, QStringLiteral("System error"));
        return;
    }
    m_userName = name;
    m_files = std::make_unique<FileService>(UserHome(home), *m_context.config, m_context.spoolDir, name);
    sendAuthStatus(Menu::AuthStatus::SUCCESS, 0, QString());
    setState(State::LoggedIn);
}

void MenuServer::mh_releasedatarequest(const google::protobuf::Message &)
{
    if (!requireLogin("release list", 0))
        return;
    Menu::Envelope envelope;
    auto *list = envelope.mutable_releaselist();
    for (const DevHubConfig::Release &release : m_context.config->releasesFor(m_userName)) {
        auto *entry = list->add_release();
        entry->set_key(Latin1::fromQString(release.key));
        entry->set_title(Latin1::fromQString(release.title));
    }
    send(envelope);
}

void MenuServer::mh_setrelease(const google::protobuf::Message &msg)
{
    if (!requireLogin("release choice", 0))
        return;
    const QString key = Latin1::toQString(static_cast<const Menu::SetRelease &>(msg).release());
    for (const DevHubConfig::Release &release : m_context.config->releasesFor(m_userName)) {
        if (release.key == key) {
            m_release = key;
            qInfo().noquote()
                << QStringLiteral("%1: \"%2\" uses release \"%3\"").arg(m_label, m_userName, key);
            return;
        }
    }
    qWarning().noquote()
        << QStringLiteral("%1: \"%2\" asked for unknown release \"%3\"").arg(m_label, m_userName, key);
    sendStatus(Menu::StatusMessage::WARNING,
               QStringLiteral("The release \"%1\" is not available to you.").arg(key));
}

void MenuServer::mh_menudatarequest(const google::protobuf::Message &msg)
{
    if (!requireLogin("menu", 0))
        return;
    const QString path = Latin1::toQString(static_cast<const Menu::MenuDataRequest &>(msg).menupath());
    const DevHubConfig::MenuNode *node = m_context.config->findMenuItem(path);
    Menu::Envelope envelope;
    fillMenu(node ? *node : m_context.config->menu(), envelope.mutable_menudata());
    send(envelope);
}

void MenuServer::mh_printerdatarequest(const google::protobuf::Message &)
{
    if (!requireLogin("printer list", 0))
        return;
    Menu::Envelope envelope;
    auto *data = envelope.mutable_printerdata();
    for (const DevHubConfig::Printer &printer : m_context.config->printers()) {
        auto *entry = data->add_printer();
        entry->set_name(Latin1::fromQString(printer.name));
        entry->set_description(Latin1::fromQString(printer.description));
    }
    data->set_def_printer(Latin1::fromQString(m_context.config->defaultPrinter()));
    send(envelope);
}

void MenuServer::mh_schedprocdatarequest(const google::protobuf::Message &)
{
    if (!requireLogin("scheduled processes", 0))
        return;
    Menu::Envelope envelope;
    auto *data = envelope.mutable_schedprocdata();
    for (const DevHubConfig::ScheduledProcess &process : m_context.users->scheduledProcesses(m_userName)) {
        auto *entry = data->add_schedproc();
        entry->set_proc_number(process.number);
        entry->set_title(Latin1::fromQString(process.title));
        entry->set_datetime(Latin1::fromQString(process.dateTime));
        entry->set_exec_line(Latin1::fromQString(process.execLine));
    }
    send(envelope);
}

void MenuServer::mh_removeschedprocrequest(const google::protobuf::Message &msg)
{
    if (!requireLogin("scheduled process removal", 0))
        return;
    const int number = static_cast<const Menu::RemoveSchedProcRequest &>(msg).proc_number();
    if (!m_context.users->removeScheduledProcess(m_userName, number)) {
        qInfo().noquote() << QStringLiteral("%1: no scheduled process %2 to remove").arg(m_label).arg(number);
        sendStatus(Menu::StatusMessage::WARNING,
                   QStringLiteral("There is no scheduled process %1.").arg(number));
        return;
    }
    qInfo().noquote()
        << QStringLiteral("%1: \"%2\" removed scheduled process %3").arg(m_label, m_userName).arg(number);
    sendSchedProcCount();
}

void MenuServer::mh_launchitem(const google::protobuf::Message &msg)
{
    if (!requireLogin("launch", 0))
        return;
    const QString path = Latin1::toQString(static_cast<const Menu::LaunchItem &>(msg).menupath());
    const DevHubConfig::MenuNode *node = m_context.config->findMenuItem(path);
    if (!node) {
        launchFailed(path, QStringLiteral("there is no such menu item"));
        return;
    }
    if (node->app.isEmpty()) {
        launchFailed(path, QStringLiteral("it is a menu, not a program"));
        return;
    }
    qInfo().noquote()
        << QStringLiteral("%1: \"%2\" launches \"%3\" (%4)").arg(m_label, m_userName, path, node->app);
    recordHistory(QStringLiteral("%1  %2").arg(path, node->shortDesc));
    const QJsonObject options = m_context.config->applicationOptions(node->app, node->options);
    if (node->app == QLatin1String(WebApp)) {
        launchWeb(path, options);
        return;
    }
    DemoAppContext context;
    context.userName = m_userName;
    context.homePath = m_files->home().root();
    context.dataDir = m_context.dataDir;
    context.menuPath = path;
    context.options = options;
    emit launchRequested(node->app, context);
}

QString MenuServer::historyFile() const
{
    return QStringLiteral("zu-history-%1").arg(m_userName);
}

void MenuServer::recordHistory(const QString &entry)
{
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss  ")) + entry;
    const QString error = m_files->appendLine(historyFile(), line.toLatin1());
    if (!error.isEmpty())
        qWarning().noquote() << QStringLiteral("%1: menu history: %2").arg(m_label, error);
}

void MenuServer::launchWeb(const QString &menuPath, const QJsonObject &options)
{
    if (m_context.webPort == 0) {
        launchFailed(menuPath, QStringLiteral("the report server is not running"));
        return;
    }
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(m_localHost.isEmpty() ? QStringLiteral("127.0.0.1") : m_localHost);
    url.setPort(m_context.webPort);
    url.setPath(options.value(QLatin1String("path")).toString(QLatin1String(ReportPath)));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("user"), m_userName);
    url.setQuery(query);

    Menu::Envelope envelope;
    auto *launch = envelope.mutable_launchurl();
    launch->set_type(options.value(QLatin1String("cognos")).toBool() ? Menu::LaunchUrl::cognos
                                                                     : Menu::LaunchUrl::unspecified);
    launch->set_internal(options.value(QLatin1String("internal")).toBool(true));
    launch->set_url(Latin1::fromQString(url.toString(QUrl::FullyEncoded)));
    launch->set_menupath(Latin1::fromQString(menuPath));
    send(envelope);
}

void MenuServer::mh_fileinfodatarequest(const google::protobuf::Message &msg)
{
    const auto &request = static_cast<const Menu::FileInfoDataRequest &>(msg);
    if (requireLogin("listing", request.request_id()))
        reply(QStringLiteral("list"), Latin1::toQString(request.directory()), m_files->list(request), false);
}

void MenuServer::mh_filerequest(const google::protobuf::Message &msg)
{
    const auto &request = static_cast<const Menu::FileRequest &>(msg);
    if (requireLogin("download", request.request_id()))
        reply(QStringLiteral("get"), Latin1::toQString(request.filename()), m_files->get(request), false);
}

void MenuServer::mh_file(const google::protobuf::Message &msg)
{
    const auto &file = static_cast<const Menu::File &>(msg);
    if (!requireLogin("upload", file.request_id()))
        return;
    const Menu::Envelope result = m_files->upload(file);
    const QString name = Latin1::toQString(file.filename());
    if (file.request_id() != 0) {
        reply(QStringLiteral("upload"), name, result, true);
        return;
    }
    // Without a request number the client has nobody to hand a reply to: only log it.
    const QString failure = failureOf(result);
    if (failure.isEmpty())
        qDebug().noquote() << QStringLiteral("%1: upload \"%2\" done (unanswered)").arg(m_label, name);
    else
        qInfo().noquote() << QStringLiteral("%1: upload \"%2\" refused: %3").arg(m_label, name, failure);
}

void MenuServer::mh_renamefile(const google::protobuf::Message &msg)
{
    const auto &request = static_cast<const Menu::RenameFile &>(msg);
    if (requireLogin("rename", request.request_id()))
        reply(QStringLiteral("rename"),
              QStringLiteral("%1\" to \"%2")
                  .arg(Latin1::toQString(request.currentname()), Latin1::toQString(request.newname())),
              m_files->rename(request), true);
}

void MenuServer::mh_copyfile(const google::protobuf::Message &msg)
{
    const auto &request = static_cast<const Menu::CopyFile &>(msg);
    if (requireLogin("copy", request.request_id()))
        reply(QStringLiteral("copy"),
              QStringLiteral("%1\" to \"%2")
                  .arg(Latin1::toQString(request.sourcename()), Latin1::toQString(request.destname())),
              m_files->copy(request), true);
}

void MenuServer::mh_deletefile(const google::protobuf::Message &msg)
{
    const auto &request = static_cast<const Menu::DeleteFile &>(msg);
    if (requireLogin("delete", request.request_id()))
        reply(QStringLiteral("delete"), Latin1::toQString(request.filename()), m_files->remove(request),
              true);
}

void MenuServer::mh_printfile(const google::protobuf::Message &msg)
{
    const auto &request = static_cast<const Menu::PrintFile &>(msg);
    if (requireLogin("print", request.request_id()))
        reply(QStringLiteral("print"),
              QStringLiteral("%1\" on \"%2")
                  .arg(Latin1::toQString(request.filename()), Latin1::toQString(request.printer())),
              m_files->print(request), true);
}

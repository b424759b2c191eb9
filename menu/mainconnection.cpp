#include "mainconnection.h"

#include "abstractremotefileworker.h"
#include "menuitem.h"
#include "weburl.h"

#include "utils/busymouse.h"
#include "envelopedispatcher.h"
#include "latin1.h"
#include "utils/version.h"

#include <QDebug>
#include <QDesktopServices>
#include <QRandomGenerator64>
#include <QTimer>

#include <utility>
#include <QUrl>

namespace {

const QString MainBusyKey = QStringLiteral("mainConnection");
const QString SchedBusyKey = QStringLiteral("fetchScheduledProcesses");
const QString FileBusyKey = QStringLiteral("fileRequested");
constexpr char PortFileName[] = "/.clientport";

// Shared by every kind of request and every connection of the process; 0 is never issued.
quint32 s_nextRequestId = 1;

} // namespace

MainConnection::MainConnection(QObject *parent)
    : QObject(parent)
    , m_dispatcher(
          std::make_unique<EnvelopeDispatcher>(this, QtWarningMsg, "MC: No message handler found for"))
{
    qRegisterMetaType<MainConnection::State>();
    qRegisterMetaType<Menu::StatusMessage_Type>();
    qRegisterMetaType<MainConnection::ReleaseList>();
    qRegisterMetaType<MainConnection::SchedProcList>();
    qRegisterMetaType<MenuItem *>();

    m_dispatcher->setFieldFilter([](const google::protobuf::FieldDescriptor &field) {
        qDebug() << "MC: Menu message received message type:" << QString::fromStdString(field.name());
        return true;
    });

    m_pollTimer = new QTimer(this);
    m_pollTimer->setInterval(PollBaseMs
                             + int(quint32(QRandomGenerator64::global()->generate()) % PollJitterMs));
    connect(m_pollTimer, &QTimer::timeout, this, &MainConnection::pollScheduledProcesses);
    m_pollTimer->start();
}

MainConnection::~MainConnection() = default;

int MainConnection::pollInterval() const
{
    return m_pollTimer ? m_pollTimer->interval() : 0;
}

void MainConnection::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
    switch (state) {
    case Disconnected:
        BusyMouse::instance()->stop(MainBusyKey);
        // No reply can come for what was asked before the link went.
        failRequests(std::exchange(m_requests, {}), QStringLiteral("The connection to the ZU server was lost"));
        BusyMouse::instance()->stop(FileBusyKey);
        emit disconnected();
        break;
    case Connecting:
        BusyMouse::instance()->start(MainBusyKey, BusyTimeoutMs);
        emit connecting();
        break;
    case Authenticating:
        BusyMouse::instance()->start(MainBusyKey, BusyTimeoutMs);
        emit authenticating();
        break;
    case AuthenticationFailed:
        BusyMouse::instance()->stop(MainBusyKey);
        emit authenticationFailed(m_errorNumber, m_errorText);
        break;
    case PasswordChangeRequired:
        BusyMouse::instance()->stop(MainBusyKey);
        emit passwordNeedsChanged();
        break;
    case RequestingReleases:
    case ChoosingRelease:
        BusyMouse::instance()->stop(MainBusyKey);
        break;
    case Connected:
        BusyMouse::instance()->stop(MainBusyKey);
        emit connected();
        break;
    }
}

void MainConnection::send(const Menu::Envelope &envelope)
{
    emit messageReady(QByteArray::fromStdString(envelope.SerializeAsString()));
}

void MainConnection::setCredentials(const QString &username, const QString &password)
{
    m_username = username;
    m_password = password;
    // A new login may be another person's: the release of the last one is not theirs to keep.
    m_releaseKey.clear();
    m_releaseTitle.clear();
}

void MainConnection::setAddresses(const QString &localAddress, const QString &publicAddress)
{
    m_localAddress = localAddress;
    m_publicAddress = publicAddress;
}

void MainConnection::startMenuConnection()
{
    m_errorText.clear();
    m_errorNumber = 0;
    emit requestConnectionState(true);
    setState(Connecting);
}

void MainConnection::stopMenuConnection()
{
    emit requestConnectionState(false);
}

void MainConnection::menuConnected()
{
    qDebug() << "MC: zumenu connected";
    Menu::Envelope handshake;
    auto *hs = handshake.mutable_handshake();
    hs->set_version(ClientVersion);
    hs->set_port(m_classicListenPort); // always present, even when it equals the default
    hs->set_local_address(Latin1::fromQString(m_localAddress));
    hs->set_public_address(Latin1::fromQString(m_publicAddress));
    send(handshake);

    Menu::Envelope authenticate;
    auto *auth = authenticate.mutable_authenticate();
    auth->set_username(Latin1::fromQString(m_username));
    auth->set_password(Latin1::fromQString(m_password));
    if (!m_historyFile.isEmpty())
        auth->set_history_file(Latin1::fromQString(m_historyFile));
    send(authenticate);

    setState(Authenticating);
}

void MainConnection::menuDisconnected(const QString &errorMessage)
{
    qDebug() << "MC: menuDisconnected:" << errorMessage;
    // The failure must stay visible on the login dialog.
    if (m_state == AuthenticationFailed)
        return;
    m_errorNumber = 0;
    m_errorText = errorMessage;
    emit errorTextChanged(m_errorText);
    setState(Disconnected);
    emit connectionFailed(errorMessage);
}

void MainConnection::setRelease(const QString &key, const QString &title)
{
    m_releaseKey = key;
    m_releaseTitle = title;
    Menu::Envelope envelope;
    envelope.mutable_setrelease()->set_release(Latin1::fromQString(key));
    send(envelope);
    setState(Connected);

    BusyMouse::instance()->start(MainBusyKey, BusyTimeoutMs);
    Menu::Envelope menuRequest;
    menuRequest.mutable_menudatarequest()->set_menupath("/");
    send(menuRequest);
    Menu::Envelope printerRequest;
    printerRequest.mutable_printerdatarequest();
    send(printerRequest);
}

void MainConnection::passwordChanged(const QString &newPassword)
{
    m_password = newPassword;
    if (m_state != PasswordChangeRequired)
        return;
    Menu::Envelope envelope;
    envelope.mutable_releasedatarequest();
    send(envelope);
    setState(RequestingReleases);
}

void MainConnection::processMessage(const char *data, int dataLength)
{
    Menu::Envelope envelope;
    if (dataLength < 0 || !envelope.ParseFromArray(data, dataLength)) {
        qWarning() << "MainConnection::processMessage() - Unable to parse envelope";
        return;
    }
    m_dispatcher->dispatch(envelope);
}

void MainConnection::mh_handshake(const google::protobuf::Message &)
{ }

void MainConnection::mh_statusmessage(const google::protobuf::Message &msg)
{
    const auto &status = static_cast<const Menu::StatusMessage &>(msg);
    emit statusMessage(status.type(), Latin1::toQString(status.message()));
    if (status.type() == Menu::StatusMessage::FATAL) {
        qWarning() << "Status message indicates FATAL. Destroying the connection";
        emit requestConnectionState(false);
    }
}

void MainConnection::mh_authstatus(const google::protobuf::Message &msg)
{
    const auto &status = static_cast<const Menu::AuthStatus &>(msg);
    switch (status.status()) {
    case Menu::AuthStatus::SUCCESS: {
        emit usernameConfirmed(m_username);
        Menu::Envelope envelope;
        envelope.mutable_releasedatarequest();
        send(envelope);
        setState(RequestingReleases);
        break;
    }
    case Menu::AuthStatus::NEED_PASSWORD_CHANGE:
        emit usernameConfirmed(m_username);
        setState(PasswordChangeRequired);
        break;
    default:
        m_errorNumber = status.pam_error_number();
        m_errorText = Latin1::toQString(status.pam_error_message());
        setState(AuthenticationFailed);
        qWarning() << "MC: Auth failed. PAM error:" << m_errorNumber << m_errorText;
        emit requestConnectionState(false);
        break;
    }
}

void MainConnection::mh_releaselist(const google::protobuf::Message &msg)
{
    // A menu reconnection within the same login keeps the release already chosen.
    if (!m_releaseKey.isEmpty()) {
        setRelease(m_releaseKey, m_releaseTitle);
        return;
    }
    const auto &list = static_cast<const Menu::ReleaseList &>(msg);
    ReleaseList releases;
    releases.reserve(list.release_size());
    for (const auto &release : list.release())
        releases.append({ Latin1::toQString(release.key()), Latin1::toQString(release.title()) });
    setState(ChoosingRelease);
    emit releaseListRcvd(releases);
}

void MainConnection::mh_menudata(const google::protobuf::Message &msg)
{
    const auto &root = static_cast<const Menu::MenuData &>(msg);
    emit menuReceived(MenuItem::fromMenuData(root).release());
    BusyMouse::instance()->stop(MainBusyKey);

    // Lets server programs find the port this client listens on.
    Menu::Envelope envelope;
    auto *file = envelope.mutable_file();
    file->set_filename(PortFileName);
    file->set_file(QByteArray::number(m_classicListenPort).toStdString());
    file->set_allow_hidden(true);
    file->set_allow_overwrite(true);
    send(envelope);
}

void MainConnection::mh_launchurl(const google::protobuf::Message &msg)
{
    const auto &launch = static_cast<const Menu::LaunchUrl &>(msg);
    const QString text = Latin1::toQString(launch.url());
    const QUrl url(text);
    if (!url.isValid()) {
        qCritical() << "Invalid URL:" << text;
        qCritical() << url.errorString();
        emit invalidAddress(text, url.errorString());
        return;
    }
    if (!isWebUrl(url)) {
        qWarning() << "MainConnection::mh_launchurl() - refused to open" << text << "; only http and https are opened";
        emit statusNotice(QStringLiteral("The server asked to open \"%1\"; only web addresses are opened.").arg(text));
        return;
    }
    if (!launch.internal()) {
        QDesktopServices::openUrl(url);
        return;
    }
    emit openWebPage(Latin1::toQString(launch.menupath()),
                     launch.type() == Menu::LaunchUrl::cognos ? QStringLiteral("Cognos") : QStringLiteral("Web Browser"),
                     url);
}

void MainConnection::pollScheduledProcesses()
{
    sendSchedProcRequest();
}

void MainConnection::refreshSchedProcIndicator()
{
    sendSchedProcRequest();
}

void MainConnection::sendSchedProcRequest()
{
    qDebug() << "MC: Requesting scheduled process data";
    Menu::Envelope envelope;
    envelope.mutable_schedprocdatarequest();
    send(envelope);
}

void MainConnection::requestSchedProcData()
{
    BusyMouse::instance()->start(SchedBusyKey, BusyTimeoutMs);
    m_listRequested = true;
    sendSchedProcRequest();
}

void MainConnection::removeScheduledProcess(int procId)
{
    Menu::Envelope envelope;
    envelope.mutable_removeschedprocrequest()->set_proc_number(procId);
    send(envelope);
}

void MainConnection::restartPoll()
{
    if (m_pollTimer)
        m_pollTimer->start();
}

void MainConnection::setScheduledCount(int count)
{
    if (count == m_scheduledCount)
        return;
    m_scheduledCount = count;
    emit scheduledProcessCountChanged(count);
}

void MainConnection::mh_schedproccount(const google::protobuf::Message &msg)
{
    qDebug() << "Received SchedProcCount message.";
    restartPoll();
    setScheduledCount(static_cast<const Menu::SchedProcCount &>(msg).proc_count());
}

void MainConnection::mh_schedprocdata(const google::protobuf::Message &msg)
{
    const auto &data = static_cast<const Menu::SchedProcData &>(msg);
    restartPoll();
    setScheduledCount(data.schedproc_size());
    if (!m_listRequested)
        return;
    m_listRequested = false;
    SchedProcList list;
    list.reserve(data.schedproc_size());
    for (const auto &proc : data.schedproc())
        list.append({ proc.proc_number(), Latin1::toQString(proc.title()), Latin1::toQString(proc.datetime()),
                      Latin1::toQString(proc.exec_line()) });
    emit schedProcListReceived(list);
    BusyMouse::instance()->stop(SchedBusyKey);
}

void MainConnection::mh_printerdata(const google::protobuf::Message &msg)
{
    const auto &data = static_cast<const Menu::PrinterData &>(msg);
    m_printers.clear();
    for (const auto &printer : data.printer())
        m_printers.append({ Latin1::toQString(printer.name()), Latin1::toQString(printer.description()) });
    m_defaultPrinter = Latin1::toQString(data.def_printer());
}

void MainConnection::mh_historyfile(const google::protobuf::Message &msg)
{
    const auto &history = static_cast<const Menu::HistoryFile &>(msg);
    if (history.has_name())
        m_historyFile = Latin1::toQString(history.name());
    qInfo() << "History file:" << m_historyFile;
}

void MainConnection::sendLaunchItem(const QString &menuPath)
{
    qDebug() << "MC: User trying to launch:" << menuPath;
    Menu::Envelope envelope;
    envelope.mutable_launchitem()->set_menupath(Latin1::fromQString(menuPath));
    send(envelope);
}

bool MainConnection::isText(const QByteArray &data)
{
    for (const char c : data) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0 || byte >= 128)
            return false;
    }
    return true;
}

quint32 MainConnection::registerRequest(AbstractRemoteFileWorker *requester, RequestKind kind,
                                        const QVariant &context)
{
    // The reply may come after the requester is gone; only a QObject can be watched for that.
    auto *object = dynamic_cast<QObject *>(requester);
    if (!object) {
        qWarning() << "MainConnection::registerRequest() - requester is not a QObject; request dropped";
        return 0;
    }
    Request request;
    request.requesterObject = object;
    request.requester = requester;
    request.kind = kind;
    request.context = context;
    request.busy = context.toMap().value(QStringLiteral("busyMouse"), true).toBool();
    if (m_state != Connected) {
        // It could never be sent, so no reply would ever come.
        qWarning() << "MainConnection::registerRequest() - not connected; request failed";
        failRequests({ { 0, request } }, QStringLiteral("Not connected to the ZU server"));
        return 0;
    }
    if (m_requests.size() >= MaxPendingRequests) {
        // Replies for requesters that are gone would only be dropped.
        for (auto it = m_requests.begin(); it != m_requests.end();)
            it = it->requesterObject ? std::next(it) : m_requests.erase(it);
        if (m_requests.size() >= MaxPendingRequests) {
            qWarning() << "MainConnection::registerRequest() - too many requests unanswered; request failed";
            failRequests({ { 0, request } }, QStringLiteral("Too many requests are waiting for the ZU server"));
            return 0;
        }
    }
    const quint32 id = s_nextRequestId++;
    if (s_nextRequestId == 0)
        s_nextRequestId = 1;
    m_requests.insert(id, request);
    if (request.busy)
        BusyMouse::instance()->start(FileBusyKey, BusyTimeoutMs);
    return id;
}

bool MainConnection::takeRequest(quint32 id, Request *request)
{
    const auto it = m_requests.find(id);
    if (it == m_requests.end())
        return false;
    *request = it.value();
    m_requests.erase(it);
    const bool anyBusy = std::any_of(m_requests.cbegin(), m_requests.cend(),
                                     [](const Request &pending) { return pending.busy; });
    if (!anyBusy)
        BusyMouse::instance()->stop(FileBusyKey);
    return true;
}

void MainConnection::requestFileInfo(AbstractRemoteFileWorker *requester, const QVariant &context,
                                     const QString &directory, bool includeHidden, const QString &filter)
{
    const quint32 id = registerRequest(requester, RequestKind::FileInfo, context);
    if (!id)
        return;
    Menu::Envelope envelope;
    auto *request = envelope.mutable_fileinfodatarequest();
    request->set_directory(Latin1::fromQString(directory));
    request->set_include_hidden(includeHidden);
    request->set_request_id(id);
    request->set_filter(Latin1::fromQString(filter));
    send(envelope);
}

void MainConnection::requestFile(AbstractRemoteFileWorker *requester, const QVariant &context,
                                 const QString &filename)
{
    const quint32 id = registerRequest(requester, RequestKind::File, context);
    if (!id)
        return;
    Menu::Envelope envelope;
    auto *request = envelope.mutable_filerequest();
    request->set_filename(Latin1::fromQString(filename));
    request->set_request_id(id);
    send(envelope);
}

void MainConnection::renameFile(AbstractRemoteFileWorker *requester, const QVariant &context,
                                const QString &currentName, const QString &newName)
{
    const quint32 id = registerRequest(requester, RequestKind::Rename, context);
    if (!id)
        return;
    qDebug() << "RENAME:" << currentName << newName;
    Menu::Envelope envelope;
    auto *request = envelope.mutable_renamefile();
    request->set_currentname(Latin1::fromQString(currentName));
    request->set_newname(Latin1::fromQString(newName));
    request->set_request_id(id);
    send(envelope);
}

void MainConnection::copyFile(AbstractRemoteFileWorker *requester, const QVariant &context,
                              const QString &sourceName, const QString &destName)
{
    const quint32 id = registerRequest(requester, RequestKind::Copy, context);
    if (!id)
        return;
    qDebug() << "COPY:" << sourceName << destName;
    Menu::Envelope envelope;
    auto *request = envelope.mutable_copyfile();
    request->set_sourcename(Latin1::fromQString(sourceName));
    request->set_destname(Latin1::fromQString(destName));
    request->set_request_id(id);
    send(envelope);
}

void MainConnection::deleteFile(AbstractRemoteFileWorker *requester, const QVariant &context,
                                const QString &filename)
{
    const quint32 id = registerRequest(requester, RequestKind::Delete, context);
    if (!id)
        return;
    qDebug() << "DELETE:" << filename;
    Menu::Envelope envelope;
    auto *request = envelope.mutable_deletefile();
    request->set_filename(Latin1::fromQString(filename));
    request->set_request_id(id);
    send(envelope);
}

void MainConnection::printFile(AbstractRemoteFileWorker *requester, const QVariant &context,
                               const QString &filename, const QString &printer, const QString &formType)
{
    const quint32 id = registerRequest(requester, RequestKind::Print, context);
    if (!id)
        return;
    qDebug() << "PRINT:" << filename << printer << formType;
    Menu::Envelope envelope;
    auto *request = envelope.mutable_printfile();
    request->set_filename(Latin1::fromQString(filename));
    request->set_printer(Latin1::fromQString(printer));
    if (!formType.isEmpty())
        request->set_formtype(Latin1::fromQString(formType));
    request->set_request_id(id);
    send(envelope);
}

void MainConnection::uploadFile(AbstractRemoteFileWorker *requester, const QVariant &context,
                                const QString &filename, const QByteArray &data, bool allowOverwrite,
                                bool allowHidden)
{
    const quint32 id = registerRequest(requester, RequestKind::Upload, context);
    if (!id)
        return;
    qDebug() << "UPLOAD:" << filename;
    QByteArray bytes = data;
    if (isText(bytes)) {
        qDebug() << "ASCII MODE";
        bytes.replace("\r\n", "\n");
    }
    Menu::Envelope envelope;
    auto *file = envelope.mutable_file();
    file->set_filename(Latin1::fromQString(filename));
    file->set_file(bytes.toStdString());
    file->set_request_id(id);
    if (allowHidden)
        file->set_allow_hidden(true);
    if (allowOverwrite)
        file->set_allow_overwrite(true);
    send(envelope);
}

void MainConnection::mh_file(const google::protobuf::Message &msg)
{
    const auto &file = static_cast<const Menu::File &>(msg);
    Request request;
    if (!takeRequest(file.request_id(), &request)) {
        qWarning() << "MainConnection::mh_file() - unknown request ID. dropping";
        return;
    }
    if (!request.requesterObject) {
        qWarning() << "MainConnection::mh_file() - Requestor has been destroyed";
        return;
    }
    QByteArray data = QByteArray::fromStdString(file.file());
    qDebug() << "-=> -=> -=> download completed. size:" << data.size();
    if (isText(data)) {
        qDebug() << "ASCII MODE";
        data.replace("\n", "\r\n");
    }
    request.requester->fileRespFile(request.context, data, QString());
}

void MainConnection::mh_fileinfodata(const google::protobuf::Message &msg)
{
    const auto &info = static_cast<const Menu::FileInfoData &>(msg);
    Request request;
    if (!takeRequest(info.request_id(), &request)) {
        qWarning() << "MainConnection::mh_fileinfodata() - unknown request ID. dropping";
        return;
    }
    if (!request.requesterObject) {
        qWarning() << "MainConnection::mh_fileinfodata() - Requestor has been destroyed";
        return;
    }
    request.requester->fileRespInfoData(request.context, &info, QString());
}

void MainConnection::mh_fileoperationresponse(const google::protobuf::Message &msg)
{
    const auto &response = static_cast<const Menu::FileOperationResponse &>(msg);
    Request request;
    if (!takeRequest(response.request_id(), &request)) {
        qWarning() << "MainConnection::mh_fileoperationresponse() - unknown request ID. dropping";
        return;
    }
    deliverResult(request, Latin1::toQString(response.fail_desc()));
}

void MainConnection::failRequests(const QHash<quint32, Request> &requests, const QString &error)
{
    if (requests.isEmpty())
        return;
    // On the next turn: a requester may open a dialog, and this may run inside a state change.
    QTimer::singleShot(0, this, [this, requests, error] {
        for (const Request &request : requests)
            deliverResult(request, error);
    });
}

void MainConnection::deliverResult(const Request &request, const QString &error)
{
    if (!request.requesterObject)
        return;
    AbstractRemoteFileWorker *worker = request.requester;
    switch (request.kind) {
    case RequestKind::FileInfo:
        worker->fileRespInfoData(request.context, nullptr, error);
        break;
    case RequestKind::File:
        worker->fileRespFile(request.context, QByteArray(), error);
        break;
    case RequestKind::Rename:
        worker->fileRespRename(request.context, error);
        break;
    case RequestKind::Copy:
        worker->fileRespCopy(request.context, error);
        break;
    case RequestKind::Delete:
        worker->fileRespDelete(request.context, error);
        break;
    case RequestKind::Print:
        worker->fileRespPrint(request.context, error);
        break;
    case RequestKind::Upload:
        worker->fileRespUpload(request.context, error);
        break;
    default:
        qWarning() << "MainConnection::mh_fileoperationresponse() - unhandled type";
        break;
    }
}

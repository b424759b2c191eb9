#include "mainconnection.h"

#include "menuitem.h"
#include "weburl.h"

#include "utils/busymouse.h"
#include "envelopedispatcher.h"
#include "latin1.h"
#include "utils/version.h"

#include <QDebug>
#include <QDesktopServices>
#include <QUrl>

namespace {

const QString MainBusyKey = QStringLiteral("mainConnection");
constexpr char PortFileName[] = "/.clientport";

} // namespace

MainConnection::MainConnection(QObject *parent)
    : QObject(parent)
    , m_files(new RemoteFiles([this](const Menu::Envelope &envelope) { send(envelope); }, this))
    , m_scheduled(new ScheduledProcesses([this](const Menu::Envelope &envelope) { send(envelope); }, this))
    , m_dispatcher(
          std::make_unique<EnvelopeDispatcher>(this, QtWarningMsg, "MC: No message handler found for"))
{
    qRegisterMetaType<MainConnection::State>();
    qRegisterMetaType<Menu::StatusMessage_Type>();
    qRegisterMetaType<MainConnection::ReleaseList>();
    qRegisterMetaType<MenuItem *>();

    m_dispatcher->setFieldFilter([](const google::protobuf::FieldDescriptor &field) {
        qDebug() << "MC: Menu message received message type:" << QString::fromStdString(field.name());
        return true;
    });
}

MainConnection::~MainConnection() = default;

void MainConnection::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    if (state != Connected)
        m_releaseChoiceWanted = false;
    m_files->setAvailable(state == Connected);
    m_scheduled->setAvailable(state == Connected);
    emit stateChanged(state);
    switch (state) {
    case Disconnected:
        BusyMouse::instance()->stop(MainBusyKey);
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

void MainConnection::requestReleaseChoice()
{
    if (m_state != Connected) {
        qWarning() << "MainConnection::requestReleaseChoice() - invalid state:" << m_state;
        return;
    }
    m_releaseChoiceWanted = true;
    Menu::Envelope envelope;
    envelope.mutable_releasedatarequest();
    send(envelope);
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
    const auto &list = static_cast<const Menu::ReleaseList &>(msg);
    ReleaseList releases;
    releases.reserve(list.release_size());
    for (const auto &release : list.release())
        releases.append({ Latin1::toQString(release.key()), Latin1::toQString(release.title()) });
    if (m_releaseChoiceWanted && m_state == Connected) {
        m_releaseChoiceWanted = false;
        emit releaseChoiceOffered(releases);
        return;
    }
    // A menu reconnection within the same login keeps the release already chosen.
    if (!m_releaseKey.isEmpty()) {
        setRelease(m_releaseKey, m_releaseTitle);
        return;
    }
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
    RateLimit &budget = launch.internal() ? m_pageLaunches : m_browserLaunches;
    if (!budget.admit()) {
        // Told once a flood; what follows is counted, and the count logged when launches resume.
        if (budget.refusedInARow() == 1) {
            qWarning() << "MainConnection::mh_launchurl() - more than" << MaxLaunchesPerMinute
                       << "addresses in a minute; refusing" << text;
            emit statusNotice(QStringLiteral("The server asked to open more than %1 pages in a minute; "
                                             "the others were not opened.")
                                  .arg(MaxLaunchesPerMinute));
        }
        return;
    }
    if (budget.refusedBefore() > 0)
        qWarning() << "MainConnection::mh_launchurl()" << budget.refusedBefore() << "addresses were refused";
    if (!launch.internal()) {
        QDesktopServices::openUrl(url);
        return;
    }
    emit openWebPage(Latin1::toQString(launch.menupath()),
                     launch.type() == Menu::LaunchUrl::cognos ? QStringLiteral("Cognos") : QStringLiteral("Web Browser"),
                     url);
}

void MainConnection::mh_schedproccount(const google::protobuf::Message &msg)
{
    m_scheduled->countReceived(static_cast<const Menu::SchedProcCount &>(msg));
}

void MainConnection::mh_schedprocdata(const google::protobuf::Message &msg)
{
    m_scheduled->listReceived(static_cast<const Menu::SchedProcData &>(msg));
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

void MainConnection::mh_file(const google::protobuf::Message &msg)
{
    m_files->fileReceived(static_cast<const Menu::File &>(msg));
}

void MainConnection::mh_fileinfodata(const google::protobuf::Message &msg)
{
    m_files->listingReceived(static_cast<const Menu::FileInfoData &>(msg));
}

void MainConnection::mh_fileoperationresponse(const google::protobuf::Message &msg)
{
    m_files->operationAnswered(static_cast<const Menu::FileOperationResponse &>(msg));
}

#include "applicationconnection.h"

#include "applinks/apptranceiver.h"
#include "applinks/pagehost.h"
#include "classic/gridlookupmodelbuilder.h"

#include "utils/busymouse.h"
#include "envelopedispatcher.h"
#include "latin1.h"
#include "utils/version.h"
#include "classic/classicapplicationwidget.h"
#include "classic/expandkeymarkers.h"
#include "classic/tablelookupdialog.h"
#include "classic/zufieldwidget.h"

#include <QApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QStandardItemModel>

#include <google/protobuf/descriptor.h>

namespace {

const QString TableLookupReason = QStringLiteral("tableLookup");
const QString GridLookupReason = QStringLiteral("gridLookup");
const QString LookupStatusReason = QStringLiteral("lookupStatus");
constexpr auto PrintName = "prn";

std::optional<int> optionalOf(bool present, int value)
{
    return present ? std::optional<int>(value) : std::nullopt;
}

template<class T>
const T &as(const google::protobuf::Message &msg)
{
    return static_cast<const T &>(msg);
}

// The page the server most recently hid while it was showing, shared by every session: a window
// shown right after it takes its place.
struct LastHiddenPage
{
    QPointer<ClassicApplicationWidget> page;
    QElapsedTimer since;
};

LastHiddenPage &lastHidden()
{
    static LastHiddenPage record;
    return record;
}

void fillFieldId(Pb::FieldId *id, const ZuFieldWidget *field)
{
    id->set_screen_id(field->property("sid").toInt());
    id->set_field_name(Latin1::fromQString(field->objectName()));
}

QString nameOf(const ZuFieldWidget *field)
{
    return field ? field->objectName() : QStringLiteral("[NULL]");
}

} // namespace

ApplicationConnection::ApplicationConnection(AppTranceiver *transport, PageHost *host, QObject *parent)
    : ApplicationSession(parent)
    , m_transport(transport)
    , m_host(host)
    , m_hostObject(host ? host->hostObject() : nullptr)
    , m_solo(transport->isMenuOpt())
{
    qRegisterMetaType<Pb::Key>();
    transport->setParent(this);
    followTransport(transport);
    connect(transport, &AppTranceiver::rawMessageRcvd, this, &ApplicationConnection::messageRcvd);
    connect(transport, &AppTranceiver::disconnected, this, &ApplicationSession::ended);

    Pb::UIEnvelope envelope;
    envelope.mutable_handshake()->set_ui_version(ClientVersion);
    send(envelope, 0);
}

ApplicationConnection::~ApplicationConnection()
{
    for (const QPointer<ClassicApplicationWidget> &page : std::as_const(m_pages)) {
        if (!page)
            continue;
        const bool solo = page->isSoloApp();
        PageHost *pages = host();
        if (pages)
            pages->removeTaskPage(page, solo);
        // The task manager disposes of a solo page after its delayed removal.
        if (!solo || !pages)
            page->deleteLater();
    }
    qDebug() << "Connection destroyed";
}

QList<TaskPageWidget *> ApplicationConnection::pages() const
{
    QList<TaskPageWidget *> shown;
    for (auto it = m_pages.cbegin(); it != m_pages.cend(); ++it)
        if (it.value() && !m_hiddenWindows.contains(it.key()))
            shown << it.value().data();
    return shown;
}

void ApplicationConnection::releasePages()
{
    for (auto it = m_pages.begin(); it != m_pages.end();) {
        if (it.value() && !m_hiddenWindows.contains(it.key())) {
            it.value()->disconnect(this);
            it = m_pages.erase(it);
        } else {
            ++it;
        }
    }
}

ApplicationSession *ApplicationConnection::create(AppTranceiver *transport, PageHost *host)
{
    return new ApplicationConnection(transport, host);
}

QString ApplicationConnection::describe() const
{
    return QStringLiteral("connection PID: %1  app name: \"%2\"  menu title: \"%3\"")
        .arg(m_pid)
        .arg(m_appName, m_menuTitle);
}

void ApplicationConnection::send(Pb::UIEnvelope &envelope, quint32 windowId)
{
    envelope.set_pid(m_pid);
    envelope.set_window_id(windowId);
    QByteArray bytes(int(envelope.ByteSizeLong()), Qt::Uninitialized);
    envelope.SerializeWithCachedSizesToArray(reinterpret_cast<quint8 *>(bytes.data()));
    QByteArray redacted;
    if (m_replyHoldsSecret) {
        m_replyHoldsSecret = false;
        Pb::UIEnvelope blanked(envelope);
        blanked.mutable_generic_response()->set_data(std::string());
        redacted = QByteArray::fromStdString(blanked.SerializeAsString());
    }
    m_transport->rawMessageSend(bytes, redacted);
}

bool ApplicationConnection::fillChangedData(Pb::GenericResponse *response, ZuFieldWidget *field)
{
    if (!field || !field->isDataChanged())
        return false;
    fillFieldData(response, field);
    field->commitData();
    return true;
}

void ApplicationConnection::fillFieldData(Pb::GenericResponse *response, ZuFieldWidget *field)
{
    response->set_data(Latin1::fromQString(field->data()));
    if (field->property("propInvisible").toBool())
        m_replyHoldsSecret = true;
}

void ApplicationConnection::messageRcvd(const char *data, int dataLength)
{
    Pb::UIEnvelope envelope;
    if (!envelope.ParseFromArray(data, dataLength)) {
        qCritical() << "Unable to parse Envelope";
        return;
    }
    if (envelope.has_pid())
        m_pid = envelope.pid();
    const quint32 windowId = envelope.window_id();
    if (!m_pages.contains(windowId)) {
        for (auto it = m_pages.begin(); it != m_pages.end();) {
            if (!it.value().isNull()) {
                ++it;
                continue;
            }
            m_hiddenWindows.remove(it.key());
            it = m_pages.erase(it);
        }
        if (m_pages.size() >= MaxPages) {
            qWarning() << "ApplicationConnection::messageRcvd() - window" << windowId << "refused: the application"
                       << "already has" << MaxPages << "windows";
            return;
        }
    }

    EnvelopeDispatcher dispatcher(this, QtWarningMsg, "No message handler found for");
    dispatcher.setFieldFilter([windowId](const google::protobuf::FieldDescriptor &field) {
        if (field.number() < FirstCommandField)
            return false;
        qDebug() << "WindowID:" << windowId << " Received message type"
                 << QString::fromStdString(field.name());
        return true;
    });
    dispatcher.dispatch(envelope, windowId);
}

ClassicApplicationWidget *ApplicationConnection::pageFor(quint32 windowId)
{
    if (ClassicApplicationWidget *page = m_pages.value(windowId)) {
        page->noteServerCommand();
        return page;
    }

    qDebug() << "+++ instanciating widget for window ID:" << windowId;
    auto *page = new ClassicApplicationWidget(windowId, m_menuTitle, m_solo, host() ? host()->pageParent() : nullptr);
    connectPage(page);
    m_pages.insert(windowId, page);

    const LastHiddenPage &hidden = lastHidden();
    if (hidden.page && hidden.since.isValid() && hidden.since.elapsed() < WindowContinuityMs
        && !hidden.page->isAttached())
        placeFreeWindow(page, hidden.page);

    if (host())
        host()->addTaskPage(page);
    else
        page->show();
    return page;
}

void ApplicationConnection::connectPage(ClassicApplicationWidget *page)
{
    using Page = ClassicApplicationWidget;
    using Self = ApplicationConnection;
    connect(page, &Page::ringMenuKeyPressed, this, &Self::ringMenuKeyPressed);
    connect(page, &Page::dialogButtonPressed, this, &Self::dialogButtonPressed);
    connect(page, &Page::fieldFocusChanged, this, &Self::fieldFocusChanged);
    connect(page, &Page::fieldDropdownClicked, this, &Self::fieldDropdownClicked);
    connect(page, &Page::lookupSelected, this, &Self::lookupSelected);
    connect(page, &Page::idSecButtonClicked, this, &Self::idButtonClicked);
    connect(page, &Page::keyPressed, this, &Self::sendKeypress);
    connect(page, &Page::buttonFieldClicked, this, &Self::buttonFieldClicked);
    connect(page, &Page::charModeKeyPressed, this, &Self::charModeKeyPressed);
    connect(page, &Page::helpRequested, this, [this](const QString &topic) {
        if (host())
            host()->showHelpTopic(topic);
    });
    connect(page, &Page::blobEditComplete, this, &Self::sendBlobEditFinished);
    connect(page, &Page::gridLookupComplete, this, &Self::sendGridLookupFinished);
}

// The page takes the place of `model`'s free window: same geometry, no close button.
void ApplicationConnection::placeFreeWindow(ClassicApplicationWidget *page, const QWidget *model)
{
    const QRect geometry = model->geometry();
    page->setParent(nullptr,
                    Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint
                        | Qt::WindowMaximizeButtonHint | Qt::CustomizeWindowHint);
    page->setAttached(false);
    page->setGeometry(geometry);
    page->show();
    page->activateWindow();
    page->setFocus(Qt::OtherFocusReason);
}

void ApplicationConnection::mh_hide(quint32 windowId, const google::protobuf::Message &msg)
{
    Q_UNUSED(msg)
    ClassicApplicationWidget *page = pageFor(windowId);
    qInfo() << "Channel" << m_transport->channelId() << " Hide";
    m_hiddenWindows.insert(windowId);
    if (!m_solo) {
        if (!page->isHidden()) {
            lastHidden().since.restart();
            lastHidden().page = page;
        }
        if (!page->isAttached())
            page->setProperty("detachedGeom", page->geometry());
    }
    if (host())
        host()->removeTaskPage(page, false);
    else
        page->hide();
}

void ApplicationConnection::mh_show(quint32 windowId, const google::protobuf::Message &msg)
{
    Q_UNUSED(msg)
    ClassicApplicationWidget *page = pageFor(windowId);
    qInfo() << "Channel" << m_transport->channelId() << " Show";
    m_hiddenWindows.remove(windowId);
    const LastHiddenPage &hidden = lastHidden();
    const bool replacing = hidden.since.isValid() && hidden.since.elapsed() <= WindowContinuityMs
        && hidden.page && hidden.page != page;
    if (!replacing) {
        if (!page->isAttached()) {
            const QRect geometry = page->property("detachedGeom").toRect();
            if (geometry.isValid())
                page->setGeometry(geometry);
            page->show();
            page->activateWindow();
            page->setFocus(Qt::OtherFocusReason);
        }
    } else if (hidden.page->isAttached()) {
        if (host())
            host()->reattachTaskPage(page);
    } else {
        placeFreeWindow(page, hidden.page);
    }
    // A solo application's page is shown again too: hiding took it off the task bar.
    if (host())
        host()->addTaskPage(page);
    else
        page->show();
}

bool ApplicationConnection::senderWindow(quint32 *windowId) const
{
    const auto *page = qobject_cast<const ClassicApplicationWidget *>(sender());
    if (!page)
        return false;
    *windowId = page->windowId();
    return true;
}

void ApplicationConnection::sendGeneric(const Pb::GenericResponse &response)
{
    quint32 windowId = 0;
    if (!senderWindow(&windowId)) {
        m_replyHoldsSecret = false;
        return;
    }
    Pb::UIEnvelope envelope;
    *envelope.mutable_generic_response() = response;
    send(envelope, windowId);
}

void ApplicationConnection::sendKeypress(ZuFieldWidget *field, Pb::Key key)
{
    Pb::GenericResponse response;
    response.set_command(Pb::GenericResponse::ZUGUI_KEY);
    response.set_key_code(key);
    if (field) {
        fillFieldId(response.mutable_field_id(), field);
        fillChangedData(&response, field);
    }
    sendGeneric(response);
}

void ApplicationConnection::ringMenuKeyPressed(bool isChild, int key, ZuFieldWidget *currentField)
{
    qDebug() << "Ring menu triggered key:" << key;
    Pb::GenericResponse response;
    response.set_command(isChild ? Pb::GenericResponse::ZUGUI_MENU : Pb::GenericResponse::ZUGUI_KEY);
    response.set_key_code(key);
    fillChangedData(&response, currentField);
    sendGeneric(response);
}

void ApplicationConnection::charModeKeyPressed(int character)
{
    Pb::GenericResponse response;
    response.set_command(Pb::GenericResponse::ZUGUI_KEY);
    response.set_key_code(character);
    sendGeneric(response);
}

void ApplicationConnection::fieldFocusChanged(ZuFieldWidget *previous, ZuFieldWidget *current)
{
    if (m_focusReportsSuppressed)
        return;
    qDebug() << "focus changed from" << nameOf(previous) << "to" << nameOf(current);
    Pb::GenericResponse response;
    response.set_command(Pb::GenericResponse::ZUGUI_CHANGE_FOCUS);
    if (current)
        fillFieldId(response.mutable_field_id(), current);
    if (fillChangedData(&response, previous))
        qDebug() << "  previous data changed to" << Latin1::toQString(response.data());
    sendGeneric(response);
}

void ApplicationConnection::fieldDropdownClicked(ZuFieldWidget *previous, ZuFieldWidget *current)
{
    qDebug() << "Dropdown clicked:" << nameOf(current);
    Pb::GenericResponse response;
    response.set_command(Pb::GenericResponse::ZUGUI_DO_TABLE);
    if (current)
        fillFieldId(response.mutable_field_id(), current);
    fillChangedData(&response, previous);
    sendGeneric(response);
}

void ApplicationConnection::buttonFieldClicked(ZuFieldWidget *previous, ZuFieldWidget *field)
{
    Pb::GenericResponse response;
    response.set_command(Pb::GenericResponse::ZUGUI_BUTTON_PRESSED);
    if (field)
        fillFieldId(response.mutable_field_id(), field);
    fillChangedData(&response, previous);
    sendGeneric(response);
}

void ApplicationConnection::idButtonClicked(ZuFieldWidget *idField)
{
    Pb::GenericResponse response;
    response.set_command(Pb::GenericResponse::ZUGUI_DO_IDSEC);
    if (idField) {
        fillFieldId(response.mutable_field_id(), idField);
        fillFieldData(&response, idField);
    }
    response.set_supports_idsec(true);
    sendGeneric(response);
}

void ApplicationConnection::dialogButtonPressed(int buttonValue)
{
    quint32 windowId = 0;
    if (!senderWindow(&windowId))
        return;
    Pb::UIEnvelope envelope;
    envelope.mutable_dialog_response()->set_response(buttonValue);
    send(envelope, windowId);
}

void ApplicationConnection::lookupSelected(const QString &value)
{
    quint32 windowId = 0;
    if (!senderWindow(&windowId))
        return;
    Pb::UIEnvelope envelope;
    envelope.mutable_table_lookup_response()->set_value(Latin1::fromQString(value));
    send(envelope, windowId);
}

void ApplicationConnection::sendBlobEditFinished(const QString &result)
{
    quint32 windowId = 0;
    if (!senderWindow(&windowId))
        return;
    Pb::UIEnvelope envelope;
    Pb::EditBlobResponse *response = envelope.mutable_edit_blob_response();
    // A null text is a cancelled editor: the reply goes without a blob.
    if (!result.isNull())
        response->set_blob(result.toLatin1().toStdString());
    send(envelope, windowId);
}

void ApplicationConnection::sendGridLookupFinished(const QVariant &rowId)
{
    quint32 windowId = 0;
    if (!senderWindow(&windowId))
        return;
    Pb::UIEnvelope envelope;
    Pb::GridLookupResponse *response = envelope.mutable_grid_lookup_response();
    if (rowId.isValid())
        response->set_value(rowId.toInt());
    send(envelope, windowId);
}

class ApplicationConnection::FocusReportsSuppressed
{
public:
    explicit FocusReportsSuppressed(bool &flag)
        : m_flag(flag)
        , m_saved(flag)
    {
        m_flag = true;
    }
    ~FocusReportsSuppressed() { m_flag = m_saved; }
    Q_DISABLE_COPY(FocusReportsSuppressed)

private:
    bool &m_flag;
    const bool m_saved;
};

void ApplicationConnection::mh_create_session(quint32 windowId, const google::protobuf::Message &msg)
{
    Q_UNUSED(windowId)
    const auto &session = as<Pb::CreateSession>(msg);
    m_appName = Latin1::toQString(session.app_name());
    const QString path = Latin1::toQString(session.menupath());
    m_menuTitle = host() ? host()->menuTitleForPath(path) : QString();
    qInfo() << "Creating session: channel:" << m_transport->channelId() << " app_name =" << m_appName
            << " Menu item title:" << m_menuTitle << "(path:" << path << ")";
}

void ApplicationConnection::mh_set_title(quint32 windowId, const google::protobuf::Message &msg)
{
    const auto &title = as<Pb::SetTitle>(msg);
    const QString text = Latin1::toQString(title.window_title());
    pageFor(windowId)->setTitle(title.has_screen_id() ? title.screen_id() : 0, text);
    qDebug() << "rcvd: window_title =" << text;
}

void ApplicationConnection::mh_set_status(quint32 windowId, const google::protobuf::Message &msg)
{
    pageFor(windowId)->setStatusText(expandKeyMarkers(as<Pb::SetStatus>(msg).status_text()));
}

void ApplicationConnection::mh_set_error(quint32 windowId, const google::protobuf::Message &msg)
{
    pageFor(windowId)->setErrorText(expandKeyMarkers(as<Pb::SetError>(msg).error_text()));
}

void ApplicationConnection::mh_beep(quint32 windowId, const google::protobuf::Message &msg)
{
    Q_UNUSED(windowId)
    Q_UNUSED(msg)
    QApplication::beep();
}

void ApplicationConnection::mh_clear_rows(quint32 windowId, const google::protobuf::Message &msg)
{
    const auto &rows = as<Pb::ClearRows>(msg);
    ClassicApplicationWidget *page = pageFor(windowId);
    const FocusReportsSuppressed suppressed(m_focusReportsSuppressed);
    page->clearRows(rows.first_row(), rows.last_row());
}

// Accepted and ignored.
void ApplicationConnection::mh_set_mode(quint32, const google::protobuf::Message &)
{ }
void ApplicationConnection::mh_p_prompt(quint32, const google::protobuf::Message &)
{ }
void ApplicationConnection::mh_minimize(quint32, const google::protobuf::Message &)
{ }
void ApplicationConnection::mh_restore(quint32, const google::protobuf::Message &)
{ }

void ApplicationConnection::mh_load_screen(quint32 windowId, const google::protobuf::Message &msg)
{
    const auto &screen = as<Pb::LoadScreen>(msg);
    loadScreen(windowId, QByteArray::fromStdString(screen.screen()), screen.screen_id(),
               optionalOf(screen.has_row(), screen.row()), optionalOf(screen.has_column(), screen.column()),
               false);
}

void ApplicationConnection::mh_load_popup(quint32 windowId, const google::protobuf::Message &msg)
{
    const auto &popup = as<Pb::LoadPopup>(msg);
    loadScreen(windowId, QByteArray::fromStdString(popup.screen()), popup.screen_id(),
               optionalOf(popup.has_row(), popup.row()), optionalOf(popup.has_column(), popup.column()),
               true);
}

void ApplicationConnection::loadScreen(quint32 windowId, const QByteArray &document, int screenId,
                                       std::optional<int> requestedRow, std::optional<int> requestedColumn,
                                       bool popup)
{
    ClassicApplicationWidget *page = pageFor(windowId);
    const FocusReportsSuppressed suppressed(m_focusReportsSuppressed);
    if (document.isEmpty()) {
        if (popup)
            qCritical() << "Received no UI data";
        else
            qDebug() << "Received no UI data";
        return;
    }
    const int row = requestedRow.value_or(-1);
    if (row < -1)
        qCritical() << (popup ? "ApplicationConnection::mh_load_popup - msg.row() < 0 ... adjusting"
                              : "ApplicationConnection::mh_load_screen - msg.row() < 0 ... adjusting");
    const int column = requestedColumn.value_or(-1);
    if (column < -1)
        qDebug() << (popup ? "ApplicationConnection::mh_load_popup - msg.column() < 0 ... ignored"
                           : "ApplicationConnection::mh_load_screen - msg.column() < -1 ... ignored");
    if (!page->renderUi(document, screenId, popup, qMax(-1, row), qMax(-1, column)))
        qDebug()
            << (popup
                    ? "ApplicationConnection::mh_load_popup() - Failed to generate valid screen from UI data"
                    : "ApplicationConnection::mh_load_screen() - Failed to generate valid screen from UI "
                      "data");
}

void ApplicationConnection::mh_put_field(quint32 windowId, const google::protobuf::Message &msg)
{
    const auto &put = as<Pb::PutField>(msg);
    ZuFieldWidget *field = pageFor(windowId)->getField(put.field_id().screen_id(),
                                                       Latin1::toQString(put.field_id().field_name()));
    if (!field)
        return;
    if (put.has_attribute_mask() || put.has_data_type())
        field->setAttributes(put.attribute_mask(), put.data_type());
    if (put.has_color())
        field->setColor(Latin1::toQString(put.color()));
    if (put.has_data()) {
        const QString data = Latin1::toQString(put.data());
        field->setData(put.data_type() == ZuFieldWidget::ZUGUI_CHAR ? data : data.trimmed());
    }
}

void ApplicationConnection::mh_activate_field(quint32 windowId, const google::protobuf::Message &msg)
{
    const auto &activate = as<Pb::ActivateField>(msg);
    ClassicApplicationWidget *page = pageFor(windowId);
    const int screenId = activate.field_id().screen_id();
    const QString name = Latin1::toQString(activate.field_id().field_name());
    const QString comment = Latin1::toQString(activate.comment());
    if (activate.activate()) {
        page->activateField(screenId, name, comment, true);
        return;
    }
    const FocusReportsSuppressed suppressed(m_focusReportsSuppressed);
    page->activateField(screenId, name, comment, false);
}

void ApplicationConnection::mh_deactivate(quint32 windowId, const google::protobuf::Message &msg)
{
    Q_UNUSED(msg)
    ClassicApplicationWidget *page = pageFor(windowId);
    const FocusReportsSuppressed suppressed(m_focusReportsSuppressed);
    page->deactivateFields();
}

void ApplicationConnection::mh_set_focus(quint32 windowId, const google::protobuf::Message &msg)
{
    const auto &focus = as<Pb::SetFocus>(msg);
    ClassicApplicationWidget *page = pageFor(windowId);
    const FocusReportsSuppressed suppressed(m_focusReportsSuppressed);
    page->setFocusOnField(focus.field_id().screen_id(), Latin1::toQString(focus.field_id().field_name()));
}

void ApplicationConnection::mh_screen_menu(quint32 windowId, const google::protobuf::Message &msg)
{
    pageFor(windowId)->p_setMenu(as<Pb::ScreenMenu>(msg));
}

void ApplicationConnection::mh_keyboard_mode(quint32 windowId, const google::protobuf::Message &msg)
{
    pageFor(windowId)->setKeyboardMode(as<Pb::KeyboardMode>(msg).mode());
}

void ApplicationConnection::mh_dialog(quint32 windowId, const google::protobuf::Message &msg)
{
    ClassicApplicationWidget *page = pageFor(windowId);
    BusyMouse::instance()->stop(LookupStatusReason);
    page->showDialog(as<Pb::Dialog>(msg));
}

void ApplicationConnection::mh_end_dialog(quint32 windowId, const google::protobuf::Message &msg)
{
    Q_UNUSED(msg)
    pageFor(windowId)->closeDialog();
}

void ApplicationConnection::mh_table_lookup(quint32 windowId, const google::protobuf::Message &msg)
{
    ClassicApplicationWidget *page = pageFor(windowId);
    const auto &lookup = as<Pb::TableLookup>(msg);
    BusyMouse *busy = BusyMouse::instance();
    busy->stop(LookupStatusReason);
    if (lookup.item_size() > TableLookupDialog::MaxItems) {
        page->refuseTableLookup(QStringLiteral("%1 items exceed %2").arg(lookup.item_size()).arg(TableLookupDialog::MaxItems));
        return;
    }
    busy->start(TableLookupReason, LookupBusyMs);
    QStringList items;
    items.reserve(lookup.item_size());
    for (const std::string &item : lookup.item())
        items << Latin1::toQString(item);
    page->setTableLookup(items);
    busy->stop(TableLookupReason);
}

void ApplicationConnection::mh_push_window(quint32 windowId, const google::protobuf::Message &msg)
{
    Q_UNUSED(msg)
    ClassicApplicationWidget *page = pageFor(windowId);
    const FocusReportsSuppressed suppressed(m_focusReportsSuppressed);
    page->pushWindow();
}

void ApplicationConnection::mh_pop_window(quint32 windowId, const google::protobuf::Message &msg)
{
    Q_UNUSED(msg)
    ClassicApplicationWidget *page = pageFor(windowId);
    const FocusReportsSuppressed suppressed(m_focusReportsSuppressed);
    page->popWindow();
}

void ApplicationConnection::mh_id_sec(quint32 windowId, const google::protobuf::Message &msg)
{
    pageFor(windowId)->showImage(as<Pb::IdSec>(msg));
}

void ApplicationConnection::mh_pause(quint32 windowId, const google::protobuf::Message &msg)
{
    pageFor(windowId)->showPausePopup(expandKeyMarkers(as<Pb::Pause>(msg).message()));
}

void ApplicationConnection::mh_edit_blob(quint32 windowId, const google::protobuf::Message &msg)
{
    const auto &blob = as<Pb::EditBlob>(msg);
    pageFor(windowId)->editBlob(blob.field_id().screen_id(), Latin1::toQString(blob.field_id().field_name()),
                                blob.readonly(), Latin1::toQString(blob.blob()));
}

void ApplicationConnection::mh_file_message(quint32 windowId, const google::protobuf::Message &msg)
{
    Q_UNUSED(windowId)
    const auto &file = as<Pb::FileMessage>(msg);
    const QString name = Latin1::toQString(file.name());
    if (name == QLatin1String(PrintName))
        emit printDocument(Latin1::toQString(file.file()));
    else
        emit viewData(name, QByteArray::fromStdString(file.file()));
}

void ApplicationConnection::mh_grid_lookup(quint32 windowId, const google::protobuf::Message &msg)
{
    ClassicApplicationWidget *page = pageFor(windowId);
    const auto &lookup = as<Pb::GridLookup>(msg);
    BusyMouse *busy = BusyMouse::instance();
    busy->stop(LookupStatusReason);
    const QString refused = GridLookupModelBuilder::refusal(lookup);
    if (!refused.isEmpty()) {
        page->refuseGridLookup(refused);
        return;
    }
    busy->start(GridLookupReason, LookupBusyMs);
    GridLookupModelBuilder grid(lookup);
    page->gridLookup(grid.title(), grid.takeModel().release(), grid.hiddenColumns());
    busy->stop(GridLookupReason);
}

void ApplicationConnection::mh_lookup_status(quint32 windowId, const google::protobuf::Message &msg)
{
    Q_UNUSED(windowId)
    if (as<Pb::LookupStatus>(msg).is_active())
        BusyMouse::instance()->start(LookupStatusReason, ServerLookupBusyMs);
    else
        BusyMouse::instance()->stop(LookupStatusReason);
}

void ApplicationConnection::mh_row_count(quint32 windowId, const google::protobuf::Message &msg)
{
    const auto &count = as<Pb::RowCount>(msg);
    pageFor(windowId)->formbarSetRowCount(count.current(), count.maximum());
}

void ApplicationConnection::mh_navbar_item_list(quint32 windowId, const google::protobuf::Message &msg)
{
    pageFor(windowId)->formbarSetTableList(as<Pb::NavBarItemList>(msg));
}

void ApplicationConnection::mh_navbar_current_item(quint32 windowId, const google::protobuf::Message &msg)
{
    pageFor(windowId)->formbarSetCurrentTable(as<Pb::NavBarCurrentItem>(msg).index());
}

void ApplicationConnection::mh_navbar_status(quint32 windowId, const google::protobuf::Message &msg)
{
    pageFor(windowId)->formbarSetNavEnabled(as<Pb::NavBarStatus>(msg).is_enabled());
}

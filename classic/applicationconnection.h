#pragma once

#include "applinks/applicationsession.h"
#include "classic/classicapplicationwidget.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVariant>

#include <optional>

#include "uidlg.pb.h"

class AppTranceiver;
class PageHost;
class ZuFieldWidget;

namespace google::protobuf {
class Message;
}

// The client side of one classic form application. It answers the server's handshake, hands every
// command of each later envelope to its mh_ handler, keeps one page per server window id (made on
// first use), and turns what the user does on those pages into reply envelopes. Every envelope it
// sends carries the last pid the server sent and the window id of the page concerned. Focus
// changes caused by the server's own commands are not reported back.
class ApplicationConnection : public ApplicationSession
{
    Q_OBJECT

public:
    static constexpr int WindowContinuityMs = 750;
    static constexpr int LookupBusyMs = 8000;
    static constexpr int ServerLookupBusyMs = 24000;
    static constexpr int FirstCommandField = 1000;
    // Every window id makes a page and a task button; a server sending ever new ones is stopped here.
    static constexpr int MaxPages = 64;

    // The transport becomes a child of the connection. The host makes the pages and shows them on
    // the task bar; without one, pages are free windows.
    ApplicationConnection(AppTranceiver *transport, PageHost *host, QObject *parent = nullptr);
    ~ApplicationConnection() override;

    // The session router's factory of classic sessions.
    static ApplicationSession *create(AppTranceiver *transport, PageHost *host);

    // A classic program cannot be ended from the client.
    bool holdsQuit() const override { return true; }
    QString describe() const override;
    // The pages the server has not hidden.
    QList<TaskPageWidget *> pages() const override;

    quint32 pid() const { return m_pid; }
    QString appName() const { return m_appName; }
    QString menuTitle() const { return m_menuTitle; }
    bool isSolo() const { return m_solo; }
    AppTranceiver *transport() const { return m_transport; }
    // The page of a window id, if one was made.
    ClassicApplicationWidget *page(quint32 windowId) const { return m_pages.value(windowId); }
    int pageCount() const { return m_pages.size(); }

public slots:
    void messageRcvd(const char *data, int dataLength);

private slots:
    void mh_create_session(quint32 windowId, const google::protobuf::Message &msg);
    void mh_set_title(quint32 windowId, const google::protobuf::Message &msg);
    void mh_hide(quint32 windowId, const google::protobuf::Message &msg);
    void mh_show(quint32 windowId, const google::protobuf::Message &msg);
    void mh_set_status(quint32 windowId, const google::protobuf::Message &msg);
    void mh_set_error(quint32 windowId, const google::protobuf::Message &msg);
    void mh_beep(quint32 windowId, const google::protobuf::Message &msg);
    void mh_clear_rows(quint32 windowId, const google::protobuf::Message &msg);
    void mh_set_mode(quint32 windowId, const google::protobuf::Message &msg);
    void mh_load_screen(quint32 windowId, const google::protobuf::Message &msg);
    void mh_put_field(quint32 windowId, const google::protobuf::Message &msg);
    void mh_activate_field(quint32 windowId, const google::protobuf::Message &msg);
    void mh_deactivate(quint32 windowId, const google::protobuf::Message &msg);
    void mh_set_focus(quint32 windowId, const google::protobuf::Message &msg);
    void mh_screen_menu(quint32 windowId, const google::protobuf::Message &msg);
    void mh_keyboard_mode(quint32 windowId, const google::protobuf::Message &msg);
    void mh_dialog(quint32 windowId, const google::protobuf::Message &msg);
    void mh_end_dialog(quint32 windowId, const google::protobuf::Message &msg);
    void mh_table_lookup(quint32 windowId, const google::protobuf::Message &msg);
    void mh_load_popup(quint32 windowId, const google::protobuf::Message &msg);
    void mh_push_window(quint32 windowId, const google::protobuf::Message &msg);
    void mh_pop_window(quint32 windowId, const google::protobuf::Message &msg);
    void mh_id_sec(quint32 windowId, const google::protobuf::Message &msg);
    void mh_pause(quint32 windowId, const google::protobuf::Message &msg);
    void mh_edit_blob(quint32 windowId, const google::protobuf::Message &msg);
    void mh_file_message(quint32 windowId, const google::protobuf::Message &msg);
    void mh_grid_lookup(quint32 windowId, const google::protobuf::Message &msg);
    void mh_lookup_status(quint32 windowId, const google::protobuf::Message &msg);
    void mh_row_count(quint32 windowId, const google::protobuf::Message &msg);
    void mh_navbar_item_list(quint32 windowId, const google::protobuf::Message &msg);
    void mh_navbar_current_item(quint32 windowId, const google::protobuf::Message &msg);
    void mh_navbar_status(quint32 windowId, const google::protobuf::Message &msg);
    void mh_p_prompt(quint32 windowId, const google::protobuf::Message &msg);
    void mh_minimize(quint32 windowId, const google::protobuf::Message &msg);
    void mh_restore(quint32 windowId, const google::protobuf::Message &msg);

    void dialogButtonPressed(int buttonValue);
    void fieldFocusChanged(ZuFieldWidget *previous, ZuFieldWidget *current);
    void fieldDropdownClicked(ZuFieldWidget *previous, ZuFieldWidget *current);
    void ringMenuKeyPressed(bool isChild, int key, ZuFieldWidget *currentField);
    void lookupSelected(const QString &value);
    void idButtonClicked(ZuFieldWidget *idField);
    void sendKeypress(ZuFieldWidget *field, Pb::Key key);
    void buttonFieldClicked(ZuFieldWidget *previous, ZuFieldWidget *field);
    void charModeKeyPressed(int character);
    void sendBlobEditFinished(const QString &result);
    void sendGridLookupFinished(const QVariant &rowId);

protected:
    void releasePages() override;

private:
    // Runs a command that moves the focus itself; the focus changes it causes are not reported.
    class FocusReportsSuppressed;

    ClassicApplicationWidget *pageFor(quint32 windowId);
    void connectPage(ClassicApplicationWidget *page);
    void loadScreen(quint32 windowId, const QByteArray &document, int screenId, std::optional<int> row,
                    std::optional<int> column, bool popup);
    void send(Pb::UIEnvelope &envelope, quint32 windowId);
    void sendGeneric(const Pb::GenericResponse &response);
    // The window id of the page that emitted the signal being handled; false if the sender is
    // not one of our pages.
    bool senderWindow(quint32 *windowId) const;
    // The field's text goes with a reply only when the user changed it since it was last put or sent.
    bool fillChangedData(Pb::GenericResponse *response, ZuFieldWidget *field);
    void fillFieldData(Pb::GenericResponse *response, ZuFieldWidget *field);
    static void placeFreeWindow(ClassicApplicationWidget *page, const QWidget *model);
    // The host while it lives.
    PageHost *host() const { return m_hostObject ? m_host : nullptr; }

    AppTranceiver *m_transport;
    PageHost *m_host;
    QPointer<QObject> m_hostObject;
    quint32 m_pid = 0;
    QString m_appName;
    QString m_menuTitle;
    QHash<quint32, QPointer<ClassicApplicationWidget>> m_pages;
    QSet<quint32> m_hiddenWindows;
    bool m_solo;
    bool m_focusReportsSuppressed = false;
    // The reply being built carries the text of a field the screen marks invisible: a recording
    // of the session gets it blanked.
    bool m_replyHoldsSecret = false;
};

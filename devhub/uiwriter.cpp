#include "uiwriter.h"

#include "classicmenu.h"
#include "studentdatabase.h"

#include "latin1.h"

using Latin1::fromQString;

UiWriter::UiWriter(Sender sender, quint32 pid, quint32 windowId)
    : m_sender(std::move(sender))
    , m_pid(pid)
    , m_windowId(windowId)
{ }

Pb::UIEnvelope UiWriter::envelope() const
{
    Pb::UIEnvelope envelope;
    envelope.set_pid(m_pid);
    envelope.set_window_id(m_windowId);
    return envelope;
}

Pb::FieldId *UiWriter::fieldId(Pb::FieldId *id, int screenId, const QString &name)
{
    id->set_screen_id(screenId);
    id->set_field_name(fromQString(name));
    return id;
}

void UiWriter::handshake(const QString &version)
{
    // The client's transport reads it before any window exists.
    Pb::UIEnvelope message;
    message.set_pid(m_pid);
    message.mutable_handshake()->set_ui_version(fromQString(version));
    message.mutable_handshake()->set_type(Pb::Handshake::CLASSIC);
    m_sender(message);
}

void UiWriter::createSession(const QString &appName, const QString &menuPath)
{
    Pb::UIEnvelope message = envelope();
    message.mutable_create_session()->set_app_name(fromQString(appName));
    message.mutable_create_session()->set_menupath(fromQString(menuPath));
    m_sender(message);
}

void UiWriter::setTitle(const QString &title)
{
    Pb::UIEnvelope message = envelope();
    message.mutable_set_title()->set_window_title(fromQString(title));
    m_sender(message);
}

void UiWriter::loadScreen(const QByteArray &document, int screenId, const QString &path)
{
    Pb::UIEnvelope message = envelope();
    Pb::LoadScreen *load = message.mutable_load_screen();
    load->set_screen(document.constData(), size_t(document.size()));
    load->set_screen_id(screenId);
    load->set_screen_path(fromQString(path));
    m_sender(message);
}

void UiWriter::clearRows(int firstRow, int lastRow)
{
    Pb::UIEnvelope message = envelope();
    message.mutable_clear_rows()->set_first_row(firstRow);
    message.mutable_clear_rows()->set_last_row(lastRow);
    m_sender(message);
}

void UiWriter::putField(int screenId, const QString &name, int mask, int type, const QString &data)
{
    Pb::UIEnvelope message = envelope();
    Pb::PutField *put = message.mutable_put_field();
    fieldId(put->mutable_field_id(), screenId, name);
    put->set_attribute_mask(mask);
    put->set_data_type(type);
    put->set_data(fromQString(data));
    m_sender(message);
}

void UiWriter::putData(int screenId, const QString &name, const QString &data)
{
    Pb::UIEnvelope message = envelope();
    fieldId(message.mutable_put_field()->mutable_field_id(), screenId, name);
    message.mutable_put_field()->set_data(fromQString(data));
    m_sender(message);
}

void UiWriter::activateField(int screenId, const QString &name, bool activate)
{
    Pb::UIEnvelope message = envelope();
    fieldId(message.mutable_activate_field()->mutable_field_id(), screenId, name);
    message.mutable_activate_field()->set_activate(activate);
    m_sender(message);
}

void UiWriter::deactivate()
{
    Pb::UIEnvelope message = envelope();
    message.mutable_deactivate();
    m_sender(message);
}

void UiWriter::setFocus(int screenId, const QString &name)
{
    Pb::UIEnvelope message = envelope();
    fieldId(message.mutable_set_focus()->mutable_field_id(), screenId, name);
    m_sender(message);
}

void UiWriter::screenMenu(const ClassicMenu &menu)
{
    Pb::UIEnvelope message = envelope();
    *message.mutable_screen_menu() = menu.message();
    m_sender(message);
}

void UiWriter::keyboardMode(int mode)
{
    Pb::UIEnvelope message = envelope();
    message.mutable_keyboard_mode()->set_mode(mode);
    m_sender(message);
}

void UiWriter::setStatus(const QString &text)
{
    Pb::UIEnvelope message = envelope();
    message.mutable_set_status()->set_status_text(fromQString(text));
    m_sender(message);
}

void UiWriter::setError(const QString &text)
{
    if (text.isEmpty() && !m_errorShown)
        return;
    m_errorShown = !text.isEmpty();
    Pb::UIEnvelope message = envelope();
    message.mutable_set_error()->set_error_text(fromQString(text));
    m_sender(message);
}

void UiWriter::beep()
{
    Pb::UIEnvelope message = envelope();
    message.mutable_beep();
    m_sender(message);
}

void UiWriter::dialog(int type, const QString &title, const QString &prompt, bool allowCancel,
                      const QVector<DialogOption> &options, int defaultChoice)
{
    Pb::UIEnvelope message = envelope();
    Pb::Dialog *dialog = message.mutable_dialog();
    dialog->set_type(type);
    dialog->set_title(fromQString(title));
    dialog->set_prompt(fromQString(prompt));
    dialog->set_allow_cancel(allowCancel);
    for (const DialogOption &option : options) {
        Pb::Dialog::Option *entry = dialog->add_option();
        entry->set_text(fromQString(option.text));
        entry->set_key(option.key);
    }
    dialog->set_default_choice(defaultChoice);
    m_sender(message);
}

void UiWriter::endDialog()
{
    Pb::UIEnvelope message = envelope();
    message.mutable_end_dialog();
    m_sender(message);
}

void UiWriter::tableLookup(const QStringList &items)
{
    Pb::UIEnvelope message = envelope();
    for (const QString &item : items)
        message.mutable_table_lookup()->add_item(fromQString(item));
    m_sender(message);
}

void UiWriter::gridLookup(const QString &title, const QVector<GridColumn> &columns,
                          const QVector<GridRow> &rows)
{
    Pb::UIEnvelope message = envelope();
    Pb::GridLookup *grid = message.mutable_grid_lookup();
    grid->set_title(fromQString(title));
    for (const GridColumn &column : columns) {
        Pb::GridLookup::GridColumn *entry = grid->add_column();
        entry->set_header(fromQString(column.header));
        entry->set_type(column.type);
        entry->set_is_hidden(column.hidden);
    }
    for (const GridRow &row : rows) {
        Pb::GridLookup::GridRow *entry = grid->add_row();
        entry->set_index(row.index);
        for (const QString &item : row.items)
            entry->add_item(fromQString(item));
    }
    m_sender(message);
}

void UiWriter::pause(const QString &text)
{
    Pb::UIEnvelope message = envelope();
    message.mutable_pause()->set_message(fromQString(text));
    m_sender(message);
}

void UiWriter::idSec(const QString &title, const QByteArray &picture, const QVector<PermittedPerson> &persons)
{
    Pb::UIEnvelope message = envelope();
    Pb::IdSec *card = message.mutable_id_sec();
    card->set_title(fromQString(title));
    if (!picture.isEmpty())
        card->set_image(picture.constData(), size_t(picture.size()));
    for (const PermittedPerson &person : persons) {
        Pb::IdSec::PermittedPerson *entry = card->add_permitted_person();
        entry->set_name(fromQString(person.name));
        if (!person.relation.isNull())
            entry->set_relation(fromQString(person.relation));
        for (const PermitCategory &category : person.categories) {
            Pb::IdSec::PermitCategory *granted = entry->add_category();
            granted->set_name(fromQString(category.name));
            for (const QString &permission : category.permissions)
                granted->add_permission(fromQString(permission));
        }
    }
    m_sender(message);
}

void UiWriter::editBlob(int screenId, const QString &name, bool readOnly, const QString &text)
{
    Pb::UIEnvelope message = envelope();
    Pb::EditBlob *blob = message.mutable_edit_blob();
    fieldId(blob->mutable_field_id(), screenId, name);
    blob->set_readonly(readOnly);
    blob->set_blob(fromQString(text));
    m_sender(message);
}

void UiWriter::rowCount(int current, int maximum)
{
    Pb::UIEnvelope message = envelope();
    message.mutable_row_count()->set_current(current);
    message.mutable_row_count()->set_maximum(maximum);
    m_sender(message);
}

void UiWriter::navBar(const QString &label, int index, int shortcutKey)
{
    Pb::UIEnvelope message = envelope();
    Pb::NavBarItemList::BarItem *item = message.mutable_navbar_item_list()->add_bar_item();
    item->set_index(index);
    item->set_label(fromQString(label));
    item->set_shortcut_key(shortcutKey);
    m_sender(message);
}

void UiWriter::navBarStatus(bool enabled)
{
    Pb::UIEnvelope message = envelope();
    message.mutable_navbar_status()->set_is_enabled(enabled);
    m_sender(message);
}

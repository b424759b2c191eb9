#include "classicform.h"

#include "classicscreens.h"
#include "fieldformat.h"

#include "latin1.h"

#include <QDebug>

namespace {
constexpr int AbortKey = Pb::ZUGUI_ABORT; // what a cancelled selector reports
}

ClassicForm::ClassicForm(UiWriter *ui, StudentDatabase *db, int screenId, const QString &screenName,
                         const QVector<ClassicField> &fields, QObject *parent)
    : QObject(parent)
    , m_ui(ui)
    , m_db(db)
    , m_screenId(screenId)
    , m_screenName(screenName)
    , m_fields(fields)
    , m_label(QStringLiteral("classic"))
{ }

QString ClassicForm::marker(int code)
{
    return FieldFormat::keyMarker(code);
}

const ClassicField *ClassicForm::definition(const QString &field) const
{
    for (const ClassicField &entry : m_fields) {
        if (field == QLatin1String(entry.name))
            return &entry;
    }
    return nullptr;
}

void ClassicForm::genericResponse(const Pb::GenericResponse &response)
{
    QString named;
    if (response.has_field_id()) {
        const QString name = Latin1::toQString(response.field_id().field_name());
        if (response.field_id().screen_id() == m_screenId && definition(name)) {
            named = name;
        } else {
            qDebug().noquote() << QStringLiteral(
                                      "%1: reply names field \"%2\" of screen %3, not on this screen")
                                      .arg(m_label, name)
                                      .arg(response.field_id().screen_id());
        }
    }
    const auto command = response.command();
    // A key names the field it was pressed in; an identity request carries the text of its field
    // only to look it up; every other reply carries the text of the field the cursor was in before.
    const bool keyInField = command == Pb::GenericResponse::ZUGUI_KEY && response.has_field_id();
    const bool idSec = command == Pb::GenericResponse::ZUGUI_DO_IDSEC;
    if (response.has_data() && !idSec)
        takeData(keyInField ? named : m_current, response.data());
    if (!named.isEmpty() && command != Pb::GenericResponse::ZUGUI_BUTTON_PRESSED && isEditable(named))
        m_current = named;

    switch (command) {
    case Pb::GenericResponse::ZUGUI_KEY:
    case Pb::GenericResponse::ZUGUI_MENU:
    case Pb::GenericResponse::ZUGUI_DO_TABLE:
    case Pb::GenericResponse::ZUGUI_BUTTON_PRESSED:
    case Pb::GenericResponse::ZUGUI_DO_IDSEC:
        break;
    case Pb::GenericResponse::ZUGUI_CHANGE_FOCUS:
        return;
    default:
        qDebug().noquote() << QStringLiteral("%1: reply command %2 ignored").arg(m_label).arg(int(command));
        return;
    }

    if (m_pending == Pending::Pause) {
        if (command == Pb::GenericResponse::ZUGUI_KEY) {
            const int purpose = m_purpose;
            setPending(Pending::None, 0);
            pauseEnded(purpose);
            // Says where input goes again: the client holds what is typed until it hears that.
            m_ui->keyboardMode(m_keyboardMode);
        }
        return;
    }
    if (m_pending != Pending::None) {
        // The client shows an overlay instead of sending keys, so it never opened this one.
        qInfo().noquote() << QStringLiteral("%1: a key arrived while a %2 was awaited; it was not shown")
                                 .arg(m_label)
                                 .arg(m_pending == Pending::Dialog         ? QStringLiteral("dialog")
                                          : m_pending == Pending::BlobEdit ? QStringLiteral("text block")
                                                                           : QStringLiteral("lookup"));
        if (m_pending == Pending::Dialog)
            m_ui->endDialog();
        setPending(Pending::None, 0);
    }
    if (command == Pb::GenericResponse::ZUGUI_DO_TABLE)
        key(Pb::ZUGUI_TABLE, false);
    else if (command == Pb::GenericResponse::ZUGUI_BUTTON_PRESSED)
        buttonPressed(named);
    else if (idSec)
        idSecRequested(named, Latin1::toQString(response.data()));
    else
        key(response.key_code(), command == Pb::GenericResponse::ZUGUI_MENU);
}

void ClassicForm::takeData(const QString &field, const std::string &data)
{
    if (field.isEmpty() || !isEditable(field)) {
        qDebug().noquote() << QStringLiteral("%1: data for a field that cannot be edited (\"%2\") ignored")
                                  .arg(m_label, field);
        return;
    }
    m_values.insert(field, Latin1::toQString(data));
}

void ClassicForm::dialogResponse(int key)
{
    if (m_pending != Pending::Dialog) {
        qInfo().noquote()
            << QStringLiteral("%1: dialog answer %2 without a dialog ignored").arg(m_label).arg(key);
        return;
    }
    if (!m_dialogKeys.contains(key)) {
        qInfo().noquote()
            << QStringLiteral("%1: dialog answer %2 is none of the choices; ignored").arg(m_label).arg(key);
        return;
    }
    const int purpose = m_purpose;
    setPending(Pending::None, 0);
    m_ui->endDialog();
    dialogAnswered(purpose, key);
}

void ClassicForm::tableLookupResponse(const QString &value)
{
    if (m_pending != Pending::TableLookup) {
        qInfo().noquote() << QStringLiteral("%1: table lookup answer without a lookup ignored").arg(m_label);
        return;
    }
    const int purpose = m_purpose;
    setPending(Pending::None, 0);
    tableLookupAnswered(purpose, value);
}

void ClassicForm::gridLookupResponse(std::optional<int> row)
{
    if (m_pending != Pending::GridLookup) {
        qInfo().noquote() << QStringLiteral("%1: grid lookup answer without a lookup ignored").arg(m_label);
        return;
    }
    if (row && !m_gridIndexes.contains(*row)) {
        qInfo().noquote() << QStringLiteral(
                                 "%1: grid lookup answer %2 is no row of the list; taken as cancel")
                                 .arg(m_label)
                                 .arg(*row);
        row.reset();
    }
    const int purpose = m_purpose;
    setPending(Pending::None, 0);
    gridLookupAnswered(purpose, row);
}

void ClassicForm::blobEditResponse(std::optional<QString> text)
{
    if (m_pending != Pending::BlobEdit) {
        qInfo().noquote() << QStringLiteral("%1: text block answer without an editor ignored").arg(m_label);
        return;
    }
    if (text && m_blobReadOnly) {
        qInfo().noquote()
            << QStringLiteral("%1: text sent back from a read-only text block ignored").arg(m_label);
        text.reset();
    }
    const int purpose = m_purpose;
    setPending(Pending::None, 0);
    blobEditAnswered(purpose, text);
}

void ClassicForm::tableLookupAnswered(int, const QString &)
{ }

void ClassicForm::blobEditAnswered(int, std::optional<QString>)
{ }

void ClassicForm::buttonPressed(const QString &field)
{
    qDebug().noquote() << QStringLiteral("%1: button of \"%2\" means nothing here").arg(m_label, field);
}

void ClassicForm::idSecRequested(const QString &field, const QString &)
{
    qDebug().noquote() << QStringLiteral("%1: identity of \"%2\" means nothing here").arg(m_label, field);
}

void ClassicForm::gridLookupAnswered(int, std::optional<int>)
{ }

void ClassicForm::pauseEnded(int)
{ }

void ClassicForm::setPending(Pending pending, int purpose)
{
    m_pending = pending;
    m_purpose = purpose;
    if (pending == Pending::None) {
        m_dialogKeys.clear();
        m_gridIndexes.clear();
        m_blobReadOnly = false;
    }
}

void ClassicForm::loadScreen()
{
    m_values.clear();
    m_editable.clear();
    m_editableOrder.clear();
    m_current.clear();
    m_menu = ClassicMenu();
    setPending(Pending::None, 0);
    // The error line belongs to the window, not to the screen before.
    m_ui->setError(QString());
    m_ui->clearRows(0, -1);
    m_ui->loadScreen(ClassicScreens::document(m_screenName), m_screenId, ClassicScreens::path(m_screenName));
}

void ClassicForm::putField(const QString &field, const QString &data, int extraMask)
{
    const ClassicField *entry = definition(field);
    if (!entry) {
        qWarning().noquote()
            << QStringLiteral("%1: no field \"%2\" on screen %3").arg(m_label, field, m_screenName);
        return;
    }
    m_values.insert(field, data);
    m_ui->putField(m_screenId, field, entry->mask | extraMask, entry->type, data);
}

void ClassicForm::setEditable(const QStringList &fields)
{
    m_ui->deactivate();
    m_editable.clear();
    m_editableOrder.clear();
    for (const QString &field : fields) {
        if (!definition(field))
            continue;
        m_ui->activateField(m_screenId, field, true);
        m_editable.insert(field);
        m_editableOrder.append(field);
    }
    if (!m_editable.contains(m_current))
        m_current.clear();
}

void ClassicForm::focus(const QString &field)
{
    if (!isEditable(field))
        return;
    m_current = field;
    m_ui->setFocus(m_screenId, field);
}

QString ClassicForm::currentOr(const char *field) const
{
    return m_current.isEmpty() ? QLatin1String(field) : m_current;
}

void ClassicForm::moveFocus(int step)
{
    if (m_editableOrder.isEmpty())
        return;
    const int count = m_editableOrder.size();
    const int at = m_editableOrder.indexOf(m_current);
    const int next = at < 0 ? 0 : ((at + step) % count + count) % count;
    focus(m_editableOrder.at(next));
}

void ClassicForm::showMenu(const ClassicMenu &menu, int keyboardMode)
{
    m_menu = menu;
    m_keyboardMode = keyboardMode;
    m_ui->screenMenu(menu);
    m_ui->keyboardMode(keyboardMode);
}

void ClassicForm::showStatus(const QString &text)
{
    m_ui->setStatus(text);
}

void ClassicForm::showError(const QString &text)
{
    if (!text.isEmpty())
        m_ui->beep();
    m_ui->setError(text);
}

void ClassicForm::openDialog(int purpose, int type, const QString &title, const QString &prompt,
                             bool allowCancel, const QVector<UiWriter::DialogOption> &options,
                             int defaultChoice)
{
    setPending(Pending::Dialog, purpose);
    for (const UiWriter::DialogOption &option : options)
        m_dialogKeys.append(option.key);
    if (type == UiWriter::SelectorDialog && allowCancel)
        m_dialogKeys.append(AbortKey);
    m_ui->dialog(type, title, prompt, allowCancel, options, defaultChoice);
}

void ClassicForm::openTableLookup(int purpose, const QStringList &items)
{
    setPending(Pending::TableLookup, purpose);
    m_ui->tableLookup(items);
}

void ClassicForm::openGridLookup(int purpose, const QString &title,
                                 const QVector<UiWriter::GridColumn> &columns,
                                 const QVector<UiWriter::GridRow> &rows)
{
    setPending(Pending::GridLookup, purpose);
    for (const UiWriter::GridRow &row : rows)
        m_gridIndexes.insert(row.index);
    m_ui->gridLookup(title, columns, rows);
}

void ClassicForm::openPause(int purpose, const QString &message)
{
    setPending(Pending::Pause, purpose);
    m_ui->pause(message);
}

void ClassicForm::openBlobEdit(int purpose, const QString &field, const QString &text, bool readOnly)
{
    setPending(Pending::BlobEdit, purpose);
    m_blobReadOnly = readOnly;
    m_ui->editBlob(m_screenId, field, readOnly, text);
}

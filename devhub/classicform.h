#pragma once

#include "classicmenu.h"
#include "uiwriter.h"

#include "uidlg.pb.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

class StudentDatabase;

// One field of a screen document as the application drives it.
struct ClassicField
{
    const char *name;
    int type; // data_type of PutField
    int length; // propLength in the document
    int mask; // attribute bits it always has
};

// One screen of the classic demo, server side: what the client's fields hold, which of them the
// user may edit, which field has the cursor, and which overlay (dialog, lookup, pause, text block)
// waits for an answer. Replies from the client arrive here already checked for their window; the base
// takes in the field data they carry and hands the command on to the screen.
//
// Field data without a field name belongs to the field that had the cursor: the client sends
// ring-menu keys that way, and a focus change carries the text of the field it left.
class ClassicForm : public QObject
{
    Q_OBJECT

public:
    // Data types and attribute bits of PutField.
    static constexpr int Char = 512;
    static constexpr int Number = 513;
    static constexpr int Money = 514;
    static constexpr int Date = 515;
    static constexpr int Logical = 516;
    static constexpr int Blob = 518;
    static constexpr int RightAlign = 0x2;
    static constexpr int Upshift = 0x4;
    static constexpr int Dropdown = 0x10;
    static constexpr int IdField = 0x40;
    static constexpr int LabelField = 0x10000;
    static constexpr int Highlight = 0x40000;
    static constexpr int Required = 0x80000;
    // Keyboard modes of the client's page.
    static constexpr int MenuMode = 0;
    static constexpr int FieldMode = 2;

    ClassicForm(UiWriter *ui, StudentDatabase *db, int screenId, const QString &screenName,
                const QVector<ClassicField> &fields, QObject *parent = nullptr);

    int screenId() const { return m_screenId; }
    // What the client shows (or was last told) in a field.
    QString value(const QString &field) const { return m_values.value(field); }
    QString currentField() const { return m_current; }
    void setLogLabel(const QString &label) { m_label = label; }

    void genericResponse(const Pb::GenericResponse &response);
    void dialogResponse(int key);
    void tableLookupResponse(const QString &value);
    void gridLookupResponse(std::optional<int> row);
    // The text of a text-block editor; none when the user closed it without saving.
    void blobEditResponse(std::optional<QString> text);

protected:
    enum class Pending { None, Dialog, TableLookup, GridLookup, Pause, BlobEdit };

    // A key or ring-menu command, with the field data of the reply already taken in.
    virtual void key(int code, bool menuCommand) = 0;
    virtual void dialogAnswered(int purpose, int key) = 0;
    virtual void tableLookupAnswered(int purpose, const QString &value);
    virtual void gridLookupAnswered(int purpose, std::optional<int> row);
    virtual void pauseEnded(int purpose);
    virtual void blobEditAnswered(int purpose, std::optional<QString> text);
    // A field's button (a text block's, for one) was clicked.
    virtual void buttonPressed(const QString &field);
    // The identity button of a field was clicked; data is what the field shows.
    virtual void idSecRequested(const QString &field, const QString &data);

    UiWriter &ui() const { return *m_ui; }
    StudentDatabase &db() const { return *m_db; }
    const ClassicMenu &menu() const { return m_menu; }
    QString label() const { return m_label; }

    // Clears the window and loads this screen: every field read-only and without an editor until
    // the screen puts it.
    void loadScreen();
    // Sends value and attributes; extraMask adds bits for this time only.
    void putField(const QString &field, const QString &data, int extraMask = 0);
    // Exactly these fields become editable, in this order (the order Enter walks).
    void setEditable(const QStringList &fields);
    bool isEditable(const QString &field) const { return m_editable.contains(field); }
    const QStringList &editableFields() const { return m_editableOrder; }
    void focus(const QString &field);
    // The field with the cursor, or the given one when none has it.
    QString currentOr(const char *field) const;
    // The next or previous editable field from the cursor, wrapping around.
    void moveFocus(int step);
    void showMenu(const ClassicMenu &menu, int keyboardMode);
    void showStatus(const QString &text);
    // Shows the error line with a beep; an empty text hides the line if it is shown.
    void showError(const QString &text);

    void openDialog(int purpose, int type, const QString &title, const QString &prompt, bool allowCancel,
                    const QVector<UiWriter::DialogOption> &options, int defaultChoice);
    void openTableLookup(int purpose, const QStringList &items);
    void openGridLookup(int purpose, const QString &title, const QVector<UiWriter::GridColumn> &columns,
                        const QVector<UiWriter::GridRow> &rows);
    void openPause(int purpose, const QString &message);
    void openBlobEdit(int purpose, const QString &field, const QString &text, bool readOnly);
    bool isWaiting() const { return m_pending != Pending::None; }

    // The marker the client shows as the name of the key that produces code.
    static QString marker(int code);

private:
    const ClassicField *definition(const QString &field) const;
    void takeData(const QString &field, const std::string &data);
    void setPending(Pending pending, int purpose);

    UiWriter *m_ui;
    StudentDatabase *m_db;
    int m_screenId;
    QString m_screenName;
    QVector<ClassicField> m_fields;
    QString m_label;
    QHash<QString, QString> m_values;
    QSet<QString> m_editable;
    QStringList m_editableOrder;
    QString m_current;
    ClassicMenu m_menu;
    int m_keyboardMode = MenuMode;
    Pending m_pending = Pending::None;
    int m_purpose = 0;
    QVector<int> m_dialogKeys;
    QSet<int> m_gridIndexes;
    bool m_blobReadOnly = false;
};

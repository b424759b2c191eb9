#pragma once

#include "uidlg.pb.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class ClassicMenu;
struct PermittedPerson;

// Writes the commands of the UI dialogue to one client window: every envelope carries the
// application's pid and the window id, every text travels as Latin-1.
class UiWriter
{
public:
    using Sender = std::function<void(const Pb::UIEnvelope &)>;

    struct DialogOption
    {
        QString text;
        int key;
    };

    struct GridColumn
    {
        QString header;
        Pb::DisplayType type;
        bool hidden = false;
    };

    struct GridRow
    {
        int index;
        QStringList items;
    };

    static constexpr int ButtonDialog = 1;
    static constexpr int SelectorDialog = 2;

    UiWriter(Sender sender, quint32 pid, quint32 windowId);

    quint32 windowId() const { return m_windowId; }

    void handshake(const QString &version);
    void createSession(const QString &appName, const QString &menuPath);
    void setTitle(const QString &title);
    void loadScreen(const QByteArray &document, int screenId, const QString &path);
    void clearRows(int firstRow, int lastRow);
    // With attributes: mask and type are applied together; data as it should be shown.
    void putField(int screenId, const QString &name, int mask, int type, const QString &data);
    void putData(int screenId, const QString &name, const QString &data);
    void activateField(int screenId, const QString &name, bool activate);
    void deactivate();
    void setFocus(int screenId, const QString &name);
    void screenMenu(const ClassicMenu &menu);
    void keyboardMode(int mode);
    void setStatus(const QString &text);
    // Empty hides the error line; hiding a hidden line sends nothing.
    void setError(const QString &text);
    void beep();
    void dialog(int type, const QString &title, const QString &prompt, bool allowCancel,
                const QVector<DialogOption> &options, int defaultChoice);
    void endDialog();
    void tableLookup(const QStringList &items);
    void gridLookup(const QString &title, const QVector<GridColumn> &columns, const QVector<GridRow> &rows);
    void pause(const QString &message);
    // An identity card: picture (any image format; empty: none) and permitted persons.
    void idSec(const QString &title, const QByteArray &picture, const QVector<PermittedPerson> &persons);
    void editBlob(int screenId, const QString &name, bool readOnly, const QString &text);
    void rowCount(int current, int maximum);
    void navBar(const QString &label, int index, int shortcutKey);
    void navBarStatus(bool enabled);

private:
    Pb::UIEnvelope envelope() const;
    static Pb::FieldId *fieldId(Pb::FieldId *id, int screenId, const QString &name);

    Sender m_sender;
    quint32 m_pid;
    quint32 m_windowId;
    bool m_errorShown = false;
};

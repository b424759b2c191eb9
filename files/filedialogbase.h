#pragma once

#include <QDialog>

class QGridLayout;
class QLineEdit;

// The frame of the browser's small dialogs: rows of a label and a field, then "Cancel" and the
// dialog's own action, which is the default button and accepts.
class FileDialogBase : public QDialog
{
    Q_OBJECT

public:
    // What was typed into the destination row; empty without one.
    QString destination() const;

protected:
    FileDialogBase(const QString &title, QWidget *parent);

    void addRow(const QString &label, QWidget *field);
    // A file name as the server gave it, never read as markup.
    void addNameRow(const QString &label, const QString &name);
    void addDestinationRow(const QString &label);
    void addButtons(const QString &actionText);

private:
    QGridLayout *m_grid;
    QLineEdit *m_destination = nullptr;
};

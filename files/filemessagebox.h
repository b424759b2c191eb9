#pragma once

#include <QMessageBox>

// A message box whose texts are shown exactly as given: file names and error texts from the server
// are never read as markup.
class FileMessageBox : public QMessageBox
{
public:
    FileMessageBox(Icon icon, const QString &title, const QString &text, const QString &informativeText,
                   QWidget *parent = nullptr);

    // A critical box that does not block: shown at once and deleted when closed.
    static void showCritical(QWidget *parent, const QString &text, const QString &informativeText);
};

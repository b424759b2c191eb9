#pragma once

#include <QMessageBox>

class QPushButton;

// How long work that wrote files ends: a notice naming where they went, shown without blocking and
// deleted when closed. "Open Folder" opens the folder in the desktop's file manager (never the file,
// which the network sent); a replay opens nothing outside the process, so it gets no such button.
class SavedNotice : public QMessageBox
{
    Q_OBJECT

public:
    // "Saved to <path>".
    static SavedNotice *savedTo(QWidget *parent, const QString &path);
    // "Saved <count> files to <folder>".
    static SavedNotice *savedFilesTo(QWidget *parent, const QString &folder, int count);
    // Any other ending; `folder`, if given, is what the button opens.
    static SavedNotice *notify(QWidget *parent, const QString &text, const QString &folder = QString());

    // Null without a folder, and during a replay.
    QPushButton *openFolderButton() const { return m_openFolder; }

private:
    SavedNotice(QWidget *parent, const QString &text, const QString &folder);

    QPushButton *m_openFolder = nullptr;
};

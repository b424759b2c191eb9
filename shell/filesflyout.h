#pragma once

#include "flyout.h"

#include <QPointer>

class FileBrowser;

namespace Menu {
class FileInfoData;
}

// The newest plain files of the user's start directory, each with a menu of the file browser's
// single-file operations, and a way into the browser itself. The actions do nothing once the
// browser is gone.
class FilesFlyout : public Flyout
{
    Q_OBJECT

public:
    static constexpr int MaxFiles = 8;

    static FilesFlyout *showFlyout(const Menu::FileInfoData &listing, const QRect &anchor, FileBrowser *browser);
    static FilesFlyout *current() { return s_current; }
    ~FilesFlyout() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void openBrowser();
    void clickView();
    void clickRename();
    void clickCopy();
    void clickDelete();
    void clickDownload();
    void clickPrint();

private:
    FilesFlyout(const Menu::FileInfoData &listing, FileBrowser *browser);

    void addRow(const QString &name, const QDateTime &modified, qint64 size);
    // The file whose menu holds the action that sent the signal; the flyout closes.
    QString takeFileName();
    // Hands that file and the listed directory to one of the browser's single-file prompts.
    void forward(void (FileBrowser::*prompt)(const QString &, const QString &));

    QPointer<FileBrowser> m_browser;
    QObject *m_browseLabel = nullptr;
    QString m_directory;

    static QPointer<FilesFlyout> s_current;
};

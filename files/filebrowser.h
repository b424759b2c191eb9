#pragma once

#include <QDialog>
#include <QPointer>
#include <QProgressDialog>
#include <QStringList>

#include <functional>

class MainConnection;
namespace Menu {
class FileInfoData;
}
class QLineEdit;
class QPushButton;
class QTableWidget;

// The user's files on the server: a listing with history navigation and the operations view,
// rename, copy, delete, download, upload and print. Every operation is a request of the menu
// session's RemoteFiles, answered in a function of this browser. Multi-file operations run as
// batches: one request at a time, the batch's state travelling with the request's answer, with a
// progress dialog, Retry/Skip/Abort prompts and a cancel flag that stops the batch between two files.
class FileBrowser : public QDialog
{
    Q_OBJECT

public:
    // Viewing, multi-file downloads and uploads are refused above this size.
    static constexpr qint64 MaxTransferSize = 8 * 1024 * 1024;
    // Work that takes longer than this shows its progress.
    static constexpr int ProgressDelayMs = 1000;

    explicit FileBrowser(MainConnection *connection, QWidget *parent = nullptr);

    QString currentPath() const { return m_history.isEmpty() ? QString() : m_history.last(); }

    // QProgressDialog counts in int: byte counts are scaled so totals past 2 GiB still fit.
    static int progressUnits(qint64 value, qint64 total);

    // One multi-file operation, one entry at a time.
    struct Batch
    {
        QStringList entries;
        int index = 0;
        QPointer<QProgressDialog> progress;
        QString remotePath; // downloads: the server folder the entries are in
        QString localPath; // downloads: the folder they go to
        qint64 total = 0; // bytes, for the progress of transfers
        qint64 done = 0;
        QStringList finished; // downloads: local files written; uploads: server files written
        QString printer; // printing only
        QString formType;

        QString current() const { return entries.value(index); }
        bool isLast() const { return index + 1 >= entries.size(); }
    };

public slots:
    void refreshData();
    void downloadAndView(const QString &displayName, const QString &remoteFilepath);
    void renamePrompt(const QString &path, const QString &source);
    void copyPrompt(const QString &path, const QString &source);
    void deletePrompt(const QString &path, const QString &source);
    void downloadPrompt(const QString &path, const QString &source);
    void printPrompt(const QString &path, const QString &source);
    void cancelBatch();
    void themeChanged();

signals:
    void viewData(QString title, QByteArray data);
    void batchPrintInProgress(bool isInProgress);

protected:
    void done(int result) override;

private slots:
    void navUp();
    void navBack();
    void navForward();
    void cellDoubleClicked(int row, int col);
    void clickedView();
    void clickedRename();
    void clickedCopy();
    void clickedDelete();
    void clickedDownload();
    void clickedUpload();
    void clickedPrint();

private:
    struct Row
    {
        QString name;
        QString type;
        qint64 size = 0;
    };

    void buildForm();
    QPushButton *addButton(QWidget *parent, const QString &name, const QString &text);
    void listDirectory(const QString &directory);
    void updateNavigation();
    void updateActions();
    QList<int> selectedRows() const;
    Row rowAt(int row) const;
    // The current directory with one trailing "/".
    QString directoryPrefix() const;
    bool currentRowIsFile() const;
    // Fetches a listed file for its viewer, unless it is too large.
    void view(const Row &entry);

    void listingArrived(const QString &directory, const Menu::FileInfoData *listing, const QString &error);

    // Batches (filebrowser_batches.cpp).
    using Step = void (FileBrowser::*)(const Batch &);
    void startBatch(Batch batch, const QString &label, qint64 maximum, Step firstStep);
    void endBatch(const Batch &batch);
    // After a failed step (error not empty) asks Retry, Skip or Abort and, once answered, runs the step
    // again, runs `skipped`, or ends the batch; false (and no question) when nothing failed.
    bool settleFailure(const Batch &batch, const QString &error, const QString &text, bool offerSkip,
                       Step retry, const std::function<void()> &skipped);
    // Moves to the next entry and runs `step`, or ends the batch when cancelled or done.
    void advance(Batch batch, bool showIndex, Step step);
    void deleteStep(const Batch &batch);
    void printStep(const Batch &batch);
    void downloadStep(const Batch &batch);
    void uploadStep(const Batch &batch);
    void uploadAnswered(const Batch &batch, const QString &error);
    void startDeleteBatch(const QStringList &paths);
    // Asks for the printer first.
    void startPrintBatch(const QStringList &paths);
    void checkUploads(QStringList pending, QStringList files, qint64 total, bool several);
    void checkDownloadSizes(QList<Row> pending, QList<Row> small, bool several);
    void downloadInto(const QString &folder, const QList<Row> &rows);
    void checkDownloadTargets(const QString &folder, QList<Row> pending, QStringList names, qint64 total);
    void writeBatchFile(const Batch &batch, const QByteArray &data);
    void batchFileDone(Batch batch, qint64 bytes);

    QPointer<MainConnection> m_connection;
    QStringList m_history;
    QStringList m_forward;
    bool m_cancelled = false;

    QPushButton *m_back = nullptr;
    QPushButton *m_forwardButton = nullptr;
    QPushButton *m_up = nullptr;
    QLineEdit *m_path = nullptr;
    QPushButton *m_view = nullptr;
    QPushButton *m_rename = nullptr;
    QPushButton *m_copy = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_download = nullptr;
    QPushButton *m_print = nullptr;
    QPushButton *m_upload = nullptr;
    QPushButton *m_refresh = nullptr;
    QTableWidget *m_table = nullptr;
};

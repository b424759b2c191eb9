#pragma once

#include <functional>

#include "menu/abstractremotefileworker.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

class MainConnection;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The user's files on the server: a listing with history navigation and the operations view,
// rename, copy, delete, download, upload and print. Every operation is a request of the menu
// session answered through AbstractRemoteFileWorker. Multi-file operations run as batches: one
// request at a time, the whole batch state travelling in the request's context map, with a progress
// dialog, Retry/Skip/Abort prompts and a cancel flag that stops the batch between two files.
class FileBrowser : public QDialog, public AbstractRemoteFileWorker
{
    Q_OBJECT

public:
    // Viewing, multi-file downloads and uploads are refused above this size.
    static constexpr qint64 MaxTransferSize = 8 * 1024 * 1024;
    static constexpr int ProgressDelayMs = 2000;

    explicit FileBrowser(MainConnection *connection, QWidget *parent = nullptr);

    QString currentPath() const { return m_history.isEmpty() ? QString() : m_history.last(); }

    // QProgressDialog counts in int: byte counts are scaled so totals past 2 GiB still fit.
    static int progressUnits(qint64 value, qint64 total);

    void fileRespInfoData(QVariant context, const Menu::FileInfoData *data, QString error) override;
    void fileRespFile(QVariant context, QByteArray data, QString error) override;
    void fileRespRename(QVariant context, QString error) override;
    void fileRespCopy(QVariant context, QString error) override;
    void fileRespDelete(QVariant context, QString error) override;
    void fileRespPrint(QVariant context, QString error) override;
    void fileRespUpload(QVariant context, QString error) override;

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

    // Batches (filebrowser_batches.cpp).
    using Step = void (FileBrowser::*)(const QVariantMap &);
    void startBatch(QVariantMap batch, const QString &label, qint64 maximum, Step firstStep);
    void endBatch(const QVariantMap &batch);
    // After a failed step (error not empty) asks Retry, Skip or Abort and, once answered, runs the step
    // again, runs `skipped`, or ends the batch; false (and no question) when nothing failed.
    bool settleFailure(const QVariantMap &batch, const QString &error, const QString &text, bool offerSkip,
                       Step retry, const std::function<void()> &skipped);
    // Moves to the next entry and runs `step`, or ends the batch when cancelled or done.
    void advance(QVariantMap batch, bool showIndex, Step step);
    void deleteStep(const QVariantMap &batch);
    void printStep(const QVariantMap &batch);
    void downloadStep(const QVariantMap &batch);
    void uploadStep(const QVariantMap &batch);
    void startDeleteBatch(const QStringList &paths);
    // Asks for the printer first.
    void startPrintBatch(const QStringList &paths);
    void checkUploads(QStringList pending, QStringList files, qint64 total, bool several);
    void checkDownloadSizes(QList<Row> pending, QList<Row> small, bool several);
    void downloadInto(const QString &folder, const QList<Row> &rows);
    void checkDownloadTargets(const QString &folder, QList<Row> pending, QStringList names, qint64 total);
    void batchDownloadAnswer(const QVariantMap &batch, const QByteArray &data, const QString &error);
    void writeBatchFile(const QVariantMap &batch, const QByteArray &data);
    void batchFileDone(QVariantMap batch, qint64 bytes);

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

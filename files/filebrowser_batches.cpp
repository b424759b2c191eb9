// The browser's operations on several files and the file transfers: delete, print, download and
// upload batches, and single downloads for viewing or saving.
#include "filebrowser.h"

#include "filedialogdelete.h"
#include "filedialogprint.h"
#include "filemessagebox.h"
#include "localfiles.h"

#include "menu/mainconnection.h"

#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>

namespace {

const QString OperationKey = QStringLiteral("fo");
const QString ListKey = QStringLiteral("list");
const QString IndexKey = QStringLiteral("currentIndex");
const QString ProgressKey = QStringLiteral("progressDialog");
const QString RemotePathKey = QStringLiteral("remotePath");
const QString LocalPathKey = QStringLiteral("localPath");
const QString TotalKey = QStringLiteral("totalBytes");
const QString TransferredKey = QStringLiteral("bytesTransfered");
const QString UploadedKey = QStringLiteral("bytesUploaded");
const QString PrinterKey = QStringLiteral("spoolPrinter");
const QString FormTypeKey = QStringLiteral("formType");
const QString DisplayNameKey = QStringLiteral("displayName");
const QString RemoteFileKey = QStringLiteral("remoteFilepath");
const QString LocalFileKey = QStringLiteral("localFilepath");

enum FileOperation { ShowFile = 0, SaveFile = 1, BatchDownload = 2 };

enum class Choice { Proceed, Skip, Abort };

struct Prompt
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QString details;
    QString proceed; // "Retry", "Overwrite", or empty for no such button
    bool offerSkip;
    QMessageBox::ButtonRole skipRole;
    QWidget *parent;
};

// Closing the box counts as Abort.
Choice ask(const Prompt &prompt)
{
    FileMessageBox box(prompt.icon, prompt.title, prompt.text, prompt.details, prompt.parent);
    QPushButton *proceed
        = prompt.proceed.isEmpty() ? nullptr : box.addButton(prompt.proceed, QMessageBox::YesRole);
    QPushButton *skip = prompt.offerSkip ? box.addButton(QStringLiteral("Skip"), prompt.skipRole) : nullptr;
    QPushButton *abort = box.addButton(QStringLiteral("Abort"), QMessageBox::RejectRole);
    box.setDefaultButton(proceed ? proceed : skip ? skip : abort);
    box.setEscapeButton(abort);
    box.exec();
    if (proceed && box.clickedButton() == proceed)
        return Choice::Proceed;
    if (skip && box.clickedButton() == skip)
        return Choice::Skip;
    return Choice::Abort;
}

// The prompt after a failed step of a batch.
Choice askRetry(const QString &text, const QString &error, bool offerSkip)
{
    return ask({ QMessageBox::Critical, QString(), text, error, QStringLiteral("Retry"), offerSkip,
                 QMessageBox::DestructiveRole, nullptr });
}

QStringList listOf(const QVariantMap &batch)
{
    return batch.value(ListKey).toStringList();
}

int indexOf(const QVariantMap &batch)
{
    return batch.value(IndexKey).toInt();
}

QString currentEntry(const QVariantMap &batch)
{
    return listOf(batch).value(indexOf(batch));
}

bool isLast(const QVariantMap &batch)
{
    return indexOf(batch) + 1 >= listOf(batch).size();
}

QProgressDialog *progressOf(const QVariantMap &batch)
{
    return batch.value(ProgressKey).value<QPointer<QProgressDialog>>();
}

void showProgress(const QVariantMap &batch, int value)
{
    if (QProgressDialog *progress = progressOf(batch))
        progress->setValue(value);
}

// Server names are shown in a list of skipped files: control characters would garble it.
QString printable(QString name)
{
    for (QChar &c : name) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    return name;
}

// Writes one file of a batch download, asking again while that fails; false when the user aborts.
bool writeBatchFile(const QString &folder, const QString &name, const QByteArray &data)
{
    for (;;) {
        QString reason;
        const QString target = LocalFiles::childPath(folder, name, &reason);
        if (!target.isEmpty() && LocalFiles::write(target, data, &reason))
            return true;
        const Choice choice = askRetry(QStringLiteral("Could not write file '%1'").arg(name), reason, true);
        if (choice != Choice::Proceed)
            return choice == Choice::Skip;
    }
}

} // namespace

void FileBrowser::startBatch(QVariantMap batch, const QString &label, qint64 maximum, Step firstStep)
{
    m_cancelled = false;
    auto *progress = new QProgressDialog(label, QStringLiteral("Abort"), 0, progressUnits(maximum, maximum), this);
    progress->setMinimumDuration(ProgressDelayMs);
    progress->setWindowModality(Qt::WindowModal);
    progress->setValue(0);
    connect(progress, &QProgressDialog::canceled, this, &FileBrowser::cancelBatch);
    batch.insert(ProgressKey, QVariant::fromValue(QPointer<QProgressDialog>(progress)));
    batch.insert(IndexKey, 0);
    (this->*firstStep)(batch);
}

void FileBrowser::endBatch(const QVariantMap &batch)
{
    if (QProgressDialog *progress = progressOf(batch)) {
        progress->hide();
        progress->deleteLater();
    }
    if (batch.contains(PrinterKey))
        emit batchPrintInProgress(false);
    refreshData();
}

bool FileBrowser::settleFailure(const QVariantMap &batch, const QString &error, const QString &text,
                                bool offerSkip, Step retry)
{
    if (error.isEmpty())
        return false;
    switch (askRetry(text, error, offerSkip)) {
    case Choice::Abort:
        endBatch(batch);
        return true;
    case Choice::Proceed:
        (this->*retry)(batch);
        return true;
    case Choice::Skip:
        break;
    }
    return false;
}

void FileBrowser::advance(QVariantMap batch, bool showIndex, Step step)
{
    if (m_cancelled || isLast(batch)) {
        endBatch(batch);
        return;
    }
    const int next = indexOf(batch) + 1;
    batch.insert(IndexKey, next);
    if (showIndex)
        showProgress(batch, next);
    (this->*step)(batch);
}

// Delete

void FileBrowser::clickedDelete()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty() || !m_delete->isEnabled())
        return;
    const QString question = rows.size() == 1
        ? QStringLiteral("Are you sure you want to permanently delete this file?")
        : QStringLiteral("Are you sure you want to permanently delete these files?");
    if (QMessageBox::question(this, QStringLiteral("Delete ZU Files"), question,
                              QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Yes)
        == QMessageBox::Cancel)
        return;
    QStringList paths;
    for (const int row : rows)
        paths << directoryPrefix() + rowAt(row).name;
    startDeleteBatch(paths);
}

void FileBrowser::deletePrompt(const QString &path, const QString &source)
{
    FileDialogDelete dialog(source, this);
    if (dialog.exec() == QDialog::Accepted)
        startDeleteBatch({ path + source });
}

void FileBrowser::startDeleteBatch(const QStringList &paths)
{
    startBatch({ { ListKey, paths } }, QStringLiteral("Deleting Files..."), paths.size(), &FileBrowser::deleteStep);
}

void FileBrowser::deleteStep(const QVariantMap &batch)
{
    if (m_connection)
        m_connection->deleteFile(this, batch, currentEntry(batch));
}

void FileBrowser::fileRespDelete(QVariant context, QString error)
{
    const QVariantMap batch = context.toMap();
    if (!settleFailure(batch, error, QStringLiteral("Error deleting file '%1'").arg(currentEntry(batch)),
                       !isLast(batch), &FileBrowser::deleteStep))
        advance(batch, true, &FileBrowser::deleteStep);
}

// Print

void FileBrowser::clickedPrint()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty() || !m_print->isEnabled())
        return;
    QStringList paths;
    for (const int row : rows)
        paths << directoryPrefix() + rowAt(row).name;
    startPrintBatch(paths);
}

void FileBrowser::printPrompt(const QString &path, const QString &source)
{
    startPrintBatch({ path + source });
}

void FileBrowser::startPrintBatch(const QStringList &paths)
{
    FileDialogPrint dialog(m_connection, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    emit batchPrintInProgress(true);
    startBatch({ { ListKey, paths }, { PrinterKey, dialog.printer() }, { FormTypeKey, dialog.formType() } },
               QStringLiteral("Printing Files..."), paths.size(), &FileBrowser::printStep);
}

void FileBrowser::printStep(const QVariantMap &batch)
{
    if (m_connection)
        m_connection->printFile(this, batch, currentEntry(batch), batch.value(PrinterKey).toString(),
                                batch.value(FormTypeKey).toString());
}

void FileBrowser::fileRespPrint(QVariant context, QString error)
{
    const QVariantMap batch = context.toMap();
    if (!settleFailure(batch, error, QStringLiteral("Error printing file '%1'").arg(currentEntry(batch)),
                       !isLast(batch), &FileBrowser::printStep))
        advance(batch, true, &FileBrowser::printStep);
}

// Upload

void FileBrowser::clickedUpload()
{
    const QStringList chosen = QFileDialog::getOpenFileNames(this, QStringLiteral("Select file(s) to upload"),
                                                             LocalFiles::uploadLocation());
    if (chosen.isEmpty())
        return;
    LocalFiles::setUploadLocation(QFileInfo(chosen.first()).absolutePath());

    QSet<QString> listed;
    for (int row = 0; row < m_table->rowCount(); ++row)
        listed.insert(rowAt(row).name);
    const bool several = chosen.size() > 1;
    QStringList files;
    qint64 total = 0;
    for (const QString &path : chosen) {
        const QFileInfo info(path);
        if (info.size() > MaxTransferSize) {
            qInfo() << "User trying to upload file too large:" << path << info.size();
            const Choice choice = ask(
                { QMessageBox::Warning, QString(), QStringLiteral("FileToo Large"),
                  QStringLiteral("File '%1' is too big to upload using ZU Desktop.").arg(info.fileName()),
                  QString(), several, QMessageBox::DestructiveRole, nullptr });
            if (choice == Choice::Abort)
                return;
            continue;
        }
        if (listed.contains(info.fileName())) {
            const Choice choice
                = ask({ QMessageBox::Warning, QString(), QStringLiteral("File Name Exists"),
                        QStringLiteral("Filename '%1' already exists.").arg(info.fileName()),
                        QStringLiteral("Overwrite"), several, QMessageBox::NoRole, nullptr });
            if (choice == Choice::Abort)
                return;
            if (choice == Choice::Skip)
                continue;
        }
        files << path;
        total += info.size();
    }
    qDebug() << "File list to upload:" << files;
    if (files.isEmpty())
        return;
    startBatch({ { ListKey, files }, { TotalKey, total }, { UploadedKey, qint64(0) } },
               QStringLiteral("Uploading Files..."), total, &FileBrowser::uploadStep);
}

void FileBrowser::uploadStep(const QVariantMap &step)
{
    QVariantMap batch = step;
    for (;;) {
        QFile file(currentEntry(batch));
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            const QString name = QFileInfo(file.fileName()).fileName();
            if (m_connection)
                m_connection->uploadFile(this, batch, directoryPrefix() + name, bytes, true, false);
            return;
        }
        const QString text = QStringLiteral("Unable to open '%1' for reading.").arg(file.fileName());
        qWarning() << text;
        switch (ask({ QMessageBox::Warning, QStringLiteral("Upload Error"), text, QString(), QStringLiteral("Retry"),
                      !isLast(batch), QMessageBox::DestructiveRole, nullptr })) {
        case Choice::Abort:
            endBatch(batch);
            return;
        case Choice::Proceed:
            break;
        case Choice::Skip: {
            QStringList list = listOf(batch);
            list.removeAt(indexOf(batch));
            batch.insert(ListKey, list);
            break;
        }
        }
    }
}

void FileBrowser::fileRespUpload(QVariant context, QString error)
{
    QVariantMap batch = context.toMap();
    const QFileInfo local(currentEntry(batch));
    if (settleFailure(batch, error, QStringLiteral("Could not upload to file '%1'").arg(local.fileName()),
                      !isLast(batch), &FileBrowser::uploadStep))
        return;
    const qint64 uploaded = batch.value(UploadedKey).toLongLong() + local.size();
    batch.insert(UploadedKey, uploaded);
    showProgress(batch, progressUnits(uploaded, batch.value(TotalKey).toLongLong()));
    advance(batch, false, &FileBrowser::uploadStep);
}

// Download

void FileBrowser::clickedDownload()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty() || !m_download->isEnabled())
        return;
    if (rows.size() == 1) {
        downloadPrompt(directoryPrefix(), rowAt(rows.first()).name);
        return;
    }
    QList<Row> entries;
    for (const int row : rows)
        entries << rowAt(row);
    downloadRows(entries);
}

void FileBrowser::downloadPrompt(const QString &path, const QString &source)
{
    const QString local = LocalFiles::askSaveFileName(this, source);
    if (local.isEmpty() || !m_connection)
        return;
    const QVariantMap request { { OperationKey, SaveFile },
                                { RemoteFileKey, path + source },
                                { LocalFileKey, local } };
    m_connection->requestFile(this, request, path + source);
}

void FileBrowser::downloadRows(const QList<Row> &rows)
{
    const bool several = rows.size() >= 2;
    QList<Row> small;
    for (const Row &row : rows) {
        if (row.size <= MaxTransferSize) {
            small << row;
            continue;
        }
        qInfo() << "User trying to download file too large:" << directoryPrefix() + row.name << row.size;
        const Choice choice
            = ask({ QMessageBox::Warning, QString(), QStringLiteral("File Too Large"),
                    QStringLiteral("File '%1' is too big to download using ZU Desktop.").arg(row.name), QString(),
                    several, QMessageBox::DestructiveRole, this });
        if (choice == Choice::Abort)
            return;
    }
    if (small.isEmpty())
        return;

    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Download Destination Folder"), LocalFiles::downloadLocation(), QFileDialog::ShowDirsOnly);
    qDebug() << "User selected download folder:" << folder;
    if (folder.isEmpty())
        return;
    LocalFiles::setDownloadLocation(folder);

    // Names come from the server: one that could be written anywhere but in the folder is skipped.
    QList<Row> safe;
    QStringList refused;
    for (const Row &row : qAsConst(small)) {
        QString reason;
        if (!LocalFiles::childPath(folder, row.name, &reason).isEmpty()) {
            safe << row;
            continue;
        }
        qWarning() << "Refusing to download" << row.name << "into" << folder << "-" << reason;
        refused << QStringLiteral("%1 (%2)").arg(printable(row.name), reason);
    }
    if (!refused.isEmpty()) {
        FileMessageBox box(QMessageBox::Warning, QStringLiteral("Unsafe File Names"),
                           QStringLiteral("These files are skipped: their names cannot be saved in '%1'.").arg(folder),
                           refused.join(QLatin1Char('\n')));
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
    }

    QStringList names;
    qint64 total = 0;
    for (const Row &row : qAsConst(safe)) {
        QString unused;
        if (QFileInfo::exists(LocalFiles::childPath(folder, row.name, &unused))) {
            const Choice choice = ask({ QMessageBox::Warning, QString(), QStringLiteral("File Name Exists"),
                                        QStringLiteral("Local filename '%1' already exists.").arg(row.name),
                                        QStringLiteral("Overwrite"), true, QMessageBox::NoRole, nullptr });
            if (choice == Choice::Abort)
                return;
            if (choice == Choice::Skip)
                continue;
        }
        names << row.name;
        total += row.size;
    }
    if (names.isEmpty()) {
        qDebug() << "User skipped all files. Download aborted.";
        return;
    }
    qDebug() << "Preparing to download files:" << names << "\nFrom:" << directoryPrefix() << "to" << folder
             << "  bytes total:" << total;
    startBatch({ { OperationKey, BatchDownload },
                 { ListKey, names },
                 { RemotePathKey, directoryPrefix() },
                 { LocalPathKey, folder },
                 { TotalKey, total },
                 { TransferredKey, qint64(0) } },
               QStringLiteral("Downloading Files..."), total, &FileBrowser::downloadStep);
}

void FileBrowser::downloadStep(const QVariantMap &batch)
{
    if (m_connection)
        m_connection->requestFile(this, batch, batch.value(RemotePathKey).toString() + currentEntry(batch));
}

void FileBrowser::fileRespFile(QVariant context, QByteArray data, QString error)
{
    const QVariantMap request = context.toMap();
    const int operation = request.value(OperationKey).toInt();
    if (operation == BatchDownload) {
        batchDownloadAnswer(request, data, error);
        return;
    }
    const QString remote = request.value(RemoteFileKey).toString();
    if (!error.isEmpty()) {
        FileMessageBox::showCritical(this, QStringLiteral("Could not access file '%1'").arg(remote), error);
        refreshData();
        return;
    }
    if (operation == ShowFile) {
        emit viewData(request.value(DisplayNameKey).toString(), data);
        return;
    }
    const QString local = request.value(LocalFileKey).toString();
    QString writeError;
    if (!LocalFiles::write(local, data, &writeError))
        LocalFiles::reportWriteFailure(this, local, writeError);
}

void FileBrowser::batchDownloadAnswer(QVariantMap batch, const QByteArray &data, const QString &error)
{
    const QString name = currentEntry(batch);
    if (settleFailure(batch, error, QStringLiteral("Could not download file '%1'").arg(name), true,
                      &FileBrowser::downloadStep))
        return;
    if (error.isEmpty() && !writeBatchFile(batch.value(LocalPathKey).toString(), name, data)) {
        endBatch(batch);
        return;
    }
    const qint64 transferred = batch.value(TransferredKey).toLongLong() + data.size();
    batch.insert(TransferredKey, transferred);
    showProgress(batch, progressUnits(transferred, batch.value(TotalKey).toLongLong()));
    advance(batch, false, &FileBrowser::downloadStep);
}

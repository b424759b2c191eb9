// The browser's operations on several files and the file transfers: delete, print, download and
// upload batches, and single downloads for viewing or saving.
#include "filebrowser.h"

#include "filedialogdelete.h"
#include "filedialogprint.h"
#include "filemessagebox.h"
#include "localfiles.h"

#include "menu/mainconnection.h"
#include "utils/openprompt.h"
#include "utils/savednotice.h"

#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>

namespace {

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
};

using Answer = std::function<void(Choice)>;

// Closing the box counts as Abort. The box belongs to the browser: if the browser goes first (the
// menu link dropped), the box goes with it and `answered` is never called.
void ask(FileBrowser *browser, const Prompt &prompt, Answer answered)
{
    auto *box = new FileMessageBox(prompt.icon, prompt.title, prompt.text, prompt.details, browser);
    QPushButton *proceed
        = prompt.proceed.isEmpty() ? nullptr : box->addButton(prompt.proceed, QMessageBox::YesRole);
    QPushButton *skip = prompt.offerSkip ? box->addButton(QStringLiteral("Skip"), prompt.skipRole) : nullptr;
    QPushButton *abort = box->addButton(QStringLiteral("Abort"), QMessageBox::RejectRole);
    box->setDefaultButton(proceed ? proceed : skip ? skip : abort);
    box->setEscapeButton(abort);
    openPrompt(box, browser, [proceed, skip, answered](QMessageBox *box, int) {
        if (proceed && box->clickedButton() == proceed)
            answered(Choice::Proceed);
        else if (skip && box->clickedButton() == skip)
            answered(Choice::Skip);
        else
            answered(Choice::Abort);
    });
}

// The prompt after a failed step of a batch.
void askRetry(FileBrowser *browser, const QString &text, const QString &error, bool offerSkip, Answer answered)
{
    ask(browser, { QMessageBox::Critical, QString(), text, error, QStringLiteral("Retry"), offerSkip,
                   QMessageBox::DestructiveRole },
        std::move(answered));
}

void showProgress(const FileBrowser::Batch &batch, int value)
{
    if (batch.progress)
        batch.progress->setValue(value);
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

} // namespace

void FileBrowser::startBatch(Batch batch, const QString &label, qint64 maximum, Step firstStep)
{
    m_cancelled = false;
    auto *progress = new QProgressDialog(label, QStringLiteral("Abort"), 0, progressUnits(maximum, maximum), this);
    progress->setMinimumDuration(ProgressDelayMs);
    progress->setWindowModality(Qt::WindowModal);
    progress->setValue(0);
    connect(progress, &QProgressDialog::canceled, this, &FileBrowser::cancelBatch);
    batch.progress = progress;
    batch.index = 0;
    (this->*firstStep)(batch);
}

void FileBrowser::endBatch(const Batch &batch)
{
    if (batch.progress) {
        batch.progress->hide();
        batch.progress->deleteLater();
    }
    if (!batch.printer.isEmpty())
        emit batchPrintInProgress(false);
    if (!batch.localPath.isEmpty() && !batch.finished.isEmpty()) {
        if (batch.finished.size() == 1)
            SavedNotice::savedTo(this, batch.finished.first());
        else
            SavedNotice::savedFilesTo(this, batch.localPath, batch.finished.size());
    } else if (batch.localPath.isEmpty() && !batch.finished.isEmpty()) {
        SavedNotice::notify(
            this,
            batch.finished.size() == 1
                ? QStringLiteral("Uploaded to %1").arg(batch.finished.first())
                : QStringLiteral("Uploaded %1 files to %2").arg(batch.finished.size()).arg(currentPath()));
    }
    refreshData();
}

bool FileBrowser::settleFailure(const Batch &batch, const QString &error, const QString &text,
                                bool offerSkip, Step retry, const std::function<void()> &skipped)
{
    if (error.isEmpty())
        return false;
    askRetry(this, text, error, offerSkip, [this, batch, retry, skipped](Choice choice) {
        switch (choice) {
        case Choice::Abort:
            endBatch(batch);
            return;
        case Choice::Proceed:
            (this->*retry)(batch);
            return;
        case Choice::Skip:
            skipped();
            return;
        }
    });
    return true;
}

void FileBrowser::advance(Batch batch, bool showIndex, Step step)
{
    if (m_cancelled || batch.isLast()) {
        endBatch(batch);
        return;
    }
    ++batch.index;
    if (showIndex)
        showProgress(batch, batch.index);
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
    QStringList paths;
    for (const int row : rows)
        paths << directoryPrefix() + rowAt(row).name;
    auto *box = new QMessageBox(QMessageBox::Question, QStringLiteral("Delete ZU Files"), question,
                                QMessageBox::Yes | QMessageBox::Cancel, this);
    box->setDefaultButton(QMessageBox::Yes);
    openPrompt(box, this, [this, paths](QMessageBox *, int answer) {
        if (answer == QMessageBox::Yes)
            startDeleteBatch(paths);
    });
}

void FileBrowser::deletePrompt(const QString &path, const QString &source)
{
    openPrompt(new FileDialogDelete(source, this), this, [this, path, source](FileDialogDelete *, int result) {
        if (result == QDialog::Accepted)
            startDeleteBatch({ path + source });
    });
}

void FileBrowser::startDeleteBatch(const QStringList &paths)
{
    Batch batch;
    batch.entries = paths;
    startBatch(batch, QStringLiteral("Deleting Files..."), paths.size(), &FileBrowser::deleteStep);
}

void FileBrowser::deleteStep(const Batch &batch)
{
    if (!m_connection)
        return;
    m_connection->files()->deleteFile(this, batch.current(), [this, batch](const QString &error) {
        const auto next = [this, batch] { advance(batch, true, &FileBrowser::deleteStep); };
        if (!settleFailure(batch, error, QStringLiteral("Error deleting file '%1'").arg(batch.current()),
                           !batch.isLast(), &FileBrowser::deleteStep, next))
            next();
    });
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
    openPrompt(new FileDialogPrint(m_connection, this), this, [this, paths](FileDialogPrint *dialog, int result) {
        if (result != QDialog::Accepted)
            return;
        emit batchPrintInProgress(true);
        Batch batch;
        batch.entries = paths;
        batch.printer = dialog->printer();
        batch.formType = dialog->formType();
        startBatch(batch, QStringLiteral("Printing Files..."), paths.size(), &FileBrowser::printStep);
    });
}

void FileBrowser::printStep(const Batch &batch)
{
    if (!m_connection)
        return;
    m_connection->files()->printFile(this, batch.current(), batch.printer, batch.formType,
                                     [this, batch](const QString &error) {
        const auto next = [this, batch] { advance(batch, true, &FileBrowser::printStep); };
        if (!settleFailure(batch, error, QStringLiteral("Error printing file '%1'").arg(batch.current()),
                           !batch.isLast(), &FileBrowser::printStep, next))
            next();
    });
}

// Upload

void FileBrowser::clickedUpload()
{
    auto *dialog = new QFileDialog(this, QStringLiteral("Select file(s) to upload"), LocalFiles::uploadLocation());
    dialog->setFileMode(QFileDialog::ExistingFiles);
    openPrompt(dialog, this, [this](QFileDialog *dialog, int result) {
        const QStringList chosen = dialog->selectedFiles();
        if (result != QDialog::Accepted || chosen.isEmpty())
            return;
        LocalFiles::setUploadLocation(QFileInfo(chosen.first()).absolutePath());
        checkUploads(chosen, {}, 0, chosen.size() > 1);
    });
}

// One chosen file after the other, asking about each that is too large or already listed; then the
// upload of those kept.
void FileBrowser::checkUploads(QStringList pending, QStringList files, qint64 total, bool several)
{
    while (!pending.isEmpty()) {
        const QString path = pending.takeFirst();
        const QFileInfo info(path);
        if (info.size() > MaxTransferSize) {
            qInfo() << "User trying to upload file too large:" << path << info.size();
            ask(this,
                { QMessageBox::Warning, QString(), QStringLiteral("FileToo Large"),
                  QStringLiteral("File '%1' is too big to upload using ZU Desktop.").arg(info.fileName()),
                  QString(), several, QMessageBox::DestructiveRole },
                [=](Choice choice) {
                    if (choice != Choice::Abort)
                        checkUploads(pending, files, total, several);
                });
            return;
        }
        bool listed = false;
        for (int row = 0; row < m_table->rowCount() && !listed; ++row)
            listed = rowAt(row).name == info.fileName();
        if (listed) {
            ask(this,
                { QMessageBox::Warning, QString(), QStringLiteral("File Name Exists"),
                  QStringLiteral("Filename '%1' already exists.").arg(info.fileName()), QStringLiteral("Overwrite"),
                  several, QMessageBox::NoRole },
                [=](Choice choice) {
                    if (choice == Choice::Proceed)
                        checkUploads(pending, files + QStringList { path }, total + info.size(), several);
                    else if (choice == Choice::Skip)
                        checkUploads(pending, files, total, several);
                });
            return;
        }
        files << path;
        total += info.size();
    }
    qDebug() << "File list to upload:" << files;
    if (files.isEmpty())
        return;
    Batch batch;
    batch.entries = files;
    batch.total = total;
    startBatch(batch, QStringLiteral("Uploading Files..."), total, &FileBrowser::uploadStep);
}

void FileBrowser::uploadStep(const Batch &batch)
{
    QFile file(batch.current());
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        const QString name = QFileInfo(file.fileName()).fileName();
        if (m_connection) {
            const QString remote = directoryPrefix() + name;
            m_connection->files()->uploadFile(this, remote, bytes, true, false,
                                              [this, batch, remote](const QString &error) {
                                                  Batch answered = batch;
                                                  if (error.isEmpty())
                                                      answered.finished << remote;
                                                  uploadAnswered(answered, error);
                                              });
        }
        return;
    }
    const QString text = QStringLiteral("Unable to open '%1' for reading.").arg(file.fileName());
    qWarning() << text;
    ask(this,
        { QMessageBox::Warning, QStringLiteral("Upload Error"), text, QString(), QStringLiteral("Retry"),
          !batch.isLast(), QMessageBox::DestructiveRole },
        [this, batch](Choice choice) {
            switch (choice) {
            case Choice::Abort:
                endBatch(batch);
                return;
            case Choice::Proceed:
                uploadStep(batch);
                return;
            case Choice::Skip: {
                Batch rest = batch;
                rest.entries.removeAt(rest.index);
                uploadStep(rest);
                return;
            }
            }
        });
}

void FileBrowser::uploadAnswered(const Batch &batch, const QString &error)
{
    const auto next = [this, batch] {
        Batch done = batch;
        done.done += QFileInfo(done.current()).size();
        showProgress(done, progressUnits(done.done, done.total));
        advance(done, false, &FileBrowser::uploadStep);
    };
    if (!settleFailure(batch, error,
                       QStringLiteral("Could not upload to file '%1'").arg(QFileInfo(batch.current()).fileName()),
                       !batch.isLast(), &FileBrowser::uploadStep, next))
        next();
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
    checkDownloadSizes(entries, {}, entries.size() >= 2);
}

void FileBrowser::downloadPrompt(const QString &path, const QString &source)
{
    LocalFiles::askSaveFileName(this, source, [this, path, source](const QString &local) {
        if (!m_connection)
            return;
        const QString remote = path + source;
        // One request: nothing to count, but the user sees it is under way and can stop waiting.
        QPointer<QProgressDialog> progress = new QProgressDialog(
            QStringLiteral("Downloading %1...").arg(source), QStringLiteral("Abort"), 0, 0, this);
        progress->setMinimumDuration(ProgressDelayMs);
        progress->setWindowModality(Qt::WindowModal);
        progress->setValue(0);
        m_connection->files()->requestFile(
            this, remote, [this, remote, local, progress](const QByteArray &data, const QString &error) {
                const bool abandoned = progress && progress->wasCanceled();
                if (progress) {
                    progress->hide();
                    progress->deleteLater();
                }
                if (abandoned) {
                    qInfo() << "Download abandoned by the user:" << remote;
                    return;
                }
                if (!error.isEmpty()) {
                    FileMessageBox::showCritical(
                        this, QStringLiteral("Could not access file '%1'").arg(remote), error);
                    refreshData();
                    return;
                }
                QString writeError;
                if (LocalFiles::write(local, data, &writeError))
                    SavedNotice::savedTo(this, local);
                else
                    LocalFiles::reportWriteFailure(this, local, writeError);
            });
    });
}

// The selected files one after the other: each too large to download is skipped after a question.
void FileBrowser::checkDownloadSizes(QList<Row> pending, QList<Row> small, bool several)
{
    while (!pending.isEmpty()) {
        const Row row = pending.takeFirst();
        if (row.size <= MaxTransferSize) {
            small << row;
            continue;
        }
        qInfo() << "User trying to download file too large:" << directoryPrefix() + row.name << row.size;
        ask(this,
            { QMessageBox::Warning, QString(), QStringLiteral("File Too Large"),
              QStringLiteral("File '%1' is too big to download using ZU Desktop.").arg(row.name), QString(), several,
              QMessageBox::DestructiveRole },
            [=](Choice choice) {
                if (choice != Choice::Abort)
                    checkDownloadSizes(pending, small, several);
            });
        return;
    }
    if (small.isEmpty())
        return;
    auto *dialog = new QFileDialog(this, QStringLiteral("Download Destination Folder"), LocalFiles::downloadLocation());
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    openPrompt(dialog, this, [this, small](QFileDialog *dialog, int result) {
        const QString folder = result == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
        qDebug() << "User selected download folder:" << folder;
        if (!folder.isEmpty())
            downloadInto(folder, small);
    });
}

void FileBrowser::downloadInto(const QString &folder, const QList<Row> &rows)
{
    LocalFiles::setDownloadLocation(folder);
    // Names come from the server: one that could be written anywhere but in the folder is skipped.
    QList<Row> safe;
    QStringList refused;
    for (const Row &row : rows) {
        QString reason;
        if (!LocalFiles::childPath(folder, row.name, &reason).isEmpty()) {
            safe << row;
            continue;
        }
        qWarning() << "Refusing to download" << row.name << "into" << folder << "-" << reason;
        refused << QStringLiteral("%1 (%2)").arg(printable(row.name), reason);
    }
    if (!refused.isEmpty()) {
        auto *box = new FileMessageBox(QMessageBox::Warning, QStringLiteral("Unsafe File Names"),
                                       QStringLiteral("These files are skipped: their names cannot be saved in '%1'.").arg(folder),
                                       refused.join(QLatin1Char('\n')), this);
        box->setStandardButtons(QMessageBox::Ok);
        openPrompt(box, this, [this, folder, safe](QMessageBox *, int) { checkDownloadTargets(folder, safe, {}, 0); });
        return;
    }
    checkDownloadTargets(folder, safe, {}, 0);
}

// Files that exist in the folder already are overwritten or skipped as the user says; then the
// batch starts.
void FileBrowser::checkDownloadTargets(const QString &folder, QList<Row> pending, QStringList names, qint64 total)
{
    while (!pending.isEmpty()) {
        const Row row = pending.takeFirst();
        QString unused;
        if (QFileInfo::exists(LocalFiles::childPath(folder, row.name, &unused))) {
            ask(this,
                { QMessageBox::Warning, QString(), QStringLiteral("File Name Exists"),
                  QStringLiteral("Local filename '%1' already exists.").arg(row.name), QStringLiteral("Overwrite"),
                  true, QMessageBox::NoRole },
                [=](Choice choice) {
                    if (choice == Choice::Proceed)
                        checkDownloadTargets(folder, pending, names + QStringList { row.name }, total + row.size);
                    else if (choice == Choice::Skip)
                        checkDownloadTargets(folder, pending, names, total);
                });
            return;
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
    Batch batch;
    batch.entries = names;
    batch.remotePath = directoryPrefix();
    batch.localPath = folder;
    batch.total = total;
    startBatch(batch, QStringLiteral("Downloading Files..."), total, &FileBrowser::downloadStep);
}

void FileBrowser::downloadStep(const Batch &batch)
{
    if (!m_connection)
        return;
    m_connection->files()->requestFile(this, batch.remotePath + batch.current(),
                                       [this, batch](const QByteArray &data, const QString &error) {
        const qint64 size = data.size();
        if (!settleFailure(batch, error, QStringLiteral("Could not download file '%1'").arg(batch.current()), true,
                           &FileBrowser::downloadStep, [this, batch, size] { batchFileDone(batch, size); }))
            writeBatchFile(batch, data);
    });
}

// Writes one file of a batch download, asking again while that fails.
void FileBrowser::writeBatchFile(const Batch &batch, const QByteArray &data)
{
    const QString name = batch.current();
    QString reason;
    const QString target = LocalFiles::childPath(batch.localPath, name, &reason);
    if (!target.isEmpty() && LocalFiles::write(target, data, &reason)) {
        Batch written = batch;
        written.finished << target;
        batchFileDone(written, data.size());
        return;
    }
    askRetry(this, QStringLiteral("Could not write file '%1'").arg(name), reason, true,
             [this, batch, data](Choice choice) {
                 if (choice == Choice::Proceed)
                     writeBatchFile(batch, data);
                 else if (choice == Choice::Skip)
                     batchFileDone(batch, data.size());
                 else
                     endBatch(batch);
             });
}

void FileBrowser::batchFileDone(Batch batch, qint64 bytes)
{
    batch.done += bytes;
    showProgress(batch, progressUnits(batch.done, batch.total));
    advance(batch, false, &FileBrowser::downloadStep);
}

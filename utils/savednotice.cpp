#include "savednotice.h"

#include "plaintext.h"
#include "replaymode.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QUrl>

SavedNotice::SavedNotice(QWidget *parent, const QString &text, const QString &folder)
    : QMessageBox(Information, QStringLiteral("Done"), QString(), NoButton, parent)
{
    setObjectName(QStringLiteral("savedNotice"));
    PlainText::setTexts(this, text);
    if (!folder.isEmpty() && !ReplayMode::isReplaying()) {
        m_openFolder = addButton(QStringLiteral("Open Folder"), ActionRole);
        connect(m_openFolder, &QPushButton::clicked, this, [folder] {
            if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
                qWarning() << "SavedNotice - could not open the folder" << folder;
        });
    }
    setDefaultButton(addButton(Close));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
}

SavedNotice *SavedNotice::notify(QWidget *parent, const QString &text, const QString &folder)
{
    qInfo().noquote() << text;
    auto *notice = new SavedNotice(parent, text, folder);
    notice->show();
    return notice;
}

SavedNotice *SavedNotice::savedTo(QWidget *parent, const QString &path)
{
    return notify(parent, QStringLiteral("Saved to %1").arg(QDir::toNativeSeparators(path)),
                  QFileInfo(path).absolutePath());
}

SavedNotice *SavedNotice::savedFilesTo(QWidget *parent, const QString &folder, int count)
{
    const QString files = count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
    return notify(parent, QStringLiteral("Saved %1 to %2").arg(files, QDir::toNativeSeparators(folder)),
                  QDir(folder).absolutePath());
}

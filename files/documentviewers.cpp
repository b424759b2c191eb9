#include "documentviewers.h"

#include "fileviewer.h"
#include "imagefileviewer.h"
#include "pdffileviewer.h"

#include "utils/openprompt.h"
#include "utils/plaintext.h"
#include "utils/replaymode.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QImageReader>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <algorithm>

DocumentViewers::DocumentViewers(QWidget *window)
    : QObject(window)
    , m_window(window)
{
}

// The event loop may have ended: nothing deleted later would go any more.
DocumentViewers::~DocumentViewers()
{
    for (const QPointer<QWidget> &viewer : qAsConst(m_viewers)) {
        if (viewer) {
            viewer->close();
            delete viewer.data();
        }
    }
}

QString DocumentViewers::fileNameForTitle(const QString &title)
{
    QString name = title.trimmed();
    static const QString unsafe = QStringLiteral(" %\\/:*?\"<>|");
    for (QChar &c : name)
        if (unsafe.contains(c))
            c = QLatin1Char('_');
    return name;
}

void DocumentViewers::view(const QString &title, const QByteArray &data)
{
    if (data.isEmpty()) {
        PlainText::information(m_window, QStringLiteral("Unable to view"), QStringLiteral("This file is empty."));
        return;
    }
    const QString name = fileNameForTitle(title);
    qDebug() << "filename" << title << " -> " << name;
    const auto open = std::count_if(m_viewers.cbegin(), m_viewers.cend(), [](const QPointer<QWidget> &viewer) {
        return viewer && viewer->isVisible();
    });
    if (open >= MaxViewers) {
        qWarning() << "DocumentViewers::view() - too many viewers open;" << name << "not shown";
        emit statusMessage(QStringLiteral("Too many documents are open; close some to view more."));
        return;
    }
    if (data.startsWith("%PDF-")) {
        qInfo() << "Viewing" << name << "as PDF";
        this->open(new PdfFileViewer(name, data, nullptr), QString());
        return;
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (reader.canRead()) {
        const QSize size = reader.size();
        if (qint64(size.width()) * size.height() > MaxPicturePixels) {
            qWarning() << "Picture too large to view:" << name << size;
            PlainText::information(m_window, QStringLiteral("Unable to view"),
                                   QStringLiteral("This picture is too large to show."));
            return;
        }
        QPixmap pixmap;
        if (pixmap.convertFromImage(reader.read())) {
            qInfo() << "Viewing" << name << "as picture:" << reader.format();
            this->open(new ImageFileViewer(name, data, pixmap, nullptr), QString());
            return;
        }
    }
    openText(name, data);
}

void DocumentViewers::open(QWidget *viewer, const QString &title)
{
    if (!title.isEmpty())
        viewer->setWindowTitle(title);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    m_viewers.removeAll(nullptr);
    m_viewers.append(viewer);
    viewer->show();
    viewer->raise();
}

void DocumentViewers::openText(const QString &name, const QByteArray &data)
{
    // A replay hands nothing to another program: the document shows here instead.
    if (QSettings().value(QStringLiteral("settings/useExternalTextViewer"), false).toBool()) {
        if (!ReplayMode::isReplaying()) {
            openExternal(name, data);
            return;
        }
        qInfo().noquote() << "DocumentViewers - the external viewer is" << ReplayMode::notOpenedText() << "for" << name;
    }
    auto *viewer = new FileViewer(data, nullptr);
    connect(viewer, &FileViewer::printFile, this, &DocumentViewers::printRequested);
    open(viewer, name);
}

// The viewer gets the file as one argument of its own and no shell sees it; the file lives until
// this object goes, since the viewer may read it at any time.
void DocumentViewers::openExternal(const QString &name, const QByteArray &data)
{
    if (!m_externalFiles)
        m_externalFiles = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zu-XXXXXX"));
    QTemporaryFile file(m_externalFiles->path() + QStringLiteral("/zu-XXXXXX-") + name);
    file.setAutoRemove(false);
    if (!m_externalFiles->isValid() || !file.open() || file.write(data) != data.size() || !file.flush()) {
        qWarning() << "Unable to create temporary file" << file.errorString();
        file.remove();
        return;
    }
    file.close();
    qDebug() << "data written to temp file:" << file.fileName();
    const QSettings settings;
    const QString viewer = settings.value(QStringLiteral("settings/extTextViewerPath")).toString();
    QStringList arguments
        = QProcess::splitCommand(settings.value(QStringLiteral("settings/extTextViewerArgs")).toString());
    arguments << file.fileName();
    qInfo() << "Starting external document viewer:" << viewer << arguments;
    if (viewer.isEmpty() || !QProcess::startDetached(viewer, arguments)) {
        auto *box = new QMessageBox(QMessageBox::Warning, QString(),
                                    QStringLiteral("Unable to open external text viewer."), QMessageBox::NoButton,
                                    m_window);
        box->setInformativeText(QStringLiteral("Please check user settings."));
        box->setDefaultButton(box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole));
        openPrompt(box, this, [](QMessageBox *, int) {});
    }
}

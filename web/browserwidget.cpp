#include "browserwidget.h"

#include "ui_browserwidget.h"

#include "utils/abbreviatename.h"
#include "utils/plaintext.h"
#include "utils/platform.h"
#include "downloadopener.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMessageBox>
#include <QOpenGLContext>
#include <QStandardPaths>
#include <QStyle>
#include <QUrl>

// Exported by QtGui, declared only in its private headers.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {

constexpr char LibraryName[] = "zuweb";

void deleteSharedContext()
{
    QOpenGLContext *context = QOpenGLContext::globalShareContext();
    qt_gl_set_global_share_context(nullptr);
    delete context;
}

// The web engine draws through an OpenGL context shared with the application's. Made here, with
// the first page, rather than with the application (Qt::AA_ShareOpenGLContexts before it):
// creating it loads the OpenGL driver, which cost the login dialog a third of its start-up. The
// engine needs the context; the attribute, which Qt takes only before the application, it does not.
void shareOpenGLContexts()
{
    if (QOpenGLContext::globalShareContext())
        return;
    auto *context = new QOpenGLContext;
    context->create();
    qt_gl_set_global_share_context(context);
    qAddPostRoutine(deleteSharedContext);
}

using CreatePage = BrowserWidget *(*)(const QString &, QObject *, QWidget *);
using CreateProfile = QObject *(*)(const QString &, QObject *);

// Resolves a function of the web library, loading it (from beside the executable) on first use.
QFunctionPointer webFunction(const char *name, QString *error)
{
    static QLibrary library(QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(LibraryName));
    if (!library.isLoaded()) {
        shareOpenGLContexts();
        // The engine's renderer refuses its sandbox as root and ends the whole client.
        if (Platform::isSuperUser() && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
            qWarning() << "BrowserWidget - the client runs as root: web pages are rendered without the sandbox";
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        }
    }
    if (!library.isLoaded() && !library.load()) {
        *error = library.errorString();
        qCritical() << "BrowserWidget - cannot load the web engine:" << *error;
        return nullptr;
    }
    const QFunctionPointer function = library.resolve(name);
    if (!function)
        *error = library.errorString();
    return function;
}

} // namespace

BrowserWidget::BrowserWidget(const QString &title, QWidget *parent)
    : TaskPageWidget(parent)
    , m_form(std::make_unique<Ui::BrowserWidget>())
    , m_menuTitle(title)
{
    m_form->setupUi(this);
    connect(m_form->detachButton, &QPushButton::clicked, this, &TaskPageWidget::detachClicked);
    connect(m_form->closeButton, &QPushButton::clicked, this, &BrowserWidget::closePage);
    setDetachButton(m_form->detachButton);
}

BrowserWidget::~BrowserWidget() = default;

BrowserWidget *BrowserWidget::create(const QString &title, QObject *profile, QWidget *parent, QString *error)
{
    const auto create = reinterpret_cast<CreatePage>(webFunction("zuCreateBrowserWidget", error));
    return create ? create(title, profile, parent) : nullptr;
}

QObject *BrowserWidget::createProfile(const QString &storageName, QObject *parent, QString *error)
{
    const auto create = reinterpret_cast<CreateProfile>(webFunction("zuCreateWebProfile", error));
    return create ? create(storageName, parent) : nullptr;
}

BrowserWidget *BrowserWidget::newPage()
{
    BrowserWidget *page = m_pageFactory ? m_pageFactory(m_menuTitle) : nullptr;
    if (page)
        page->setPageFactory(m_pageFactory);
    return page;
}

QString BrowserWidget::reportDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QLatin1Char('/')
        + QLatin1String(ReportFolder);
}

QString BrowserWidget::title() const
{
    return m_form->formTitle->text();
}

QString BrowserWidget::shortName() const
{
    return abbreviateName(m_menuTitle);
}

QWidget *BrowserWidget::contentWidget() const
{
    return m_form->contentWidget;
}

void BrowserWidget::setTitle(const QString &title)
{
    m_form->formTitle->setText(title);
    emit titleChanged(title);
}


void BrowserWidget::closePage()
{
    if (m_closing)
        return;
    m_closing = true;
    emit removeFromTaskbar();
    deleteLater();
}

void BrowserWidget::openDownload(const QString &path)
{
    // Otherwise the page would just vanish, with the file nowhere to be seen.
    const QString savedAs = QStringLiteral("It was saved as %1").arg(QDir::toNativeSeparators(path));
    switch (DownloadOpener::open(path)) {
    case DownloadOpener::Outcome::Opened:
    case DownloadOpener::Outcome::ShownInFolder:
        return;
    case DownloadOpener::Outcome::NotOpened:
        showNotice(QMessageBox::Information, QStringLiteral("Download Saved"),
                   QStringLiteral("No application on this workstation opens \"%1\".").arg(QFileInfo(path).fileName()),
                   savedAs);
        return;
    case DownloadOpener::Outcome::NotADocument:
        showNotice(QMessageBox::Information, QStringLiteral("Download Saved"),
                   QStringLiteral("\"%1\" was saved but not opened: only documents are opened by themselves.")
                       .arg(QFileInfo(path).fileName()),
                   savedAs);
        return;
    }
}

void BrowserWidget::tellDownloadFailed(const QString &name, const QString &reason)
{
    showNotice(QMessageBox::Warning, QStringLiteral("Download Failed"),
               QStringLiteral("The download of \"%1\" did not complete.").arg(name), reason);
}

void BrowserWidget::showNotice(QMessageBox::Icon icon, const QString &title, const QString &text,
                               const QString &detail)
{
    // The page may close at once: the box belongs to the desktop (or stands alone).
    QWidget *owner = isWindow() ? nullptr : window();
    auto *box = new QMessageBox(icon, title, QString(), QMessageBox::Ok, owner);
    PlainText::setTexts(box, text, detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

#include "userguidewindow.h"

#include "utils/windowfit.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

UserGuideWindow::UserGuideWindow(const QString &path, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_view(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("userGuideWindow"));
    setWindowTitle(QStringLiteral("ZU Desktop User Guide"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->setObjectName(QStringLiteral("userGuideView"));
    m_view->setReadOnly(true);
    // Nothing leaves the window: the guide's links are not followed.
    m_view->setOpenLinks(false);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxGuideBytes) {
        qWarning() << "UserGuideWindow - the user guide cannot be read:" << path << file.errorString();
        m_view->setPlainText(tr("The user guide was not found. It is installed as %1.").arg(path));
    } else {
        m_view->setMarkdown(QString::fromUtf8(file.read(MaxGuideBytes)));
    }
    resize(820, 760);
    fitWindowOntoDesktop(this);
}

QString UserGuideWindow::installedPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/doc/user-guide.md");
}

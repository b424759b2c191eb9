#include "filesflyout.h"

#include "latin1.h"
#include "files/filebrowser.h"
#include "utils/formatdatetime.h"

#include <QAction>
#include <QDateTime>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "menu.pb.h"

QPointer<FilesFlyout> FilesFlyout::s_current;

namespace {

const char FileNameProperty[] = "filename";

QLabel *plainLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

FilesFlyout::FilesFlyout(const Menu::FileInfoData &listing, FileBrowser *browser)
    : Flyout(nullptr, false)
    , m_browser(browser)
    , m_directory(Latin1::toQString(listing.pathname()))
{
    setObjectName(QStringLiteral("filesFlyout"));
    if (!m_directory.endsWith(QLatin1Char('/')))
        m_directory += QLatin1Char('/');

    struct File
    {
        QString name;
        qint64 size;
    };
    // Ordered by time. Files saved in the same second all stay: a map of one file per time would
    // drop all but one of them from the list.
    QMultiMap<QDateTime, File> files;
    for (const auto &info : listing.fileinfo()) {
        if (info.type() != Menu::FileInfoData::FileInfo::FILE)
            continue;
        const QDateTime modified(QDate::fromString(Latin1::toQString(info.date()), QStringLiteral("MM/dd/yyyy")),
                                 QTime::fromString(Latin1::toQString(info.time()), Qt::TextDate), Qt::LocalTime);
        files.insert(modified, { Latin1::toQString(info.name()), qMax(0, info.size()) });
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *header = new QWidget(this);
    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(8, 4, 8, 4);
    headerLayout->addWidget(plainLabel(QStringLiteral("headerText"),
                                       files.isEmpty() ? QStringLiteral("No recent files") : QStringLiteral("Recent Files"),
                                       header));
    layout->addWidget(header);
    if (!files.isEmpty())
        layout->addWidget(line(QStringLiteral("dividerLineH"), this));

    int shown = 0;
    for (auto it = files.cend(); it != files.cbegin() && shown < MaxFiles; ++shown) {
        --it;
        if (shown > 0)
            layout->addWidget(line(QStringLiteral("dividerLineH"), this));
        addRow(it.value().name, it.key(), it.value().size);
    }

    layout->addWidget(line(QStringLiteral("dividerLineH"), this));
    auto *footer = new QWidget(this);
    auto *footerLayout = new QHBoxLayout(footer);
    footerLayout->setContentsMargins(8, 4, 8, 4);
    footerLayout->setSpacing(8);
    QLabel *browse = plainLabel(QStringLiteral("footerText"), QStringLiteral("Browse Files"), footer);
    browse->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    // The words are what people aim at, not only the folder button beside them.
    browse->setCursor(Qt::PointingHandCursor);
    browse->installEventFilter(this);
    m_browseLabel = browse;
    footerLayout->addWidget(browse, 1);
    QPushButton *browseButton = iconButton(QStringLiteral("browseButton"), QString(), footer);
    browseButton->setCursor(Qt::PointingHandCursor);
    connect(browseButton, &QPushButton::clicked, this, &FilesFlyout::openBrowser);
    footerLayout->addWidget(browseButton);
    layout->addWidget(footer);
}

void FilesFlyout::addRow(const QString &name, const QDateTime &modified, qint64 size)
{
    auto *row = new QWidget(this);
    auto *rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(8, 8, 8, 8);
    rowLayout->setSpacing(8);

    QPushButton *icon = iconButton(QStringLiteral("fileIcon"), QString(), row);
    icon->setFlat(true);
    icon->setEnabled(false);
    rowLayout->addWidget(icon, 0, Qt::AlignTop);

    auto *column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(plainLabel(QStringLiteral("fileTitle"), name, row));
    column->addWidget(plainLabel(QStringLiteral("fileTime"), formatDateTime(modified), row));
    rowLayout->addLayout(column, 1);

    QPushButton *menuButton = iconButton(QStringLiteral("fileMenuButton"), QString(), row);
    menuButton->setProperty(FileNameProperty, name);
    menuButton->setCursor(Qt::PointingHandCursor);
    auto *menu = new QMenu(menuButton);
    const bool transferable = size <= FileBrowser::MaxTransferSize;
    if (transferable)
        menu->addAction(QIcon(QStringLiteral("theme:file_page.svg")), QStringLiteral("View"), this,
                        &FilesFlyout::clickView);
    menu->addAction(QIcon(QStringLiteral("theme:pencil_page.svg")), QStringLiteral("Rename"), this,
                    &FilesFlyout::clickRename);
    menu->addAction(QIcon(QStringLiteral("theme:content-copy_page.svg")), QStringLiteral("Copy"), this,
                    &FilesFlyout::clickCopy);
    menu->addAction(QIcon(QStringLiteral("theme:delete_page.svg")), QStringLiteral("Delete"), this,
                    &FilesFlyout::clickDelete);
    if (transferable)
        menu->addAction(QIcon(QStringLiteral("theme:download_page.svg")), QStringLiteral("Download"), this,
                        &FilesFlyout::clickDownload);
    menu->addAction(QIcon(QStringLiteral("theme:printer_page.svg")), QStringLiteral("Print"), this,
                    &FilesFlyout::clickPrint);
    menuButton->setMenu(menu);
    rowLayout->addWidget(menuButton, 0, Qt::AlignTop);
    layout()->addWidget(row);
}

FilesFlyout::~FilesFlyout()
{
    if (s_current == this)
        s_current = nullptr;
}

FilesFlyout *FilesFlyout::showFlyout(const Menu::FileInfoData &listing, const QRect &anchor, FileBrowser *browser)
{
    if (s_current) {
        s_current->hide();
        delete s_current.data();
    }
    s_current = new FilesFlyout(listing, browser);
    s_current->flyout(anchor);
    return s_current;
}

QString FilesFlyout::takeFileName()
{
    const auto *action = qobject_cast<QAction *>(sender());
    const QObject *menu = action ? action->parent() : nullptr;
    const QObject *button = menu ? menu->parent() : nullptr;
    // A modal prompt follows: the pop-up must not keep the mouse.
    close();
    return button ? button->property(FileNameProperty).toString() : QString();
}

bool FilesFlyout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_browseLabel && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        openBrowser();
        return true;
    }
    return Flyout::eventFilter(watched, event);
}

void FilesFlyout::openBrowser()
{
    close();
    if (!m_browser)
        return;
    m_browser->refreshData();
    m_browser->raise();
    m_browser->showNormal();
}

void FilesFlyout::clickView()
{
    const QString name = takeFileName();
    qDebug() << "VIEW clicked" << name;
    if (m_browser && !name.isEmpty())
        m_browser->downloadAndView(name, m_directory + name);
}

void FilesFlyout::clickRename()
{
    forward(&FileBrowser::renamePrompt);
}

void FilesFlyout::clickCopy()
{
    forward(&FileBrowser::copyPrompt);
}

void FilesFlyout::clickDelete()
{
    forward(&FileBrowser::deletePrompt);
}

void FilesFlyout::clickDownload()
{
    forward(&FileBrowser::downloadPrompt);
}

void FilesFlyout::clickPrint()
{
    forward(&FileBrowser::printPrompt);
}

void FilesFlyout::forward(void (FileBrowser::*prompt)(const QString &, const QString &))
{
    const QString name = takeFileName();
    if (m_browser && !name.isEmpty())
        (m_browser->*prompt)(m_directory, name);
}

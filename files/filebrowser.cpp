#include "filebrowser.h"

#include "filedialogcopy.h"
#include "filedialogrename.h"
#include "filemessagebox.h"

#include "menu/mainconnection.h"
#include "style/stylemanager.h"
#include "utils/formatdatetime.h"
#include "utils/openprompt.h"
#include "utils/windowfit.h"

#include "latin1.h"

#include "menu.pb.h"

#include <QDateTime>
#include <QDebug>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace {

const QString GeometryKey = QStringLiteral("FileBrowser/geometry");
const QString SortColumnKey = QStringLiteral("FileBrowser/sortColumn");
const QString SortDirectionKey = QStringLiteral("FileBrowser/sortDirection");
const QString FolderIcon = QStringLiteral("theme:folder_page.svg");
const QString FileIcon = QStringLiteral("theme:file_page.svg");

enum Column { NameColumn = 0, ModifiedColumn = 1, TypeColumn = 2, SizeColumn = 3, ColumnCount = 5 };

// Indexed by FileInfo.FileType.
const QStringList TypeNames
    = { QStringLiteral("Device"), QStringLiteral("Socket"), QStringLiteral("Pipe"), QStringLiteral("Link"),
        QStringLiteral("Folder"), QStringLiteral("File"),   QStringLiteral("Unknown") };
const QString FolderType = TypeNames.at(Menu::FileInfoData::FileInfo::DIR);
const QString FileType = TypeNames.at(Menu::FileInfoData::FileInfo::FILE);

QString joinPath(const QString &directory, const QString &name)
{
    return directory.endsWith(QLatin1Char('/')) ? directory + name : directory + QLatin1Char('/') + name;
}

// A cell of the listing. Whatever the column and direction, folders come first; rows of equal value
// follow their names. Sorting uses the value kept under SortRole, not the text shown.
class ListingItem : public QTableWidgetItem
{
public:
    static constexpr int SortRole = Qt::UserRole;

    ListingItem(const QString &text, const QVariant &key, bool folder, const QString &name)
        : QTableWidgetItem(text)
        , m_folder(folder)
        , m_name(name)
    {
        setData(SortRole, key);
    }

    bool operator<(const QTableWidgetItem &other) const override
    {
        const auto *item = dynamic_cast<const ListingItem *>(&other);
        if (!item)
            return QTableWidgetItem::operator<(other);
        // Qt sorts descending by asking the other way round: the direction keeps folders on top.
        const bool descending
            = tableWidget() && tableWidget()->horizontalHeader()->sortIndicatorOrder() == Qt::DescendingOrder;
        if (m_folder != item->m_folder)
            return m_folder != descending;
        const int byValue = compare(data(SortRole), item->data(SortRole));
        if (byValue != 0)
            return byValue < 0;
        const int byName = compare(m_name, item->m_name);
        return descending ? byName > 0 : byName < 0;
    }

private:
    static int compare(const QVariant &left, const QVariant &right)
    {
        if (left.userType() == QMetaType::QString) {
            const QString a = left.toString();
            const QString b = right.toString();
            const int folded = a.compare(b, Qt::CaseInsensitive);
            return folded != 0 ? folded : a.compare(b);
        }
        if (left.userType() == QMetaType::QDateTime) {
            const QDateTime a = left.toDateTime();
            const QDateTime b = right.toDateTime();
            return a < b ? -1 : b < a ? 1 : 0;
        }
        const qint64 a = left.toLongLong();
        const qint64 b = right.toLongLong();
        return a < b ? -1 : b < a ? 1 : 0;
    }

    bool m_folder;
    QString m_name;
};

} // namespace

FileBrowser::FileBrowser(MainConnection *connection, QWidget *parent)
    : QDialog(parent)
    , m_connection(connection)
{
    buildForm();
    m_print->setEnabled(false);
    QSettings settings;
    restoreGeometry(settings.value(GeometryKey).toByteArray());
    fitWindowOntoDesktop(this);
    m_table->sortByColumn(settings.value(SortColumnKey, 0).toInt(),
                          Qt::SortOrder(settings.value(SortDirectionKey, 0).toInt()));
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    connect(StyleManager::instance(), &StyleManager::themeChanged, this, &FileBrowser::themeChanged);
    connect(m_up, &QPushButton::clicked, this, &FileBrowser::navUp);
    connect(m_back, &QPushButton::clicked, this, &FileBrowser::navBack);
    connect(m_forwardButton, &QPushButton::clicked, this, &FileBrowser::navForward);
    connect(m_refresh, &QPushButton::clicked, this, &FileBrowser::refreshData);
    connect(m_view, &QPushButton::clicked, this, &FileBrowser::clickedView);
    connect(m_rename, &QPushButton::clicked, this, &FileBrowser::clickedRename);
    connect(m_copy, &QPushButton::clicked, this, &FileBrowser::clickedCopy);
    connect(m_delete, &QPushButton::clicked, this, &FileBrowser::clickedDelete);
    connect(m_download, &QPushButton::clicked, this, &FileBrowser::clickedDownload);
    connect(m_upload, &QPushButton::clicked, this, &FileBrowser::clickedUpload);
    connect(m_print, &QPushButton::clicked, this, &FileBrowser::clickedPrint);
    connect(m_table, &QTableWidget::cellActivated, this, &FileBrowser::cellDoubleClicked);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &FileBrowser::updateActions);

    updateNavigation();
    updateActions();
    if (connection) {
        connect(connection, &MainConnection::disconnected, this, &QObject::deleteLater);
        // The server chooses the start directory.
        listDirectory(QString());
    }
}

QPushButton *FileBrowser::addButton(QWidget *parent, const QString &name, const QString &text)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setIconSize(QSize(24, 24));
    button->setAutoDefault(false);
    if (!text.isEmpty()) {
        QFont font = button->font();
        font.setPointSize(9);
        button->setFont(font);
    }
    return button;
}

void FileBrowser::buildForm()
{
    setObjectName(QStringLiteral("FileBrowser"));
    setWindowTitle(QStringLiteral("Files"));
    // Room for a dozen rows.
    resize(720, 480);
    setSizeGripEnabled(true);
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(12, 12, 12, 12);

    auto *nav = new QHBoxLayout;
    nav->setObjectName(QStringLiteral("navLayout"));
    nav->setSpacing(8);
    m_back = addButton(this, QStringLiteral("buttonBack"), QString());
    m_forwardButton = addButton(this, QStringLiteral("buttonForward"), QString());
    m_up = addButton(this, QStringLiteral("buttonUp"), QString());
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("editPath"));
    m_path->setReadOnly(true);
    m_path->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    for (QWidget *widget : { static_cast<QWidget *>(m_back), static_cast<QWidget *>(m_forwardButton),
                             static_cast<QWidget *>(m_up), static_cast<QWidget *>(m_path) })
        nav->addWidget(widget);
    layout->addLayout(nav);

    auto *actionRow = new QWidget(this);
    actionRow->setObjectName(QStringLiteral("widget"));
    auto *actionLayout = new QHBoxLayout(actionRow);
    actionLayout->setContentsMargins(0, 0, 0, 0);
    auto *group = new QWidget(actionRow);
    group->setObjectName(QStringLiteral("actionsGroup"));
    auto *groupLayout = new QHBoxLayout(group);
    groupLayout->setContentsMargins(0, 0, 0, 0);
    m_view = addButton(group, QStringLiteral("buttonView"), QStringLiteral("View"));
    m_rename = addButton(group, QStringLiteral("buttonRename"), QStringLiteral("Rename"));
    m_copy = addButton(group, QStringLiteral("buttonCopy"), QStringLiteral("Copy"));
    m_delete = addButton(group, QStringLiteral("buttonDelete"), QStringLiteral("Delete"));
    m_download = addButton(group, QStringLiteral("buttonDownload"), QStringLiteral("Download"));
    m_print = addButton(group, QStringLiteral("buttonPrint"), QStringLiteral("Print"));
    for (QPushButton *button : { m_view, m_rename, m_copy, m_delete, m_download, m_print })
        groupLayout->addWidget(button);
    actionLayout->addWidget(group);
    m_upload = addButton(actionRow, QStringLiteral("buttonUpload"), QStringLiteral("Upload"));
    actionLayout->addWidget(m_upload);
    actionLayout->addStretch(1);
    m_refresh = addButton(actionRow, QStringLiteral("buttonRefresh"), QString());
    actionLayout->addWidget(m_refresh);
    layout->addWidget(actionRow);

    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("fileTable"));
    m_table->setHorizontalHeaderLabels({ QStringLiteral("Name"), QStringLiteral("Modified"),
                                         QStringLiteral("Type"), QStringLiteral("Size     "), QString() });
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setShowGrid(false);
    m_table->setSortingEnabled(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setMinimumSectionSize(64);
    m_table->horizontalHeader()->setDefaultSectionSize(128);
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);
}

int FileBrowser::progressUnits(qint64 value, qint64 total)
{
    int shift = 0;
    while ((total >> shift) > std::numeric_limits<int>::max())
        ++shift;
    return int(qBound<qint64>(0, value, total) >> shift);
}

void FileBrowser::done(int result)
{
    QSettings settings;
    settings.setValue(GeometryKey, saveGeometry());
    settings.setValue(SortColumnKey, m_table->horizontalHeader()->sortIndicatorSection());
    settings.setValue(SortDirectionKey, int(m_table->horizontalHeader()->sortIndicatorOrder()));
    QDialog::done(result);
}

void FileBrowser::listDirectory(const QString &directory)
{
    if (!m_connection)
        return;
    m_connection->files()->requestFileInfo(this, directory, false, QString(),
                                           [this, directory](const Menu::FileInfoData *listing, const QString &error) {
                                               listingArrived(directory, listing, error);
                                           });
}

void FileBrowser::refreshData()
{
    if (!m_history.isEmpty())
        listDirectory(currentPath());
}

void FileBrowser::listingArrived(const QString &directory, const Menu::FileInfoData *data, const QString &error)
{
    if (!error.isEmpty() || !data) {
        if (!m_history.isEmpty())
            m_history.removeLast();
        updateNavigation();
        FileMessageBox::showCritical(this, QStringLiteral("Could not access directory '%1'").arg(directory), error);
        if (!m_history.isEmpty())
            listDirectory(currentPath());
        return;
    }
    if (m_history.isEmpty()) {
        m_history.append(Latin1::toQString(data->pathname()));
        m_forward.clear();
    }
    updateNavigation();

    m_table->clearContents();
    m_table->setRowCount(0);
    m_table->setSortingEnabled(false);
    m_table->setRowCount(data->fileinfo_size());
    int row = 0;
    const QLocale locale;
    for (const auto &info : data->fileinfo()) {
        const bool folder = info.type() == Menu::FileInfoData::FileInfo::DIR;
        const QString nameText = Latin1::toQString(info.name());
        auto *name = new ListingItem(nameText, nameText, folder, nameText);
        name->setIcon(QIcon(folder ? FolderIcon : FileIcon));
        const QDateTime when(QDate::fromString(Latin1::toQString(info.date()), QStringLiteral("MM/dd/yyyy")),
                             QTime::fromString(Latin1::toQString(info.time()), Qt::TextDate), Qt::LocalTime);
        const QString typeText = TypeNames.value(int(info.type()), TypeNames.last());
        m_table->setItem(row, NameColumn, name);
        m_table->setItem(row, ModifiedColumn, new ListingItem(formatDateTime(when), when, folder, nameText));
        m_table->setItem(row, TypeColumn, new ListingItem(typeText, typeText, folder, nameText));
        // A negative size from the server must not shrink a batch total.
        const qint64 bytes = folder ? 0 : qMax(0, info.size());
        // Folders get an empty cell: rows without one would sort after all others.
        auto *size = new ListingItem(folder ? QString() : locale.formattedDataSize(bytes, 1), bytes, folder,
                                     nameText);
        if (!folder)
            size->setToolTip(QStringLiteral("%1 bytes").arg(locale.toString(bytes)));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(row, SizeColumn, size);
        ++row;
    }
    if (row > 0) {
        m_table->setSortingEnabled(true);
        m_table->resizeColumnsToContents();
        m_table->horizontalHeader()->setStretchLastSection(true);
    }
    updateActions();
}

void FileBrowser::cellDoubleClicked(int row, int col)
{
    Q_UNUSED(col)
    const Row entry = rowAt(row);
    if (entry.type == FileType) {
        view(entry);
        return;
    }
    if (entry.type != FolderType || m_history.isEmpty())
        return;
    const QString path = joinPath(currentPath(), entry.name);
    m_history.append(path);
    m_forward.clear();
    listDirectory(path);
    updateNavigation();
}

void FileBrowser::navBack()
{
    if (m_history.size() < 2)
        return;
    m_forward.append(m_history.takeLast());
    listDirectory(currentPath());
    updateNavigation();
}

void FileBrowser::navForward()
{
    if (m_forward.isEmpty())
        return;
    m_history.append(m_forward.takeLast());
    listDirectory(currentPath());
    updateNavigation();
}

void FileBrowser::navUp()
{
    if (!m_up->isEnabled())
        return;
    const QString path = currentPath();
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString parent = slash == 0 ? QStringLiteral("/") : path.left(slash);
    m_history.append(parent);
    m_forward.clear();
    listDirectory(parent);
    updateNavigation();
}

void FileBrowser::updateNavigation()
{
    const QString path = currentPath();
    m_path->setText(path);
    m_back->setEnabled(m_history.size() > 1);
    m_forwardButton->setEnabled(!m_forward.isEmpty());
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    m_up->setEnabled(slash > 0 || (slash == 0 && path.size() > 1));
}

QList<int> FileBrowser::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

FileBrowser::Row FileBrowser::rowAt(int row) const
{
    Row entry;
    if (const QTableWidgetItem *name = m_table->item(row, NameColumn))
        entry.name = name->text();
    if (const QTableWidgetItem *type = m_table->item(row, TypeColumn))
        entry.type = type->text();
    if (const QTableWidgetItem *size = m_table->item(row, SizeColumn))
        entry.size = size->data(ListingItem::SortRole).toLongLong();
    return entry;
}

QString FileBrowser::directoryPrefix() const
{
    return joinPath(currentPath(), QString());
}

bool FileBrowser::currentRowIsFile() const
{
    return m_table->currentRow() >= 0 && rowAt(m_table->currentRow()).type == FileType;
}

void FileBrowser::updateActions()
{
    const QList<int> rows = selectedRows();
    bool allFiles = !rows.isEmpty();
    for (const int row : rows)
        allFiles = allFiles && rowAt(row).type == FileType;
    const bool single = allFiles && rows.size() == 1;
    m_view->setEnabled(single);
    m_rename->setEnabled(single);
    m_copy->setEnabled(single);
    m_delete->setEnabled(allFiles);
    m_download->setEnabled(allFiles);
    m_print->setEnabled(allFiles && m_connection && !m_connection->printers().isEmpty());
    m_upload->setEnabled(true);
}

void FileBrowser::themeChanged()
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (QTableWidgetItem *name = m_table->item(row, NameColumn))
            name->setIcon(QIcon(rowAt(row).type == FolderType ? FolderIcon : FileIcon));
    }
}

void FileBrowser::clickedView()
{
    if (currentRowIsFile())
        view(rowAt(m_table->currentRow()));
}

void FileBrowser::view(const Row &entry)
{
    if (entry.size > MaxTransferSize) {
        auto *box = new FileMessageBox(QMessageBox::Critical, QStringLiteral("File Too Large"),
                                       QStringLiteral("File too big to download using ZU Client."), QString(), this);
        box->setStandardButtons(QMessageBox::Ok);
        openPrompt(box, this, [](QMessageBox *, int) {});
        return;
    }
    downloadAndView(entry.name, directoryPrefix() + entry.name);
}

void FileBrowser::clickedRename()
{
    if (currentRowIsFile())
        renamePrompt(directoryPrefix(), rowAt(m_table->currentRow()).name);
}

void FileBrowser::clickedCopy()
{
    if (currentRowIsFile())
        copyPrompt(directoryPrefix(), rowAt(m_table->currentRow()).name);
}

void FileBrowser::downloadAndView(const QString &displayName, const QString &remoteFilepath)
{
    if (!m_connection)
        return;
    m_connection->files()->requestFile(this, remoteFilepath, [this, displayName, remoteFilepath](
                                                                 const QByteArray &data, const QString &error) {
        if (!error.isEmpty()) {
            FileMessageBox::showCritical(this, QStringLiteral("Could not access file '%1'").arg(remoteFilepath),
                                         error);
            refreshData();
            return;
        }
        emit viewData(displayName, data);
    });
}

void FileBrowser::renamePrompt(const QString &path, const QString &source)
{
    openPrompt(new FileDialogRename(source, this), this, [this, path, source](FileDialogRename *dialog, int result) {
        if (result != QDialog::Accepted || !m_connection)
            return;
        const QString name = path + source;
        m_connection->files()->renameFile(this, name, path + dialog->destination(), [this, name](const QString &error) {
            if (!error.isEmpty())
                FileMessageBox::showCritical(this, QStringLiteral("Could not rename file '%1'").arg(name), error);
        });
        refreshData();
    });
}

void FileBrowser::copyPrompt(const QString &path, const QString &source)
{
    openPrompt(new FileDialogCopy(source, this), this, [this, path, source](FileDialogCopy *dialog, int result) {
        if (result != QDialog::Accepted || !m_connection)
            return;
        const QString name = path + source;
        m_connection->files()->copyFile(this, name, path + dialog->destination(), [this, name](const QString &error) {
            if (!error.isEmpty())
                FileMessageBox::showCritical(this, QStringLiteral("Could not copy file '%1'").arg(name), error);
        });
        refreshData();
    });
}

void FileBrowser::cancelBatch()
{
    m_cancelled = true;
}

#include "overlaygridlookup.h"

#include "gridlookupexport.h"
#include "gridlookupsortmodel.h"
#include "printtabledialog.h"
#include "tableviewnosearch.h"
#include "typeaheadfinder.h"

#include "files/localfiles.h"
#include "utils/formparts.h"
#include "utils/openprompt.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDebug>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace {

constexpr int RowIdRole = Qt::UserRole;
// Extra width per column beyond its contents, and around the table.
constexpr int ColumnPadding = 4;
constexpr int TablePadding = 24;
// Room the page keeps around the lookup for its own title, menu and status lines.
constexpr QSize PageReserve(144, 232);

} // namespace

OverlayGridLookup::OverlayGridLookup(const QString &title, QStandardItemModel *model,
                                     const QList<int> &hiddenColumns, QWidget *parent)
    : AbstractDraggableOverlay(parent)
    , m_model(model)
    , m_hiddenColumns(hiddenColumns)
{
    setObjectName(QStringLiteral("OverlayGridLookup"));
    buildForm();
    setFocusProxy(m_view);
    m_formTitle->setText(title);

    if (!m_model) {
        qWarning() << "OverlayGridLookup - no model given; showing an empty table";
        m_model = new QStandardItemModel;
    }
    QHeaderView *header = m_view->horizontalHeader();
    if (!m_model->horizontalHeaderItem(0))
        header->hide();
    header->setSortIndicator(-1, Qt::AscendingOrder);

    m_model->setParent(m_view);
    m_sortModel = new GridLookupSortModel(m_view);
    m_sortModel->setSortRole(m_model->sortRole());
    m_sortModel->setSourceModel(m_model);
    m_view->setModel(m_sortModel);
    for (int column : qAsConst(m_hiddenColumns)) {
        if (column < 0 || column >= m_model->columnCount())
            qWarning() << "OverlayGridLookup - hidden column out of range:" << column;
        else
            m_view->setColumnHidden(column, true);
    }

    m_recordCountLabel->setText(QStringLiteral("%1 records found").arg(m_model->rowCount()));

    m_view->selectRow(0);
    fitToContents();

    setDraggableBox(m_selectionBox);
    connect(m_cancelButton, &QPushButton::clicked, this, &OverlayGridLookup::rejected);
    connect(m_view, &QTableView::activated, this, &OverlayGridLookup::itemActivated);
    connect(m_okayButton, &QPushButton::clicked, this, &OverlayGridLookup::okayClicked);
    connect(m_printButton, &QPushButton::clicked, this, &OverlayGridLookup::printClicked);
    m_view->installEventFilter(this);
    m_finder = std::make_unique<TypeAheadFinder>(m_view);

    auto *copy = new QAction(QStringLiteral("Copy"), m_view);
    copy->setObjectName(QStringLiteral("copyAction"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &OverlayGridLookup::copyRows);
    auto *exportAction = new QAction(QStringLiteral("Export\u2026"), m_view);
    exportAction->setObjectName(QStringLiteral("exportAction"));
    connect(exportAction, &QAction::triggered, this, &OverlayGridLookup::exportRows);
    m_view->addActions({ copy, exportAction });
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);
}

OverlayGridLookup::~OverlayGridLookup() = default;

void OverlayGridLookup::buildForm()
{
    m_selectionBox = framedBox("selectionBox", this);
    auto *boxLayout = new QVBoxLayout(m_selectionBox);
    boxLayout->setObjectName(QStringLiteral("verticalLayout_2"));

    QHBoxLayout *headerLayout = addBoxHeader(m_selectionBox, boxLayout, &m_formTitle);
    QWidget *header = headerLayout->parentWidget();
    m_printButton = headerButton("printButton", QStringLiteral("theme:printer_status.svg"), header);
    headerLayout->addWidget(m_printButton);
    m_cancelButton
        = headerButton("cancelButton", QStringLiteral("theme:close-circle-outline_status.svg"), header);
    m_cancelButton->setShortcut(QKeySequence(Qt::Key_Escape));
    headerLayout->addWidget(m_cancelButton);

    m_sortLabel = new QLabel(QStringLiteral("(Click on column header to sort.)"), m_selectionBox);
    m_sortLabel->setObjectName(QStringLiteral("sortLabel"));
    m_sortLabel->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    boxLayout->addWidget(m_sortLabel);

    m_view = new TableViewNoSearch(m_selectionBox);
    m_view->setObjectName(QStringLiteral("tableView"));
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Several rows may be selected for copying; the answer is always the current row.
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSortingEnabled(true);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->verticalHeader()->hide();
    boxLayout->addWidget(m_view);

    auto *buttonBox = new QWidget(m_selectionBox);
    buttonBox->setObjectName(QStringLiteral("dialogButtonBox"));
    auto *buttonLayout = new QHBoxLayout(buttonBox);
    buttonLayout->setObjectName(QStringLiteral("horizontalLayout"));
    buttonLayout->setSpacing(8);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    m_recordCountLabel = new QLabel(buttonBox);
    m_recordCountLabel->setObjectName(QStringLiteral("recordCountLabel"));
    m_recordCountLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    buttonLayout->addWidget(m_recordCountLabel);
    buttonLayout->addSpacerItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_okayButton = dialogButton("okayButton", QStringLiteral("&OK"), buttonBox);
    m_okayButton->setDefault(true);
    buttonLayout->addWidget(m_okayButton);
    m_cancelButton2 = dialogButton("cancelButton_2", QStringLiteral("&Cancel"), buttonBox);
    connect(m_cancelButton2, &QPushButton::clicked, m_cancelButton, &QPushButton::click);
    buttonLayout->addWidget(m_cancelButton2);
    boxLayout->addWidget(buttonBox);
}

void OverlayGridLookup::fitToContents()
{
    QHeaderView *header = m_view->horizontalHeader();
    int total = 0;
    for (int column = 0; column < header->count(); ++column) {
        if (header->isSectionHidden(column))
            continue;
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        m_view->resizeColumnToContents(column);
        const int width = header->sectionSize(column) + ColumnPadding;
        header->resizeSection(column, width);
        total += width;
    }

    const QHeaderView *rows = m_view->verticalHeader();
    const int rowCount = m_model->rowCount();
    const int rowHeight = rowCount > 0 ? m_view->rowHeight(0) : 0;
    const QSize wanted((rows->isHidden() ? 0 : rows->width()) + total + TablePadding,
                       (header->isHidden() ? 0 : header->sizeHint().height()) + rowHeight * rowCount
                           + TablePadding);
    m_view->setMinimumSize(boundedByPage(wanted, PageReserve));
    m_selectionBox->adjustSize();
}

void OverlayGridLookup::resizeEvent(QResizeEvent *event)
{
    fitToContents();
    AbstractDraggableOverlay::resizeEvent(event);
}

int OverlayGridLookup::rowIdAt(const QModelIndex &index) const
{
    return index.sibling(index.row(), 0).data(RowIdRole).toInt();
}

void OverlayGridLookup::itemActivated(const QModelIndex &index)
{
    emit accepted(rowIdAt(index));
}

void OverlayGridLookup::okayClicked()
{
    const QModelIndex current = m_view->currentIndex();
    if (current.isValid())
        emit accepted(rowIdAt(current));
    else
        emit rejected();
}

QList<int> OverlayGridLookup::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        rows << index.row();
    return rows;
}

void OverlayGridLookup::copyRows()
{
    QGuiApplication::clipboard()->setText(GridLookupExport(m_view, selectedRows()).toTabSeparated());
}

void OverlayGridLookup::exportRows()
{
    QString name = m_formTitle->text().trimmed();
    for (QChar &c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char(' ') && c != QLatin1Char('-') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    }
    const QByteArray csv = GridLookupExport(m_view, selectedRows()).toCsv();
    LocalFiles::saveAs(this, (name.isEmpty() ? QStringLiteral("lookup") : name) + QStringLiteral(".csv"), csv);
}

void OverlayGridLookup::printClicked()
{
    // The page, and this overlay with it, may go while the dialog is open: it goes with them.
    auto *dialog = new PrintTableDialog(m_formTitle->text(), m_model, m_hiddenColumns, this);
    // Printed as the user sorted it.
    QVector<int> order;
    order.reserve(m_sortModel->rowCount());
    for (int row = 0; row < m_sortModel->rowCount(); ++row)
        order.append(m_sortModel->mapToSource(m_sortModel->index(row, 0)).row());
    dialog->setRowOrder(order);
    openPrompt(dialog, this, [](PrintTableDialog *, int) {});
}

bool OverlayGridLookup::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Copy)) {
            copyRows();
            return true;
        }
        const bool searching = m_finder->isSearching();
        switch (key->key()) {
        case Qt::Key_Return:
            okayClicked();
            return true;
        case Qt::Key_Space:
        case Qt::Key_O:
            if (searching)
                break;
            okayClicked();
            return true;
        case Qt::Key_C:
            if (searching || (key->modifiers() & Qt::ControlModifier))
                break;
            emit rejected();
            return true;
        case Qt::Key_Backspace:
            if (!searching)
                break;
            m_finder->backspace();
            return true;
        default:
            break;
        }
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint()
            && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            if (!m_finder->type(text))
                QApplication::beep();
            return true;
        }
    }
    return AbstractDraggableOverlay::eventFilter(watched, event);
}

void OverlayGridLookup::keyPressEvent(QKeyEvent *event)
{
    event->accept();
}

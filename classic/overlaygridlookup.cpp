#include "overlaygridlookup.h"

#include "formparts.h"
#include "gridlookupsortmodel.h"
#include "printtabledialog.h"
#include "tableviewnosearch.h"

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
}

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
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
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

void OverlayGridLookup::printClicked()
{
    // Guarded: the page, and this overlay with it, may go while the dialog runs.
    QPointer<PrintTableDialog> dialog
        = new PrintTableDialog(m_formTitle->text(), m_model, m_hiddenColumns, this);
    // Printed as the user sorted it.
    QVector<int> order;
    order.reserve(m_sortModel->rowCount());
    for (int row = 0; row < m_sortModel->rowCount(); ++row)
        order.append(m_sortModel->mapToSource(m_sortModel->index(row, 0)).row());
    dialog->setRowOrder(order);
    dialog->setModal(true);
    dialog->exec();
    delete dialog;
}

bool OverlayGridLookup::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Space:
        case Qt::Key_O:
        case Qt::Key_Return:
            okayClicked();
            return true;
        case Qt::Key_C:
            emit rejected();
            return true;
        default:
            break;
        }
    }
    return AbstractDraggableOverlay::eventFilter(watched, event);
}

void OverlayGridLookup::keyPressEvent(QKeyEvent *event)
{
    event->accept();
}

#include "tablelookupdialog.h"

#include "utils/windowfit.h"

#include <QDebug>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyle>
#include <QTreeView>

namespace {
constexpr QChar Tab(u'\t');
constexpr int MinimumSide = 20;
constexpr auto CodeFontFamily = "Source Code Pro";
} // namespace

int TableLookupDialog::columnCountFor(const QStringList &items)
{
    if (items.isEmpty())
        return 1;
    QString first = items.first();
    if (first.endsWith(Tab))
        first.chop(1);
    if (!first.contains(Tab))
        return 1;
    return first.split(Tab).size();
}

QStringList TableLookupDialog::partsOf(const QString &item)
{
    int end = item.size();
    while (end > 0 && item.at(end - 1) == Tab)
        --end;
    return item.left(end).split(Tab);
}

TableLookupDialog::TableLookupDialog(QWidget *anchor, const QStringList &items, const QString &currentValue,
                                     QWidget *parent)
    : QDialog(parent, Qt::Popup)
    , m_anchor(anchor)
    , m_initialValue(currentValue)
{
    setMinimumSize(MinimumSide, MinimumSide);
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);

    const int columns = columnCountFor(items);
    m_model = new QStandardItemModel(items.size(), columns, this);
    QVector<int> longest(columns, 0);
    QFont codeFont = font();
    codeFont.setFamily(QLatin1String(CodeFontFamily));
    int currentRow = -1;
    for (int row = 0; row < items.size(); ++row) {
        const QStringList parts = partsOf(items.at(row));
        // Parts beyond the first item's column count are dropped: the columns are fixed by then.
        if (parts.size() > columns)
            qWarning() << "TableLookupDialog - item" << row << "has" << parts.size() << "parts, table has"
                       << columns << "columns:" << items.at(row);
        for (int column = 0; column < qMin(columns, parts.size()); ++column) {
            auto *item = new QStandardItem(parts.at(column));
            item->setEditable(false);
            if (column == 0)
                item->setFont(codeFont);
            m_model->setItem(row, column, item);
            longest[column] = qMax(longest[column], parts.at(column).size());
        }
        if (currentRow < 0 && parts.first() == currentValue)
            currentRow = row;
    }

    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("dropdownComboBox"));
    m_view->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setAllColumnsShowFocus(true);
    m_view->setRootIsDecorated(false);
    m_view->setHeaderHidden(true);
    m_view->installEventFilter(this);
    m_view->setModel(m_model);
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view, 0, 0);
    if (currentRow >= 0)
        m_view->setCurrentIndex(m_model->index(currentRow, 0));

    const int charWidth = m_view->fontMetrics().horizontalAdvance(QLatin1Char('M')) + 2;
    QHeaderView *header = m_view->header();
    header->setStretchLastSection(false);
    for (int column = 0; column < columns; ++column) {
        header->setSectionResizeMode(column, QHeaderView::Fixed);
        m_view->resizeColumnToContents(column);
        const int wanted = charWidth * (longest.at(column) + 1);
        if (m_view->columnWidth(column) < wanted)
            m_view->setColumnWidth(column, wanted);
    }

    m_view->ensurePolished();
    resize(sizeHint());
    fitWindowOntoDesktop(this);
    placeUnderAnchor();
    connect(m_view, &QTreeView::activated, this, &TableLookupDialog::p_itemSelected);
    connect(m_view, &QTreeView::clicked, this, &TableLookupDialog::p_itemSelected);
    m_view->setFocus(Qt::OtherFocusReason);
}

QSize TableLookupDialog::sizeHint() const
{
    int width = style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 5;
    for (int column = 0; column < m_model->columnCount(); ++column)
        width += m_view->columnWidth(column);
    const int rowHeight = qMax(0, m_view->sizeHintForRow(0));
    // The view's own frame (the style sheet's border and padding), so that every row fits.
    const QMargins frame = m_view->contentsMargins();
    int height = m_model->rowCount() * rowHeight + frame.top() + frame.bottom();
    if (const QScreen *shown = screen())
        height = qMin(height, shown->availableGeometry().height());
    return QSize(width, height);
}

void TableLookupDialog::placeUnderAnchor()
{
    if (!m_anchor)
        return;
    QPoint at = m_anchor->mapToGlobal(QPoint(0, m_anchor->height()));
    if (const QScreen *shown = screen()) {
        const QRect available = shown->availableGeometry();
        at.setX(qMin(at.x(), available.x() + available.width() - width()));
        at.setY(qMin(at.y(), available.y() + available.height() - height()));
    }
    move(at);
}

void TableLookupDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    placeUnderAnchor();
}

bool TableLookupDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        qDebug() << "TableLookupDialog::eventFilter key:" << keyEvent;
        if (keyEvent->key() == Qt::Key_Return) {
            const QModelIndex current = m_view->currentIndex();
            if (current.isValid())
                p_itemSelected(current);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TableLookupDialog::p_itemSelected(const QModelIndex &index)
{
    report(index.sibling(index.row(), 0).data().toString());
}

void TableLookupDialog::reject()
{
    QDialog::reject();
    report(m_initialValue);
}

void TableLookupDialog::report(const QString &value)
{
    if (m_reported)
        return;
    m_reported = true;
    emit itemSelected(value);
}

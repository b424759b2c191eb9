#include "pagegrid.h"

#include "savedwindowstate.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDebug>
#include <QGridLayout>
#include <QPushButton>
#include <QStackedWidget>

#include <utility>

namespace {

constexpr auto MultiElementProperty = "_multi_element";
// Rows below the last page start all belong to the last page.
constexpr int EndlessRows = 1 << 24;

bool isElementPiece(const QWidget *widget)
{
    return widget->property(MultiElementProperty).toBool();
}

} // namespace

PageGrid::PageGrid(QStackedWidget *pageStack, QWidget *buttonBox, SavedStateSource savedState,
                   QWidget *focusFallback, QWidget *parkingParent, QObject *parent)
    : QObject(parent)
    , m_pageStack(pageStack)
    , m_buttonBox(buttonBox)
    , m_buttons(new QButtonGroup(this))
    , m_savedState(std::move(savedState))
    , m_focusFallback(focusFallback)
    , m_parking(new QWidget(parkingParent))
{
    m_parking->setObjectName(QStringLiteral("displacedWidgets"));
    m_parking->hide();
    m_buttons->setExclusive(true);
    connect(m_buttons, &QButtonGroup::idClicked, m_pageStack, &QStackedWidget::setCurrentIndex);
}

QWidget *PageGrid::page(int index) const
{
    return m_pages.value(index);
}

QGridLayout *PageGrid::pageLayout(int index) const
{
    QWidget *widget = page(index);
    return widget ? static_cast<QGridLayout *>(widget->layout()) : nullptr;
}

int PageGrid::currentPage() const
{
    return m_pages.indexOf(m_pageStack->currentWidget());
}

int PageGrid::pageOf(const QWidget *widget) const
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        const int index = m_pages.indexOf(const_cast<QWidget *>(w));
        if (index >= 0)
            return index;
    }
    return -1;
}

bool PageGrid::setPageBreaks(QList<int> starts)
{
    if (starts.isEmpty() || starts.first() != 0)
        starts.prepend(0);
    if (starts != m_pageStarts) {
        int common = 0;
        while (common < starts.size() && common < m_pageStarts.size()
               && starts.at(common) == m_pageStarts.at(common))
            ++common;
        while (m_pages.size() > common) {
            const int last = m_pages.size() - 1;
            qDebug() << "Deleting page #" << last;
            clearArea(QRect(0, m_pageStarts.at(last), AllColumns, AllRows));
            delete m_pages.takeLast();
            m_pageStarts.removeLast();
        }
        while (m_pages.size() < starts.size()) {
            qDebug() << "Creating page#" << m_pages.size() << " @ row#" << starts.at(m_pages.size());
            m_pages.append(addPage());
            m_pageStarts.append(starts.at(m_pages.size() - 1));
        }
        m_pageStarts = starts;
        syncButtons();
    }
    return m_pages.size() > 1;
}

QWidget *PageGrid::addPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageContents"));
    auto *grid = new QGridLayout(page);
    grid->setHorizontalSpacing(0);
    grid->setRowStretch(StretchRow, 1);
    if (m_columnWidth > 0) {
        for (int column = 0; column < SizedColumns; ++column)
            grid->setColumnMinimumWidth(column, m_columnWidth);
    }
    m_pageStack->addWidget(page);
    return page;
}

void PageGrid::syncButtons()
{
    const QList<QAbstractButton *> buttons = m_buttons->buttons();
    for (QAbstractButton *button : buttons) {
        if (m_buttons->id(button) >= m_pages.size()) {
            m_buttons->removeButton(button);
            delete button;
        }
    }
    for (int i = 0; i < m_pages.size(); ++i) {
        if (m_buttons->button(i))
            continue;
        auto *button = new QPushButton(QStringLiteral("Screen %1").arg(i + 1), m_buttonBox);
        button->setObjectName(QStringLiteral("formPageButton"));
        button->setCheckable(true);
        button->setChecked(i == 0);
        m_buttons->addButton(button, i);
        if (m_buttonBox->layout())
            m_buttonBox->layout()->addWidget(button);
    }
    // The page shown may have gone with the deleted ones.
    if (QAbstractButton *shown = m_buttons->button(qMax(0, currentPage())))
        shown->setChecked(true);
}

void PageGrid::showPage(int index)
{
    if (QAbstractButton *button = m_buttons->button(index)) {
        if (index != currentPage())
            button->click();
    }
}

void PageGrid::place(QWidget *widget, int row, int column, int rowSpan, int columnSpan)
{
    int index = 0;
    for (int i = 0; i < m_pageStarts.size(); ++i) {
        if (m_pageStarts.at(i) <= row)
            index = i;
    }
    QWidget *target = page(index);
    if (!target)
        return;
    widget->setParent(target);
    pageLayout(index)->addWidget(widget, row - m_pageStarts.value(index), column, rowSpan, columnSpan);
}

void PageGrid::clearArea(const QRect &area)
{
    SavedWindowState *saved = m_savedState ? m_savedState() : nullptr;
    for (int i = 0; i < m_pages.size(); ++i) {
        const int start = m_pageStarts.value(i);
        const int end = i + 1 < m_pageStarts.size() ? m_pageStarts.at(i + 1) : EndlessRows;
        const QRect inPage = area.intersected(QRect(area.x(), start, area.width(), end - start));
        if (inPage.isEmpty())
            continue;
        const QRect relative = inPage.translated(0, -start);

        // Collected first: deleting a multi-element field takes its pieces out of the same grid.
        struct Doomed
        {
            QPointer<QWidget> widget;
            int row, column, rowSpan, columnSpan;
        };
        QVector<Doomed> doomed;
        QGridLayout *grid = pageLayout(i);
        for (int index = 0; index < grid->count(); ++index) {
            QWidget *widget = grid->itemAt(index)->widget();
            if (!widget || isElementPiece(widget))
                continue;
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
            if (relative.contains(QRect(column, row, qMax(1, columnSpan), qMax(1, rowSpan))))
                doomed.append({ widget, row, column, rowSpan, columnSpan });
        }

        for (const Doomed &entry : std::as_const(doomed)) {
            QWidget *widget = entry.widget;
            if (!widget)
                continue;
            QWidget *focused = QApplication::focusWidget();
            if (m_focusFallback && focused && (focused == widget || widget->isAncestorOf(focused)))
                m_focusFallback->setFocus(Qt::OtherFocusReason);
            if (saved && saved->widgets.contains(widget)) {
                grid->removeWidget(widget);
                widget->hide();
                widget->setParent(m_parking);
                saved->displaced.append(
                    { widget, entry.row + start, entry.column, entry.rowSpan, entry.columnSpan });
            } else {
                delete widget;
            }
        }
    }
}

QList<QWidget *> PageGrid::placedWidgets() const
{
    QList<QWidget *> widgets;
    for (int i = 0; i < m_pages.size(); ++i) {
        QGridLayout *grid = pageLayout(i);
        for (int index = 0; index < grid->count(); ++index) {
            QWidget *widget = grid->itemAt(index)->widget();
            if (widget && !isElementPiece(widget))
                widgets.append(widget);
        }
    }
    return widgets;
}

void PageGrid::setColumnWidth(int width)
{
    m_columnWidth = width;
    for (int i = 0; i < m_pages.size(); ++i) {
        QGridLayout *grid = pageLayout(i);
        for (int column = 0; column < SizedColumns; ++column)
            grid->setColumnMinimumWidth(column, width);
    }
}

int PageGrid::minimumWidth(int page) const
{
    QGridLayout *grid = pageLayout(page);
    return grid ? grid->minimumSize().width() : 0;
}

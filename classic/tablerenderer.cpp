#include "tablerenderer.h"

#include "pageprepare.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QStandardItemModel>

namespace {
constexpr int MeasureImageSide = 10;
constexpr double CentimetresPerMetre = 100.0;
constexpr double CentimetresPerInch = 2.54;
const QColor HeaderFill(216, 216, 216, 255);
} // namespace

// Column geometry of one rendering, and where the table starts on the current page.
class TableRenderer::Layout
{
public:
    QVector<qreal> columnWidths;
    QVector<int> textWidths;
    QVector<int> stretches;
    qreal tableWidth = 0;
    int headerTextHeight = 0;
    int headerRowHeight = 0;
    qreal pageTop = 0;
};

TableRenderer::TableRenderer(QPainter *painter, QPrinter *printer)
    : m_painter(painter)
    , m_printer(printer)
    , m_pen(painter->pen())
    , m_headerFont(painter->font())
    , m_contentFont(painter->font())
    , m_headerColor(painter->pen().color())
    , m_contentColor(painter->pen().color())
{ }

bool TableRenderer::check(const QStandardItemModel *model, const QVector<int> &columnStretch)
{
    const auto fail = [this](const QString &message) {
        m_errorMessage = message;
        return false;
    };
    if (!model)
        return fail(QStringLiteral("no model"));
    if (columnStretch.size() != model->columnCount())
        return fail(QStringLiteral("Different columns count in model and in columnStretch"));
    if (!m_printer || !m_printer->isValid())
        return fail(QStringLiteral("printer.isValid() == false"));
    if (!m_painter->isActive())
        return fail(QStringLiteral("painter.isActive() == false"));
    if (m_painter->viewport().width() - m_pageRightMargin - m_pageLeftMargin <= 0)
        return fail(QStringLiteral("wrong table width"));
    qint64 sum = 0;
    for (int column = 0; column < columnStretch.size(); ++column) {
        const int stretch = columnStretch.at(column);
        if (stretch < 0)
            return fail(
                QStringLiteral("wrong column stretch, columnt: %1 stretch: %2").arg(column).arg(stretch));
        sum += stretch;
    }
    if (sum <= 0)
        return fail(QStringLiteral("wrong stretch"));
    return true;
}

qreal TableRenderer::translationY() const
{
    return m_painter->transform().dy();
}

int TableRenderer::textHeight(QPainter &measure, const QString &text, int width, int alignment) const
{
    return measure.boundingRect(QRect(0, 0, width, m_maxRowHeight), alignment, text).height();
}

void TableRenderer::startPage()
{
    const QTransform current = m_painter->transform();
    m_painter->translate(-current.dx(), -current.dy());
    if (m_pagePreparer) {
        m_pagePreparer->preparePage(m_painter);
        m_painter->translate(0, m_cellBottomInset);
    }
    m_painter->translate(m_pageLeftMargin, m_pageTopMargin);
}

void TableRenderer::drawRule(qreal y, qreal width) const
{
    m_painter->drawLine(QPointF(0, y), QPointF(width, y));
}

void TableRenderer::drawVerticalRules(const Layout &layout, qreal bottom) const
{
    const qreal height = bottom - layout.pageTop;
    const qreal top = layout.pageTop - translationY();
    qreal x = 0;
    m_painter->drawLine(QPointF(x, top), QPointF(x, top + height));
    for (qreal width : layout.columnWidths) {
        x += width;
        m_painter->drawLine(QPointF(x, top), QPointF(x, top + height));
    }
}

void TableRenderer::drawHeaderRow(const Layout &layout, const QStandardItemModel &model) const
{
    m_painter->save();
    m_painter->setPen(m_headerColor);
    m_painter->setFont(m_headerFont);
    m_painter->fillRect(QRectF(0, 0, layout.tableWidth, layout.headerRowHeight), HeaderFill);
    for (int column = 0; column < layout.columnWidths.size(); ++column) {
        if (const QStandardItem *item = model.horizontalHeaderItem(column)) {
            m_painter->drawText(
                QRect(m_cellLeftInset, m_cellTopInset, layout.textWidths.at(column), layout.headerTextHeight),
                int(item->textAlignment()), item->text());
        }
        m_painter->translate(layout.columnWidths.at(column), 0);
    }
    m_painter->restore();
    drawRule(0, layout.tableWidth);
    drawRule(layout.headerRowHeight, layout.tableWidth);
    m_painter->translate(0, layout.headerRowHeight);
}

void TableRenderer::drawRow(const Layout &layout, const QStandardItemModel &model, int row, int height) const
{
    m_painter->save();
    m_painter->setPen(m_contentColor);
    for (int column = 0; column < layout.columnWidths.size(); ++column) {
        if (const QStandardItem *item = model.item(row, column)) {
            m_painter->drawText(QRect(m_cellLeftInset, m_cellTopInset, layout.textWidths.at(column), height),
                                int(item->textAlignment()), item->text());
        }
        m_painter->translate(layout.columnWidths.at(column), 0);
    }
    m_painter->restore();
    const int rowHeight = height + m_cellTopInset + m_cellBottomInset;
    drawRule(rowHeight, layout.tableWidth);
    m_painter->translate(0, rowHeight);
}

bool TableRenderer::renderTable(QStandardItemModel *model, const QVector<int> &columnStretch)
{
    if (!check(model, columnStretch))
        return false;

    Layout layout;
    layout.stretches = columnStretch;
    layout.tableWidth = m_painter->viewport().width() - m_pageRightMargin - m_pageLeftMargin;
    qint64 stretchSum = 0;
    for (int stretch : columnStretch)
        stretchSum += stretch;
    for (int stretch : columnStretch) {
        const qreal width = stretch * layout.tableWidth / stretchSum;
        layout.columnWidths.append(width);
        layout.textWidths.append(qMax(0, int(width - m_cellRightInset - m_cellLeftInset)));
    }

    m_painter->save();
    // Text is measured on a tiny image of the printer's resolution, so that fonts given in points
    // measure as they will print.
    QImage measureImage(MeasureImageSide, MeasureImageSide, QImage::Format_RGB32);
    const int dotsPerMetreX = int(m_printer->logicalDpiX() * CentimetresPerMetre / CentimetresPerInch);
    const int dotsPerMetreY = int(m_printer->logicalDpiY() * CentimetresPerMetre / CentimetresPerInch);
    measureImage.setDotsPerMeterX(dotsPerMetreX);
    measureImage.setDotsPerMeterY(dotsPerMetreY);
    QPainter measure(&measureImage);

    startPage();

    const auto cellsHeight = [&](int row, bool header) {
        int height = 0;
        for (int column = 0; column < layout.columnWidths.size(); ++column) {
            const QStandardItem *item
                = header ? model->horizontalHeaderItem(column) : model->item(row, column);
            if (!item || layout.stretches.at(column) == 0)
                continue;
            const int measured
                = textHeight(measure, item->text(), layout.textWidths.at(column), int(item->textAlignment()));
            if (measured > height)
                height = qMin(measured, m_maxRowHeight);
        }
        return height;
    };
    measure.setFont(m_headerFont);
    layout.headerTextHeight = cellsHeight(-1, true);
    layout.headerRowHeight = layout.headerTextHeight + m_cellBottomInset + m_cellTopInset;
    const bool hasHeaderRow = layout.headerTextHeight != 0;

    m_painter->setPen(m_pen);
    m_painter->setFont(m_contentFont);
    measure.setFont(m_contentFont);
    layout.pageTop = translationY();
    bool headerPending = hasHeaderRow;
    if (!hasHeaderRow)
        drawRule(0, layout.tableWidth);

    const qreal pageBottom = m_painter->viewport().height() - m_pageBottomMargin;
    const int rowCount = model->rowCount();
    int rowsOnPage = 0;
    qreal lastRowBottom = 0;
    bool ok = true;
    for (int row = 0; row < rowCount; ++row) {
        const int height = cellsHeight(row, false);
        // A row taller than the room left moves on; on a page of its own it is drawn and cut.
        if (rowsOnPage > 0 && translationY() + height + m_cellTopInset + m_cellBottomInset > pageBottom) {
            drawVerticalRules(layout, translationY());
            if (!m_printer->newPage()) {
                m_errorMessage = QStringLiteral("printer.newPage() == false");
                ok = false;
                break;
            }
            startPage();
            layout.pageTop = translationY();
            rowsOnPage = 0;
            headerPending = hasHeaderRow;
            if (!hasHeaderRow)
                drawRule(0, layout.tableWidth);
        }
        if (headerPending) {
            drawHeaderRow(layout, *model);
            headerPending = false;
        }
        drawRow(layout, *model, row, height);
        ++rowsOnPage;
        lastRowBottom = translationY();
    }
    if (ok) {
        // An empty table still shows its header row.
        if (headerPending)
            drawHeaderRow(layout, *model);
        drawVerticalRules(layout, translationY());
    }

    measure.end();
    m_painter->restore();
    m_painter->translate(0, lastRowBottom);
    return ok;
}

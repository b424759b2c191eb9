#pragma once

#include <QColor>
#include <QFont>
#include <QPen>
#include <QString>
#include <QVector>

class PagePrepare;
class QPainter;
class QPrinter;
class QStandardItemModel;

// Prints an item model as a ruled table, page after page: each column gets a share of the page
// width in proportion to its stretch, a grey header row with the header items' texts opens the
// table on every page, every row and column boundary is ruled, and a page preparer draws above
// the table on each page. Texts keep their line breaks and are not wrapped; a row is as high as
// its tallest cell, at most the maximum row height, and a row that does not fit moves to the next
// page unless it is the first on its page, where it is drawn (and cut) rather than looping.
//
// Every printed column needs a horizontal header item and every cell an item.
class TableRenderer
{
public:
    TableRenderer(QPainter *painter, QPrinter *printer);
    Q_DISABLE_COPY(TableRenderer)

    void setPagePreparer(PagePrepare *preparer) { m_pagePreparer = preparer; }
    void setPen(const QPen &pen) { m_pen = pen; }
    void setHeaderFont(const QFont &font) { m_headerFont = font; }

    // False, with errorMessage() saying why, when the model, the stretches or the printer cannot
    // make a table; nothing is drawn then.
    bool renderTable(QStandardItemModel *model, const QVector<int> &columnStretch);
    QString errorMessage() const { return m_errorMessage; }

private:
    class Layout;

    bool check(const QStandardItemModel *model, const QVector<int> &columnStretch);
    int textHeight(QPainter &measure, const QString &text, int width, int alignment) const;
    void startPage();
    void drawVerticalRules(const Layout &layout, qreal bottom) const;
    void drawHeaderRow(const Layout &layout, const QStandardItemModel &model) const;
    void drawRow(const Layout &layout, const QStandardItemModel &model, int row, int height) const;
    void drawRule(qreal y, qreal width) const;
    qreal translationY() const;

    QPainter *m_painter;
    QPrinter *m_printer;
    PagePrepare *m_pagePreparer = nullptr;
    QPen m_pen;
    QFont m_headerFont;
    QFont m_contentFont;
    QColor m_headerColor;
    QColor m_contentColor;
    int m_cellTopInset = 5;
    int m_cellBottomInset = 5;
    int m_cellLeftInset = 7;
    int m_cellRightInset = 5;
    int m_pageTopMargin = 0;
    int m_pageBottomMargin = 0;
    int m_pageLeftMargin = 0;
    int m_pageRightMargin = 0;
    int m_maxRowHeight = 1000;
    QString m_errorMessage = QStringLiteral("No error");
};

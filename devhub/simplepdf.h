#pragma once

#include <QByteArray>
#include <QVector>

// A PDF written by hand: A4 pages of text and lines in the two standard Helvetica fonts ("F1"
// regular, "F2" bold), a Title in the document information, exact cross-reference offsets. The hub
// has no GUI library, so it cannot use a painter-based writer.
class SimplePdf
{
public:
    static constexpr int PageWidth = 595; // A4 in points
    static constexpr int PageHeight = 842;

    // Content-stream operators that show text at (x, y) and draw a horizontal rule.
    static QByteArray text(const char *font, int size, int x, int y, const QByteArray &text);
    static QByteArray rule(int x1, int x2, int y);

    void addPage(const QByteArray &content) { m_pages.append(content); }
    QByteArray document(const QByteArray &title) const;

private:
    QVector<QByteArray> m_pages;
};

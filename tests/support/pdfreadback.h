#pragma once

#include <QImage>
#include <QString>
#include <QVector>

#include <memory>

class QPdfDocument;
class QPrinter;

// Reads back a PDF that code under test printed: its pages, their text, and what is drawn on a
// page rendered to an image (the vertical rules of a table, the grey of a header row).
class PdfReadback
{
public:
    explicit PdfReadback(const QString &fileName);
    ~PdfReadback();

    // The printer whose output is read back: a PDF file, A4, at screen resolution as the table
    // print dialog uses it.
    static std::unique_ptr<QPrinter> printerTo(const QString &fileName);

    bool isLoaded() const;
    int pageCount() const;
    // A page's text without any white space: the PDF reader breaks lines between the glyphs of
    // some texts (those drawn far right, for one), so only the order of the characters is sure.
    QString text(int page) const;
    // The whole document's text so, page after page.
    QString allText() const;
    // A text as text() would give it.
    static QString compact(QString text);
    // On white, as printed on paper.
    QImage render(int page) const;

    // x positions (in pixels of render()) of the vertical lines on a page, left to right: the
    // columns whose longest dark run reaches at least 90 % of the longest on the page.
    QVector<int> verticalRules(int page) const;
    // Pixels of a colour within a small tolerance.
    int pixelsOf(int page, const QColor &colour) const;

private:
    std::unique_ptr<QPdfDocument> m_document;
};

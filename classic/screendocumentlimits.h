#pragma once

#include <QList>
#include <QString>

class QByteArray;
class QXmlStreamReader;

// What a screen document from the server may hold before anything is built from it. A document
// nested tens of thousands deep crashes the loader; a grid cell a hundred million rows down makes
// a grid layout allocate gigabytes; every page break adds a page; destroying sibling widgets takes
// time growing with the square of their number (100,000 labels: 13 s), where real screens have
// some hundreds.
class ScreenDocumentLimits
{
public:
    // Rows, columns and spans on the character grid, and where a screen may be placed.
    static constexpr int MaxPosition = 999;
    static constexpr int MaxDepth = 64;
    static constexpr int MaxElements = 100000;
    static constexpr int MaxWidgets = 4000;
    static constexpr int MaxBytes = 16 * 1024 * 1024;
    static constexpr int MaxBreaks = 32;
    // What a label or field shows: no row of the grid holds more characters, and one text wider
    // than that only makes the page wide and slow to paint.
    static constexpr int MaxShownText = MaxPosition + 1;

    // The text cut to MaxShownText characters, with a warning naming what showed it.
    static QString shownText(const QString &text, const QString &what);

    // Empty when the document keeps the limits; otherwise why it does not.
    static QString check(const QByteArray &document);
    // Page breaks written "5,10,20": at most MaxBreaks, ascending, each within the grid.
    static bool parseBreaks(const QString &text, QList<int> *breaks, QString *error);
    static bool withinGrid(int value) { return value >= 0 && value <= MaxPosition; }

    // The same checks element by element, for a reader that builds as it reads.
    class Tracker
    {
    public:
        // Call at each start element; empty while the document keeps the limits.
        QString startElement(const QXmlStreamReader &reader);
        void endElement() { --m_depth; }
        static QString readerError(const QXmlStreamReader &reader);

    private:
        int m_depth = 0;
        int m_elements = 0;
        int m_widgets = 0;
    };
};

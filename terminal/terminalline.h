#pragma once

#include "terminalformat.h"

#include <QString>

#include <vector>

// One line of cells. Lines are ragged: a line holds only the cells written so far, and missing
// cells are blanks in the default format. Beside its cells a line keeps what belongs to all of
// it: its DEC size (double width, or a half of double height), whether its text runs on into the
// next line because the margin was reached, and the characters that carry combining marks, which
// do not fit in a cell's one character.
//
// The vector's own clear() and swap() are hidden here so that these go with the cells.
class TerminalLine : public std::vector<TerminalCell>
{
public:
    enum class Size : quint8 { Single, DoubleWidth, DoubleHeightTop, DoubleHeightBottom };
    // A base character takes at most this many UTF-16 units of marks; further marks are dropped.
    static constexpr int MaxClusterLength = 16;
    // Clusters a line holds before those no cell uses any more are dropped.
    static constexpr int MaxClusters = 256;

    Size lineSize = Size::Single;
    bool wrapped = false;

    bool isDoubleWidth() const { return lineSize != Size::Single; }
    // Back to an empty single-size line.
    void clear();
    void swap(TerminalLine &other);

    // Puts a combining mark on the character of the cell at `column`, which must exist.
    void addMark(int column, char32_t mark);
    // The cell's character with its marks; nothing for the second half of a wide character.
    void appendText(QString &text, const TerminalCell &cell) const;
    QString text() const;

private:
    void compactClusters();

    std::vector<QString> m_clusters;
};

#pragma once

#include "terminal/terminalline.h"

#include <QString>

// A row as the grid tests write it: '.' for a missing cell or a blank in the default background,
// '_' for a blank in another background, a wide character once for its two cells, a character
// with its marks as it is.
inline QString shownRow(const TerminalLine &line, int columns)
{
    QString text;
    for (int column = 0; column < columns; ++column) {
        if (column >= int(line.size())) {
            text += QLatin1Char('.');
            continue;
        }
        const TerminalCell &cell = line[size_t(column)];
        if (cell.isBlank())
            text += cell.format.background.isDefault() ? QLatin1Char('.') : QLatin1Char('_');
        else
            line.appendText(text, cell);
    }
    return text;
}

#pragma once

#include "terminalline.h"

#include <QString>

#include <vector>

// The main screen's lines, oldest first: the scroll-back, then the screen's rows at the end. The
// buffer holds at most MaxLines; from then on each new line pushes out the oldest. The lines live
// in a ring whose slots keep their storage, so a terminal that scrolls for ever stops allocating
// once every slot has been used. droppedLines() counts the lines that have left at the front, so
// that a line keeps one number (index + droppedLines()) while the lines before it go.
class TerminalBuffer
{
public:
    static constexpr int Columns = 80;
    static constexpr int LastColumn = Columns - 1;
    static constexpr int InitialLines = 24;
    static constexpr int MaxLines = 800;

    TerminalBuffer();

    int lineCount() const { return m_count; }
    int lastLine() const { return m_count - 1; }
    TerminalLine &line(int index) { return m_slots[size_t(slot(index))]; }
    const TerminalLine &line(int index) const { return m_slots[size_t(slot(index))]; }
    // The line's characters as text, for logs and tests.
    QString lineText(int index) const;

    qint64 droppedLines() const { return m_dropped; }

    // Appends an empty line; when full, the oldest line goes first. Returns whether it went.
    bool addLine();
    void removeLastLine();
    // Drops the oldest lines, at most all but `keep`.
    void dropOldest(int count, int keep);
    // Back to `lines` empty lines.
    void reset(int lines = InitialLines);

private:
    int slot(int index) const { return m_first + index < MaxLines ? m_first + index : m_first + index - MaxLines; }

    std::vector<TerminalLine> m_slots;
    int m_first = 0;
    int m_count = 0;
    qint64 m_dropped = 0;
};

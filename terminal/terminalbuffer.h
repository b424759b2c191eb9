#pragma once

#include "terminalformat.h"

#include <QString>

#include <vector>

using TerminalLine = std::vector<TerminalCell>;

// The terminal's lines, oldest first. Lines are ragged: a line holds only the cells written so
// far. The buffer starts with InitialLines empty lines and grows to MaxLines; from then on each new
// line pushes out the oldest. The lines live in a ring whose slots keep their storage, so a
// terminal that scrolls for ever stops allocating once every slot has been used.
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
    TerminalLine &line(int index) { return m_slots[slot(index)]; }
    const TerminalLine &line(int index) const { return m_slots[slot(index)]; }
    // The line's characters as text (Latin-1), for logs and tests.
    QString lineText(int index) const;

    // Appends an empty line; when full, the oldest line goes first. Returns whether it went.
    bool addLine();
    // Back to InitialLines empty lines.
    void reset();

private:
    int slot(int index) const { return m_first + index < MaxLines ? m_first + index : m_first + index - MaxLines; }

    std::vector<TerminalLine> m_slots;
    int m_first = 0;
    int m_count = 0;
};

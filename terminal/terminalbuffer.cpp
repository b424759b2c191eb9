#include "terminalbuffer.h"

TerminalBuffer::TerminalBuffer()
{
    m_slots.reserve(MaxLines);
    reset();
}

QString TerminalBuffer::lineText(int index) const
{
    const TerminalLine &cells = line(index);
    QString text(int(cells.size()), Qt::Uninitialized);
    for (int i = 0; i < int(cells.size()); ++i)
        text[i] = cells[size_t(i)].toQChar();
    return text;
}

bool TerminalBuffer::addLine()
{
    if (m_count < MaxLines) {
        if (m_count < int(m_slots.size()))
            m_slots[size_t(slot(m_count))].clear();
        else
            m_slots.emplace_back();
        ++m_count;
        return false;
    }
    // The oldest slot becomes the newest line.
    m_slots[size_t(m_first)].clear();
    m_first = m_first + 1 < MaxLines ? m_first + 1 : 0;
    return true;
}

void TerminalBuffer::reset()
{
    m_first = 0;
    m_count = 0;
    for (int i = 0; i < InitialLines; ++i)
        addLine();
}

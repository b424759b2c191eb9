#include "terminalbuffer.h"

#include <algorithm>

TerminalBuffer::TerminalBuffer()
{
    m_slots.reserve(MaxLines);
    reset();
}

QString TerminalBuffer::lineText(int index) const
{
    return line(index).text();
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
    ++m_dropped;
    return true;
}

void TerminalBuffer::removeLastLine()
{
    if (m_count > 0)
        --m_count;
}

void TerminalBuffer::dropOldest(int count, int keep)
{
    count = std::min(count, m_count - keep);
    if (count <= 0)
        return;
    // Only the ring's start moves when it is full; otherwise the slots are rotated into place.
    if (int(m_slots.size()) == MaxLines) {
        m_first = (m_first + count) % MaxLines;
    } else {
        std::rotate(m_slots.begin(), m_slots.begin() + count, m_slots.begin() + m_count);
    }
    m_count -= count;
    m_dropped += count;
}

void TerminalBuffer::reset(int lines)
{
    m_dropped += m_count;
    m_first = 0;
    m_count = 0;
    for (int i = 0; i < std::min(lines, int(MaxLines)); ++i)
        addLine();
}

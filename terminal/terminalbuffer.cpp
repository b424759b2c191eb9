#include "terminalbuffer.h"

#include <algorithm>

namespace {

// DEC special graphics for the bytes 0x5F..0x7E.
constexpr char16_t LineDrawing[32] = {
    0x00A0, 0x25C6, 0x2592, 0x2409, 0x240C, 0x240D, 0x240A, 0x00B0, 0x00B1, 0x2424, 0x240B,
    0x2518, 0x2510, 0x250C, 0x2514, 0x253C, 0x23BA, 0x23BB, 0x2500, 0x23BC, 0x23BD, 0x251C,
    0x2524, 0x2534, 0x252C, 0x2502, 0x2264, 0x2265, 0x03C0, 0x2260, 0x00A3, 0x00B7,
};

} // namespace

QChar TerminalCell::toQChar() const
{
    if ((format.attributes & TerminalFormat::LineDrawing) && character >= 0x5F && character <= 0x7E)
        return QChar(LineDrawing[character - 0x5F]);
    return QLatin1Char(char(character));
}

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
}

void TerminalBuffer::reset(int lines)
{
    m_first = 0;
    m_count = 0;
    for (int i = 0; i < std::min(lines, int(MaxLines)); ++i)
        addLine();
}

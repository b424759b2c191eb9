#include "terminalparser.h"

#include <algorithm>

namespace {

constexpr uchar Cancel = 0x18;
constexpr uchar Substitute = 0x1A;
constexpr uchar Escape = 0x1B;
constexpr uchar Bell = 0x07;
constexpr uchar Delete = 0x7F;
constexpr char32_t Replacement = 0xFFFD;

inline bool isC0(uchar byte)
{
    return byte < 0x20;
}

// Bytes that are characters of their own: bit 0 in Latin-1 (all from 0x20 but DEL), bit 1 in
// UTF-8 (ASCII's printable ones). One lookup per byte on the hot path.
constexpr uchar Latin1Text = 0x1;
constexpr uchar Utf8Text = 0x2;

struct TextBytes
{
    uchar kinds[256] {};
    constexpr TextBytes()
    {
        for (int byte = 0x20; byte < 0x100; ++byte) {
            if (byte == 0x7F)
                continue;
            kinds[byte] = byte < 0x7F ? (Latin1Text | Utf8Text) : Latin1Text;
        }
    }
};
constexpr TextBytes TextByteKinds;

} // namespace

void TerminalParser::reset()
{
    m_state = State::Ground;
    clear();
    m_osc.clear();
    m_pending = 0;
    m_decodedCount = 0;
}

void TerminalParser::setUtf8(bool utf8)
{
    if (utf8 == m_utf8)
        return;
    abandonUtf8Sequence();
    flushDecoded();
    m_utf8 = utf8;
}

void TerminalParser::feed(const uchar *data, int size)
{
    const uchar *p = data;
    const uchar *const end = data + size;
    while (p < end) {
        if (m_state != State::Ground) {
            step(*p++);
            continue;
        }
        if (m_utf8 && (*p >= 0x80 || m_pending > 0)) {
            p = decodeUtf8(p, end);
            continue;
        }
        // The hot path: runs of text. A handler may switch the encoding between two runs.
        const uchar text = m_utf8 ? Utf8Text : Latin1Text;
        const uchar *run = p;
        while (p < end && (TextByteKinds.kinds[*p] & text))
            ++p;
        if (p != run)
            m_handler->print(run, int(p - run));
        if (p == end || *p >= 0x80)
            continue;
        const uchar control = *p++;
        if (control == Escape)
            enter(State::Escape);
        else if (control != Delete)
            m_handler->execute(control);
    }
}

const uchar *TerminalParser::decodeUtf8(const uchar *p, const uchar *end)
{
    while (p < end) {
        const uchar byte = *p;
        if (m_pending > 0) {
            if (byte < m_lowest || byte > m_highest) {
                // The sequence ends here; the byte is looked at again on its own.
                abandonUtf8Sequence();
                continue;
            }
            ++p;
            m_utf8Bytes[size_t(m_utf8Length++)] = byte;
            m_codePoint = m_codePoint << 6 | (byte & 0x3F);
            m_lowest = 0x80;
            m_highest = 0xBF;
            if (--m_pending == 0)
                decoded(m_codePoint);
            continue;
        }
        if (byte < 0x80)
            break;
        ++p;
        m_utf8Bytes[0] = byte;
        m_utf8Length = 1;
        m_lowest = 0x80;
        m_highest = 0xBF;
        if (byte >= 0xC2 && byte <= 0xDF) {
            m_pending = 1;
            m_codePoint = byte & 0x1F;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            m_pending = 2;
            m_codePoint = byte & 0x0F;
            if (byte == 0xE0)
                m_lowest = 0xA0; // no overlong forms
            else if (byte == 0xED)
                m_highest = 0x9F; // no surrogates
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            m_pending = 3;
            m_codePoint = byte & 0x07;
            if (byte == 0xF0)
                m_lowest = 0x90;
            else if (byte == 0xF4)
                m_highest = 0x8F; // nothing above U+10FFFF
        } else {
            malformed(&byte, 1);
        }
    }
    flushDecoded();
    return p;
}

void TerminalParser::abandonUtf8Sequence()
{
    if (m_pending == 0)
        return;
    m_pending = 0;
    malformed(m_utf8Bytes.data(), m_utf8Length);
}

void TerminalParser::malformed(const uchar *bytes, int size)
{
    if (!m_strayBytesPrinted) {
        decoded(Replacement);
        return;
    }
    flushDecoded();
    for (int i = 0; i < size; ++i) {
        if (bytes[i] >= 0xA0)
            m_handler->print(bytes + i, 1);
        else
            decoded(Replacement);
    }
}

void TerminalParser::decoded(char32_t character)
{
    if (character >= 0x80 && character <= 0x9F)
        return;
    if (m_decodedCount == int(m_decoded.size()))
        flushDecoded();
    m_decoded[size_t(m_decodedCount++)] = character;
}

void TerminalParser::flushDecoded()
{
    if (m_decodedCount == 0)
        return;
    const int count = m_decodedCount;
    m_decodedCount = 0;
    m_handler->printUnicode(m_decoded.data(), count);
}

void TerminalParser::enter(State state)
{
    m_state = state;
    if (state == State::Escape || state == State::CsiEntry)
        clear();
    else if (state == State::OscString)
        m_osc.clear();
}

void TerminalParser::clear()
{
    // Parameters past the count are never read but the first, which handlers take as 0 when
    // none was given; clearing all of them for every sequence was a good part of the parsing.
    Sequence &s = m_sequence;
    s.parameters[0] = 0;
    s.parameterCount = 0;
    s.subParameters = 0;
    s.privateMarker = 0;
    s.intermediateCount = 0;
    s.final = 0;
    m_tooManyIntermediates = false;
}

void TerminalParser::collect(uchar byte)
{
    if (m_sequence.intermediateCount < MaxIntermediates)
        m_sequence.intermediates[size_t(m_sequence.intermediateCount++)] = char(byte);
    else
        m_tooManyIntermediates = true;
}

void TerminalParser::parameterByte(uchar byte)
{
    Sequence &s = m_sequence;
    if (s.parameterCount == 0)
        s.parameterCount = 1;
    if (byte == ';' || byte == ':') {
        // Sub-parameters (38:5:n) are parameters of their own, marked as such.
        if (s.parameterCount < MaxParameters) {
            if (byte == ':')
                s.subParameters |= 1u << s.parameterCount;
            s.parameters[size_t(s.parameterCount++)] = 0;
        }
        return;
    }
    int &last = s.parameters[size_t(s.parameterCount - 1)];
    last = std::min(last * 10 + (byte - '0'), MaxParameterValue);
}

void TerminalParser::endOsc(bool dispatch)
{
    if (dispatch)
        m_handler->oscDispatch(m_osc);
    m_osc.clear();
}

void TerminalParser::step(uchar byte)
{
    // Transitions from anywhere.
    if (byte == Cancel || byte == Substitute) {
        if (m_state == State::OscString)
            endOsc(false);
        m_state = State::Ground;
        return;
    }
    if (byte == Escape) {
        if (m_state == State::OscString)
            endOsc(true);
        enter(State::Escape);
        return;
    }

    switch (m_state) {
    case State::Ground:
        // Only reached for single bytes handed over by feed()'s slow path.
        if (isC0(byte))
            m_handler->execute(byte);
        else if (byte != Delete)
            m_handler->print(&byte, 1);
        return;
    case State::Escape:
    case State::EscapeIntermediate:
        if (isC0(byte)) {
            m_handler->execute(byte);
        } else if (byte >= 0x20 && byte <= 0x2F) {
            collect(byte);
            m_state = State::EscapeIntermediate;
        } else if (byte == Delete) {
        } else if (m_state == State::Escape && byte == '[') {
            enter(State::CsiEntry);
        } else if (m_state == State::Escape && byte == ']') {
            enter(State::OscString);
        } else if (m_state == State::Escape && (byte == 'P' || byte == 'X' || byte == '^' || byte == '_')) {
            m_state = State::IgnoredString;
        } else {
            m_state = State::Ground;
            if (byte < 0x80 && !m_tooManyIntermediates) {
                m_sequence.final = char(byte);
                m_handler->escapeDispatch(m_sequence);
            }
        }
        return;
    case State::CsiEntry:
    case State::CsiParam:
    case State::CsiIntermediate:
    case State::CsiIgnore:
        if (isC0(byte)) {
            m_handler->execute(byte);
            return;
        }
        if (byte >= 0x40 && byte <= 0x7E) {
            const bool dispatch = m_state != State::CsiIgnore && !m_tooManyIntermediates;
            m_state = State::Ground;
            if (dispatch) {
                m_sequence.final = char(byte);
                m_handler->csiDispatch(m_sequence);
            }
            return;
        }
        if (m_state == State::CsiIgnore || byte == Delete)
            return;
        if (byte >= 0x20 && byte <= 0x2F) {
            collect(byte);
            m_state = State::CsiIntermediate;
        } else if (byte >= 0x30 && byte <= 0x3B && m_state != State::CsiIntermediate) {
            parameterByte(byte);
            m_state = State::CsiParam;
        } else if (byte >= 0x3C && byte <= 0x3F && m_state == State::CsiEntry) {
            m_sequence.privateMarker = char(byte);
            m_state = State::CsiParam;
        } else {
            m_state = State::CsiIgnore;
        }
        return;
    case State::OscString:
        if (byte == Bell) {
            endOsc(true);
            m_state = State::Ground;
        } else if (!isC0(byte) && m_osc.size() < MaxOscBytes) {
            m_osc.append(char(byte));
        }
        return;
    case State::IgnoredString:
        return;
    }
}

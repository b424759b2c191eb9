#include "terminalparser.h"

#include <algorithm>

namespace {

constexpr uchar Cancel = 0x18;
constexpr uchar Substitute = 0x1A;
constexpr uchar Escape = 0x1B;
constexpr uchar Bell = 0x07;
constexpr uchar Delete = 0x7F;

inline bool isC0(uchar byte)
{
    return byte < 0x20;
}

} // namespace

void TerminalParser::reset()
{
    m_state = State::Ground;
    clear();
    m_osc.clear();
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
        // The hot path: runs of text.
        const uchar *run = p;
        while (p < end && *p >= 0x20 && *p != Delete)
            ++p;
        if (p != run)
            m_handler->print(run, int(p - run));
        if (p == end)
            break;
        const uchar control = *p++;
        if (control == Escape)
            enter(State::Escape);
        else if (control != Delete)
            m_handler->execute(control);
    }
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
    m_sequence = Sequence();
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
        // Sub-parameters (38:5:n) are taken as parameters of their own.
        if (s.parameterCount < MaxParameters)
            s.parameters[size_t(s.parameterCount++)] = 0;
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

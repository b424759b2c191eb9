#pragma once

#include <QByteArray>

#include <array>

// The DEC/ANSI parser state machine (the standard VT500-series diagram, 7-bit controls): splits a
// byte stream into printable runs, C0 controls, and ESC, CSI, OSC, DCS and SOS/PM/APC sequences. A
// sequence it cannot take (too many intermediates, a parameter byte after an intermediate) is
// consumed and dropped, never printed; C0 controls inside a CSI or ESC sequence are executed on
// the spot, CAN and SUB abandon a sequence, ESC starts a new one. Bytes 0x80..0xFF are Latin-1
// text, not C1 controls. State survives between feed() calls, so sequences may arrive in pieces.
class TerminalParser
{
public:
    enum class State {
        Ground,
        Escape,
        EscapeIntermediate,
        CsiEntry,
        CsiParam,
        CsiIntermediate,
        CsiIgnore,
        OscString,
        // DCS, SOS, PM and APC: consumed up to ST (ESC \), CAN or SUB.
        IgnoredString,
    };

    static constexpr int MaxParameters = 16;
    // Longer digit runs stop growing here, so no parameter can overflow.
    static constexpr int MaxParameterValue = 9999;
    static constexpr int MaxIntermediates = 2;
    // OSC text beyond this is dropped; titles are short.
    static constexpr int MaxOscBytes = 4096;

    struct Sequence
    {
        std::array<int, MaxParameters> parameters {};
        int parameterCount = 0;
        char privateMarker = 0; // '<', '=', '>' or '?'
        std::array<char, MaxIntermediates> intermediates {};
        int intermediateCount = 0;
        char final = 0;

        // Parameter i, or `fallback` when it is missing or 0.
        int at(int i, int fallback) const
        {
            return i < parameterCount && parameters[size_t(i)] > 0 ? parameters[size_t(i)] : fallback;
        }
        char intermediate() const { return intermediateCount > 0 ? intermediates[0] : 0; }
    };

    class Handler
    {
    public:
        virtual ~Handler() = default;
        virtual void print(const uchar *text, int size) = 0;
        virtual void execute(uchar control) = 0;
        virtual void escapeDispatch(const Sequence &sequence) = 0;
        virtual void csiDispatch(const Sequence &sequence) = 0;
        virtual void oscDispatch(const QByteArray &text) = 0;
    };

    explicit TerminalParser(Handler *handler) : m_handler(handler) { }

    void feed(const uchar *data, int size);
    State state() const { return m_state; }
    const Sequence &sequence() const { return m_sequence; }
    void reset();

private:
    void step(uchar byte);
    void enter(State state);
    void clear();
    void collect(uchar byte);
    void parameterByte(uchar byte);
    void endOsc(bool dispatch);

    Handler *m_handler;
    State m_state = State::Ground;
    Sequence m_sequence;
    bool m_tooManyIntermediates = false;
    QByteArray m_osc;
};

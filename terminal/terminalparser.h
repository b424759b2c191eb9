#pragma once

#include <QByteArray>

#include <array>

// The DEC/ANSI parser state machine (the standard VT500-series diagram, 7-bit controls): splits a
// byte stream into printable runs, C0 controls, and ESC, CSI, OSC, DCS and SOS/PM/APC sequences. A
// sequence it cannot take (too many intermediates, a parameter byte after an intermediate) is
// consumed and dropped, never printed; C0 controls inside a CSI or ESC sequence are executed on
// the spot, CAN and SUB abandon a sequence, ESC starts a new one. Text is Latin-1 (bytes
// 0x80..0xFF are characters, not C1 controls) or, once setUtf8(true), UTF-8: a malformed sequence
// becomes one U+FFFD per maximal ill-formed part, as Unicode recommends, and decoded C1 controls
// are dropped. State survives between feed() calls, so sequences and characters may arrive in
// pieces.
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
        // Bit i: parameter i followed a ':' (a sub-parameter, as in 38:2::r:g:b).
        quint32 subParameters = 0;
        char privateMarker = 0; // '<', '=', '>' or '?'
        std::array<char, MaxIntermediates> intermediates {};
        int intermediateCount = 0;
        char final = 0;

        // Only the first parameterCount parameters hold values (the first is 0 when there are
        // none). Parameter i, or `fallback` when it is missing or 0.
        int at(int i, int fallback) const
        {
            return i < parameterCount && parameters[size_t(i)] > 0 ? parameters[size_t(i)] : fallback;
        }
        char intermediate() const { return intermediateCount > 0 ? intermediates[0] : 0; }
        bool isSubParameter(int i) const { return i < parameterCount && (subParameters >> i & 1); }
    };

    class Handler
    {
    public:
        virtual ~Handler() = default;
        // Characters of one byte each: ASCII, or in Latin-1 any byte from 0x20 but DEL.
        virtual void print(const uchar *text, int size) = 0;
        // Characters decoded from UTF-8 (U+FFFD for malformed input).
        virtual void printUnicode(const char32_t *text, int size) = 0;
        virtual void execute(uchar control) = 0;
        virtual void escapeDispatch(const Sequence &sequence) = 0;
        virtual void csiDispatch(const Sequence &sequence) = 0;
        virtual void oscDispatch(const QByteArray &text) = 0;
    };

    explicit TerminalParser(Handler *handler) : m_handler(handler) { }

    void feed(const uchar *data, int size);
    void setUtf8(bool utf8);
    bool isUtf8() const { return m_utf8; }
    // In UTF-8, bytes 0xA0-0xFF that are not part of a well-formed character go to print() as
    // bytes of their own instead of U+FFFD (while a set is shifted into GR, as xterm does).
    void setStrayBytesPrinted(bool printed) { m_strayBytesPrinted = printed; }
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
    // Decodes the UTF-8 bytes from p up to the next ASCII byte; returns where it stopped.
    const uchar *decodeUtf8(const uchar *p, const uchar *end);
    void decoded(char32_t character);
    void flushDecoded();
    void abandonUtf8Sequence();
    // A malformed part of the input: U+FFFD, or its bytes themselves (setStrayBytesPrinted).
    void malformed(const uchar *bytes, int size);

    Handler *m_handler;
    State m_state = State::Ground;
    Sequence m_sequence;
    bool m_tooManyIntermediates = false;
    QByteArray m_osc;

    bool m_utf8 = false;
    bool m_strayBytesPrinted = false;
    // A character being decoded: its bytes and bits so far, the continuation bytes still to come,
    // and the range the next one must fall in (narrower after E0, ED, F0 and F4).
    std::array<uchar, 4> m_utf8Bytes {};
    int m_utf8Length = 0;
    char32_t m_codePoint = 0;
    int m_pending = 0;
    uchar m_lowest = 0x80;
    uchar m_highest = 0xBF;
    // Written before it is read: no need to clear it for every new parser.
    std::array<char32_t, 256> m_decoded;
    int m_decodedCount = 0;
};

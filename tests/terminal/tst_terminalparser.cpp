// The parser alone: bytes in, the handler's calls out as one line each, fed whole and one byte at
// a time (the result may not depend on how the stream is cut).
#include "terminal/terminalparser.h"

#include <QTest>

namespace {

class Recorder : public TerminalParser::Handler
{
public:
    QStringList calls;

    void print(const uchar *text, int size) override
    {
        appendText(QString::fromLatin1(reinterpret_cast<const char *>(text), size));
    }
    void printUnicode(const char32_t *text, int size) override
    {
        appendText(QString::fromUcs4(reinterpret_cast<const uint *>(text), size));
    }
    void execute(uchar control) override { calls << QStringLiteral("exec %1").arg(control, 2, 16, QLatin1Char('0')); }
    void escapeDispatch(const TerminalParser::Sequence &s) override { calls << QStringLiteral("esc ") + describe(s); }
    void csiDispatch(const TerminalParser::Sequence &s) override { calls << QStringLiteral("csi ") + describe(s); }
    void oscDispatch(const QByteArray &text) override { calls << QStringLiteral("osc ") + QString::fromLatin1(text); }

private:
    // Text arriving in pieces is one call's worth.
    void appendText(const QString &text)
    {
        if (!calls.isEmpty() && calls.constLast().startsWith(QLatin1String("text ")))
            calls.last() += text;
        else
            calls << QStringLiteral("text ") + text;
    }
    static QString describe(const TerminalParser::Sequence &s)
    {
        QString out;
        if (s.privateMarker)
            out += QLatin1Char(s.privateMarker);
        for (int i = 0; i < s.parameterCount; ++i) {
            if (i > 0)
                out += s.isSubParameter(i) ? QLatin1Char(':') : QLatin1Char(';');
            out += QString::number(s.parameters[size_t(i)]);
        }
        for (int i = 0; i < s.intermediateCount; ++i)
            out += QLatin1Char(s.intermediates[size_t(i)]);
        return out + QLatin1Char(s.final);
    }
};

// The calls for the input, fed whole or one byte at a time.
QStringList parsed(const QByteArray &input, bool utf8, bool bytewise, TerminalParser::State *state = nullptr)
{
    Recorder recorder;
    TerminalParser parser(&recorder);
    parser.setUtf8(utf8);
    const auto *bytes = reinterpret_cast<const uchar *>(input.constData());
    if (bytewise) {
        for (int i = 0; i < input.size(); ++i)
            parser.feed(bytes + i, 1);
    } else {
        parser.feed(bytes, input.size());
    }
    if (state)
        *state = parser.state();
    return recorder.calls;
}

} // namespace

class tst_TerminalParser : public QObject
{
    Q_OBJECT

private slots:
    void sequences_data();
    void sequences();
    void utf8_data();
    void utf8();
    void limits();
};

void tst_TerminalParser::sequences_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("text and controls") << QByteArray("ab\r\ncd\x7f") << QStringList { "text ab", "exec 0d", "exec 0a", "text cd" };
    QTest::newRow("Latin-1 bytes are text") << QByteArray("caf\xe9\x9b") << QStringList { QString::fromLatin1("text caf\xe9\x9b") };
    QTest::newRow("parameters, defaults and a private marker")
        << QByteArray("\x1b[;5H\x1b[?1049h\x1b[>c") << QStringList { "csi 0;5H", "csi ?1049h", "csi >c" };
    QTest::newRow("sub-parameters are marked") << QByteArray("\x1b[38:2::1:2:3;1m") << QStringList { "csi 38:2:0:1:2:3;1m" };
    QTest::newRow("intermediates") << QByteArray("\x1b(0\x1b#8\x1b[!p\x1b[1\"q") << QStringList { "esc (0", "esc #8", "csi !p", "csi 1\"q" };
    QTest::newRow("C0 inside a sequence runs at once") << QByteArray("\x1b[1\r2C") << QStringList { "exec 0d", "csi 12C" };
    QTest::newRow("CAN and SUB abandon, ESC restarts")
        << QByteArray("\x1b[1\x18x\x1b[2\x1ay\x1b[3\x1b[4C") << QStringList { "text xy", "csi 4C" };
    QTest::newRow("too many intermediates") << QByteArray("a\x1b[1!!!pb\x1b!!!xc") << QStringList { "text abc" };
    QTest::newRow("a parameter after an intermediate spoils the sequence")
        << QByteArray("\x1b[1 2qz") << QStringList { "text z" };
    QTest::newRow("OSC ends with BEL or ST") << QByteArray("\x1b]0;one\x07\x1b]2;two\x1b\\")
                                             << QStringList { "osc 0;one", "osc 2;two", "esc \\" };
    QTest::newRow("DCS, PM and APC are consumed") << QByteArray("a\x1bP1$r\x1b\\b\x1b^pm\x1b\\c\x1b_apc\x1b\\d")
                                                  << QStringList { "text a", "esc \\", "text b", "esc \\", "text c", "esc \\", "text d" };
}

void tst_TerminalParser::sequences()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, calls);
    for (const bool bytewise : { false, true }) {
        TerminalParser::State state;
        QCOMPARE(parsed(input, false, bytewise, &state), calls);
        QCOMPARE(state, TerminalParser::State::Ground);
    }
}

void tst_TerminalParser::utf8_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("text");
    QTest::newRow("two, three and four bytes") << QByteArray("\xc3\xa9\xe4\xb8\xad\xf0\x9f\x99\x82") << QString::fromUtf8("\u00e9\u4e2d\U0001F642");
    QTest::newRow("a stray continuation byte") << QByteArray("a\x80" "b") << QString::fromUtf8("a\ufffdb");
    QTest::newRow("a sequence cut by ASCII") << QByteArray("\xe4\xb8" "x") << QString::fromUtf8("\ufffdx");
    // Unicode's "maximal subpart" rule: an ill-formed start is one U+FFFD, each byte after it too.
    QTest::newRow("overlong forms") << QByteArray("\xc0\xaf\xe0\x80\xaf") << QString::fromUtf8("\ufffd\ufffd\ufffd\ufffd\ufffd");
    QTest::newRow("surrogates") << QByteArray("\xed\xa0\x80") << QString::fromUtf8("\ufffd\ufffd\ufffd");
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << QString::fromUtf8("\ufffd\ufffd\ufffd\ufffd");
    QTest::newRow("decoded C1 controls are dropped") << QByteArray("a\xc2\x9b" "b") << QString("ab");
}

void tst_TerminalParser::utf8()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, text);
    for (const bool bytewise : { false, true })
        QCOMPARE(parsed(input, true, bytewise), QStringList { "text " + text });
}

void tst_TerminalParser::limits()
{
    // Parameters stop at their bounds, OSC text at its length; nothing overflows or grows.
    QByteArray input("\x1b[");
    for (int i = 0; i < 40; ++i)
        input += "99999999999;";
    input += "m\x1b]0;" + QByteArray(3 * TerminalParser::MaxOscBytes, 'x') + "\x07";
    const QStringList calls = parsed(input, false, false);
    QCOMPARE(calls.size(), 2);
    QStringList bounded;
    for (int i = 0; i < TerminalParser::MaxParameters; ++i)
        bounded << QString::number(TerminalParser::MaxParameterValue);
    QCOMPARE(calls.at(0), "csi " + bounded.join(QLatin1Char(';')) + 'm');
    QCOMPARE(calls.at(1).size(), int(qstrlen("osc ")) + TerminalParser::MaxOscBytes);
}

QTEST_APPLESS_MAIN(tst_TerminalParser)
#include "tst_terminalparser.moc"

#include "fuzzsupport.h"

#include "terminal/terminalemulator.h"
#include "terminal/terminalselection.h"

#include <QDir>
#include <QFile>

// Program output into the terminal's parser and screen alone, without a widget, so that it runs
// thousands of times a second. An input is one or more messages: the first's first byte chooses
// the encoding and the screen's size, its second where the output is cut into reads; each later
// message starts with a new size for the screen (as the server confirms window sizes), which also
// fills the scroll-back quickly. Afterwards the cursor and the rows must lie within the screen,
// the scroll-back within its bound, and a selection must give its text.
namespace {

// Output beyond this only repeats work and slows the search down; resizing reaches long
// scroll-backs without it.
constexpr int MaxOutput = 192;
constexpr int SelectedRows = 4;

QByteArray setup(bool utf8, int rows, int columns, int cut)
{
    QByteArray bytes(2, '\0');
    bytes[0] = char((utf8 ? 0x80 : 0) | ((rows - 2) & 0x0f) << 3 | ((columns - 2) / 10 & 0x07));
    bytes[1] = char(cut - 1);
    return bytes;
}

// A size byte of a later message: 2 to 64 rows or the most there may be, four widths.
void resizeFrom(TerminalScreen &screen, quint8 size)
{
    const int rows = (size & 0x3f) == 0x3f ? TerminalScreen::MaxRows : 2 + (size & 0x3f);
    screen.resize(rows, 2 + (size >> 6) * 60);
}

} // namespace

QList<QByteArray> fuzzSeeds()
{
    QList<QByteArray> seeds;
    const QDir captures(QStringLiteral(ZU_SOURCE_DIR "/tests/terminal/captures"));
    for (const QString &name : captures.entryList({ QStringLiteral("*.bin") }, QDir::Files, QDir::Name)) {
        QFile file(captures.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            seeds += setup(false, 10, 72, 200) + file.read(MaxOutput);
    }
    seeds += setup(true, 6, 22, 3) + "ab\xe4\xb8\xad\xe6\x96\x87" "cde\xe5\xad\x97\xcc\x81\xff\xc0\xaf\xed\xa0\x80\x1b[?7l\xe4\xb8\xad\xe4\xb8\xad";
    seeds += setup(true, 4, 12, 1) + "e\xcc\x81\xcc\x81\xcc\x81\x1b#6wide\x1b#3\x1b#4\x1b[2J\x1b[?3h\x1b[?3l\x1b[4h\xe4\xb8\xadx\x1b[2@\x1b[P";
    seeds += setup(false, 8, 32, 2) + "\x1b)A\x0e!\x0f\x1b.A\x1b}\xa1\xe9\x1b[?42h\x1b(A#\x1b(0lqk\x1bNq\x1b*<\x1bn!\x1b" "c";
    seeds += setup(true, 8, 32, 5) + "\x1b.A\x1b~\xa1\xc3\xa9\xa2\x1b[1\"q protected\x1b[0\"q\x1b[?J\x1b[?K\x1b[1;31;38;5;196;48:2::1:2:3;4:3m"
             "\x1b]11;?\x07\x1b]4;1;?;2;?\x1b\\\x1b[?1000;1006h\x1b[?1003h\x1b[?1000$p\x1b[=c\x1b[>c\x1b[c\x1b[18t";
    // Resizes that push rows into the scroll-back until it is full, then the alternate screen.
    seeds += joinMessages({ setup(false, 17, 72, 64) + "one\r\ntwo\x1b[H\x1b#6wide", QByteArray(1, char(0x3f)) + "\x1b[300;1Hlast",
                            QByteArray(1, char(0x40)) + "x", QByteArray(1, char(0x3f)) + "\x1b[300;1H", QByteArray(1, char(0x81)),
                            QByteArray(1, char(0x3f)) + "\x1b[300;1H", QByteArray(1, char(0xc2)) + "\x1b[?1049hy\x1b[3J" });
    return seeds;
}

void fuzzOne(const QByteArray &input)
{
    if (input.size() < 2)
        return;
    const auto first = quint8(input.at(0));
    const int step = quint8(input.at(1)) + 1;

    TerminalEmulator emulator;
    int replyBytes = 0;
    TerminalEmulator::Callbacks callbacks;
    callbacks.reply = [&replyBytes](const QByteArray &bytes) { replyBytes += bytes.size(); };
    callbacks.colour = [](int which) { return which < 0 ? 0x2b303bu : quint32(which) * 0x010101u; };
    emulator.setCallbacks(callbacks);
    TerminalScreen &screen = emulator.screen();
    screen.resize(2 + (first >> 3 & 0x0f), 2 + (first & 0x07) * 10);
    emulator.setUtf8(first & 0x80);

    const QList<QByteArray> messages = splitMessages(input.mid(2));
    int budget = MaxOutput;
    int fed = 0;
    for (int i = 0; i < messages.size() && budget > 0; ++i) {
        const QByteArray &message = messages.at(i);
        int start = 0;
        if (i > 0) {
            if (message.isEmpty())
                continue;
            resizeFrom(screen, quint8(message.at(0)));
            start = 1;
        }
        const int size = std::min(int(message.size()) - start, budget);
        const auto *output = reinterpret_cast<const uchar *>(message.constData()) + start;
        budget -= size;
        fed += size;
        for (int at = 0; at < size; at += step)
            emulator.feed(output + at, std::min(step, size - at));
    }

    FUZZ_CHECK(screen.cursorRow() >= 0 && screen.cursorRow() < screen.rows());
    FUZZ_CHECK(screen.cursorColumn() >= 0 && screen.cursorColumn() < screen.rowColumns(screen.cursorRow()));
    FUZZ_CHECK(screen.buffer().lineCount() <= TerminalBuffer::MaxLines);
    FUZZ_CHECK(screen.viewLineCount() >= screen.rows());
    for (int row = 0; row < screen.rows(); ++row)
        FUZZ_CHECK(int(screen.row(row).size()) <= screen.columns());
    // Replies answer queries; they never outgrow what asked for them.
    FUZZ_CHECK(replyBytes <= 64 * (fed + 1));

    // A selection from a word on the screen's top row over a few rows.
    TerminalSelection selection;
    const qint64 top = screen.firstLineNumber() + screen.scrollbackLines();
    const int selectedRows = std::min(screen.rows(), SelectedRows);
    selection.begin(screen, TerminalSelection::Place { top, first % screen.columns() }, TerminalSelection::Unit::Word);
    selection.extend(screen, TerminalSelection::Place { top + selectedRows, 0 });
    const QString text = selection.text(screen);
    FUZZ_CHECK(text.size() <= selectedRows * (screen.columns() * TerminalLine::MaxClusterLength + 1));
    screen.takeChanges();
}

// The scroll-back ring: its bound, which lines go first, and the numbering that survives them.
#include "terminal/terminalbuffer.h"

#include <QTest>

namespace {

void label(TerminalBuffer &buffer, int index, char32_t character)
{
    buffer.line(index).assign(1, TerminalCell { character, TerminalFormat() });
}

} // namespace

class tst_TerminalBuffer : public QObject
{
    Q_OBJECT

private slots:
    void ringDropsTheOldest();
    void dropOldestKeepsTheScreen();
    void resetNumbersOn();
};

void tst_TerminalBuffer::ringDropsTheOldest()
{
    TerminalBuffer buffer;
    QCOMPARE(buffer.lineCount(), TerminalBuffer::InitialLines);
    for (int i = buffer.lineCount(); i < TerminalBuffer::MaxLines; ++i)
        QVERIFY(!buffer.addLine());
    label(buffer, 0, U'a');
    label(buffer, 1, U'b');
    label(buffer, TerminalBuffer::MaxLines - 1, U'z');
    QCOMPARE(buffer.droppedLines(), qint64(0));
    // Full: each new line pushes out the oldest, and arrives empty in the slot it took.
    QVERIFY(buffer.addLine());
    QCOMPARE(buffer.lineCount(), TerminalBuffer::MaxLines);
    QCOMPARE(buffer.lineText(0), QString("b"));
    QCOMPARE(buffer.lineText(TerminalBuffer::MaxLines - 2), QString("z"));
    QCOMPARE(buffer.lineText(TerminalBuffer::MaxLines - 1), QString());
    QCOMPARE(buffer.droppedLines(), qint64(1));
    for (int i = 0; i < 3 * TerminalBuffer::MaxLines; ++i)
        buffer.addLine();
    QCOMPARE(buffer.lineCount(), TerminalBuffer::MaxLines);
    QCOMPARE(buffer.droppedLines(), qint64(1 + 3 * TerminalBuffer::MaxLines));
}

void tst_TerminalBuffer::dropOldestKeepsTheScreen()
{
    // Before and after the ring is full, dropping keeps the order and at least `keep` lines.
    for (const int extra : { 10, TerminalBuffer::MaxLines }) {
        TerminalBuffer buffer;
        for (int i = 0; i < extra; ++i)
            buffer.addLine();
        const int count = buffer.lineCount();
        for (int i = 0; i < count; ++i)
            label(buffer, i, char32_t(U'0' + i % 10));
        const qint64 dropped = buffer.droppedLines();
        buffer.dropOldest(count, 24);
        QCOMPARE(buffer.lineCount(), 24);
        QCOMPARE(buffer.droppedLines(), dropped + count - 24);
        QCOMPARE(buffer.lineText(0), QString(QChar(U'0' + (count - 24) % 10)));
        QCOMPARE(buffer.lineText(23), QString(QChar(U'0' + (count - 1) % 10)));
    }
}

void tst_TerminalBuffer::resetNumbersOn()
{
    // A line's number never comes back for another line, also across a reset.
    TerminalBuffer buffer;
    buffer.addLine();
    const qint64 before = buffer.droppedLines() + buffer.lineCount();
    buffer.reset(5);
    QCOMPARE(buffer.lineCount(), 5);
    QCOMPARE(buffer.droppedLines(), before);
}

QTEST_APPLESS_MAIN(tst_TerminalBuffer)
#include "tst_terminalbuffer.moc"

#include "fuzzsupport.h"

#include "terminal/qvterminal.h"

// Program output into the terminal emulator, in reads cut where the first byte says.
QList<QByteArray> fuzzSeeds()
{
    return { QByteArray("\x10") + "\x1b[2J\x1b[H\x1b[1;31mred\x1b[0m plain\r\n\x1b[10;20Hmoved\x1b[K\x1b[?25l",
             QByteArray("\x01") + "\x1b(0lqk\x1b(B\x1b[7mreverse\x1b[27m\x1b[5;10r\x1b[M\x1b[3L\x1bM\x1b" "7\x1b" "8",
             QByteArray("\x40") + QByteArray("line of text\r\n").repeated(100) + "\x1b[99;999H\x1b[999C\x08\x08\t\t" };
}

void fuzzOne(const QByteArray &input)
{
    if (input.isEmpty())
        return;
    QVTerminal terminal;
    terminal.resize(640, 480);
    terminal.show();
    const int step = quint8(input.at(0)) + 1;
    for (int at = 1; at < input.size(); at += step)
        terminal.appendData(input.mid(at, step));
    settleEvents(); // paints what changed
}

#include "fuzzsupport.h"

#include "applinks/channeltranceiver.h"
#include "terminal/datapump.h"
#include "terminal/qvterminal.h"
#include "terminal/terminalscreen.h"
#include "terminal/terminaltaskwidget.h"

#include "zuterm.pb.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>

// Terminal messages as they arrive on a hub channel: the channel's transport and its handshake,
// the page's dispatch, the pump with its backlog bound, and the emulator reading in slices with the
// event loop (painting, deferred reads) in between. Seeds: recorded programs and the page's
// protocol (echo and size configs).
namespace {

QByteArray serialized(const zuterm::Envelope &envelope)
{
    return QByteArray::fromStdString(envelope.SerializeAsString());
}

QByteArray data(const QByteArray &bytes)
{
    zuterm::Envelope envelope;
    envelope.mutable_data_packet()->set_data(bytes.constData(), size_t(bytes.size()));
    return serialized(envelope);
}

QByteArray config(int rows, int columns, int echo)
{
    zuterm::Envelope envelope;
    zuterm::Config *config = envelope.mutable_config();
    if (rows >= 0) {
        config->set_rows(uint32_t(rows));
        config->set_columns(uint32_t(columns));
    }
    if (echo >= 0)
        config->set_echo(echo == 1);
    return serialized(envelope);
}

} // namespace

QList<QByteArray> fuzzSeeds()
{
    zuterm::Envelope hello;
    hello.mutable_handshake()->set_type(zuterm::Handshake::TERMINAL);
    hello.mutable_handshake()->set_ui_version("fuzz");
    QList<QByteArray> seeds;
    const QDir captures(QStringLiteral(ZU_SOURCE_DIR "/tests/terminal/captures"));
    for (const QString &name : captures.entryList({ QStringLiteral("*.bin") }, QDir::Files, QDir::Name)) {
        QFile file(captures.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            seeds += joinMessages({ serialized(hello), data(file.readAll()) });
    }
    seeds += exchangeSeeds({ serialized(hello), config(30, 100, 1),
                             data("\x1b[?1049h\x1b[2;29r\x1b[29;1Hscrolled\r\n\x1bM\x1b[3L\x1b[2M\x1b(0lqk\x1b(B"),
                             config(5, 9999, -1), data("\x1b[99;99H\x1b[6n\x1b[c\x1b]0;title\x07\x1b[?3h"),
                             config(-1, -1, 0), data(QByteArray(5000, 'x') + "\x1b[?1049l\x07") });
    return seeds;
}

void fuzzOne(const QByteArray &input)
{
    auto *transport = new ChannelTranceiver(7);
    QPointer<TerminalTaskWidget> page;
    QObject::connect(transport, &AppTranceiver::appTypeChanged, transport, [&](AppTranceiver::AppType type) {
        if (type != AppTranceiver::Terminal || page)
            return;
        page = new TerminalTaskWidget(transport);
        page->resize(640, 480);
        page->show();
    });
    for (const QByteArray &message : splitMessages(input)) {
        transport->channelDataRcvd(message.constData(), message.size());
        QApplication::processEvents();
    }
    settleEvents();
    if (!page) {
        delete transport;
        return;
    }
    const TerminalScreen &screen = page->terminal()->screen();
    FUZZ_CHECK(screen.cursorRow() >= 0 && screen.cursorRow() < screen.rows());
    FUZZ_CHECK(screen.cursorColumn() >= 0 && screen.cursorColumn() < screen.columns());
    FUZZ_CHECK(screen.rows() <= TerminalScreen::MaxRows && screen.columns() <= TerminalScreen::MaxColumns);
    FUZZ_CHECK(screen.buffer().lineCount() <= TerminalBuffer::MaxLines);
    delete page.data();
    settleEvents();
}

#include "fuzzsupport.h"

#include "classic/applicationconnection.h"
#include "classic/classicapplicationwidget.h"
#include "classicmenu.h"
#include "classicscreens.h"
#include "fakepagehost.h"
#include "recordingtransport.h"
#include "studentdatabase.h"
#include "uiwriter.h"

#include <QBuffer>
#include <QImage>

// UI envelopes from a classic application after its handshake, into a session on an offscreen
// desktop. Seeds are written by the stand-in hub's own command writer.
QList<QByteArray> fuzzSeeds()
{
    QList<QByteArray> messages;
    UiWriter writer([&](const Pb::UIEnvelope &envelope) {
        messages.append(QByteArray::fromStdString(envelope.SerializeAsString()));
    }, 4242, 1);
    writer.createSession(QStringLiteral("students"), QStringLiteral("/Students/Student Records"));
    writer.setTitle(QStringLiteral("Student Records"));
    writer.loadScreen(ClassicScreens::document(QLatin1String(ClassicScreens::Student)), 1, QStringLiteral("s"));
    writer.putField(1, QStringLiteral("last_name"), 1, 0, QStringLiteral("Smith"));
    writer.putData(1, QStringLiteral("birth_date"), QStringLiteral("02/29/2000"));
    writer.activateField(1, QStringLiteral("first_name"), true);
    writer.setFocus(1, QStringLiteral("first_name"));
    writer.screenMenu(ClassicMenu(QStringLiteral("Student"))
                          .add(1, QStringLiteral("Query"), 'q', QStringLiteral("Find students"))
                          .add(2, QStringLiteral("Add"), 'a')
                          .addChild(3, QStringLiteral("Grades"), 'g'));
    writer.keyboardMode(1);
    writer.setStatus(QStringLiteral("Ready \xfe" "13 to save"));
    writer.setError(QStringLiteral("No rows found"));
    writer.beep();
    writer.rowCount(3, 10);
    writer.navBar(QStringLiteral("Next"), 1, 'n');
    writer.navBarStatus(true);
    writer.editBlob(1, QStringLiteral("last_name"), false, QStringLiteral("a text\nblock"));
    writer.deactivate();
    writer.clearRows(0, 5);
    const QList<QByteArray> session = messages;

    messages.clear();
    writer.dialog(UiWriter::ButtonDialog, QStringLiteral("Save"), QStringLiteral("Save <b>changes</b>?"), true,
                  { { QStringLiteral("Yes"), 'y' }, { QStringLiteral("No"), 'n' } }, 0);
    writer.endDialog();
    writer.dialog(UiWriter::SelectorDialog, QStringLiteral("Pick"), QStringLiteral("One of"), false,
                  { { QStringLiteral("First"), 1 }, { QStringLiteral("Second"), 2 } }, 1);
    writer.tableLookup({ QStringLiteral("A\tAlpha"), QStringLiteral("B\tBeta\t") });
    writer.gridLookup(QStringLiteral("Students"),
                      { { QStringLiteral("Id"), Pb::INTEGER }, { QStringLiteral("Name"), Pb::CHARACTER },
                        { QStringLiteral("Born"), Pb::DATE, true } },
                      { { 1, { QStringLiteral("1"), QStringLiteral("Ann"), QStringLiteral("01/02/2003") } } });
    writer.pause(QStringLiteral("Printing"));
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    picture.save(&png, "PNG");
    writer.idSec(QStringLiteral("Identity"), png.data(), {});
    const QList<QByteArray> overlays = messages;

    QList<QByteArray> seeds = exchangeSeeds(session + overlays);
    // Each overlay over a freshly loaded screen.
    for (const QByteArray &overlay : overlays)
        seeds.append(joinMessages(session.mid(0, 3) + QList<QByteArray> { overlay }));
    return seeds;
}

void fuzzOne(const QByteArray &input)
{
    static FakePageHost host;
    auto *transport = new RecordingTransport;
    Pb::UIEnvelope handshake;
    handshake.mutable_handshake()->set_ui_version("server 1");
    transport->deliver(handshake);
    ApplicationConnection session(transport, &host);
    for (const QByteArray &message : splitMessages(input))
        transport->deliver(message);
}

#include "fuzzsupport.h"

#include "files/fileviewer.h"

#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>

// A document a classic application sends (a file message), as the text viewer shows it: as
// plain text whatever it holds, so no table, picture or nesting is ever laid out.
QList<QByteArray> fuzzSeeds()
{
    static const char latin1[] = "caf\xe9 \xa0non-breaking\0nul\rreturn\n";
    return { QByteArray("Fees due: 120.00\r\nStudent  Name       Balance\r\n00412    O'Neill    -3.50\r\n"),
             QByteArray("<html><body><p><b>Fees</b> due</p><img src=\"/dev/zero\"></body></html>"),
             QByteArray("<table><tr><td>").repeated(24), QByteArray(latin1, sizeof latin1 - 1),
             QByteArray("total < 5 and width > 3 &amp; <!-- comment --> <style>p{}</style>") };
}

void fuzzOne(const QByteArray &input)
{
    FileViewer viewer(input, nullptr);
    const QTextDocument *document = viewer.textEdit()->document();
    FUZZ_CHECK(document->rootFrame()->childFrames().isEmpty());
    // Markup stays text: every angle bracket is still there, and nothing is added.
    FUZZ_CHECK(document->toPlainText().count(QLatin1Char('<')) == input.count('<'));
    FUZZ_CHECK(document->characterCount() <= input.size() + 1);
}

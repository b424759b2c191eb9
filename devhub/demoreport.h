#pragma once

#include <QByteArray>
#include <QString>

// The small enrolment report that the demo serves: as a web page, as a PDF and as CSV. The PDF is
// written by hand (one page, standard fonts, exact cross-reference offsets), so no PDF library is
// needed on the hub.
class DemoReport
{
public:
    static constexpr char Title[] = "Enrolment report";
    static constexpr char PdfFileName[] = "enrolment-report.pdf";

    static QByteArray html(const QString &userName, const QString &pdfPath);
    static QByteArray pdf();
    static QByteArray csv();
};

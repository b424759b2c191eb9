#include "demoreport.h"

#include "simplepdf.h"

namespace {

struct Row
{
    const char *department;
    int fullTime;
    int partTime;
};

constexpr Row Rows[] = {
    { "Computing", 350, 62 },   { "Business", 301, 87 },      { "Health and Care", 244, 57 },
    { "Engineering", 231, 45 }, { "Creative Arts", 160, 34 }, { "Languages", 58, 63 },
};

constexpr int Margin = 56;
constexpr int RowHeight = 20;
constexpr int Columns[] = { Margin, 300, 390, 480 };

QByteArray htmlEscape(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

int total(const Row &row)
{
    return row.fullTime + row.partTime;
}

} // namespace

QByteArray DemoReport::html(const QString &userName, const QString &pdfPath)
{
    QByteArray rows;
    int fullTime = 0;
    int partTime = 0;
    for (const Row &row : Rows) {
        rows += "<tr><td>" + QByteArray(row.department) + "</td><td>" + QByteArray::number(row.fullTime)
            + "</td><td>" + QByteArray::number(row.partTime) + "</td><td>" + QByteArray::number(total(row))
            + "</td></tr>\n";
        fullTime += row.fullTime;
        partTime += row.partTime;
    }
    const QByteArray who = userName.isEmpty() ? QByteArray() : " for " + htmlEscape(userName);
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + QByteArray(Title)
        + "</title>\n<style>body{font-family:sans-serif;margin:2em;color:#222}"
          "table{border-collapse:collapse}td,th{padding:4px 14px;border-bottom:1px solid "
          "#ccc;text-align:right}"
          "td:first-child,th:first-child{text-align:left}a.button{display:inline-block;margin-top:1.5em;"
          "padding:8px 16px;background:#2d6cdf;color:#fff;text-decoration:none;border-radius:4px}"
          "</style></head>\n<body>\n<h1>"
        + QByteArray(Title) + "</h1>\n<p>Enrolments by department, prepared" + who
        + " by the ZU demonstration hub.</p>\n<table>\n<tr><th>Department</th><th>Full-time</th>"
          "<th>Part-time</th><th>Total</th></tr>\n"
        + rows + "<tr><th>All departments</th><th>" + QByteArray::number(fullTime) + "</th><th>"
        + QByteArray::number(partTime) + "</th><th>" + QByteArray::number(fullTime + partTime)
        + "</th></tr>\n</table>\n<a class=\"button\" href=\"" + htmlEscape(pdfPath)
        + "\">Download as PDF</a>\n</body></html>\n";
}

QByteArray DemoReport::csv()
{
    QByteArray out = "Department,Full-time,Part-time,Total\n";
    for (const Row &row : Rows) {
        out += QByteArray(row.department) + ',' + QByteArray::number(row.fullTime) + ','
            + QByteArray::number(row.partTime) + ',' + QByteArray::number(total(row)) + '\n';
    }
    return out;
}

QByteArray DemoReport::pdf()
{
    using Pdf = SimplePdf;
    const int right = Pdf::PageWidth - Margin;
    QByteArray content = Pdf::text("F2", 20, Margin, Pdf::PageHeight - 90, Title);
    content += Pdf::text("F1", 11, Margin, Pdf::PageHeight - 112,
                         "Enrolments by department - ZU demonstration hub");
    int y = Pdf::PageHeight - 160;
    const char *headings[] = { "Department", "Full-time", "Part-time", "Total" };
    for (int c = 0; c < 4; ++c)
        content += Pdf::text("F2", 11, Columns[c], y, headings[c]);
    content += "0.5 w\n" + Pdf::rule(Margin, right, y - 6);
    int fullTime = 0;
    int partTime = 0;
    for (const Row &row : Rows) {
        y -= RowHeight;
        content += Pdf::text("F1", 11, Columns[0], y, row.department);
        content += Pdf::text("F1", 11, Columns[1], y, QByteArray::number(row.fullTime));
        content += Pdf::text("F1", 11, Columns[2], y, QByteArray::number(row.partTime));
        content += Pdf::text("F1", 11, Columns[3], y, QByteArray::number(total(row)));
        fullTime += row.fullTime;
        partTime += row.partTime;
    }
    content += Pdf::rule(Margin, right, y - 6);
    y -= RowHeight + 4;
    content += Pdf::text("F2", 11, Columns[0], y, "All departments");
    content += Pdf::text("F2", 11, Columns[1], y, QByteArray::number(fullTime));
    content += Pdf::text("F2", 11, Columns[2], y, QByteArray::number(partTime));
    content += Pdf::text("F2", 11, Columns[3], y, QByteArray::number(fullTime + partTime));

    Pdf pdf;
    pdf.addPage(content);
    return pdf.document(Title);
}

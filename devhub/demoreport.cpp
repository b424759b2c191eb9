#include "demoreport.h"

#include <QVector>

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

constexpr int PageWidth = 595; // A4 in points
constexpr int PageHeight = 842;
constexpr int Margin = 56;
constexpr int RowHeight = 20;
constexpr int Columns[] = { Margin, 300, 390, 480 };

QByteArray htmlEscape(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

// Text inside a PDF string literal: backslash and parentheses must be escaped.
QByteArray pdfText(const QByteArray &text)
{
    QByteArray out;
    for (const char c : text) {
        if (c == '(' || c == ')' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

QByteArray textAt(const char *font, int size, int x, int y, const QByteArray &text)
{
    return QByteArray("BT /") + font + ' ' + QByteArray::number(size) + " Tf " + QByteArray::number(x) + ' '
        + QByteArray::number(y) + " Td (" + pdfText(text) + ") Tj ET\n";
}

QByteArray rule(int y)
{
    return QByteArray::number(Margin) + ' ' + QByteArray::number(y) + " m "
        + QByteArray::number(PageWidth - Margin) + ' ' + QByteArray::number(y) + " l S\n";
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
    QByteArray content = textAt("F2", 20, Margin, PageHeight - 90, Title);
    content += textAt("F1", 11, Margin, PageHeight - 112, "Enrolments by department - ZU demonstration hub");
    int y = PageHeight - 160;
    const char *headings[] = { "Department", "Full-time", "Part-time", "Total" };
    for (int c = 0; c < 4; ++c)
        content += textAt("F2", 11, Columns[c], y, headings[c]);
    content += "0.5 w\n" + rule(y - 6);
    int fullTime = 0;
    int partTime = 0;
    for (const Row &row : Rows) {
        y -= RowHeight;
        content += textAt("F1", 11, Columns[0], y, row.department);
        content += textAt("F1", 11, Columns[1], y, QByteArray::number(row.fullTime));
        content += textAt("F1", 11, Columns[2], y, QByteArray::number(row.partTime));
        content += textAt("F1", 11, Columns[3], y, QByteArray::number(total(row)));
        fullTime += row.fullTime;
        partTime += row.partTime;
    }
    content += rule(y - 6);
    y -= RowHeight + 4;
    content += textAt("F2", 11, Columns[0], y, "All departments");
    content += textAt("F2", 11, Columns[1], y, QByteArray::number(fullTime));
    content += textAt("F2", 11, Columns[2], y, QByteArray::number(partTime));
    content += textAt("F2", 11, Columns[3], y, QByteArray::number(fullTime + partTime));

    const QVector<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + QByteArray::number(PageWidth) + ' '
            + QByteArray::number(PageHeight)
            + "] /Resources << /Font << /F1 4 0 R /F2 5 0 R >> >> /Contents 6 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "endstream",
        "<< /Title (" + pdfText(Title) + ") /Producer (zu-devhub) >>",
    };

    QByteArray out = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
    QVector<int> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets.append(out.size());
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const int xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const int offset : offsets)
        out += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1)
        + " /Root 1 0 R /Info 7 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

#include "simplepdf.h"

namespace {

// Text inside a PDF string literal: backslash and parentheses must be escaped.
QByteArray literal(const QByteArray &text)
{
    QByteArray out;
    for (const char c : text) {
        if (c == '(' || c == ')' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

QByteArray reference(int object)
{
    return QByteArray::number(object) + " 0 R";
}

} // namespace

QByteArray SimplePdf::text(const char *font, int size, int x, int y, const QByteArray &text)
{
    return QByteArray("BT /") + font + ' ' + QByteArray::number(size) + " Tf " + QByteArray::number(x) + ' '
        + QByteArray::number(y) + " Td (" + literal(text) + ") Tj ET\n";
}

QByteArray SimplePdf::rule(int x1, int x2, int y)
{
    return QByteArray::number(x1) + ' ' + QByteArray::number(y) + " m " + QByteArray::number(x2) + ' '
        + QByteArray::number(y) + " l S\n";
}

QByteArray SimplePdf::document(const QByteArray &title) const
{
    // Objects: 1 catalog, 2 page tree, 3 and 4 fonts, 5 information, then a page and its content
    // stream for each page.
    constexpr int FirstPage = 6;
    QByteArray kids;
    for (int i = 0; i < m_pages.size(); ++i)
        kids += (i ? " " : "") + reference(FirstPage + 2 * i);

    QVector<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(m_pages.size()) + " >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>",
        "<< /Title (" + literal(title) + ") /Producer (zu-devhub) >>",
    };
    for (int i = 0; i < m_pages.size(); ++i) {
        const QByteArray &content = m_pages.at(i);
        objects.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + QByteArray::number(PageWidth) + ' '
                       + QByteArray::number(PageHeight)
                       + "] /Resources << /Font << /F1 3 0 R /F2 4 0 R >> >> /Contents "
                       + reference(FirstPage + 2 * i + 1) + " >>");
        objects.append("<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content
                       + "endstream");
    }

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
        + " /Root 1 0 R /Info 5 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

#include "sampledocuments.h"

#include "simplepdf.h"

#include <QtEndian>

namespace {

struct Course
{
    const char *code;
    const char *title;
    const char *grade;
};

constexpr Course Courses[] = {
    { "COMP101", "Introduction to Programming", "A" },  { "COMP120", "Databases", "B+" },
    { "MATH110", "Discrete Mathematics", "B" },         { "BUSI105", "Business Communication", "A-" },
    { "COMP150", "Networks and the Internet", "B+" },   { "ENGL100", "Academic Writing", "A" },
};

// PNG chunks carry a CRC-32 (ISO 3309) of their type and data.
quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray bigEndian(quint32 value)
{
    QByteArray out(4, Qt::Uninitialized);
    qToBigEndian(value, out.data());
    return out;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    const QByteArray body = QByteArray(type) + data;
    return bigEndian(quint32(data.size())) + body + bigEndian(crc32(body));
}

struct Rgb
{
    quint8 r, g, b;
};

// A flat picture of a campus: sky, lawn, three buildings with windows and a path.
Rgb campusPixel(int x, int y)
{
    constexpr int Horizon = 200;
    struct Building
    {
        int left, right, top;
        Rgb wall;
    };
    constexpr Building Buildings[] = {
        { 40, 150, 90, { 176, 92, 64 } },
        { 180, 330, 50, { 205, 170, 110 } },
        { 360, 450, 120, { 120, 130, 150 } },
    };
    for (const Building &b : Buildings) {
        if (x >= b.left && x < b.right && y >= b.top && y < Horizon + 10) {
            const bool window = (x - b.left) % 24 >= 8 && (x - b.left) % 24 < 18 && (y - b.top) % 30 >= 10
                && (y - b.top) % 30 < 22 && y < Horizon - 10;
            return window ? Rgb { 250, 240, 190 } : b.wall;
        }
    }
    if (y < Horizon)
        return { quint8(110 + y / 4), quint8(160 + y / 5), 235 };
    const int pathCentre = 255 + (y - Horizon) * 2 / 3;
    if (qAbs(x - pathCentre) < 6 + (y - Horizon) / 3)
        return { 200, 190, 160 };
    return { 70, quint8(150 - (y - Horizon) / 3), 70 };
}

} // namespace

QByteArray SampleDocuments::termReport()
{
    QByteArray out = "TERM REPORT - AUTUMN TERM\n"
                     "=========================\n\n"
                     "Student:   100001  Ada Whitfield\n"
                     "Programme: Computing (full-time)\n\n"
                     "Code     Course                          Grade\n"
                     "-------  ------------------------------  -----\n";
    for (const Course &course : Courses) {
        out += QByteArray(course.code).leftJustified(9) + QByteArray(course.title).leftJustified(32)
            + course.grade + '\n';
    }
    out += "\nAttendance: 96%\n\n"
           "Comments: a strong term. Ada should keep up the good work in the\n"
           "programming courses and take part in the spring project week.\n\n"
           "The Registry\n";
    return out;
}

QByteArray SampleDocuments::campusPicture()
{
    QByteArray raw;
    raw.reserve(PictureHeight * (1 + 3 * PictureWidth));
    for (int y = 0; y < PictureHeight; ++y) {
        raw += '\0'; // filter type None
        for (int x = 0; x < PictureWidth; ++x) {
            const Rgb pixel = campusPixel(x, y);
            raw += char(pixel.r);
            raw += char(pixel.g);
            raw += char(pixel.b);
        }
    }
    QByteArray header = bigEndian(PictureWidth) + bigEndian(PictureHeight);
    header += char(8); // bits per channel
    header += char(2); // truecolour
    header += QByteArray(3, '\0'); // compression, filter, interlace
    // qCompress writes a zlib stream after a four-byte length of its own.
    const QByteArray zlibStream = qCompress(raw, 9).mid(4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", zlibStream)
        + pngChunk("IEND", QByteArray());
}

QByteArray SampleDocuments::prospectus()
{
    using Pdf = SimplePdf;
    constexpr int Left = 72;
    constexpr int Top = Pdf::PageHeight - 100;
    const auto heading = [](const QByteArray &title, int page) {
        return Pdf::text("F2", 22, Left, Top, title) + "0.5 w\n" + Pdf::rule(Left, Pdf::PageWidth - Left, Top - 12)
            + Pdf::text("F1", 9, Left, 40, ProspectusTitle + QByteArray(" - page ") + QByteArray::number(page));
    };

    Pdf pdf;
    QByteArray cover = heading(ProspectusTitle, 1);
    cover += Pdf::text("F1", 13, Left, Top - 50, "Welcome to the college.");
    cover += Pdf::text("F1", 11, Left, Top - 75, "Full-time and part-time courses for school leavers and adults.");
    pdf.addPage(cover);

    QByteArray courses = heading("Courses", 2);
    int y = Top - 50;
    for (const Course &course : Courses) {
        courses += Pdf::text("F2", 11, Left, y, course.code) + Pdf::text("F1", 11, Left + 80, y, course.title);
        y -= 22;
    }
    pdf.addPage(courses);

    QByteArray contact = heading("Contact", 3);
    contact += Pdf::text("F1", 11, Left, Top - 50, "Admissions office, Main Building, room 12");
    contact += Pdf::text("F1", 11, Left, Top - 70, "Open Monday to Friday, 9:00 - 17:00");
    pdf.addPage(contact);
    return pdf.document(ProspectusTitle);
}

QByteArray SampleDocuments::attendanceArchive()
{
    static const char *const Marks[] = { "present", "present", "present", "late", "absent" };
    QByteArray out = "date,student,course,mark\n";
    out.reserve(ArchiveMinimumSize + 64);
    for (int row = 0; out.size() < ArchiveMinimumSize; ++row) {
        const int day = row / 600;
        out += "2024-" + QByteArray::number(9 + day / 28 % 4).rightJustified(2, '0') + '-'
            + QByteArray::number(1 + day % 28).rightJustified(2, '0') + ','
            + QByteArray::number(100001 + row % 600) + ',' + Courses[row % 6].code + ',' + Marks[row % 5]
            + '\n';
    }
    return out;
}

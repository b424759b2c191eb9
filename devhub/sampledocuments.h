#pragma once

#include <QByteArray>

// The documents a new demo home starts with, one of each kind the client's file browser and
// viewers handle: a text report, a picture, a multi-page PDF with a title, and a file too large to
// view. All are made in code, the same on every run.
class SampleDocuments
{
public:
    static constexpr char ProspectusTitle[] = "College Prospectus";
    static constexpr int ProspectusPages = 3;
    static constexpr int PictureWidth = 480;
    static constexpr int PictureHeight = 300;
    // Above the client's 8 MiB viewing limit.
    static constexpr int ArchiveMinimumSize = 9 * 1024 * 1024;

    static QByteArray termReport();
    static QByteArray campusPicture(); // PNG
    static QByteArray prospectus(); // PDF
    static QByteArray attendanceArchive(); // CSV
};

#pragma once

#include <QString>

// Decides what a finished browser download may do by itself. Only documents (PDF, pictures, plain
// text, CSV, office documents) go to the desktop's application for them; anything else (programs,
// scripts, shortcuts, web pages) is left where it was saved, since "opening" those runs them. The
// type is taken from both the name and the content, and both must say document: a script named
// report.pdf is no document.
class DownloadOpener
{
public:
    enum class Outcome {
        Opened, // handed to the desktop's application for it
        ShownInFolder, // a document no application opens: the file manager shows it
        NotOpened, // a document nothing could show
        NotADocument, // saved only
    };

    // The file's type by content and name, and whether it counts as a document.
    static bool isDocument(const QString &path, QString *typeName = nullptr);
    // Opens a document through QDesktopServices (whose "file" handler tests replace).
    static Outcome open(const QString &path);
};

#pragma once

#include <QString>

// The college library behind the dictionary editor's second database: books and the loans of the
// sample students, in one SQLite file created with fixed sample data when it is missing.
class LibraryDatabase
{
public:
    static constexpr int LoanCount = 40;

    // Creates the file, its tables and the sample data when they are missing.
    static bool ensure(const QString &path, QString *error);
};

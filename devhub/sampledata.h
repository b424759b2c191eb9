#pragma once

#include <QByteArray>
#include <QString>

class QSqlDatabase;

// The sample college the demo starts with: six programmes, their courses, and 64 students with
// graded course history, an identity picture each and, for most, guardians or sponsors permitted
// to act for them. Fixed seed: the same people every time, so that a demo script can name
// them; dates are relative to the current year.
class SampleData
{
public:
    static constexpr int StudentCount = 64;
    static constexpr int FirstStudentNumber = 100001;
    static constexpr quint32 Seed = 20240901;

    // Fills empty tables; the caller holds the transaction.
    static bool populate(QSqlDatabase &db, QString *error);
    // Pictures and permitted persons for every student in the file.
    static bool addIdentities(QSqlDatabase &db, QString *error);
    // The identity picture (PNG) of a student number; the same number, the same picture.
    static QByteArray picture(int studentNumber);
};

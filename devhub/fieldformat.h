#pragma once

#include <QDate>
#include <QString>

// How the classic demo writes and reads the values of its fields. The client shows what it is
// given and sends back what the user typed, so every value is parsed here and rejected with a
// message the user can act on.
class FieldFormat
{
public:
    static constexpr auto DateFormat = "MM/dd/yyyy"; // what the client's calendar writes
    static constexpr int MaxMoneyCents = 9999999; // 99,999.99

    static QString date(const QDate &date);
    // Accepts M/d/yyyy (leading zeros optional) and yyyy-MM-dd; empty gives a null date.
    static bool parseDate(const QString &text, QDate *date);

    static QString money(qint64 cents);
    // Accepts "1250", "1,250.5", "$1250.50"; no negative amounts, at most two decimals.
    static bool parseMoney(const QString &text, qint64 *cents);

    static QString logical(bool value);
    // Y/N, T/F, YES/NO, TRUE/FALSE in any case.
    static bool parseLogical(const QString &text, bool *value);

    // A whole number from min to max.
    static bool parseNumber(const QString &text, int min, int max, int *value);

    // The marker the client turns into the name of the key that produces code: byte 0xFE, the
    // decimal code and a space, which the client keeps.
    static QString keyMarker(int code);
};

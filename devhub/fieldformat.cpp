#include "fieldformat.h"

#include <QRegularExpression>

namespace {
constexpr QChar MarkerByte(0xFE);
}

QString FieldFormat::date(const QDate &date)
{
    return date.isValid() ? date.toString(QLatin1String(DateFormat)) : QString();
}

bool FieldFormat::parseDate(const QString &text, QDate *date)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        *date = QDate();
        return true;
    }
    static const QRegularExpression us(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    QDate parsed;
    if (const QRegularExpressionMatch m = us.match(trimmed); m.hasMatch())
        parsed = QDate(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    else if (const QRegularExpressionMatch m = iso.match(trimmed); m.hasMatch())
        parsed = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!parsed.isValid())
        return false;
    *date = parsed;
    return true;
}

QString FieldFormat::money(qint64 cents)
{
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

bool FieldFormat::parseMoney(const QString &text, qint64 *cents)
{
    QString plain = text.trimmed();
    if (plain.startsWith(QLatin1Char('$')))
        plain.remove(0, 1);
    plain.remove(QLatin1Char(','));
    static const QRegularExpression amount(QStringLiteral("^(\\d{1,7})(?:\\.(\\d{0,2}))?$"));
    const QRegularExpressionMatch m = amount.match(plain);
    if (!m.hasMatch())
        return false;
    const QString fraction = m.captured(2).leftJustified(2, QLatin1Char('0'));
    const qint64 value = m.captured(1).toLongLong() * 100 + fraction.toInt();
    if (value > MaxMoneyCents)
        return false;
    *cents = value;
    return true;
}

QString FieldFormat::logical(bool value)
{
    return value ? QStringLiteral("Y") : QStringLiteral("N");
}

bool FieldFormat::parseLogical(const QString &text, bool *value)
{
    const QString word = text.trimmed().toUpper();
    if (word == QLatin1String("Y") || word == QLatin1String("YES") || word == QLatin1String("T")
        || word == QLatin1String("TRUE")) {
        *value = true;
        return true;
    }
    if (word == QLatin1String("N") || word == QLatin1String("NO") || word == QLatin1String("F")
        || word == QLatin1String("FALSE")) {
        *value = false;
        return true;
    }
    return false;
}

bool FieldFormat::parseNumber(const QString &text, int min, int max, int *value)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,9}$"));
    const QString trimmed = text.trimmed();
    if (!digits.match(trimmed).hasMatch())
        return false;
    const int number = trimmed.toInt();
    if (number < min || number > max)
        return false;
    *value = number;
    return true;
}

QString FieldFormat::keyMarker(int code)
{
    return MarkerByte + QString::number(code) + QLatin1Char(' ');
}

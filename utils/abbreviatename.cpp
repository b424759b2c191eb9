#include "abbreviatename.h"

#include <QRegularExpression>
#include <QStringList>

QString abbreviateName(const QString &name)
{
    static const QRegularExpression notWordish(QStringLiteral("[^a-zA-Z\\d\\s]"));
    QString cleaned = name;
    cleaned.remove(notWordish);
    const QStringList words = cleaned.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {};
    if (words.size() == 1)
        return QString(words.first().front()) + words.first().back();
    return QString(words.first().front()) + words.last().front();
}

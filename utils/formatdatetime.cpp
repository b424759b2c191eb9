#include "formatdatetime.h"

#include <QDateTime>
#include <QLocale>

QString formatDateTime(const QDateTime &when)
{
    return QLocale().toString(when, QLocale::ShortFormat);
}

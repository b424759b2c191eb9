#include "fuzzsupport.h"

#include "classic/expandkeymarkers.h"

QList<QByteArray> fuzzSeeds()
{
    return { "Press \xfe" "13 to save, \xfe" "27 to leave", "\xfe" "999999999999 x", "end \xfe" "4" };
}

void fuzzOne(const QByteArray &input)
{
    expandKeyMarkers(input.toStdString());
}

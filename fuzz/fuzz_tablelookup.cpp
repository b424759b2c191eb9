#include "fuzzsupport.h"

#include "classic/tablelookupdialog.h"

#include <QStandardItemModel>
#include <QWidget>

// The items of a table lookup, one per line, as the popup shows them.
QList<QByteArray> fuzzSeeds()
{
    return { "A\tAlpha\t\nB\tBeta\t\nC\tGamma", "one\ntwo\t\tthree\t\t\t\nfour", "\t\t\n\t", "x" };
}

void fuzzOne(const QByteArray &input)
{
    static QWidget anchor;
    const QStringList items = QString::fromLatin1(input).split(QLatin1Char('\n'));
    const int columns = TableLookupDialog::columnCountFor(items);
    for (const QString &item : items)
        FUZZ_CHECK(TableLookupDialog::partsOf(item).size() <= item.count(QLatin1Char('\t')) + 1);
    TableLookupDialog dialog(&anchor, items, items.first());
    FUZZ_CHECK(dialog.model()->columnCount() <= qMax(columns, 1));
}

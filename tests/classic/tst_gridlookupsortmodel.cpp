#include "classic/gridlookupsortmodel.h"

#include <QDate>
#include <QStandardItemModel>
#include <QTest>

#include <limits>
#include <memory>

namespace {

constexpr int SortRole = Qt::UserRole + 1;

// One column of cells with the given sort values; a null value leaves the cell empty.
std::unique_ptr<QStandardItemModel> columnOf(const QVariantList &values)
{
    auto model = std::make_unique<QStandardItemModel>(values.size(), 2);
    model->setSortRole(SortRole);
    for (int row = 0; row < values.size(); ++row) {
        if (!values.at(row).isNull()) {
            auto *item = new QStandardItem(values.at(row).toString());
            item->setData(values.at(row), SortRole);
            model->setItem(row, 0, item);
        }
        model->setItem(row, 1, new QStandardItem(QString::number(row)));
    }
    return model;
}

// The original row numbers in the proxy's order.
QList<int> order(const QAbstractItemModel &proxy)
{
    QList<int> rows;
    for (int row = 0; row < proxy.rowCount(); ++row)
        rows.append(proxy.index(row, 1).data().toInt());
    return rows;
}

} // namespace

class tst_GridLookupSortModel : public QObject
{
    Q_OBJECT

private slots:
    void sortsByTypedValue_data()
    {
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QList<int>>("ascending");
        QTest::newRow("ints") << QVariantList { 10, 9, -3, 100 } << QList<int> { 2, 1, 0, 3 };
        QTest::newRow("floats") << QVariantList { 2.5f, -0.25f, 2.25f } << QList<int> { 1, 2, 0 };
        QTest::newRow("dates") << QVariantList { QDate(2020, 1, 1), QDate(2019, 12, 31), QDate() }
                               << QList<int> { 2, 1, 0 };
        QTest::newRow("texts, case-sensitive")
            << QVariantList { "b", "B", "a", "10", "9" } << QList<int> { 3, 4, 1, 2, 0 };
        QTest::newRow("missing first") << QVariantList { 5, QVariant(), 1 } << QList<int> { 1, 2, 0 };
        QTest::newRow("not a number with the missing")
            << QVariantList { 1.0, std::numeric_limits<double>::quiet_NaN(), -1.0 } << QList<int> { 1, 2, 0 };
        QTest::newRow("ties keep their order") << QVariantList { 2, 1, 2, 1 } << QList<int> { 1, 3, 0, 2 };
    }
    void sortsByTypedValue()
    {
        QFETCH(QVariantList, values);
        QFETCH(QList<int>, ascending);
        const std::unique_ptr<QStandardItemModel> source = columnOf(values);
        GridLookupSortModel proxy;
        proxy.setSortRole(SortRole);
        proxy.setSourceModel(source.get());
        proxy.sort(0, Qt::AscendingOrder);
        QCOMPARE(order(proxy), ascending);
        proxy.sort(0, Qt::DescendingOrder);
        QList<int> descending = ascending;
        std::reverse(descending.begin(), descending.end());
        // Equal values stay in the order of the previous sort, so only distinct ones reverse.
        if (QTest::currentDataTag() != QLatin1String("ties keep their order")
            && QTest::currentDataTag() != QLatin1String("not a number with the missing"))
            QCOMPARE(order(proxy), descending);
        // The source is never reordered.
        for (int row = 0; row < source->rowCount(); ++row)
            QCOMPARE(source->index(row, 1).data().toInt(), row);
    }

    void agreesWithSortingInPlace()
    {
        // The same typed data sorted by the item model itself gives the same order.
        QVariantList values;
        for (int i = 0; i < 200; ++i) {
            switch (i % 4) {
            case 0:
                values << (i * 37) % 101;
                break;
            case 1:
                values << float((i * 13) % 29) / 4;
                break;
            case 2:
                values << QDate(2000 + i % 7, 1 + i % 12, 1 + i % 28);
                break;
            default:
                values << QString::number((i * 7) % 50);
                break;
            }
        }
        for (int kind = 0; kind < 4; ++kind) {
            QVariantList column;
            for (int i = kind; i < values.size(); i += 4)
                column << values.at(i);
            const std::unique_ptr<QStandardItemModel> source = columnOf(column);
            GridLookupSortModel proxy;
            proxy.setSortRole(SortRole);
            proxy.setSourceModel(source.get());
            proxy.sort(0);
            const std::unique_ptr<QStandardItemModel> inPlace = columnOf(column);
            inPlace->sort(0);
            QCOMPARE(order(proxy), order(*inPlace));
        }
    }

    void textsOrderLikeQStringCompare()
    {
        // Shared beginnings longer and shorter than what the sort keeps inline, zero and high units.
        const QVector<QChar> alphabet { QChar(0),    QChar('A'),  QChar('a'),
                                        QChar(0xE9), QChar(0xFF), QChar(0x8000) };
        QVariantList values;
        quint32 seed = 12345;
        for (int i = 0; i < 600; ++i) {
            seed = seed * 1103515245U + 12345U;
            QString text
                = QString(int(seed >> 28) % 3 == 0 ? "SHAREDPREFIX" : "SH").left(int(seed >> 24) % 13);
            const int extra = int(seed >> 16) % 4;
            for (int j = 0; j < extra; ++j) {
                seed = seed * 1103515245U + 12345U;
                text.append(alphabet.at(int(seed >> 16) % alphabet.size()));
            }
            values << text;
        }
        const std::unique_ptr<QStandardItemModel> source = columnOf(values);
        GridLookupSortModel proxy;
        proxy.setSortRole(SortRole);
        proxy.setSourceModel(source.get());
        proxy.sort(0);
        QList<int> expected;
        for (int i = 0; i < values.size(); ++i)
            expected.append(i);
        std::stable_sort(expected.begin(), expected.end(), [&](int l, int r) {
            return values.at(l).toString().compare(values.at(r).toString(), Qt::CaseSensitive) < 0;
        });
        QCOMPARE(order(proxy), expected);
    }

    void successiveSortsActAsSecondaryKeys()
    {
        auto source = std::make_unique<QStandardItemModel>(4, 3);
        source->setSortRole(SortRole);
        const QList<std::pair<int, QString>> rows { { 2, "d" }, { 1, "c" }, { 2, "a" }, { 1, "b" } };
        for (int row = 0; row < rows.size(); ++row) {
            source->setItem(row, 0, new QStandardItem);
            source->item(row, 0)->setData(rows.at(row).first, SortRole);
            source->setItem(row, 1, new QStandardItem(QString::number(row)));
            source->setItem(row, 2, new QStandardItem);
            source->item(row, 2)->setData(rows.at(row).second, SortRole);
        }
        GridLookupSortModel proxy;
        proxy.setSortRole(SortRole);
        proxy.setSourceModel(source.get());
        proxy.sort(2);
        proxy.sort(0);
        QCOMPARE(order(proxy), (QList<int> { 3, 1, 2, 0 }));
    }

    void changedDataIsSortedByItsNewValue()
    {
        const std::unique_ptr<QStandardItemModel> source = columnOf({ 3, 2, 1 });
        GridLookupSortModel proxy;
        proxy.setSortRole(SortRole);
        proxy.setSourceModel(source.get());
        proxy.sort(0);
        QCOMPARE(order(proxy), (QList<int> { 2, 1, 0 }));
        source->item(0, 0)->setData(0, SortRole);
        QCOMPARE(order(proxy), (QList<int> { 0, 2, 1 }));
    }
};

QTEST_MAIN(tst_GridLookupSortModel)
#include "tst_gridlookupsortmodel.moc"

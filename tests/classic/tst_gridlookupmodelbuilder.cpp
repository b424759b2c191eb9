#include "classic/gridlookupmodelbuilder.h"

#include <QDate>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTest>

namespace {

struct Column
{
    const char *header;
    Pb::DisplayType type;
    bool hidden = false;
};

Pb::GridLookup lookupOf(std::initializer_list<Column> columns,
                        std::initializer_list<std::pair<int, std::vector<std::string>>> rows)
{
    Pb::GridLookup message;
    for (const Column &column : columns) {
        Pb::GridLookup::GridColumn *added = message.add_column();
        added->set_header(column.header);
        added->set_type(column.type);
        if (column.hidden)
            added->set_is_hidden(true);
    }
    for (const auto &row : rows) {
        Pb::GridLookup::GridRow *added = message.add_row();
        added->set_index(row.first);
        for (const std::string &item : row.second)
            added->add_item(item);
    }
    return message;
}

// A screen whose fields sit in the given grid columns of its layout.
std::string screenWith(std::initializer_list<std::pair<const char *, int>> fields, const char *title,
                       std::initializer_list<const char *> headers)
{
    std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>lookup</class><widget class="ZuScreen" name="lookup">
<property name="windowTitle"><string>)";
    xml += title;
    xml += R"(</string></property><property name="scrdotable_headers" stdset="0"><stringlist>)";
    for (const char *header : headers)
        xml += std::string("<string>") + header + "</string>";
    xml += R"(</stringlist></property><widget class="QWidget" name="visible_widgets">
<layout class="QGridLayout" name="grid">)";
    for (const auto &field : fields)
        xml += "<item row=\"0\" column=\"" + std::to_string(field.second)
            + "\"><widget class=\"ZuFieldWidget\" name=\"" + field.first + "\"/></item>";
    xml += "</layout></widget></widget></ui>";
    return xml;
}

QStringList columnTexts(const QStandardItemModel &model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts.append(model.index(row, column).data().toString());
    return texts;
}

QStringList headerTexts(const QStandardItemModel &model)
{
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column) {
        const QStandardItem *item = model.horizontalHeaderItem(column);
        texts.append(item ? item->text() : QStringLiteral("-"));
    }
    return texts;
}

} // namespace

class tst_GridLookupModelBuilder : public QObject
{
    Q_OBJECT

private slots:
    void withoutScreenColumnsKeepMessageOrder()
    {
        Pb::GridLookup message = lookupOf(
            { { "Code", Pb::CHARACTER }, { "Internal", Pb::INTEGER, true }, { "Name", Pb::CHARACTER } },
            { { 501, { "A1", "7", "Alpha" } }, { 502, { "B2", "8", "Beta" } } });
        message.set_title("Pick a Course");
        GridLookupModelBuilder builder(message);
        QCOMPARE(builder.title(), QString("Pick a Course"));
        QCOMPARE(builder.hiddenColumns(), QList<int> { 1 });
        const std::unique_ptr<QStandardItemModel> model = builder.takeModel();
        QVERIFY(model);
        QVERIFY(!builder.takeModel());
        QCOMPARE(model->columnCount(), 3);
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->sortRole(), int(Qt::UserRole + 1));
        QCOMPARE(headerTexts(*model), (QStringList { "Code", "Internal", "Name" }));
        QCOMPARE(columnTexts(*model, 2), (QStringList { "Alpha", "Beta" }));
        QCOMPARE(model->index(0, 0).data(Qt::UserRole).toInt(), 501);
        QCOMPARE(model->index(1, 0).data(Qt::UserRole).toInt(), 502);
        QVERIFY(!model->index(0, 1).data(Qt::UserRole).isValid());
    }

    void cellsCarryTypedSortValues_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("integer") << int(Pb::INTEGER) << "42" << QVariant(42);
        QTest::newRow("integer, grouped") << int(Pb::INTEGER) << "1,234" << QVariant(1234);
        QTest::newRow("integer, blanks") << int(Pb::INTEGER) << "  7 " << QVariant(7);
        QTest::newRow("integer, negative") << int(Pb::INTEGER) << "-15" << QVariant(-15);
        QTest::newRow("integer, not a number") << int(Pb::INTEGER) << "n/a" << QVariant(0);
        QTest::newRow("float") << int(Pb::FLOAT) << "3.25" << QVariant(3.25f);
        QTest::newRow("float, grouped") << int(Pb::FLOAT) << "1,000.5" << QVariant(1000.5f);
        QTest::newRow("date") << int(Pb::DATE) << "12/31/2019" << QVariant(QDate(2019, 12, 31));
        QTest::newRow("date, bad") << int(Pb::DATE) << "31/12/2019" << QVariant(QDate());
        QTest::newRow("character") << int(Pb::CHARACTER) << "007" << QVariant(QString("007"));
        QTest::newRow("datetime sorts as text")
            << int(Pb::DATETIME) << "12/31/2019 10:00" << QVariant(QString("12/31/2019 10:00"));
        QTest::newRow("interval sorts as text")
            << int(Pb::INTERVAL) << "3 days" << QVariant(QString("3 days"));
    }
    void cellsCarryTypedSortValues()
    {
        QFETCH(int, type);
        QFETCH(QString, text);
        QFETCH(QVariant, value);
        Pb::GridLookup message
            = lookupOf({ { "Only", Pb::DisplayType(type) } }, { { 1, { text.toStdString() } } });
        const std::unique_ptr<QStandardItemModel> model = GridLookupModelBuilder(message).takeModel();
        const QModelIndex cell = model->index(0, 0);
        QCOMPARE(cell.data().toString(), text);
        QCOMPARE(cell.data(Qt::UserRole + 1), value);
        const bool isText = value.userType() == QMetaType::QString;
        QCOMPARE(cell.data(Qt::TextAlignmentRole).isValid(), !isText);
        if (!isText)
            QCOMPARE(cell.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    }

    void textsAreLatin1()
    {
        Pb::GridLookup message = lookupOf({ { "Nom", Pb::CHARACTER } }, { { 1, { "Ren\xe9" } } });
        const std::unique_ptr<QStandardItemModel> model = GridLookupModelBuilder(message).takeModel();
        QCOMPARE(model->index(0, 0).data().toString(), QString::fromLatin1("Ren\xe9"));
    }

    void datesParseLikeTheGeneralParser_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *text : { "01/02/2020", "12/31/2019", "02/29/2020", "02/29/2021", "13/01/2020",
                                  "00/10/2020", "04/31/2020", "1/2/2020", "01/02/20", "ab/cd/efgh",
                                  "01-02-2020", "", " 01/02/2020", "01/02/20201" })
            QTest::newRow(text) << QString(text);
    }
    void datesParseLikeTheGeneralParser()
    {
        QFETCH(QString, text);
        QCOMPARE(GridLookupModelBuilder::parseDate(text), QDate::fromString(text, "MM/dd/yyyy"));
    }

    void sortingFollowsTheTypes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("ascending");
        QTest::newRow("integers by value") << int(Pb::INTEGER) << QStringList { "10", "9", "-1", "100" }
                                           << QStringList { "-1", "9", "10", "100" };
        QTest::newRow("floats by value") << int(Pb::FLOAT) << QStringList { "10.5", "9.75", "0.1" }
                                         << QStringList { "0.1", "9.75", "10.5" };
        QTest::newRow("dates by time")
            << int(Pb::DATE) << QStringList { "01/01/2020", "12/31/2019", "02/15/2019" }
            << QStringList { "02/15/2019", "12/31/2019", "01/01/2020" };
        QTest::newRow("characters as text")
            << int(Pb::CHARACTER) << QStringList { "10", "9", "100" } << QStringList { "10", "100", "9" };
    }
    void sortingFollowsTheTypes()
    {
        QFETCH(int, type);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, ascending);
        Pb::GridLookup message = lookupOf({ { "Value", Pb::DisplayType(type) } }, {});
        for (int i = 0; i < texts.size(); ++i) {
            Pb::GridLookup::GridRow *row = message.add_row();
            row->set_index(i);
            row->add_item(texts.at(i).toStdString());
        }
        const std::unique_ptr<QStandardItemModel> model = GridLookupModelBuilder(message).takeModel();
        model->sort(0, Qt::AscendingOrder);
        QCOMPARE(columnTexts(*model, 0), ascending);
        // Ids travel with their rows.
        for (int row = 0; row < model->rowCount(); ++row)
            QCOMPARE(texts.at(model->index(row, 0).data(Qt::UserRole).toInt()), ascending.at(row));
    }

    void screenOrdersColumnsAndHiddenColumnsFollow()
    {
        Pb::GridLookup message = lookupOf(
            { { "amount", Pb::INTEGER, true }, { "code", Pb::CHARACTER }, { "name", Pb::CHARACTER } },
            { { 11, { "300", "C1", "First" } }, { 12, { "40", "C2", "Second" } } });
        message.mutable_screen()->set_screen(screenWith({ { "name", 20 }, { "code", 2 }, { "amount", 40 } },
                                                        "Accounts", { "Code", "Name", "Amount" }));
        GridLookupModelBuilder builder(message);
        QCOMPARE(builder.columnPositions(), (QVector<int> { 2, 0, 1 }));
        QCOMPARE(builder.title(), QString("Accounts"));
        // The hidden message column 0 is display column 2.
        QCOMPARE(builder.hiddenColumns(), QList<int> { 2 });
        const std::unique_ptr<QStandardItemModel> model = builder.takeModel();
        QCOMPARE(headerTexts(*model), (QStringList { "Code", "Name", "Amount" }));
        QCOMPARE(columnTexts(*model, 0), (QStringList { "C1", "C2" }));
        QCOMPARE(columnTexts(*model, 2), (QStringList { "300", "40" }));
        QCOMPARE(model->index(1, 2).data(Qt::UserRole + 1), QVariant(40));
        // The id sits in the first display column, whichever message column fills it.
        QCOMPARE(model->index(1, 0).data(Qt::UserRole).toInt(), 12);

        message.set_title("Overridden");
        QCOMPARE(GridLookupModelBuilder(message).title(), QString("Overridden"));
    }

    void columnsTheScreenDoesNotPlaceFollowThePlacedOnes()
    {
        Pb::GridLookup message = lookupOf({ { "extra", Pb::CHARACTER },
                                            { "name", Pb::CHARACTER },
                                            { "note", Pb::CHARACTER, true },
                                            { "code", Pb::CHARACTER } },
                                          { { 1, { "x1", "First", "n1", "C1" } } });
        message.mutable_screen()->set_screen(
            screenWith({ { "code", 0 }, { "name", 10 } }, "T", { "Code", "Name" }));
        QTest::ignoreMessage(QtWarningMsg,
                             "ApplicationConnection::mh_grid_lookup() - header field not found: \"extra\"");
        QTest::ignoreMessage(QtWarningMsg,
                             "ApplicationConnection::mh_grid_lookup() - header field not found: \"note\"");
        GridLookupModelBuilder builder(message);
        QCOMPARE(builder.columnPositions(), (QVector<int> { 2, 1, 3, 0 }));
        QCOMPARE(builder.hiddenColumns(), QList<int> { 3 });
        const std::unique_ptr<QStandardItemModel> model = builder.takeModel();
        QCOMPARE(model->columnCount(), 4);
        QCOMPARE(columnTexts(*model, 0), QStringList { "C1" });
        QCOMPARE(columnTexts(*model, 1), QStringList { "First" });
        QCOMPARE(columnTexts(*model, 2), QStringList { "x1" });
        QCOMPARE(columnTexts(*model, 3), QStringList { "n1" });
        QCOMPARE(headerTexts(*model), (QStringList { "Code", "Name", "-", "-" }));
    }

    void unreadableScreenKeepsMessageOrder()
    {
        Pb::GridLookup message = lookupOf({ { "code", Pb::CHARACTER }, { "name", Pb::CHARACTER, true } },
                                          { { 1, { "C1", "First" } } });
        message.mutable_screen()->set_screen("<ui><widget");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("mh_grid_lookup\\(\\) - unreadable screen"));
        GridLookupModelBuilder builder(message);
        QCOMPARE(builder.columnPositions(), (QVector<int> { 0, 1 }));
        QCOMPARE(builder.hiddenColumns(), QList<int> { 1 });
        QCOMPARE(headerTexts(*builder.takeModel()), (QStringList { "code", "name" }));
    }

    void withoutColumnsTheFirstRowCounts()
    {
        Pb::GridLookup message
            = lookupOf({}, { { 1, { "a", "b" } }, { 2, { "c", "d", "surplus" } }, { 3, {} } });
        GridLookupModelBuilder builder(message);
        QVERIFY(builder.hiddenColumns().isEmpty());
        const std::unique_ptr<QStandardItemModel> model = builder.takeModel();
        QCOMPARE(model->columnCount(), 2);
        QCOMPARE(model->rowCount(), 3);
        QVERIFY(!model->horizontalHeaderItem(0));
        QCOMPARE(columnTexts(*model, 1), (QStringList { "b", "d", "" }));
        // A row without cells still answers with its id.
        QCOMPARE(model->index(2, 0).data(Qt::UserRole).toInt(), 3);
    }

    void emptyMessageGivesAnEmptyModel()
    {
        const std::unique_ptr<QStandardItemModel> model
            = GridLookupModelBuilder(Pb::GridLookup()).takeModel();
        QCOMPARE(model->rowCount(), 0);
        QCOMPARE(model->columnCount(), 0);
    }
};

QTEST_MAIN(tst_GridLookupModelBuilder)
#include "tst_gridlookupmodelbuilder.moc"

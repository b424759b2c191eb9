#include "applinks/gridlookupbuilder.h"

#include "uidlg.pb.h"

#include <QDate>
#include <QStandardItemModel>
#include <QTest>

namespace {

void addColumn(Pb::GridLookup *grid, const char *header, Pb::DisplayType type, bool hidden = false)
{
    Pb::GridLookup::GridColumn *column = grid->add_column();
    column->set_header(header);
    column->set_type(type);
    if (hidden)
        column->set_is_hidden(true);
}

void addRow(Pb::GridLookup *grid, int index, std::initializer_list<const char *> items)
{
    Pb::GridLookup::GridRow *row = grid->add_row();
    row->set_index(index);
    for (const char *item : items)
        row->add_item(item);
}

// A lookup screen whose fields put the columns in the order name, number, born.
const char LookupScreen[] = R"(<ui version="4.0"><widget class="ZuScreen" name="pick">
  <property name="windowTitle"><string>Pick a student</string></property>
  <property name="scrdotable_headers" stdset="0"><stringlist>
    <string>Name</string><string>No</string><string>Born</string></stringlist></property>
  <widget class="QWidget" name="visible_widgets"><layout class="QGridLayout" name="g">
    <item row="0" column="30"><widget class="ZuFieldWidget" name="born"/></item>
    <item row="0" column="2"><widget class="ZuFieldWidget" name="name"/></item>
    <item row="0" column="20"><widget class="ZuFieldWidget" name="number"/></item>
  </layout></widget></widget></ui>)";

} // namespace

class tst_GridLookupBuilder : public QObject
{
    Q_OBJECT

private slots:
    void columnsWithoutScreen()
    {
        Pb::GridLookup msg;
        addColumn(&msg, "No", Pb::INTEGER);
        addColumn(&msg, "Key", Pb::CHARACTER, true);
        addColumn(&msg, "Fee", Pb::FLOAT);
        addColumn(&msg, "Due", Pb::DATE);
        addRow(&msg, 41, { "12", "k", "3.5", "07/04/2024" });
        addRow(&msg, 42, { "9", "j", "10", "12/31/2023" });
        msg.set_title("Fees");

        QTest::ignoreMessage(QtDebugMsg, "Col: \"Key\"  isHidden: true");
        GridLookupBuilder grid(msg);
        const std::unique_ptr<QStandardItemModel> model = grid.takeModel();
        QCOMPARE(grid.title(), QString("Fees"));
        QCOMPARE(grid.hiddenColumns(), QList<int>({ 1 }));
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->columnCount(), 4);
        QCOMPARE(model->sortRole(), int(Qt::UserRole + 1));
        QCOMPARE(model->horizontalHeaderItem(2)->text(), QString("Fee"));

        // Typed sort values; typed cells are right-aligned, text cells are not.
        QCOMPARE(model->item(1, 0)->data(Qt::UserRole + 1), QVariant(9));
        QCOMPARE(model->item(0, 2)->data(Qt::UserRole + 1), QVariant(3.5f));
        QCOMPARE(model->item(0, 3)->data(Qt::UserRole + 1).toDate(), QDate(2024, 7, 4));
        QCOMPARE(model->item(0, 0)->textAlignment(), Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(model->item(0, 1)->data(Qt::UserRole + 1), QVariant(QString("k")));
        QCOMPARE(model->item(0, 1)->textAlignment(), Qt::Alignment());
        QCOMPARE(model->item(1, 0)->data(Qt::UserRole), QVariant(42));

        // Sorting by the sort role orders numbers as numbers.
        model->sort(0);
        QCOMPARE(model->item(0, 0)->text(), QString("9"));
    }

    void columnsFromTheFirstRow()
    {
        Pb::GridLookup msg;
        addRow(&msg, 1, { "a", "b" });
        addRow(&msg, 2, { "c", "d", "beyond" });
        GridLookupBuilder grid(msg);
        const std::unique_ptr<QStandardItemModel> model = grid.takeModel();
        QCOMPARE(model->columnCount(), 2);
        QCOMPARE(model->item(1, 1)->text(), QString("d"));
        QVERIFY(!model->horizontalHeaderItem(0));
    }

    void screenOrdersTheColumns()
    {
        Pb::GridLookup msg;
        msg.mutable_screen()->set_screen(LookupScreen);
        addColumn(&msg, "number", Pb::INTEGER);
        addColumn(&msg, "born", Pb::DATE);
        addColumn(&msg, "name", Pb::CHARACTER);
        addColumn(&msg, "ghost", Pb::CHARACTER);
        addRow(&msg, 7, { "1001", "01/02/2003", "Ada", "?" });

        QTest::ignoreMessage(QtWarningMsg,
                             "ApplicationConnection::mh_grid_lookup() - header field not found: \"ghost\"");
        GridLookupBuilder grid(msg);
        const std::unique_ptr<QStandardItemModel> model = grid.takeModel();
        QCOMPARE(grid.title(), QString("Pick a student"));
        QCOMPARE(model->horizontalHeaderItem(0)->text(), QString("Name"));
        QCOMPARE(model->item(0, 0)->text(), QString("Ada"));
        QCOMPARE(model->item(0, 1)->text(), QString("1001"));
        QCOMPARE(model->item(0, 2)->text(), QString("01/02/2003"));
        // A column the screen does not name goes last rather than over the first.
        QCOMPARE(model->item(0, 3)->text(), QString("?"));
        // The row index sits in the first display cell whatever column landed there.
        QCOMPARE(model->item(0, 0)->data(Qt::UserRole), QVariant(7));
    }
};

QTEST_GUILESS_MAIN(tst_GridLookupBuilder)
#include "tst_gridlookupbuilder.moc"

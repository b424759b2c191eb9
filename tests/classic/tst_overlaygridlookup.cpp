#include "classic/gridlookupmodelbuilder.h"
#include "classic/gridlookupsortmodel.h"
#include "classic/overlaygridlookup.h"
#include "classic/printtabledialog.h"
#include "classic/tableviewnosearch.h"
#include "classic/typeaheadfinder.h"

#include "modaldriver.h"
#include "overlaypage.h"
#include "pdfreadback.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Courses: id, code (text), credits (integer), start (date).
const std::vector<std::tuple<int, const char *, const char *, const char *>> Courses {
    { 701, "HIST", "10", "01/01/2020" },
    { 702, "ARTS", "9", "12/31/2019" },
    { 703, "MATH", "120", "03/15/2021" },
};

QStandardItemModel *courseModel(bool withHeaders = true)
{
    Pb::GridLookup message;
    for (auto [name, type] :
         { std::pair { "Code", Pb::CHARACTER }, { "Credits", Pb::INTEGER }, { "Start", Pb::DATE } }) {
        Pb::GridLookup::GridColumn *column = message.add_column();
        column->set_header(withHeaders ? name : "");
        column->set_type(type);
    }
    for (const auto &[id, code, credits, start] : Courses) {
        Pb::GridLookup::GridRow *row = message.add_row();
        row->set_index(id);
        for (const char *item : { code, credits, start })
            row->add_item(item);
    }
    QStandardItemModel *model = GridLookupModelBuilder(message).takeModel().release();
    if (!withHeaders) {
        for (int column = 0; column < model->columnCount(); ++column)
            delete model->takeHorizontalHeaderItem(column);
    }
    return model;
}

QStringList columnTexts(const QAbstractItemModel *model, int column)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts.append(model->index(row, column).data().toString());
    return texts;
}

} // namespace

class tst_OverlayGridLookup : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_page = std::make_unique<OverlayPage>();
    }
    void cleanup() { m_page.reset(); }

    void buildsTheForm()
    {
        QStandardItemModel *model = courseModel();
        OverlayGridLookup *overlay = open("Course Lookup", model, {});
        QCOMPARE(overlay->objectName(), QString("OverlayGridLookup"));
        auto *box = overlay->findChild<QFrame *>("selectionBox");
        QCOMPARE(overlay->draggableBox(), box);
        QCOMPARE(overlay->findChild<QLabel *>("formTitle")->text(), QString("Course Lookup"));
        QCOMPARE(overlay->findChild<QLabel *>("sortLabel")->text(),
                 QString("(Click on column header to sort.)"));
        QCOMPARE(overlay->findChild<QLabel *>("recordCountLabel")->text(), QString("3 records found"));
        QVERIFY(!overlay->findChild<QPushButton *>("printButton")->isHidden());
        auto *cancel = overlay->findChild<QPushButton *>("cancelButton");
        QCOMPARE(cancel->size(), QSize(32, 32));
        QCOMPARE(cancel->shortcut(), QKeySequence(Qt::Key_Escape));
        auto *okay = overlay->findChild<QPushButton *>("okayButton");
        QCOMPARE(okay->text(), QString("&OK"));
        QVERIFY(okay->isDefault());
        QCOMPARE(overlay->findChild<QPushButton *>("cancelButton_2")->text(), QString("&Cancel"));

        TableViewNoSearch *view = overlay->tableView();
        QCOMPARE(view->objectName(), QString("tableView"));
        QCOMPARE(view->model(), overlay->sortModel());
        QCOMPARE(overlay->sortModel()->sourceModel(), model);
        QCOMPARE(overlay->sortModel()->sortRole(), int(Qt::UserRole + 1));
        QCOMPARE(model->parent(), view);
        QCOMPARE(view->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(view->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(view->isSortingEnabled());
        QCOMPARE(view->horizontalHeader()->sortIndicatorSection(), -1);
        QVERIFY(view->horizontalHeader()->stretchLastSection());
        QVERIFY(view->verticalHeader()->isHidden());
        QVERIFY(!view->horizontalHeader()->isHidden());
        QCOMPARE(overlay->focusProxy(), view);
        // Row 0 is chosen, and the rows keep the message's order until the user sorts.
        QCOMPARE(view->currentIndex().row(), 0);
        QVERIFY(view->selectionModel()->isRowSelected(0, QModelIndex()));
        QCOMPARE(columnTexts(model, 0), (QStringList { "HIST", "ARTS", "MATH" }));
    }

    void headerRowHiddenWithoutHeaders()
    {
        OverlayGridLookup *overlay = open("T", courseModel(false), {});
        QVERIFY(overlay->tableView()->horizontalHeader()->isHidden());
    }

    void hiddenColumns()
    {
        QTest::ignoreMessage(QtWarningMsg, "OverlayGridLookup - hidden column out of range: 7");
        OverlayGridLookup *overlay = open("T", courseModel(), { 1, 7 });
        QVERIFY(!overlay->tableView()->isColumnHidden(0));
        QVERIFY(overlay->tableView()->isColumnHidden(1));
        QVERIFY(!overlay->tableView()->isColumnHidden(2));
        QCOMPARE(overlay->hiddenColumns(), (QList<int> { 1, 7 }));
        // The count is of records, whatever is hidden.
        QCOMPARE(overlay->findChild<QLabel *>("recordCountLabel")->text(), QString("3 records found"));
    }

    void screenOrderedLookupHidesTheRightColumn()
    {
        Pb::GridLookup message;
        for (const char *name : { "secret", "code" }) {
            Pb::GridLookup::GridColumn *column = message.add_column();
            column->set_header(name);
            column->set_is_hidden(std::string(name) == "secret");
        }
        Pb::GridLookup::GridRow *row = message.add_row();
        row->set_index(9);
        row->add_item("s3cr3t");
        row->add_item("CODE");
        message.mutable_screen()->set_screen(
            R"(<ui version="4.0"><widget class="ZuScreen" name="s"><widget class="QWidget" name="v">)"
            R"(<layout class="QGridLayout" name="g"><item row="0" column="0"><widget class="ZuFieldWidget" name="code"/>)"
            R"(</item><item row="0" column="5"><widget class="ZuFieldWidget" name="secret"/></item></layout>)"
            R"(</widget></widget></ui>)");
        GridLookupModelBuilder builder(message);
        OverlayGridLookup *overlay = open("T", builder.takeModel().release(), builder.hiddenColumns());
        QCOMPARE(overlay->model()->index(0, 0).data().toString(), QString("CODE"));
        QVERIFY(!overlay->tableView()->isColumnHidden(0));
        QVERIFY(overlay->tableView()->isColumnHidden(1));
    }

    void keysInTheTable_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("accepted");
        QTest::addColumn<bool>("rejected");
        QTest::newRow("o") << QList<int> { Qt::Key_O } << int(Qt::NoModifier) << 701 << false;
        QTest::newRow("O") << QList<int> { Qt::Key_O } << int(Qt::ShiftModifier) << 701 << false;
        QTest::newRow("Space") << QList<int> { Qt::Key_Space } << int(Qt::NoModifier) << 701 << false;
        QTest::newRow("Return") << QList<int> { Qt::Key_Return } << int(Qt::NoModifier) << 701 << false;
        QTest::newRow("Down, o") << QList<int> { Qt::Key_Down, Qt::Key_O } << int(Qt::NoModifier) << 702
                                 << false;
        QTest::newRow("PageDown, Return")
            << QList<int> { Qt::Key_PageDown, Qt::Key_Return } << int(Qt::NoModifier) << 703 << false;
        QTest::newRow("a letter finds, Return takes it")
            << QList<int> { Qt::Key_M, Qt::Key_Return } << int(Qt::NoModifier) << 703 << false;
        QTest::newRow("while finding, o is a letter")
            << QList<int> { Qt::Key_M, Qt::Key_O } << int(Qt::NoModifier) << -1 << false;
        QTest::newRow("c") << QList<int> { Qt::Key_C } << int(Qt::NoModifier) << -1 << true;
        QTest::newRow("C") << QList<int> { Qt::Key_C } << int(Qt::ShiftModifier) << -1 << true;
    }
    void keysInTheTable()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, modifiers);
        QFETCH(int, accepted);
        QFETCH(bool, rejected);
        OverlayGridLookup *overlay = open("T", courseModel(), {});
        QSignalSpy acceptedSpy(overlay, &OverlayGridLookup::accepted);
        QSignalSpy rejectedSpy(overlay, &OverlayGridLookup::rejected);
        for (int key : keys)
            QTest::keyClick(overlay->tableView(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(acceptedSpy.count(), accepted < 0 ? 0 : 1);
        if (accepted >= 0)
            QCOMPARE(acceptedSpy.at(0).at(0).toInt(), accepted);
        QCOMPARE(rejectedSpy.count(), rejected ? 1 : 0);
        QVERIFY(m_page->keys.isEmpty());
    }

    void otherKeysStayInTheOverlay()
    {
        OverlayGridLookup *overlay = open("T", courseModel(), {});
        for (Qt::Key key : { Qt::Key_X, Qt::Key_F6, Qt::Key_Tab, Qt::Key_Backspace, Qt::Key_Z })
            QTest::keyClick(overlay->tableView(), key);
        QTest::keyClick(overlay, Qt::Key_Z);
        QVERIFY(m_page->keys.isEmpty());
    }

    // Typing finds the next row whose sort column starts with what was typed; a pause starts over.
    void findAsYouType()
    {
        OverlayGridLookup *overlay = open("T", courseModel(), {});
        TableViewNoSearch *view = overlay->tableView();
        const auto currentCode = [view] { return view->currentIndex().siblingAtColumn(0).data().toString(); };
        QTest::keyClicks(view, "ma");
        QCOMPARE(currentCode(), QString("MATH"));
        QTest::keyClick(view, Qt::Key_Backspace);
        QCOMPARE(currentCode(), QString("MATH"));
        QTest::keyClicks(view, "x"); // no "MX": it stays
        QCOMPARE(currentCode(), QString("MATH"));
        QTest::qWait(TypeAheadFinder::PauseMs + 100);
        QTest::keyClicks(view, "h");
        QCOMPARE(currentCode(), QString("HIST"));

        // By the sort column, in the order shown.
        view->sortByColumn(1, Qt::DescendingOrder);
        QTest::qWait(TypeAheadFinder::PauseMs + 100);
        QTest::keyClicks(view, "1");
        QCOMPARE(currentCode(), QString("MATH"));
        QTest::qWait(TypeAheadFinder::PauseMs + 100);
        QTest::keyClicks(view, "1");
        QCOMPARE(currentCode(), QString("HIST"));
        QCOMPARE(view->currentIndex().row(), 1);
    }

    // Copy gives the shown rows and columns, sorted as shown; export writes the same as CSV.
    void copyAndExport()
    {
        OverlayGridLookup *overlay = open("Courses, \"all\"", courseModel(), { 2 });
        TableViewNoSearch *view = overlay->tableView();
        view->sortByColumn(1, Qt::DescendingOrder);
        view->selectionModel()->clearSelection();
        QTest::keySequence(view, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("Code\tCredits\nMATH\t120\nHIST\t10\nARTS\t9\n"));
        view->selectRow(0);
        view->selectionModel()->select(view->model()->index(2, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keySequence(view, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("Code\tCredits\nMATH\t120\nARTS\t9\n"));

        QStandardItemModel *tricky = courseModel();
        tricky->item(0, 0)->setText("a,b");
        tricky->item(1, 0)->setText("say \"hi\"");
        tricky->item(2, 0)->setText("two\nlines");
        overlay = open("T", tricky, { 1, 2 });
        overlay->tableView()->selectAll();
        QTemporaryDir dir;
        ModalDriver driver;
        driver.expectFileChoice(dir.filePath("out.csv"));
        overlay->tableView()->findChild<QAction *>("exportAction")->trigger();
        QTRY_VERIFY(driver.allHandled());
        QFile file(dir.filePath("out.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\xEF\xBB\xBF" "Code\r\n\"a,b\"\r\n\"say \"\"hi\"\"\"\r\n\"two\nlines\"\r\n"));
    }

    void mouseAndButtons()
    {
        OverlayGridLookup *overlay = open("T", courseModel(), {});
        QSignalSpy accepted(overlay, &OverlayGridLookup::accepted);
        QSignalSpy rejected(overlay, &OverlayGridLookup::rejected);
        TableViewNoSearch *view = overlay->tableView();
        const QPoint third = view->visualRect(view->model()->index(2, 1)).center();
        doubleClick(view->viewport(), third);
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(accepted.at(0).at(0).toInt(), 703);

        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                          view->visualRect(view->model()->index(1, 0)).center());
        QTest::mouseClick(overlay->findChild<QPushButton *>("okayButton"), Qt::LeftButton);
        QCOMPARE(accepted.count(), 2);
        QCOMPARE(accepted.at(1).at(0).toInt(), 702);

        QTest::mouseClick(overlay->findChild<QPushButton *>("cancelButton_2"), Qt::LeftButton);
        QCOMPARE(rejected.count(), 1);
        QTest::mouseClick(overlay->findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
        QCOMPARE(rejected.count(), 2);
        QTest::keyClick(view, Qt::Key_Escape);
        QTRY_COMPARE(rejected.count(), 3);
        QCOMPARE(accepted.count(), 2);
    }

    void emptyLookupCanOnlyBeCancelled()
    {
        OverlayGridLookup *overlay = open("T", new QStandardItemModel, {});
        QCOMPARE(overlay->findChild<QLabel *>("recordCountLabel")->text(), QString("0 records found"));
        QSignalSpy accepted(overlay, &OverlayGridLookup::accepted);
        QSignalSpy rejected(overlay, &OverlayGridLookup::rejected);
        QTest::keyClick(overlay->tableView(), Qt::Key_O);
        QTest::mouseClick(overlay->findChild<QPushButton *>("okayButton"), Qt::LeftButton);
        QCOMPARE(accepted.count(), 0);
        QCOMPARE(rejected.count(), 2);
    }

    void noModelShowsAnEmptyTable()
    {
        QTest::ignoreMessage(QtWarningMsg, "OverlayGridLookup - no model given; showing an empty table");
        OverlayGridLookup *overlay = open("T", nullptr, { 0 });
        QCOMPARE(overlay->model()->rowCount(), 0);
    }

    void headerClicksSortByTypedValue_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("ascending");
        QTest::addColumn<int>("firstId");
        QTest::newRow("code as text") << 0 << QStringList { "ARTS", "HIST", "MATH" } << 702;
        QTest::newRow("credits as numbers") << 1 << QStringList { "9", "10", "120" } << 702;
        QTest::newRow("start as dates")
            << 2 << QStringList { "12/31/2019", "01/01/2020", "03/15/2021" } << 702;
    }
    void headerClicksSortByTypedValue()
    {
        QFETCH(int, column);
        QFETCH(QStringList, ascending);
        QFETCH(int, firstId);
        OverlayGridLookup *overlay = open("T", courseModel(), {});
        QHeaderView *header = overlay->tableView()->horizontalHeader();
        const QPoint section(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                             header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, section);
        QCOMPARE(header->sortIndicatorSection(), column);
        QCOMPARE(columnTexts(overlay->tableView()->model(), column), ascending);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, section);
        std::reverse(ascending.begin(), ascending.end());
        QCOMPARE(columnTexts(overlay->tableView()->model(), column), ascending);
        std::reverse(ascending.begin(), ascending.end());
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, section);

        // The answer is the id of the row shown, not of the message's row at that place.
        QSignalSpy accepted(overlay, &OverlayGridLookup::accepted);
        QTest::keyClick(overlay->tableView(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(overlay->tableView(), Qt::Key_Return);
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(accepted.at(0).at(0).toInt(), firstId);
        // The session's model keeps the server's order.
        QCOMPARE(columnTexts(overlay->model(), 0), (QStringList { "HIST", "ARTS", "MATH" }));
    }

    void printsWhatTheTableShows()
    {
        OverlayGridLookup *overlay = open("Courses", courseModel(), { 2 });
        overlay->tableView()->sortByColumn(0, Qt::DescendingOrder);
        QTemporaryDir dir;
        const QString file = dir.filePath("courses.pdf");
        ModalDriver driver;
        QStringList boxes;
        driver.expect<PrintTableDialog>([&](PrintTableDialog *dialog) {
            for (QCheckBox *box : dialog->columnBoxes())
                boxes << box->text();
            const auto printer = PdfReadback::printerTo(file);
            QMetaObject::invokeMethod(dialog, "renderToPrinter", Q_ARG(QPrinter *, printer.get()));
            dialog->reject();
        });
        overlay->findChild<QPushButton *>("printButton")->click();
        QTRY_VERIFY(driver.allHandled());
        // The hidden column is not offered; the rows come in the order the user sorted them.
        QCOMPARE(boxes, (QStringList { "Code", "Credits" }));
        const QString text = PdfReadback(file).text(0);
        QVERIFY2(text.indexOf("MATH") >= 0 && text.indexOf("MATH") < text.indexOf("HIST")
                     && text.indexOf("HIST") < text.indexOf("ARTS"),
                 qPrintable(text));
        QVERIFY(!text.contains("2019"));
    }

    void tableSizeFollowsContentsWithinThePage()
    {
        OverlayGridLookup *overlay = open("T", courseModel(), {});
        TableViewNoSearch *view = overlay->tableView();
        for (int column = 0; column < 3; ++column)
            QCOMPARE(view->horizontalHeader()->sectionResizeMode(column), QHeaderView::Interactive);
        // Contents plus 4 for each column, plus 24 around; the last column then stretches.
        const QSize minimum = view->minimumSize();
        const int lastContents = minimum.width() - 24 - view->columnWidth(0) - view->columnWidth(1);
        QVERIFY(lastContents >= view->horizontalHeader()->sectionSizeHint(2) + 4);
        QVERIFY(lastContents <= view->columnWidth(2));
        QVERIFY(view->columnWidth(0) >= view->horizontalHeader()->sectionSizeHint(0) + 4);
        const int rows = view->horizontalHeader()->sizeHint().height() + 3 * view->rowHeight(0);
        QCOMPARE(minimum.height(), rows + 24);

        auto *big = new QStandardItemModel(500, 2);
        for (int row = 0; row < 500; ++row)
            big->setItem(row, 0, new QStandardItem(QString(80, QLatin1Char('W'))));
        delete overlay;
        overlay = open("T", big, {});
        QCOMPARE(overlay->tableView()->minimumSize(), QSize(1000 - 144, 800 - 232));
        m_page->resize(700, 500);
        overlay->resize(m_page->size());
        QCOMPARE(overlay->tableView()->minimumSize(), QSize(700 - 144, 500 - 232));
        QVERIFY(overlay->draggableBox()->geometry().right() <= 700);
    }

private:
    static void doubleClick(QWidget *widget, const QPoint &pos)
    {
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
        QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
        QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, pos);
    }

    OverlayGridLookup *open(const QString &title, QStandardItemModel *model, const QList<int> &hidden)
    {
        return m_page->show(new OverlayGridLookup(title, model, hidden, m_page.get()));
    }

    std::unique_ptr<OverlayPage> m_page;
};

QTEST_MAIN(tst_OverlayGridLookup)
#include "tst_overlaygridlookup.moc"

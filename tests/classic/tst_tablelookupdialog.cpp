#include "classic/tablelookupdialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyle>
#include <QTest>
#include <QTreeView>

#include <memory>

namespace {

QStringList selections(const QSignalSpy &spy)
{
    QStringList values;
    for (const QList<QVariant> &arguments : spy)
        values.append(arguments.at(0).toString());
    return values;
}

} // namespace

class tst_TableLookupDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_field = std::make_unique<QLineEdit>();
        m_field->setGeometry(100, 100, 160, 24);
        m_field->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_field.get()));
    }
    void cleanup()
    {
        m_dialog.reset();
        m_field.reset();
    }

    void columnCount_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("columns");
        QTest::newRow("empty list") << QStringList() << 1;
        QTest::newRow("plain words") << QStringList { "one", "a\tb" } << 1;
        QTest::newRow("one trailing tab") << QStringList { "one\t" } << 1;
        QTest::newRow("code and name") << QStringList { "A01\tAlpha" } << 2;
        QTest::newRow("two trailing tabs") << QStringList { "a\tb\t\t" } << 3;
        QTest::newRow("empty inner part") << QStringList { "a\t\tc" } << 3;
    }
    void columnCount()
    {
        QFETCH(QStringList, items);
        QFETCH(int, columns);
        QCOMPARE(TableLookupDialog::columnCountFor(items), columns);
    }

    void parts_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("parts");
        QTest::newRow("plain") << "one" << QStringList { "one" };
        QTest::newRow("empty") << "" << QStringList { "" };
        QTest::newRow("all trailing tabs go") << "a\tb\t\t\t" << QStringList { "a", "b" };
        QTest::newRow("inner empty parts stay") << "a\t\tc" << QStringList { "a", "", "c" };
    }
    void parts()
    {
        QFETCH(QString, item);
        QFETCH(QStringList, parts);
        QCOMPARE(TableLookupDialog::partsOf(item), parts);
    }

    void clickingARowReportsItsFirstColumn()
    {
        open({ "A01\tAlpha", "B02\tBeta" }, "");
        QTreeView *view = m_dialog->view();
        QCOMPARE(view->objectName(), QString("dropdownComboBox"));
        QCOMPARE(m_dialog->model()->columnCount(), 2);
        QCOMPARE(m_dialog->model()->rowCount(), 2);
        QCOMPARE(m_dialog->model()->index(1, 1).data().toString(), QString("Beta"));
        QVERIFY(!(m_dialog->model()->item(0, 0)->flags() & Qt::ItemIsEditable));
        QCOMPARE(m_dialog->model()->item(0, 0)->font().family(), QString("Source Code Pro"));
        QVERIFY(view->isHeaderHidden());

        QSignalSpy selected(m_dialog.get(), &TableLookupDialog::itemSelected);
        const QRect nameCell = view->visualRect(m_dialog->model()->index(1, 1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, nameCell.center());
        QCOMPARE(selections(selected), QStringList { "B02" });
    }

    void fieldTextPicksTheCurrentRow_data()
    {
        QTest::addColumn<QString>("fieldText");
        QTest::addColumn<int>("currentRow");
        QTest::newRow("second") << "B02" << 1;
        QTest::newRow("first match wins") << "A01" << 0;
        // Without a match the focused list starts at its first row.
        QTest::newRow("no match") << "Z99" << 0;
        QTest::newRow("second column does not count") << "Beta" << 0;
    }
    void fieldTextPicksTheCurrentRow()
    {
        QFETCH(QString, fieldText);
        QFETCH(int, currentRow);
        open({ "A01\tAlpha", "B02\tBeta", "A01\tAgain" }, fieldText);
        QCOMPARE(m_dialog->view()->currentIndex().row(), currentRow);
        QCOMPARE(QApplication::focusWidget(), m_dialog->view());

        QSignalSpy selected(m_dialog.get(), &TableLookupDialog::itemSelected);
        QTest::keyClick(m_dialog->view(), Qt::Key_Return);
        QCOMPARE(selections(selected),
                 QStringList { m_dialog->model()->index(currentRow, 0).data().toString() });
        // Return never closes the popup by itself.
        QVERIFY(m_dialog->isVisible());
    }

    void keyboardChoosesARow()
    {
        open({ "A01\tAlpha", "B02\tBeta", "C03\tGamma" }, "A01");
        QSignalSpy selected(m_dialog.get(), &TableLookupDialog::itemSelected);
        QTest::keyClick(m_dialog->view(), Qt::Key_Down);
        QTest::keyClick(m_dialog->view(), Qt::Key_Down);
        QTest::keyClick(m_dialog->view(), Qt::Key_Return);
        QCOMPARE(selections(selected), QStringList { "C03" });
    }

    void cancelReturnsTheFieldsInitialText()
    {
        open({ "A01\tAlpha", "B02\tBeta" }, "B02");
        m_field->setText("typed since");
        QSignalSpy selected(m_dialog.get(), &TableLookupDialog::itemSelected);
        QTest::keyClick(m_dialog->view(), Qt::Key_Down);
        QTest::keyClick(m_dialog->view(), Qt::Key_Escape);
        QCOMPARE(selections(selected), QStringList { "B02" });
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
    }

    void closingThePopupCancels()
    {
        open({ "A01" }, "old");
        QSignalSpy selected(m_dialog.get(), &TableLookupDialog::itemSelected);
        // What a click outside the popup does.
        m_dialog->close();
        QCOMPARE(selections(selected), QStringList { "old" });
    }

    void answersOnlyOnce()
    {
        open({ "A01\tAlpha", "B02\tBeta" }, "");
        QSignalSpy selected(m_dialog.get(), &TableLookupDialog::itemSelected);
        const QPoint cell = m_dialog->view()->visualRect(m_dialog->model()->index(0, 0)).center();
        QTest::mouseClick(m_dialog->view()->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        QTest::mouseDClick(m_dialog->view()->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        QTest::mouseRelease(m_dialog->view()->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        QTest::keyClick(m_dialog->view(), Qt::Key_Return);
        QTest::keyClick(m_dialog->view(), Qt::Key_Escape);
        QCOMPARE(selections(selected), QStringList { "A01" });
    }

    void emptyListReturnsNothingButCancels()
    {
        open({}, "keep");
        QCOMPARE(m_dialog->model()->columnCount(), 1);
        QCOMPARE(m_dialog->model()->rowCount(), 0);
        QSignalSpy selected(m_dialog.get(), &TableLookupDialog::itemSelected);
        QTest::keyClick(m_dialog->view(), Qt::Key_Return);
        QCOMPARE(selected.count(), 0);
        QTest::keyClick(m_dialog->view(), Qt::Key_Escape);
        QCOMPARE(selections(selected), QStringList { "keep" });
    }

    void surplusPartsAreDroppedWithAWarning()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TableLookupDialog - item 1 has 3 parts"));
        open({ "A01\tAlpha", "B02\tBeta\tExtra" }, "");
        QCOMPARE(m_dialog->model()->columnCount(), 2);
        QCOMPARE(m_dialog->model()->index(1, 1).data().toString(), QString("Beta"));
    }

    void columnsFitTheLongestText()
    {
        open({ "A\tShort", "ABCDEFGHIJ\tA much longer name" }, "");
        QTreeView *view = m_dialog->view();
        const int charWidth = view->fontMetrics().horizontalAdvance('M') + 2;
        QVERIFY(view->columnWidth(0) >= charWidth * 11);
        QVERIFY(view->columnWidth(1) >= charWidth * 19);
        QCOMPARE(view->header()->sectionResizeMode(0), QHeaderView::Fixed);
        const int expectedWidth = view->columnWidth(0) + view->columnWidth(1)
            + m_dialog->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 5;
        QCOMPARE(m_dialog->sizeHint().width(), expectedWidth);
        const QMargins frame = view->contentsMargins();
        QCOMPARE(m_dialog->sizeHint().height(), 2 * view->sizeHintForRow(0) + frame.top() + frame.bottom());
        // Every row fits: no scrolling for a short list.
        QVERIFY(view->viewport()->height() >= 2 * view->sizeHintForRow(0));
    }

    void opensBelowTheField()
    {
        open({ "A01\tAlpha" }, "");
        QCOMPARE(m_dialog->pos(), m_field->mapToGlobal(QPoint(0, m_field->height())));
    }

    void staysOnTheScreenNearItsCorner()
    {
        const QRect available = QApplication::primaryScreen()->availableGeometry();
        m_field->move(available.right() - 60, available.bottom() - 30);
        QStringList items;
        for (int i = 0; i < 12; ++i)
            items << QStringLiteral("CODE%1\tA rather long description").arg(i);
        open(items, "");
        const QRect shown = m_dialog->frameGeometry();
        QVERIFY2(available.contains(shown),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(shown.x())
                                .arg(shown.y())
                                .arg(shown.width())
                                .arg(shown.height())));
        const QPoint below = m_field->mapToGlobal(QPoint(0, m_field->height()));
        QVERIFY(shown.x() < below.x());
        QVERIFY(shown.y() < below.y());
    }

private:
    void open(const QStringList &items, const QString &fieldText)
    {
        m_field->setText(fieldText);
        m_dialog = std::make_unique<TableLookupDialog>(m_field.get(), items, fieldText, m_field.get());
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
        m_dialog->view()->setFocus();
    }

    std::unique_ptr<QLineEdit> m_field;
    std::unique_ptr<TableLookupDialog> m_dialog;
};

QTEST_MAIN(tst_TableLookupDialog)
#include "tst_tablelookupdialog.moc"

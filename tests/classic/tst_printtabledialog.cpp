#include "classic/printtabledialog.h"

#include "modaldriver.h"
#include "pdfreadback.h"

#include "testenvironment.h"
#include "utils/savednotice.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSettings>
#include <QStandardItemModel>
#include <QTest>

#include <memory>

namespace {

// Columns: id (hidden in the lookup), name, programme, remarks (empty unless a test fills some).
std::unique_ptr<QStandardItemModel> students(int rows)
{
    auto model = std::make_unique<QStandardItemModel>(rows, 4);
    model->setHorizontalHeaderItem(0, new QStandardItem("Id"));
    model->setHorizontalHeaderItem(1, new QStandardItem("Name & Co"));
    model->setHorizontalHeaderItem(2, new QStandardItem("Programme"));
    model->setHorizontalHeaderItem(3, new QStandardItem("Remarks"));
    for (int row = 0; row < rows; ++row) {
        model->setItem(row, 0, new QStandardItem(QString::number(row)));
        model->setItem(row, 1, new QStandardItem(QString("Student %1").arg(row, 3, 10, QLatin1Char('0'))));
        model->setItem(row, 2, new QStandardItem(QString("p%1").arg(row)));
        model->setItem(row, 3, new QStandardItem(QString()));
    }
    return model;
}

} // namespace

// The table print dialog: which columns it offers, the PDF choice every machine has, the widths
// it gives the columns, its page header, and a print to a PDF file chosen by the user, each
// checked on the PDF that comes out.
class tst_PrintTableDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_file = m_dir->filePath("table.pdf");
    }

    void offersTheVisibleColumns()
    {
        // Columns 2 and 4 have header items without text; column 3 has none, so the model
        // numbers it.
        QStandardItemModel model(2, 5);
        model.setHorizontalHeaderItem(0, new QStandardItem("Id"));
        model.setHorizontalHeaderItem(1, new QStandardItem("Name & Co"));
        model.setHorizontalHeaderItem(2, new QStandardItem);
        model.setHorizontalHeaderItem(4, new QStandardItem);
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 5; ++column)
                model.setItem(row, column, new QStandardItem(QString("c%1").arg(column)));
        }
        PrintTableDialog dialog("Students found", &model, { 0 });
        QCOMPARE(dialog.windowTitle(), QString("Table Print"));
        QStringList texts;
        QList<int> columns;
        for (QCheckBox *box : dialog.columnBoxes()) {
            QVERIFY(box->isChecked());
            texts << box->text();
            columns << box->property("columnIndex").toInt();
        }
        // An ampersand is no shortcut marker here.
        QCOMPARE(texts, (QStringList { "Name && Co", "Unnamed 1", "4", "Unnamed 2" }));
        QCOMPARE(columns, (QList<int> { 1, 2, 3, 4 }));

        // The header row prints what the boxes show.
        print(dialog);
        const QString text = PdfReadback(m_file).text(0);
        QVERIFY2(text.contains("Name&Co") && text.contains("Unnamed1") && text.contains("Unnamed2"),
                 qPrintable(text));
        QVERIFY(!text.contains("Id") && !text.contains("c0"));
    }

    void printerChoiceAlwaysOffersPdf()
    {
        auto model = students(1);
        PrintTableDialog dialog("T", model.get(), {});
        auto *combo = dialog.findChild<QComboBox *>("printerCombo");
        QCOMPARE(combo->itemText(combo->count() - 1), QString(PrintTableDialog::PdfChoice));
        combo->setCurrentIndex(combo->count() - 1);
        QCOMPARE(dialog.printer()->outputFormat(), QPrinter::PdfFormat);
        QVERIFY(dialog.preview());
        if (QPrinterInfo::availablePrinterNames().isEmpty())
            QCOMPARE(combo->count(), 1);
    }

    void widthsFollowTheLongestTexts_data()
    {
        QTest::addColumn<QString>("remark");
        QTest::addColumn<double>("nameShare");
        // Stretch = longest trimmed text + 2: names of 8 give 10, a remark of 18 gives 20.
        QTest::newRow("both with text") << "  eighteen letters..  " << 1.0 / 3;
        // No remark anywhere: the header "Remarks" (7) gives 9 instead of nothing.
        QTest::newRow("column without text") << "" << 10.0 / 19;
    }

    void widthsFollowTheLongestTexts()
    {
        QFETCH(QString, remark);
        QFETCH(double, nameShare);
        auto model = students(3);
        for (int row = 0; row < 3; ++row)
            model->item(row, 1)->setText(QString("Name %1  ").arg(row, 3, 10, QLatin1Char('0')));
        model->item(1, 3)->setText(remark);
        PrintTableDialog dialog("T", model.get(), { 0 });
        dialog.columnBoxes().at(1)->setChecked(false);
        print(dialog);
        const QVector<int> rules = PdfReadback(m_file).verticalRules(0);
        QCOMPARE(rules.size(), 3);
        const double share = double(rules.at(1) - rules.at(0)) / (rules.at(2) - rules.at(0));
        QVERIFY2(qAbs(share - nameShare) < 0.01, qPrintable(QString::number(share)));
    }

    void pageHeaderCountsPagesInRowOrder()
    {
        auto model = students(120);
        PrintTableDialog dialog("Students found", model.get(), {});
        QVector<int> reversed;
        for (int row = 119; row >= 0; --row)
            reversed << row;
        dialog.setRowOrder(reversed);
        print(dialog);
        PdfReadback pdf(m_file);
        QVERIFY(pdf.pageCount() >= 2);
        for (int page = 0; page < 2; ++page) {
            QVERIFY(pdf.text(page).contains("Studentsfound"));
            QVERIFY(pdf.text(page).contains(QString("page%1").arg(page + 1)));
        }
        const QString all = pdf.allText();
        QVERIFY(all.indexOf("Student119") >= 0);
        QVERIFY(all.indexOf("Student119") < all.indexOf("Student000"));
    }

    void noColumnCheckedPrintsNothing()
    {
        auto model = students(3);
        PrintTableDialog dialog("T", model.get(), {});
        for (QCheckBox *box : dialog.columnBoxes())
            box->setChecked(false);
        QTest::ignoreMessage(QtInfoMsg, "No columns selected");
        print(dialog);
        QVERIFY(!QFileInfo::exists(m_file));
    }

    void emptyGridPrintsItsHeaderRow()
    {
        auto model = students(0);
        PrintTableDialog dialog("Nobody", model.get(), { 0 });
        print(dialog);
        PdfReadback pdf(m_file);
        QCOMPARE(pdf.pageCount(), 1);
        QVERIFY2(pdf.text(0).contains("Name&Co") && pdf.text(0).contains("Remarks"), qPrintable(pdf.text(0)));
    }

    void printsToAPdfFileTheUserChooses()
    {
        auto model = students(5);
        auto *dialog = new PrintTableDialog("Students found", model.get(), { 0 });
        ModalDriver driver;
        driver.expect<PrintTableDialog>([](PrintTableDialog *shown) {
            auto *combo = shown->findChild<QComboBox *>("printerCombo");
            combo->setCurrentIndex(combo->findText(PrintTableDialog::PdfChoice));
            shown->findChild<QPushButton *>("printButton")->click();
        });
        // Without the suffix: the dialog adds it, and asks before replacing the file of that name.
        const QString chosen = m_dir->filePath("students");
        QFile existing(chosen + ".pdf");
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("older table") > 0);
        existing.close();
        driver.expectFileChoice(chosen);
        QString question;
        driver.expect<QMessageBox>([&question](QMessageBox *box) {
            question = box->text();
            box->button(QMessageBox::Yes)->click();
        });
        QCOMPARE(dialog->exec(), int(QDialog::Accepted));
        delete dialog;
        QVERIFY(driver.allHandled());
        QVERIFY(driver.unexpected().isEmpty());
        QVERIFY2(question.contains("students.pdf"), qPrintable(question));
        PdfReadback pdf(chosen + ".pdf");
        QVERIFY(pdf.isLoaded());
        QVERIFY(pdf.text(0).contains("Student004"));
        QCOMPARE(QSettings().value("downloadLocation").toString(), m_dir->path());
        SavedNotice *notice = nullptr;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *shown = qobject_cast<SavedNotice *>(window); shown && shown->isVisible())
                notice = shown;
        }
        QVERIFY(notice);
        QCOMPARE(notice->text(), "Saved to " + QDir::toNativeSeparators(chosen + ".pdf"));
        notice->close();
    }

private:
    void print(PrintTableDialog &dialog)
    {
        const auto printer = PdfReadback::printerTo(m_file);
        QVERIFY(QMetaObject::invokeMethod(&dialog, "renderToPrinter", Q_ARG(QPrinter *, printer.get())));
    }

    TestEnvironment m_environment;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
};

QTEST_MAIN(tst_PrintTableDialog)
#include "tst_printtabledialog.moc"

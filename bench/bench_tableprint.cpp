// A grid lookup of 10,000 records with 6 columns printed to a PDF file: the table print dialog's
// rendering (copy of the chosen columns, widths from the longest texts, TableRenderer with the page
// header) against the stock way of printing a table, a QTextDocument with a QTextTable of the same
// cells printed to the same kind of printer. Goal: under 3 s, and faster than the stock way.

#include "classic/printtabledialog.h"

#include "ratioreporter.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QPrinter>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <memory>

namespace {

constexpr int RowCount = 10000;
const char *const ColumnNames[]
    = { "Number", "Last name", "First name", "Programme", "Enrolled", "Fees due" };
constexpr int ColumnCount = int(std::size(ColumnNames));
const char *const Surnames[]
    = { "Abbott", "Baker", "Carter", "Duarte", "Ellis", "Fischer", "Garcia", "Hughes" };
const char *const FirstNames[] = { "Amelia", "Noah", "Olivia", "Liam", "Zoë", "José", "Renée", "Björn" };
const char *const Programmes[] = { "ARTS", "BUS", "COMP", "ENG", "HLTH", "NURS" };

QString cellText(int row, int column)
{
    switch (column) {
    case 0:
        return QString::number(100001 + row);
    case 1:
        return QLatin1String(Surnames[row % 8]);
    case 2:
        return QString::fromUtf8(FirstNames[(row / 8) % 8]);
    case 3:
        return QLatin1String(Programmes[row % 6]);
    case 4:
        return QStringLiteral("%1/%2/20%3")
            .arg(row % 12 + 1, 2, 10, QLatin1Char('0'))
            .arg(row % 28 + 1, 2, 10, QLatin1Char('0'))
            .arg(row % 20 + 5);
    default:
        return QStringLiteral("%1.00").arg(row * 37 % 9000);
    }
}

// As the grid lookup's model holds it: typed columns right-aligned.
QStandardItemModel *sharedGrid()
{
    static QStandardItemModel *grid = [] {
        auto *model = new QStandardItemModel(RowCount, ColumnCount);
        for (int column = 0; column < ColumnCount; ++column)
            model->setHorizontalHeaderItem(column, new QStandardItem(QLatin1String(ColumnNames[column])));
        for (int row = 0; row < RowCount; ++row) {
            for (int column = 0; column < ColumnCount; ++column) {
                auto *item = new QStandardItem(cellText(row, column));
                if (column == 0 || column >= 4)
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                model->setItem(row, column, item);
            }
        }
        return model;
    }();
    return grid;
}

std::unique_ptr<QPrinter> pdfPrinter(const QString &file)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setOutputFileName(file);
    return printer;
}

void BM_PrintTableDialog(benchmark::State &state)
{
    QTemporaryDir dir;
    PrintTableDialog dialog(QStringLiteral("Students found"), sharedGrid(), {});
    for (auto _ : state) {
        auto printer = pdfPrinter(dir.filePath(QStringLiteral("table.pdf")));
        QMetaObject::invokeMethod(&dialog, "renderToPrinter", Q_ARG(QPrinter *, printer.get()));
    }
    state.counters["pdf_kB"] = double(QFileInfo(dir.filePath(QStringLiteral("table.pdf"))).size()) / 1024;
}

void BM_TextDocumentTable(benchmark::State &state)
{
    QTemporaryDir dir;
    const QStandardItemModel *grid = sharedGrid();
    for (auto _ : state) {
        auto printer = pdfPrinter(dir.filePath(QStringLiteral("table.pdf")));
        QTextDocument document;
        QTextCursor cursor(&document);
        cursor.insertText(QStringLiteral("Students found"));
        QTextTableFormat format;
        format.setHeaderRowCount(1);
        format.setCellPadding(4);
        format.setCellSpacing(0);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        QTextTable *table = cursor.insertTable(RowCount + 1, ColumnCount, format);
        for (int column = 0; column < ColumnCount; ++column)
            table->cellAt(0, column).firstCursorPosition().insertText(
                grid->horizontalHeaderItem(column)->text());
        for (int row = 0; row < RowCount; ++row) {
            for (int column = 0; column < ColumnCount; ++column)
                table->cellAt(row + 1, column)
                    .firstCursorPosition()
                    .insertText(grid->item(row, column)->text());
        }
        document.print(printer.get());
    }
    state.counters["pdf_kB"] = double(QFileInfo(dir.filePath(QStringLiteral("table.pdf"))).size()) / 1024;
}

} // namespace

BENCHMARK(BM_PrintTableDialog)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TextDocumentTable)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    sharedGrid();
    RatioReporter reporter;
    reporter.addRatio("10,000 x 6 table to a PDF file (TableRenderer / QTextDocument table)",
                      "BM_PrintTableDialog/iterations:3", "BM_TextDocumentTable/iterations:1");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return 0;
}

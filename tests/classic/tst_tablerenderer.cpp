#include "classic/printpageheader.h"
#include "classic/tablerenderer.h"

#include "pdfreadback.h"

#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

namespace {

const QColor HeaderGrey(216, 216, 216);

std::unique_ptr<QStandardItemModel> table(int rows, const QStringList &headers,
                                          const std::function<QString(int, int)> &text)
{
    auto model = std::make_unique<QStandardItemModel>(rows, headers.size());
    model->setHorizontalHeaderLabels(headers);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < headers.size(); ++column)
            model->setItem(row, column, new QStandardItem(text(row, column)));
    }
    return model;
}

} // namespace

// Tables printed to real PDF files and read back: the checks that refuse a table, page breaks
// with the header row and the rules on every page, the width shares, rows taller than a page.
class tst_TableRenderer : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_file = m_dir->filePath("table.pdf");
        m_printer = PdfReadback::printerTo(m_file);
    }

    void refusesWhatCannotMakeATable_data()
    {
        QTest::addColumn<QVector<int>>("stretches");
        QTest::addColumn<bool>("painterActive");
        QTest::addColumn<QString>("error");
        QTest::newRow("stretch list too short")
            << QVector<int> { 1 } << true << "Different columns count in model and in columnStretch";
        QTest::newRow("negative stretch")
            << QVector<int> { 1, -1 } << true << "wrong column stretch, columnt: 1 stretch: -1";
        QTest::newRow("no stretch at all") << QVector<int> { 0, 0 } << true << "wrong stretch";
        QTest::newRow("painter not started")
            << QVector<int> { 1, 1 } << false << "painter.isActive() == false";
    }

    void refusesWhatCannotMakeATable()
    {
        QFETCH(QVector<int>, stretches);
        QFETCH(bool, painterActive);
        QFETCH(QString, error);
        auto model = table(3, { "A", "B" }, [](int row, int) { return QString("cell%1").arg(row); });
        QPainter painter;
        if (painterActive)
            QVERIFY(painter.begin(m_printer.get()));
        TableRenderer renderer(&painter, m_printer.get());
        QCOMPARE(renderer.errorMessage(), QString("No error"));
        QVERIFY(!renderer.renderTable(model.get(), stretches));
        QCOMPARE(renderer.errorMessage(), error);
        if (!painterActive)
            return;
        painter.end();
        PdfReadback pdf(m_file);
        QCOMPARE(pdf.pageCount(), 1);
        QCOMPARE(pdf.text(0).trimmed(), QString());
        QVERIFY(pdf.verticalRules(0).isEmpty());
    }

    void longTableRepeatsHeaderAndRulesOnEveryPage()
    {
        auto model = table(200, { "Number", "Name" }, [](int row, int column) {
            return column == 0 ? QString("r%1").arg(row, 3, 10, QLatin1Char('0'))
                               : QString("Student %1").arg(row);
        });
        PrintPageHeader header("Students found");
        QVERIFY(render(model.get(), { 4, 10 }, &header));
        PdfReadback pdf(m_file);
        QVERIFY(pdf.isLoaded());
        QVERIFY2(pdf.pageCount() >= 3, qPrintable(QString::number(pdf.pageCount())));
        QCOMPARE(header.pageNumber(), pdf.pageCount());
        int lastRowSeen = -1;
        for (int page = 0; page < pdf.pageCount(); ++page) {
            const QString text = pdf.text(page);
            QVERIFY2(text.contains("Studentsfound") && text.contains(QString("page%1").arg(page + 1)),
                     qPrintable(text.left(200)));
            QVERIFY(text.contains("Number") && text.contains("Name"));
            QVERIFY2(pdf.pixelsOf(page, HeaderGrey) > 1000, "no grey header row");
            QCOMPARE(pdf.verticalRules(page).size(), 3);
            // Each page goes on with the row after the last one of the page before.
            const int first = text.indexOf(QRegularExpression("r\\d{3}"));
            QVERIFY(first >= 0);
            QCOMPARE(text.mid(first + 1, 3).toInt(), lastRowSeen + 1);
            lastRowSeen = text.mid(text.lastIndexOf(QRegularExpression("r\\d{3}")) + 1, 3).toInt();
        }
        QCOMPARE(lastRowSeen, 199);
    }

    void columnsShareTheWidthByStretch()
    {
        auto model = table(3, { "Short", "Long" }, [](int, int) { return QString("x"); });
        QVERIFY(render(model.get(), { 10, 20 }));
        const QVector<int> rules = PdfReadback(m_file).verticalRules(0);
        QCOMPARE(rules.size(), 3);
        const double share = double(rules.at(1) - rules.at(0)) / (rules.at(2) - rules.at(0));
        QVERIFY2(qAbs(share - 1.0 / 3) < 0.01, qPrintable(QString::number(share)));
    }

    void rowTallerThanAPageIsDrawnAndEnds()
    {
        QStringList lines;
        for (int line = 0; line < 2000; ++line)
            lines << QString("line %1").arg(line);
        const QStringList cells { "before", lines.join('\n'), "after" };
        auto model = table(3, { "Text" }, [&](int row, int) { return cells.at(row); });
        // A page lower than the tallest row there may be.
        m_printer->setPageSize(QPageSize(QPageSize::A6));
        QVERIFY(render(model.get(), { 1 }));
        PdfReadback pdf(m_file);
        QCOMPARE(pdf.pageCount(), 3);
        QVERIFY(pdf.text(0).contains("before"));
        // Cut at the page, not spread over a thousand pages.
        QVERIFY(pdf.text(1).contains("line0") && !pdf.text(1).contains("line1999"));
        QVERIFY(pdf.text(2).contains("after"));

        // Alone at the top it stays on the first page instead of leaving that page empty.
        auto alone = table(1, { "Text" }, [&](int, int) { return cells.at(1); });
        init();
        m_printer->setPageSize(QPageSize(QPageSize::A6));
        QVERIFY(render(alone.get(), { 1 }));
        QCOMPARE(PdfReadback(m_file).pageCount(), 1);
        QVERIFY(PdfReadback(m_file).text(0).contains("line0"));
    }

    void emptyTableShowsItsHeaderRow()
    {
        auto model = table(0, { "Number", "Name" }, [](int, int) { return QString(); });
        QVERIFY(render(model.get(), { 8, 6 }));
        PdfReadback pdf(m_file);
        QCOMPARE(pdf.pageCount(), 1);
        QVERIFY(pdf.text(0).contains("Number") && pdf.text(0).contains("Name"));
        QVERIFY(pdf.pixelsOf(0, HeaderGrey) > 0);
        QCOMPARE(pdf.verticalRules(0).size(), 3);
    }

private:
    bool render(QStandardItemModel *model, const QVector<int> &stretches, PagePrepare *preparer = nullptr)
    {
        QPainter painter(m_printer.get());
        TableRenderer renderer(&painter, m_printer.get());
        renderer.setPagePreparer(preparer);
        QPen pen = painter.pen();
        pen.setWidth(0);
        renderer.setPen(pen);
        const bool ok = renderer.renderTable(model, stretches);
        if (!ok)
            qWarning() << renderer.errorMessage();
        return ok;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    std::unique_ptr<QPrinter> m_printer;
};

QTEST_MAIN(tst_TableRenderer)
#include "tst_tablerenderer.moc"

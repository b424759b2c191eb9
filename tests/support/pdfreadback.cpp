#include "pdfreadback.h"

#include <QColor>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QPrinter>
#include <QRegularExpression>

#include <algorithm>

namespace {
constexpr double RenderScale = 2.0; // pixels per PDF point
constexpr int DarkGrey = 160;
constexpr int ColourTolerance = 6;
constexpr double RuleShare = 0.9;
} // namespace

PdfReadback::PdfReadback(const QString &fileName)
    : m_document(std::make_unique<QPdfDocument>())
{
    m_document->load(fileName);
}

PdfReadback::~PdfReadback() = default;

std::unique_ptr<QPrinter> PdfReadback::printerTo(const QString &fileName)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setOutputFileName(fileName);
    return printer;
}

bool PdfReadback::isLoaded() const
{
    return m_document->status() == QPdfDocument::Ready;
}

int PdfReadback::pageCount() const
{
    return m_document->pageCount();
}

QString PdfReadback::compact(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

QString PdfReadback::text(int page) const
{
    return compact(m_document->getAllText(page).text());
}

QString PdfReadback::allText() const
{
    QString all;
    for (int page = 0; page < pageCount(); ++page)
        all += text(page);
    return all;
}

QImage PdfReadback::render(int page) const
{
    const QSize size = (m_document->pageSize(page) * RenderScale).toSize();
    QImage paper(size, QImage::Format_RGB32);
    paper.fill(Qt::white);
    QPainter painter(&paper);
    painter.drawImage(0, 0, m_document->render(page, size));
    return paper;
}

QVector<int> PdfReadback::verticalRules(int page) const
{
    const QImage image = render(page);
    QVector<int> longestRun(image.width(), 0);
    for (int x = 0; x < image.width(); ++x) {
        int run = 0;
        for (int y = 0; y < image.height(); ++y) {
            run = qGray(image.pixel(x, y)) < DarkGrey ? run + 1 : 0;
            longestRun[x] = qMax(longestRun.at(x), run);
        }
    }
    const int longest = *std::max_element(longestRun.cbegin(), longestRun.cend());
    QVector<int> rules;
    int groupStart = -1;
    for (int x = 0; x <= image.width(); ++x) {
        const bool rule = x < image.width() && longest > 0 && longestRun.at(x) >= longest * RuleShare;
        if (rule && groupStart < 0)
            groupStart = x;
        if (!rule && groupStart >= 0) {
            rules.append((groupStart + x - 1) / 2);
            groupStart = -1;
        }
    }
    return rules;
}

int PdfReadback::pixelsOf(int page, const QColor &colour) const
{
    const QImage image = render(page);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAbs(qRed(line[x]) - colour.red()) <= ColourTolerance
                && qAbs(qGreen(line[x]) - colour.green()) <= ColourTolerance
                && qAbs(qBlue(line[x]) - colour.blue()) <= ColourTolerance)
                ++count;
        }
    }
    return count;
}

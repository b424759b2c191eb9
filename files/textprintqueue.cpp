#include "textprintqueue.h"

#include "utils/fixedfont.h"
#include "utils/openprompt.h"
#include "utils/savednotice.h"

#include <QAbstractTextDocumentLayout>
#include <QDebug>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <QTextDocument>
#include <QTimer>

namespace {

// Time given to pages before the event loop runs again.
constexpr int SliceMs = 40;

QString pages(int count)
{
    return count == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(count);
}

} // namespace

TextPrintQueue::TextPrintQueue(QWidget *window)
    : QObject(window)
    , m_window(window)
{
}

TextPrintQueue::~TextPrintQueue()
{
    if (m_painter) {
        m_printer->abort();
        m_painter->end();
    }
}

void TextPrintQueue::print(const QString &text)
{
    if (m_queue.size() >= MaxQueued) {
        qWarning() << "TextPrintQueue::print() - print queue full; document dropped";
        emit statusMessage(QStringLiteral("Too many documents are waiting to be printed; one was dropped."));
        return;
    }
    m_queue.append(text);
    // The printer question is open, or pages are going out: this one follows.
    if (m_state != State::Idle)
        return;
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
    m_state = State::Asking;
    openPrompt(new QPrintDialog(m_printer.get(), m_window), this, [this](QPrintDialog *, int result) {
        if (result != QDialog::Accepted) {
            m_state = State::Idle;
            m_queue.clear();
            emit cancelled();
            return;
        }
        startRun();
    });
}

void TextPrintQueue::startRun()
{
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(m_printer.get())) {
        qWarning() << "TextPrintQueue - cannot start the printer" << m_printer->printerName();
        m_painter.reset();
        m_queue.clear();
        m_state = State::Idle;
        emit statusMessage(QStringLiteral("The printer %1 could not be started; nothing was printed.")
                               .arg(m_printer->printerName()));
        return;
    }
    m_state = State::Printing;
    m_printed = 0;
    m_stopRequested = false;
    auto *progress
        = new QProgressDialog(QStringLiteral("Printing..."), QStringLiteral("Abort"), 0, 0, m_window);
    progress->setWindowTitle(QStringLiteral("Printing"));
    progress->setMinimumDuration(ProgressDelayMs);
    progress->setAutoReset(false);
    progress->setValue(0);
    connect(progress, &QProgressDialog::canceled, this, [this] { m_stopRequested = true; });
    m_progress = progress;
    if (!beginDocument()) {
        endRun(false);
        return;
    }
    QTimer::singleShot(0, this, &TextPrintQueue::printSome);
}

bool TextPrintQueue::beginDocument()
{
    while (!m_queue.isEmpty()) {
        const QFont font = fixedPitchFont();
        const QFontMetricsF metrics(font);
        m_document = std::make_unique<QTextDocument>();
        m_document->setDocumentMargin(0);
        m_document->setDefaultFont(font);
        m_document->setPlainText(m_queue.first());
        QSizeF size = m_document->pageSize();
        size.setWidth(m_document->idealWidth());
        size = size.expandedTo(QSizeF(PageColumns * metrics.maxWidth(), PageLines * metrics.lineSpacing()));
        m_document->setPageSize(size);
        const int pages = m_document->pageCount();
        qDebug() << "pagesize:" << size << " pagecount:" << pages
                 << "idealwidth:" << m_document->idealWidth();
        // The page range the user chose applies to each document.
        m_page = m_printer->fromPage() > 0 ? m_printer->fromPage() : 1;
        m_lastPage = m_printer->toPage() > 0 ? qMin(m_printer->toPage(), pages) : pages;
        if (m_page <= m_lastPage) {
            if (m_progress) {
                m_progress->setMaximum(m_lastPage - m_page + 1);
                m_progress->setValue(0);
            }
            return true;
        }
        m_queue.removeFirst();
    }
    return false;
}

// The page drawing of QTextDocument::print, one page at a time: the document scaled from the
// screen's resolution, on which it was laid out, to the printer's page.
void TextPrintQueue::printSome()
{
    if (m_state != State::Printing)
        return;
    QElapsedTimer slice;
    slice.start();
    while (!m_stopRequested && slice.elapsed() < SliceMs) {
        if (m_printed > 0 && !m_printer->newPage()) {
            qWarning() << "TextPrintQueue - the printer refused a new page";
            endRun(true);
            return;
        }
        const QSizeF pageSize = m_document->pageSize();
        const QScreen *screen = QGuiApplication::primaryScreen();
        const qreal screenDpi = screen ? screen->logicalDotsPerInch() : 96.0;
        const qreal scaleX = qreal(m_printer->logicalDpiX()) / screenDpi;
        const qreal scaleY = qreal(m_printer->logicalDpiY()) / screenDpi;
        m_painter->save();
        m_painter->scale(scaleX, scaleY);
        m_painter->scale(m_printer->width() / (pageSize.width() * scaleX),
                         m_printer->height() / (pageSize.height() * scaleY));
        const QRectF view(0, (m_page - 1) * pageSize.height(), pageSize.width(), pageSize.height());
        m_painter->translate(0, -view.top());
        m_painter->setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        // Paper is white whatever the theme.
        context.palette.setColor(QPalette::Text, Qt::black);
        m_document->documentLayout()->draw(m_painter.get(), context);
        m_painter->restore();
        ++m_printed;
        if (m_progress) {
            m_progress->setLabelText(QStringLiteral("Printing page %1 of %2...").arg(m_page).arg(m_lastPage));
            m_progress->setValue(m_progress->value() + 1);
        }
        if (++m_page > m_lastPage) {
            m_queue.removeFirst();
            if (!beginDocument()) {
                endRun(false);
                return;
            }
        }
    }
    if (m_stopRequested) {
        endRun(true);
        return;
    }
    QTimer::singleShot(0, this, &TextPrintQueue::printSome);
}

void TextPrintQueue::endRun(bool stopped)
{
    if (stopped)
        m_printer->abort();
    m_painter->end();
    m_painter.reset();
    m_document.reset();
    m_queue.clear();
    m_state = State::Idle;
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
    }
    const bool toFile
        = m_printer->outputFormat() == QPrinter::PdfFormat && !m_printer->outputFileName().isEmpty();
    if (stopped) {
        emit statusMessage(QStringLiteral("Printing stopped after %1.").arg(pages(m_printed)));
    } else if (toFile) {
        SavedNotice::savedTo(m_window, m_printer->outputFileName());
    } else {
        emit statusMessage(
            QStringLiteral("Printed %1 on %2.").arg(pages(m_printed), m_printer->printerName()));
    }
}

#include "textprintqueue.h"

#include "utils/fixedfont.h"
#include "utils/openprompt.h"

#include <QDebug>
#include <QFontMetricsF>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>

TextPrintQueue::TextPrintQueue(QWidget *window)
    : QObject(window)
    , m_window(window)
{
}

TextPrintQueue::~TextPrintQueue() = default;

void TextPrintQueue::print(const QString &text)
{
    if (m_queue.size() >= MaxQueued) {
        qWarning() << "TextPrintQueue::print() - print queue full; document dropped";
        emit statusMessage(QStringLiteral("Too many documents are waiting to be printed; one was dropped."));
        return;
    }
    m_queue.append(text);
    // The printer question is open: it takes this one too.
    if (m_queue.size() > 1)
        return;
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
    openPrompt(new QPrintDialog(m_printer.get(), m_window), this, [this](QPrintDialog *, int result) {
        if (result != QDialog::Accepted) {
            m_queue.clear();
            emit cancelled();
            return;
        }
        printQueued();
    });
}

void TextPrintQueue::printQueued()
{
    const QFont font = fixedPitchFont();
    const QFontMetricsF metrics(font);
    while (!m_queue.isEmpty()) {
        QTextDocument document;
        document.setDocumentMargin(0);
        document.setDefaultFont(font);
        document.setPlainText(m_queue.first());
        QSizeF size = document.pageSize();
        size.setWidth(document.idealWidth());
        size = size.expandedTo(QSizeF(PageColumns * metrics.maxWidth(), PageLines * metrics.lineSpacing()));
        document.setPageSize(size);
        qDebug() << "pagesize:" << size << " pagecount:" << document.pageCount()
                 << "idealwidth:" << document.idealWidth();
        document.print(m_printer.get());
        m_queue.removeFirst();
    }
}

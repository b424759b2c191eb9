#include "files/textprintqueue.h"

#include "modaldriver.h"
#include "pdfreadback.h"

#include "utils/savednotice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPrintDialog>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class tst_TextPrintQueue : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_queue = std::make_unique<TextPrintQueue>(m_window.get());
        m_queue->setParent(nullptr);
    }

    void cleanup()
    {
        m_queue.reset();
        m_window.reset();
    }

    void printQueueCancelledDiscardsEverything()
    {
        ModalDriver driver;
        QSignalSpy cancelled(m_queue.get(), &TextPrintQueue::cancelled);
        QSignalSpy status(m_queue.get(), &TextPrintQueue::statusMessage);
        int dialogs = 0;
        driver.expect<QPrintDialog>([this, &dialogs](QPrintDialog *dialog) {
            ++dialogs;
            // Two more documents arrive while the dialog is open.
            m_queue->print("second");
            m_queue->print("third");
            dialog->reject();
        });
        m_queue->print("first");
        QTRY_COMPARE(dialogs, 1);
        QTRY_COMPARE(cancelled.size(), 1);
        QCOMPARE(m_queue->queuedCount(), 0);
        // A later document gets a dialog of its own: the queue was emptied.
        driver.expect<QPrintDialog>([&dialogs](QPrintDialog *dialog) {
            ++dialogs;
            dialog->reject();
        });
        m_queue->print("fourth");
        QTRY_COMPARE(dialogs, 2);
        QVERIFY(driver.unexpected().isEmpty());

        // A flood while the dialog is open is bounded, and the user is told.
        driver.expect<QPrintDialog>([this, &status](QPrintDialog *dialog) {
            QTest::ignoreMessage(QtWarningMsg, "TextPrintQueue::print() - print queue full; document dropped");
            for (int i = 0; i < 100; ++i)
                m_queue->print("flood");
            QVERIFY(status.size() == 1 && status.at(0).at(0).toString().contains("dropped"));
            dialog->reject();
        });
        m_queue->print("fifth");
        QTRY_VERIFY(driver.allHandled());
        QTRY_COMPARE(m_queue->queuedCount(), 0);
    }

    // Pages go out between events, documents that come meanwhile join the same job, and the end
    // names the file.
    void printsPageByPageIntoOneJob()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("queue.pdf");
        ModalDriver driver;
        driver.expect<QPrintDialog>([&](QPrintDialog *dialog) {
            // As "Print to File": set once the dialog has written its own choices to the printer.
            QPrinter *printer = dialog->printer();
            connect(dialog, &QDialog::accepted, [printer, file] {
                printer->setOutputFormat(QPrinter::PdfFormat);
                printer->setOutputFileName(file);
            });
            m_queue->print("second document");
            dialog->accept();
        });
        QString text = "first document\n";
        for (int i = 0; i < TextPrintQueue::PageLines * 600; ++i)
            text += QString("line %1\n").arg(i);
        m_queue->print(text);
        QTRY_VERIFY(m_queue->isPrinting());
        m_queue->print("third document");

        QElapsedTimer sinceTick;
        sinceTick.start();
        qint64 longestGap = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { longestGap = qMax(longestGap, sinceTick.restart()); });
        ticker.start(5);
        QTRY_VERIFY_WITH_TIMEOUT(!m_queue->isPrinting(), 60000);
        ticker.stop();
        QVERIFY2(longestGap < 250, qPrintable(QString("the event loop waited %1 ms").arg(longestGap)));

        auto *notice = m_window->findChild<SavedNotice *>();
        QVERIFY(notice);
        QCOMPARE(notice->text(), "Saved to " + QDir::toNativeSeparators(file));
        PdfReadback pdf(file);
        QVERIFY(pdf.pageCount() > 600);
        QVERIFY(pdf.text(0).startsWith("firstdocumentline0"));
        QVERIFY(pdf.text(pdf.pageCount() - 3)
                    .contains(QString("line%1").arg(TextPrintQueue::PageLines * 600 - 1)));
        QCOMPARE(pdf.text(pdf.pageCount() - 2), QString("seconddocument"));
        QCOMPARE(pdf.text(pdf.pageCount() - 1), QString("thirddocument"));
        QVERIFY(driver.unexpected().isEmpty());
    }

private:
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<TextPrintQueue> m_queue;
};

QTEST_MAIN(tst_TextPrintQueue)
#include "tst_textprintqueue.moc"

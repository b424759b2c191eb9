#include "files/textprintqueue.h"

#include "modaldriver.h"

#include <QPrintDialog>
#include <QSignalSpy>
#include <QTest>

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

private:
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<TextPrintQueue> m_queue;
};

QTEST_MAIN(tst_TextPrintQueue)
#include "tst_textprintqueue.moc"

#include "files/pdffileviewer.h"
#include "files/zoomselector.h"

#include "testdocuments.h"
#include "testenvironment.h"

#include <QLabel>
#include <QLineEdit>
#include <QPdfDocument>
#include <QPdfView>
#include <QPointer>
#include <QTest>

class tst_PdfFileViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_env = std::make_unique<TestEnvironment>(); }

    void title_data()
    {
        QTest::addColumn<QString>("metadataTitle");
        QTest::addColumn<QString>("windowTitle");
        QTest::newRow("with a title") << "Report"
                                      << "Report (a.pdf)";
        QTest::newRow("without") << QString() << "a.pdf";
    }

    void title()
    {
        QFETCH(QString, metadataTitle);
        QFETCH(QString, windowTitle);
        PdfFileViewer viewer("a.pdf", TestDocuments::pdf(2, metadataTitle), nullptr);
        QTRY_COMPARE(viewer.windowTitle(), windowTitle);
        QCOMPARE(viewer.zoomSelector()->currentText(), QString("100%"));
        QCOMPARE(viewer.view()->zoomMode(), QPdfView::CustomZoom);
        QCOMPARE(viewer.view()->zoomFactor(), 1.0);
        QCOMPARE(viewer.view()->pageMode(), QPdfView::MultiPage);
        QCOMPARE(viewer.findChild<QLineEdit *>()->text(), QString("1"));
    }

    // The view renders pages while it is shown; closing must not pull the document from under it.
    void closingWhileShown()
    {
        QPointer<PdfFileViewer> viewer = new PdfFileViewer("long.pdf", TestDocuments::pdf(30, "Long"), nullptr);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
        viewer->zoomSelector()->zoomIn();
        viewer->close();
        QTRY_VERIFY(!viewer);
    }

    void brokenDocumentStaysEmpty()
    {
        PdfFileViewer viewer("bad.pdf", "%PDF-1.4 nothing else", nullptr);
        viewer.show();
        QCOMPARE(viewer.windowTitle(), QString("bad.pdf"));
        QCOMPARE(viewer.document()->pageCount(), 0);
        QCOMPARE(viewer.findChild<QLineEdit *>()->text(), QString("0"));
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(tst_PdfFileViewer)
#include "tst_pdffileviewer.moc"

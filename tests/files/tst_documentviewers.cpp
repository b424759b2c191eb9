#include "files/documentviewers.h"
#include "files/documentviewer.h"
#include "files/fileviewer.h"
#include "utils/replaymode.h"

#include "modaldriver.h"
#include "testdocuments.h"
#include "testenvironment.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class tst_DocumentViewers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_env = std::make_unique<TestEnvironment>(); }

    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_viewers = std::make_unique<DocumentViewers>(m_window.get());
        m_viewers->setParent(nullptr);
    }

    void cleanup()
    {
        m_viewers.reset();
        m_window.reset();
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("name");
        QTest::newRow("unsafe characters") << "Fees/2026: term? report  "
                                           << "Fees_2026__term__report";
        QTest::newRow("all of them") << "a b%c\\d/e:f*g?h\"i<j>k|l"
                                     << "a_b_c_d_e_f_g_h_i_j_k_l";
        QTest::newRow("plain") << "transcript.pdf"
                               << "transcript.pdf";
    }
    void fileNames()
    {
        QFETCH(QString, title);
        QFETCH(QString, name);
        QCOMPARE(DocumentViewers::fileNameForTitle(title), name);
    }
    void emptyDocument()
    {
        ModalDriver driver;
        QString text;
        driver.expect<QMessageBox>([&text](QMessageBox *box) {
            text = box->windowTitle() + "|" + box->text();
            box->accept();
        });
        m_viewers->view("Report", QByteArray());
        QTRY_COMPARE(text, QString("Unable to view|This file is empty."));
    }
    void viewerChosenByContent_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("viewer");
        QTest::newRow("pdf") << "report.pdf" << TestDocuments::pdf(1) << "PdfFileViewer";
        QTest::newRow("picture named as text") << "scan.txt" << TestDocuments::png(QSize(20, 10))
                                               << "ImageFileViewer";
        QTest::newRow("text named as picture") << "photo.png" << QByteArray("not a picture") << "FileViewer";
        QTest::newRow("broken picture") << "broken.png" << TestDocuments::png(QSize(20, 10)).left(40)
                                        << "FileViewer";
    }
    void viewerChosenByContent()
    {
        QFETCH(QString, title);
        QFETCH(QByteArray, data);
        QFETCH(QString, viewer);
        m_viewers->view(title, data);
        DocumentViewer *opened = openViewer();
        QVERIFY(opened);
        QCOMPARE(QString(opened->metaObject()->className()), viewer);
        QVERIFY(opened->windowTitle().contains(title));
        opened->close();
    }
    // The arguments are split as a command line would be, and the document is one argument of its
    // own, however its name reads; no shell sees it. It goes when the window goes.
    void externalViewerGetsTheFileAsOneArgument()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath("arguments.txt");
        QFile script(dir.filePath("viewer.sh"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("out=\"$(dirname \"$0\")/arguments.txt\"\n"
                     "for a in \"$@\"; do echo \"[$a]\"; done > \"$out.part\"\n"
                     "cat \"$2\" >> \"$out.part\" && mv \"$out.part\" \"$out\"\n");
        script.close();
        QSettings settings;
        settings.setValue("settings/useExternalTextViewer", true);
        settings.setValue("settings/extTextViewerPath", "/bin/sh");
        settings.setValue("settings/extTextViewerArgs", QStringLiteral("\"%1\" \"two words\"").arg(script.fileName()));
        m_viewers->view("fees; rm -rf $HOME.txt", "Fees due\n");
        settings.setValue("settings/useExternalTextViewer", false);

        QFile written(out);
        QTRY_VERIFY(written.size() > 0);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(written.readAll()).split('\n');
        QCOMPARE(lines.value(0), QString("[two words]"));
        QVERIFY(lines.value(1).endsWith("-fees;_rm_-rf_$HOME.txt]"));
        QCOMPARE(lines.value(2), QString("Fees due"));
        const QString document = lines.value(1).mid(1).chopped(1);
        QVERIFY(QFile::exists(document));
        m_viewers.reset();
        QVERIFY(!QFile::exists(document));
    }
    // A replay starts no other program: the document shows in the built-in viewer.
    void replayKeepsToTheBuiltInViewer()
    {
        QSettings settings;
        settings.setValue("settings/useExternalTextViewer", true);
        settings.setValue("settings/extTextViewerPath", "/bin/false");
        ReplayMode::setReplaying(true);
        m_viewers->view("Fee statement", "Fees due\n");
        ReplayMode::setReplaying(false);
        settings.setValue("settings/useExternalTextViewer", false);
        DocumentViewer *opened = openViewer();
        QVERIFY(qobject_cast<FileViewer *>(opened));
        opened->close();
    }

    // Documents sent unasked open at most MaxViewers windows; closing one makes room again.
    void viewersAreCapped()
    {
        QSignalSpy status(m_viewers.get(), &DocumentViewers::statusMessage);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("too many viewers open"));
        for (int i = 0; i <= DocumentViewers::MaxViewers; ++i)
            m_viewers->view(QString("doc %1").arg(i), "text\n");
        QList<DocumentViewer *> viewers = openViewers();
        QCOMPARE(viewers.size(), DocumentViewers::MaxViewers);
        QCOMPARE(status.size(), 1);
        QVERIFY(status.at(0).at(0).toString().contains("Too many documents are open"));
        viewers.first()->close();
        QTRY_COMPARE(openViewers().size(), DocumentViewers::MaxViewers - 1);
        m_viewers->view("one more", "text\n");
        QCOMPARE(openViewers().size(), DocumentViewers::MaxViewers);
        for (DocumentViewer *viewer : openViewers())
            viewer->close();
    }

private:
    static QList<DocumentViewer *> openViewers()
    {
        QList<DocumentViewer *> viewers;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *viewer = qobject_cast<DocumentViewer *>(widget);
            if (viewer && viewer->isVisible())
                viewers << viewer;
        }
        return viewers;
    }

    static DocumentViewer *openViewer()
    {
        const QList<DocumentViewer *> viewers = openViewers();
        return viewers.value(0);
    }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<DocumentViewers> m_viewers;
};

QTEST_MAIN(tst_DocumentViewers)
#include "tst_documentviewers.moc"

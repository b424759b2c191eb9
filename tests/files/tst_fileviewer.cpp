#include "files/fileviewer.h"

#include "modaldriver.h"
#include "testdocuments.h"
#include "testenvironment.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <unistd.h>

namespace {

// Root may write any file, so a read-only file is only read-only to an ordinary user: a test run as
// root acts as "nobody" meanwhile (real and effective ids; the saved id brings root back).
class OrdinaryUser
{
public:
    OrdinaryUser()
    {
        if (::geteuid() == 0)
            m_switched = ::setresgid(65534, 65534, 0) == 0 && ::setresuid(65534, 65534, 0) == 0;
    }
    ~OrdinaryUser()
    {
        if (m_switched && ::setresuid(0, 0, 0) == 0)
            ::setresgid(0, 0, 0);
    }

private:
    bool m_switched = false;
};

} // namespace

class tst_FileViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_env = std::make_unique<TestEnvironment>(); }

    // Markup is still shown as rich text, but a picture it names on the workstation is not read.
    void markupLoadsNoResources()
    {
        QTemporaryDir dir;
        QFile picture(dir.filePath("wide.png"));
        QVERIFY(picture.open(QIODevice::WriteOnly));
        picture.write(TestDocuments::png(QSize(3000, 10)));
        picture.close();
        FileViewer viewer(QStringLiteral("<html><body><p><b>Fees</b> due</p><img src=\"%1\"></body></html>")
                              .arg(picture.fileName()),
                          nullptr);
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QVERIFY(viewer.textEdit()->toPlainText().startsWith("Fees due"));
        QVERIFY(viewer.textEdit()->document()->idealWidth() < 1000);

        FileViewer plain("total < 5 and width > 3", nullptr);
        QCOMPARE(plain.textEdit()->toPlainText(), QString("total < 5 and width > 3"));
    }

    void zoomCarriesOverToTheNextViewer()
    {
        QSettings().setValue("FileViewer/fontPointSize", 11.0);
        auto *first = new FileViewer("text", nullptr);
        first->setAttribute(Qt::WA_DeleteOnClose);
        first->show();
        QTest::keyClick(first->textEdit(), Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(first->textEdit(), Qt::Key_Plus, Qt::ControlModifier);
        first->close();
        FileViewer second("text", nullptr);
        second.ensurePolished();
        second.textEdit()->ensurePolished();
        QCOMPARE(second.textEdit()->font().pointSizeF(), 13.0);
        QVERIFY(QFontInfo(second.textEdit()->font()).fixedPitch());
    }

    void savingOverReadOnlyFileIsRefused()
    {
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                              | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
        QFile existing(dir.filePath("notes.txt"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("original");
        existing.close();
        QVERIFY(existing.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QSettings().setValue("downloadLocation", dir.path());

        FileViewer viewer("replacement", nullptr);
        viewer.setWindowTitle("notes.txt");
        ModalDriver driver;
        driver.expectFileChoice(existing.fileName());
        driver.expect<QMessageBox>([](QMessageBox *replace) { replace->button(QMessageBox::Yes)->click(); });
        QString refusal;
        driver.expect<QMessageBox>([&refusal](QMessageBox *box) {
            refusal = box->windowTitle() + "|" + box->text();
            box->accept();
        });
        {
            OrdinaryUser user;
            viewer.findChild<QPushButton *>("buttonSave")->click();
            QTRY_COMPARE(refusal, "File not writable|Unable to write to file '" + existing.fileName() + "'");
        }
        QVERIFY(driver.unexpected().isEmpty());
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("original"));
    }

    void savingWritesTheShownText()
    {
        QTemporaryDir dir;
        QSettings().setValue("downloadLocation", dir.path());
        FileViewer viewer("line one\r\nline two\r\n", nullptr);
        viewer.setWindowTitle("saved.txt");
        ModalDriver driver;
        driver.expect<QFileDialog>([](QFileDialog *dialog) { static_cast<QDialog *>(dialog)->accept(); });
        viewer.findChild<QPushButton *>("buttonSave")->click();
        QFile saved(dir.filePath("saved.txt"));
        QTRY_VERIFY(saved.exists());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("line one\nline two\n"));
        QCOMPARE(QSettings().value("downloadLocation").toString(), dir.path());
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(tst_FileViewer)
#include "tst_fileviewer.moc"

#include "files/fileviewer.h"

#include "modaldriver.h"
#include "testenvironment.h"

#include <QFile>
#include <QFontInfo>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTextFrame>

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

    // Markup from the server is shown as written: never laid out, never a picture read from the
    // workstation. Nested tables used to take layout time doubling with each level.
    void markupIsShownAsWritten_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("picture") << QByteArray(
            "<html><body><p><b>Fees</b> due</p><img src=\"/dev/zero\"></body></html>");
        QTest::newRow("comparison") << QByteArray("total < 5 and width > 3");
        QTest::newRow("nested tables") << QByteArray("<table><tr><td>").repeated(5000);
        QTest::newRow("NUL") << QByteArray("before\0after", 12);
    }

    void markupIsShownAsWritten()
    {
        QFETCH(QByteArray, data);
        FileViewer viewer(data, nullptr);
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QCOMPARE(viewer.textEdit()->toPlainText(), QString::fromLatin1(data.constData(), data.size())
                                                       .replace(QChar::Null, QChar::ReplacementCharacter));
        QCOMPARE(viewer.textEdit()->document()->rootFrame()->childFrames().size(), 0);
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
        // Whatever the system's monospace is: the bundled font stands in for a proportional one.
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

    // What the server sent, byte for byte: line ends and Latin-1 letters included.
    void savingWritesTheBytesReceived()
    {
        QTemporaryDir dir;
        QSettings().setValue("downloadLocation", dir.path());
        const QByteArray data("line one\r\ncaf\xe9 <b>two</b>\r\n");
        FileViewer viewer(data, nullptr);
        viewer.setWindowTitle("saved.txt");
        ModalDriver driver;
        driver.expect<QFileDialog>([](QFileDialog *dialog) { static_cast<QDialog *>(dialog)->accept(); });
        viewer.findChild<QPushButton *>("buttonSave")->click();
        QFile saved(dir.filePath("saved.txt"));
        QTRY_VERIFY(saved.exists());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), data);
        QCOMPARE(QSettings().value("downloadLocation").toString(), dir.path());
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(tst_FileViewer)
#include "tst_fileviewer.moc"

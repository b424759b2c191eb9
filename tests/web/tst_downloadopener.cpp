#include "web/downloadopener.h"

#include "urlcatcher.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

// What a finished download may open by itself, decided on real files; the desktop's "file"
// handler is replaced, so nothing is launched.
class tst_DownloadOpener : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QDesktopServices::setUrlHandler("file", &m_opener, "open");
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("file"); }

    void onlyDocumentsOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // "PNG": a real picture
        QTest::addColumn<bool>("opened");
        QTest::newRow("PDF") << "report.pdf" << QByteArray("%PDF-1.4\n1 0 obj\n<< >>\nendobj\n%%EOF\n") << true;
        QTest::newRow("picture") << "photo.png" << QByteArray("PNG") << true;
        QTest::newRow("CSV") << "grades.csv" << QByteArray("name,grade\nAda,A\n") << true;
        QTest::newRow("text") << "notes.txt" << QByteArray("Plain words.\n") << true;
        QTest::newRow("shell script") << "setup.sh" << QByteArray("#!/bin/sh\necho hi\n") << false;
        QTest::newRow("script named as PDF") << "report.pdf" << QByteArray("#!/bin/sh\nrm -rf ~\n") << false;
        QTest::newRow("executable") << "report" << QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x3e\0", 20)
                                    << false;
        QTest::newRow("Windows program") << "report.exe" << QByteArray("MZ\x90\0\x03\0\0\0", 8) << false;
        QTest::newRow("desktop entry") << "report.desktop"
                                       << QByteArray("[Desktop Entry]\nType=Application\nExec=sh -c id\n") << false;
        QTest::newRow("web page") << "report.html" << QByteArray("<html><script>alert(1)</script></html>") << false;
    }

    void onlyDocumentsOpen()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, opened);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_') + "/" + name);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        if (content == "PNG") {
            QImage picture(4, 4, QImage::Format_RGB32);
            picture.fill(Qt::red);
            QVERIFY(picture.save(path, "PNG"));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        m_opener.opened.clear();
        QString type;
        QCOMPARE(DownloadOpener::isDocument(path, &type), opened);
        QCOMPARE(DownloadOpener::open(path),
                 opened ? DownloadOpener::Outcome::Opened : DownloadOpener::Outcome::NotADocument);
        QCOMPARE(m_opener.opened, opened ? QList<QUrl> { QUrl::fromLocalFile(path) } : QList<QUrl>());
        QVERIFY2(QFile::exists(path), qPrintable(type)); // saved either way
    }

private:
    QTemporaryDir m_dir;
    UrlCatcher m_opener;
};

QTEST_MAIN(tst_DownloadOpener)
#include "tst_downloadopener.moc"

#include "utils/replaymode.h"
#include "utils/savednotice.h"

#include "urlcatcher.h"

#include <QDesktopServices>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The end of work that saved files: where they went, and a way to their folder that opens the
// folder (not the file, which might be a program) and nothing at all during a replay.
class tst_SavedNotice : public QObject
{
    Q_OBJECT

private slots:
    void namesTheFileAndOpensItsFolder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("report <b>1.csv");
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");

        QPointer<SavedNotice> notice = SavedNotice::savedTo(nullptr, path);
        QVERIFY(notice->isVisible() && !notice->isModal());
        QCOMPARE(notice->text(), QString("Saved to %1").arg(QDir::toNativeSeparators(path)));
        QCOMPARE(notice->textFormat(), Qt::PlainText);
        QVERIFY(notice->openFolderButton());
        notice->openFolderButton()->click();
        QCOMPARE(catcher.opened, QList<QUrl> { QUrl::fromLocalFile(dir.path()) });
        QTRY_VERIFY(!notice); // closed and deleted

        catcher.opened.clear();
        notice = SavedNotice::savedFilesTo(nullptr, dir.path(), 3);
        QCOMPARE(notice->text(), QString("Saved 3 files to %1").arg(QDir::toNativeSeparators(dir.path())));
        notice->openFolderButton()->click();
        QCOMPARE(catcher.opened, QList<QUrl> { QUrl::fromLocalFile(dir.path()) });

        ReplayMode::setReplaying(true);
        notice = SavedNotice::savedTo(nullptr, path);
        QVERIFY(!notice->openFolderButton());
        QCOMPARE(notice->buttons().size(), 1);
        notice->close();
        ReplayMode::setReplaying(false);
        QDesktopServices::unsetUrlHandler("file");
    }
};

QTEST_MAIN(tst_SavedNotice)
#include "tst_savednotice.moc"

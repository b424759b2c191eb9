#include "utils/noticeboard.h"

#include <QApplication>
#include <QTest>
#include <QTreeWidget>

// The servers' notices: however many come, one window of bounded size, the newest first.
class tst_NoticeBoard : public QObject
{
    Q_OBJECT

private slots:
    void floodIsOneBoundedWindow()
    {
        for (int i = 0; i < 3000; ++i)
            NoticeBoard::post(NoticeBoard::Kind::Warning, "ZU system notification", QString("notice %1").arg(i));
        int boards = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            boards += widget->isVisible() ? 1 : 0;
        QCOMPARE(boards, 1);
        NoticeBoard *board = NoticeBoard::instance();
        QCOMPARE(board->entryCount(), NoticeBoard::MaxKept);
        QCOMPARE(board->droppedCount(), 3000 - NoticeBoard::MaxKept);
        QCOMPARE(board->newestText(), QString("notice 2999"));
    }

    // A burst of the same text is one entry that counts; server text is never read as markup.
    void burstIsOneEntry()
    {
        NoticeBoard *board = NoticeBoard::instance();
        const int before = board->entryCount();
        const QString text("<b>Backup</b> at <img src=/dev/zero>");
        for (int i = 0; i < 30; ++i)
            NoticeBoard::post(NoticeBoard::Kind::Information, "ZU Status Message", text);
        QCOMPARE(board->newestText(), text);
        QCOMPARE(board->newestRepeats(), 30);
        QCOMPARE(board->entryCount(), qMin(before + 1, int(NoticeBoard::MaxKept)));
        auto *list = board->findChild<QTreeWidget *>("noticeList");
        QVERIFY(list->topLevelItem(0)->text(2).startsWith(text));
    }
};

QTEST_MAIN(tst_NoticeBoard)
#include "tst_noticeboard.moc"

#include "files/pageselector.h"

#include "testdocuments.h"

#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QPdfDocument>
#include <QPdfPageNavigation>
#include <QPushButton>
#include <QTest>

class tst_PageSelector : public QObject
{
    Q_OBJECT

private slots:
    void fivePages()
    {
        QBuffer buffer;
        buffer.setData(TestDocuments::pdf(5));
        buffer.open(QIODevice::ReadOnly);
        QPdfDocument document;
        document.load(&buffer);
        QTRY_COMPARE(document.status(), QPdfDocument::Ready);
        QPdfPageNavigation navigation;
        navigation.setDocument(&document);

        PageSelector selector;
        selector.setPageNavigation(&navigation);
        auto *number = selector.findChild<QLineEdit *>();
        auto *count = selector.findChild<QLabel *>();
        auto *previous = selector.findChild<QPushButton *>("prevButton");
        auto *next = selector.findChild<QPushButton *>("nextButton");
        QCOMPARE(number->text(), QString("1"));
        QCOMPARE(count->text(), QString("of 5"));
        QVERIFY(!previous->isEnabled());
        QVERIFY(next->isEnabled());

        const auto type = [number](const QString &text) {
            number->selectAll();
            QTest::keyClicks(number, text);
            QTest::keyClick(number, Qt::Key_Return);
        };
        type("3");
        QCOMPARE(navigation.currentPage(), 2);
        QCOMPARE(number->text(), QString("3"));
        QVERIFY(previous->isEnabled());

        type("99");
        QCOMPARE(navigation.currentPage(), 4);
        QCOMPARE(number->text(), QString("5"));
        QVERIFY(!next->isEnabled());

        type("x");
        QCOMPARE(navigation.currentPage(), 4);
        QCOMPARE(number->text(), QString("5"));

        previous->click();
        QCOMPARE(navigation.currentPage(), 3);
        QCOMPARE(number->text(), QString("4"));
    }

    void noDocument()
    {
        QPdfDocument broken;
        QBuffer buffer;
        buffer.setData("%PDF-1.4 this is not a document");
        buffer.open(QIODevice::ReadOnly);
        broken.load(&buffer);
        QPdfPageNavigation navigation;
        navigation.setDocument(&broken);
        PageSelector selector;
        selector.setPageNavigation(&navigation);
        QCOMPARE(selector.findChild<QLineEdit *>()->text(), QString("0"));
        QCOMPARE(selector.findChild<QLabel *>()->text(), QString("of 0"));
    }
};

QTEST_MAIN(tst_PageSelector)
#include "tst_pageselector.moc"

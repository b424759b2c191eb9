#include "files/aspectratiopixmaplabel.h"

#include <QTest>

Q_DECLARE_METATYPE(QMargins)

class tst_AspectRatioPixmapLabel : public QObject
{
    Q_OBJECT

private slots:
    void margins_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("label");
        QTest::addColumn<QMargins>("margins");
        // w = 200, h = 100: the picture is wider than the label's shape, so it is centred vertically.
        QTest::newRow("wide picture") << QSize(400, 100) << QSize(216, 116) << QMargins(8, 33, 8, 33);
        // w = 300, h = 100: the label is wider, so the picture is centred horizontally.
        QTest::newRow("square picture") << QSize(400, 400) << QSize(316, 116) << QMargins(108, 8, 108, 8);
    }

    void margins()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, label);
        QFETCH(QMargins, margins);
        QPixmap pixmap(picture);
        pixmap.fill(Qt::red);
        AspectRatioPixmapLabel widget;
        widget.setPixmap(pixmap);
        QCOMPARE(widget.maximumWidth(), picture.width());
        widget.resize(label);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        QCOMPARE(widget.size(), label);
        QCOMPARE(widget.contentsMargins(), margins);
    }

    void heightForWidth()
    {
        AspectRatioPixmapLabel widget;
        QCOMPARE(widget.heightForWidth(120), 120); // no picture yet
        QCOMPARE(widget.sizeHint(), QSize());
        QPixmap pixmap(400, 100);
        widget.setPixmap(pixmap);
        QCOMPARE(widget.heightForWidth(200), 50);
        QCOMPARE(widget.heightForWidth(133), 33);
        QCOMPARE(widget.heightForWidth(800), 100); // never stretched past its own size
        QCOMPARE(widget.sizeHint(), QSize(400, 100));
    }
};

QTEST_MAIN(tst_AspectRatioPixmapLabel)
#include "tst_aspectratiopixmaplabel.moc"

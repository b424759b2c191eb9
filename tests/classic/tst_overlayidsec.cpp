#include "classic/overlayidsec.h"
#include "files/aspectratiopixmaplabel.h"

#include "overlaypage.h"

#include <QApplication>
#include <QBuffer>
#include <QFrame>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <memory>

namespace {

struct Category
{
    const char *name;
    QList<const char *> permissions;
};

Pb::IdSec::PermittedPerson *addPerson(Pb::IdSec &card, const char *name, const char *relation,
                                      const QList<Category> &categories)
{
    Pb::IdSec::PermittedPerson *person = card.add_permitted_person();
    person->set_name(name);
    if (relation)
        person->set_relation(relation);
    for (const Category &category : categories) {
        Pb::IdSec::PermitCategory *granted = person->add_category();
        granted->set_name(category.name);
        for (const char *permission : category.permissions)
            granted->add_permission(permission);
    }
    return person;
}

QByteArray png(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QString labelAt(const QTableWidget *table, int row, int column)
{
    const auto *label = qobject_cast<const QLabel *>(table->cellWidget(row, column));
    return label ? label->text() : QString("<no label>");
}

} // namespace

// The identity overlay: its title, picture and permission table (spans, formatting, server text
// escaped, the empty case) and closing with Escape.
class tst_OverlayIdSec : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_page = std::make_unique<OverlayPage>();
    }
    void cleanup() { m_page.reset(); }

    void titleAndPicture()
    {
        Pb::IdSec card;
        card.set_image(png(QSize(120, 150)).toStdString());
        OverlayIdSec *overlay = open(card);
        QCOMPARE(overlay->objectName(), QString("OverlayIdSec"));
        QCOMPARE(overlay->draggableBox(), overlay->findChild<QFrame *>("idSecBox"));
        QCOMPARE(overlay->findChild<QLabel *>("formTitle")->text(), QString("Unknown User"));
        auto *image = overlay->findChild<AspectRatioPixmapLabel *>("image");
        QCOMPARE(image->pixmap(Qt::ReturnByValue).size(), QSize(120, 150));
        QVERIFY(overlay->findChild<QWidget *>("imageContainer")->isVisible());

        // A title with markup is shown as typed.
        Pb::IdSec named;
        named.set_title("<b>Zo\xEB</b> & co");
        QCOMPARE(open(named)->findChild<QLabel *>("formTitle")->text(), QString::fromUtf8("<b>Zoë</b> & co"));
    }

    void badPictureHidesThePictureArea_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("not a picture") << QByteArray("no picture here");
        // A header that claims a picture far too large to decode.
        QTest::newRow("claims 100000 x 100000")
            << QByteArray("P6\n100000 100000\n255\n") + QByteArray(64, 'x');
    }

    void badPictureHidesThePictureArea()
    {
        QFETCH(QByteArray, data);
        Pb::IdSec card;
        card.set_image(data.toStdString());
        addPerson(card, "Helen Adams", "Mother", { { "Finance", { "Pay fees" } } });
        QTest::ignoreMessage(QtWarningMsg, "ClassicApplicationWidget::showImage() - invalid image data.");
        OverlayIdSec *overlay = open(card);
        QVERIFY(overlay->findChild<QWidget *>("imageContainer")->isHidden());
        QCOMPARE(overlay->tableWidget()->rowCount(), 1);
    }

    void permissionTable()
    {
        Pb::IdSec card;
        card.set_title("Amelia Adams (100001)");
        addPerson(card, "Helen Adams", "Mother",
                  { { "Academic records", { "View grades", "View timetable", "Discuss progress" } },
                    { "Finance", { "Pay fees" } } });
        addPerson(card, "Baker & Sons <Ltd>", nullptr, { { "Fin<i>ance</i>", { "Pay & <b>view</b>" } } });
        // Nobody may take away this person's own row.
        addPerson(card, "Peter Adams", "Father", {});
        addPerson(card, "Ruth Adams", "Grandparent", { { "Collection", { "Collect certificates" } } });
        QTableWidget *table = open(card)->tableWidget();

        QCOMPARE(table->columnCount(), 3);
        QStringList headers;
        for (int column = 0; column < 3; ++column)
            headers << table->horizontalHeaderItem(column)->text();
        QCOMPARE(headers, (QStringList { "Name", "Category", "Permissions" }));
        QCOMPARE(table->rowCount(), 5);

        QCOMPARE(table->rowSpan(0, 0), 2);
        QCOMPARE(labelAt(table, 0, 0), QString("<b>Helen Adams</b><br><i>Mother</i>"));
        QCOMPARE(table->item(0, 1)->text(), QString("Academic records"));
        QCOMPARE(labelAt(table, 0, 2), QString("View grades<br>View timetable<br>Discuss progress"));
        QVERIFY(table->rowHeight(0) > table->rowHeight(1));
        QCOMPARE(table->item(1, 1)->text(), QString("Finance"));

        // Server text inside rich text is escaped; plain items keep it as it is.
        QCOMPARE(table->rowSpan(2, 0), 1);
        QCOMPARE(labelAt(table, 2, 0), QString("<b>Baker &amp; Sons &lt;Ltd&gt;</b>"));
        QCOMPARE(table->item(2, 1)->text(), QString("Fin<i>ance</i>"));
        QCOMPARE(labelAt(table, 2, 2), QString("Pay &amp; &lt;b&gt;view&lt;/b&gt;"));
        for (int row : { 0, 2 })
            QCOMPARE(qobject_cast<QLabel *>(table->cellWidget(row, 0))->textFormat(), Qt::RichText);

        QCOMPARE(labelAt(table, 3, 0), QString("<b>Peter Adams</b><br><i>Father</i>"));
        QVERIFY(!table->item(3, 1));
        QCOMPARE(labelAt(table, 4, 0), QString("<b>Ruth Adams</b><br><i>Grandparent</i>"));
        QCOMPARE(table->item(4, 1)->text(), QString("Collection"));
        QVERIFY(!table->horizontalHeader()->isHidden());
        QCOMPARE(table->selectionMode(), QAbstractItemView::NoSelection);
        QVERIFY(table->verticalHeader()->isHidden());
    }

    void noPermissions()
    {
        QTableWidget *table = open(Pb::IdSec())->tableWidget();
        QCOMPARE(table->columnCount(), 1);
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->item(0, 0)->text(), QString("No permissions have been granted"));
        QVERIFY(table->horizontalHeader()->isHidden());
    }

    void escapeCloses()
    {
        OverlayIdSec *overlay = open(Pb::IdSec());
        QSignalSpy closed(overlay, &OverlayIdSec::okayButtonPressed);
        QTest::keyClick(overlay, Qt::Key_Escape);
        QTRY_COMPARE(closed.count(), 1);
        overlay->findChild<QPushButton *>("closeButton")->click();
        QCOMPARE(closed.count(), 2);
    }

private:
    OverlayIdSec *open(const Pb::IdSec &card) { return m_page->show(new OverlayIdSec(card, m_page.get())); }

    std::unique_ptr<OverlayPage> m_page;
};

QTEST_MAIN(tst_OverlayIdSec)
#include "tst_overlayidsec.moc"

#include "classic/abstractdraggableoverlay.h"

#include <QApplication>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr QSize BoxSize(200, 100);

class TestOverlay : public AbstractDraggableOverlay
{
public:
    explicit TestOverlay(QWidget *parent)
        : AbstractDraggableOverlay(parent)
    {
        box = new QFrame(this);
        box->setFixedSize(BoxSize);
        auto *layout = new QVBoxLayout(box);
        button = new QPushButton(QStringLiteral("OK"), box);
        layout->addWidget(button);
        setDraggableBox(box);
    }
    RingMenuWidget *ringMenu() const override { return nullptr; }

    QFrame *box;
    QPushButton *button;
};

void sendMouse(QWidget *receiver, QEvent::Type type, const QPoint &pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, receiver->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(receiver, &event);
}

} // namespace

class tst_AbstractDraggableOverlay : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_page = std::make_unique<QWidget>();
        m_page->resize(800, 600);
        m_overlay = new TestOverlay(m_page.get());
        m_overlay->resize(800, 600);
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    }
    void cleanup() { m_page.reset(); }

    void boxHasShadow()
    {
        QVERIFY(qobject_cast<QGraphicsDropShadowEffect *>(m_overlay->box->graphicsEffect()));
    }

    void placedCentredAndAThirdDown_data()
    {
        QTest::addColumn<QSize>("overlaySize");
        QTest::addColumn<QPoint>("boxPos");
        QTest::newRow("roomy") << QSize(800, 600) << QPoint(300, 166);
        QTest::newRow("odd sizes") << QSize(801, 403) << QPoint(300, 101);
        QTest::newRow("narrower than the box") << QSize(150, 600) << QPoint(0, 166);
        QTest::newRow("lower than the box") << QSize(800, 60) << QPoint(300, 0);
    }
    void placedCentredAndAThirdDown()
    {
        QFETCH(QSize, overlaySize);
        QFETCH(QPoint, boxPos);
        m_overlay->resize(overlaySize);
        QCOMPARE(m_overlay->box->pos(), boxPos);
        QVERIFY(!m_overlay->isMovedByUser());
    }

    void dragMovesBoxInsideOverlay_data()
    {
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("free") << QPoint(-100, 50) << QPoint(200, 216);
        QTest::newRow("past the left and top") << QPoint(-1000, -1000) << QPoint(0, 0);
        QTest::newRow("past the right and bottom") << QPoint(1000, 1000) << QPoint(600, 500);
    }
    void dragMovesBoxInsideOverlay()
    {
        QFETCH(QPoint, delta);
        QFETCH(QPoint, expected);
        QCOMPARE(m_overlay->box->pos(), QPoint(300, 166));
        const QPoint press = m_overlay->box->geometry().topLeft() + QPoint(5, 5);
        // A press on the frame itself travels up to the overlay.
        sendMouse(m_overlay->box, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton, Qt::LeftButton);
        QVERIFY(m_overlay->isMovedByUser());
        sendMouse(m_overlay, QEvent::MouseMove, press + delta / 2, Qt::NoButton, Qt::LeftButton);
        sendMouse(m_overlay, QEvent::MouseMove, press + delta, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(m_overlay->box->pos(), expected);
        sendMouse(m_overlay, QEvent::MouseButtonRelease, press + delta, Qt::LeftButton, Qt::NoButton);
        // After the release, moves do nothing.
        sendMouse(m_overlay, QEvent::MouseMove, press, Qt::NoButton, Qt::NoButton);
        QCOMPARE(m_overlay->box->pos(), expected);
    }

    void pressesThatDoNotDrag()
    {
        const QPoint start = m_overlay->box->pos();
        const QPoint outside(10, 10);
        sendMouse(m_overlay, QEvent::MouseButtonPress, outside, Qt::LeftButton, Qt::LeftButton);
        sendMouse(m_overlay, QEvent::MouseMove, outside + QPoint(50, 50), Qt::NoButton, Qt::LeftButton);
        sendMouse(m_overlay, QEvent::MouseButtonRelease, outside, Qt::LeftButton, Qt::NoButton);

        const QPoint inside = start + QPoint(5, 5);
        sendMouse(m_overlay, QEvent::MouseButtonPress, inside, Qt::RightButton, Qt::RightButton);
        sendMouse(m_overlay, QEvent::MouseMove, inside + QPoint(50, 50), Qt::NoButton, Qt::RightButton);
        sendMouse(m_overlay, QEvent::MouseButtonRelease, inside, Qt::RightButton, Qt::NoButton);

        QSignalSpy clicked(m_overlay->button, &QPushButton::clicked);
        QTest::mouseClick(m_overlay->button, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);

        QCOMPARE(m_overlay->box->pos(), start);
        QVERIFY(!m_overlay->isMovedByUser());
    }

    void droppedBoxStaysWhenPageGrowsAndComesBackWhenItShrinks()
    {
        const QPoint press = m_overlay->box->pos() + QPoint(5, 5);
        sendMouse(m_overlay, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
        sendMouse(m_overlay, QEvent::MouseMove, press + QPoint(250, 300), Qt::NoButton, Qt::LeftButton);
        sendMouse(m_overlay, QEvent::MouseButtonRelease, press + QPoint(250, 300), Qt::LeftButton,
                  Qt::NoButton);
        QCOMPARE(m_overlay->box->pos(), QPoint(550, 466));

        m_overlay->resize(1200, 900);
        QCOMPARE(m_overlay->box->pos(), QPoint(550, 466));
        // Still inside: the box stays.
        m_overlay->resize(750, 566);
        QCOMPARE(m_overlay->box->pos(), QPoint(550, 466));
        m_overlay->resize(700, 500);
        QCOMPARE(m_overlay->box->pos(), QPoint(500, 400));
        m_overlay->resize(100, 50);
        QCOMPARE(m_overlay->box->pos(), QPoint(0, 0));
        // Once moved, never re-centred.
        m_overlay->resize(1000, 1000);
        QCOMPARE(m_overlay->box->pos(), QPoint(0, 0));
    }

    void textSettersSignalOnlyChanges()
    {
        QSignalSpy title(m_overlay, &AbstractOverlay::titleTextChanged);
        QSignalSpy status(m_overlay, &AbstractOverlay::statusTextChanged);
        QSignalSpy error(m_overlay, &AbstractOverlay::errorTextChanged);
        QSignalSpy mode(m_overlay, &AbstractOverlay::keyboardModeChanged);
        for (int round = 0; round < 2; ++round) {
            m_overlay->setTitleText("T");
            m_overlay->setStatusText("S");
            m_overlay->setErrorText("E");
            m_overlay->setKeyboardMode(2);
        }
        QCOMPARE(title.count(), 1);
        QCOMPARE(title.at(0).at(0).toString(), QString("T"));
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), QString("S"));
        QCOMPARE(error.count(), 1);
        QCOMPARE(error.at(0).at(0).toString(), QString("E"));
        QCOMPARE(mode.count(), 1);
        QCOMPARE(mode.at(0).at(0).toInt(), 2);
        QCOMPARE(m_overlay->property("titleText").toString(), QString("T"));
        QCOMPARE(m_overlay->property("keyboardMode").toInt(), 2);
    }

    void menuIsStoredAndAlwaysAnnounced()
    {
        Pb::ScreenMenu menu;
        menu.set_menu_info("Pick");
        int announced = 0;
        connect(m_overlay, &AbstractOverlay::menuChanged, this, [&](const Pb::ScreenMenu &sent) {
            QCOMPARE(sent.menu_info(), std::string("Pick"));
            ++announced;
        });
        m_overlay->setMenu(menu);
        m_overlay->setMenu(menu);
        QCOMPARE(announced, 2);
        QCOMPARE(m_overlay->menu().menu_info(), std::string("Pick"));
        // Without a ring menu, rendering a menu is harmless.
        m_overlay->renderMenu(menu);
    }

private:
    std::unique_ptr<QWidget> m_page;
    TestOverlay *m_overlay = nullptr;
};

QTEST_MAIN(tst_AbstractDraggableOverlay)
#include "tst_abstractdraggableoverlay.moc"

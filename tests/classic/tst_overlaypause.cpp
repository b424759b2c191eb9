#include "classic/keymapper.h"
#include "classic/overlaypause.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Records the keys that get past the overlay to the page.
class Page : public QWidget
{
public:
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent *event) override { keys.append(event->key()); }
};

} // namespace

class tst_OverlayPause : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_page = std::make_unique<Page>();
        m_page->resize(800, 600);
        m_overlay = new OverlayPause(QStringLiteral("Press any key to continue [F6]"), m_page.get());
        m_overlay->resize(m_page->size());
        m_page->show();
        QApplication::setActiveWindow(m_page.get());
        QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
        m_overlay->setFocus();
    }
    void cleanup() { m_page.reset(); }

    void showsTheMessageInADraggableBox()
    {
        QCOMPARE(m_overlay->objectName(), QString("OverlayPause"));
        auto *box = m_overlay->findChild<QFrame *>("pauseBox");
        QVERIFY(box);
        QCOMPARE(m_overlay->draggableBox(), box);
        QCOMPARE(box->focusPolicy(), Qt::StrongFocus);
        auto *label = m_overlay->findChild<QLabel *>("messageLabel");
        QCOMPARE(label->text(), QString("Press any key to continue [F6]"));
        QVERIFY(box->width() >= label->sizeHint().width());
        QCOMPARE(box->pos(), QPoint((800 - box->width()) / 2, (600 - box->height()) / 3));
    }

    void keysAreReported_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("reported");
        QTest::newRow("a arrives as A") << int(Qt::Key_A) << int(Qt::NoModifier) << "a" << QList<int> { 65 };
        QTest::newRow("space") << int(Qt::Key_Space) << int(Qt::NoModifier) << " " << QList<int> { 0x20 };
        QTest::newRow("tilde") << int(Qt::Key_AsciiTilde) << int(Qt::ShiftModifier) << "~"
                               << QList<int> { 0x7E };
        QTest::newRow("F6") << int(Qt::Key_F6) << int(Qt::NoModifier) << "" << QList<int> { 2003 };
        QTest::newRow("Escape") << int(Qt::Key_Escape) << int(Qt::NoModifier) << "" << QList<int> { 2000 };
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << "" << QList<int> { 2004 };
        QTest::newRow("Ctrl+W") << int(Qt::Key_W) << int(Qt::ControlModifier) << ""
                                << QList<int> { int('W') };
        // A pause may ask for an arrow key.
        QTest::newRow("Left") << int(Qt::Key_Left) << int(Qt::NoModifier) << "" << QList<int> { 2007 };
        QTest::newRow("Right") << int(Qt::Key_Right) << int(Qt::NoModifier) << "" << QList<int> { 2008 };
        QTest::newRow("Shift alone") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << "" << QList<int> {};
        QTest::newRow("F12 means nothing") << int(Qt::Key_F12) << int(Qt::NoModifier) << "" << QList<int> {};
    }
    void keysAreReported()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(QList<int>, reported);
        QSignalSpy pressed(m_overlay, &OverlayPause::keyPressed);
        QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
        QApplication::sendEvent(m_overlay, &event);
        QList<int> keys;
        for (const QList<QVariant> &arguments : qAsConst(pressed))
            keys.append(arguments.at(0).toInt());
        QCOMPARE(keys, reported);
        QVERIFY(event.isAccepted());
        QVERIFY(m_page->keys.isEmpty());
    }

    void typedKeysFromTheBoxReachTheOverlay()
    {
        QSignalSpy pressed(m_overlay, &OverlayPause::keyPressed);
        auto *box = m_overlay->findChild<QFrame *>("pauseBox");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_X);
        QTest::keyClick(box, Qt::Key_PageDown);
        QCOMPARE(pressed.count(), 2);
        QCOMPARE(pressed.at(0).at(0).toInt(), int('X'));
        QCOMPARE(pressed.at(1).at(0).toInt(), 2010);
        QVERIFY(m_page->keys.isEmpty());
    }

private:
    std::unique_ptr<Page> m_page;
    OverlayPause *m_overlay = nullptr;
};

QTEST_MAIN(tst_OverlayPause)
#include "tst_overlaypause.moc"

#include "utils/taskpagewidget.h"
#include "shell/zoomkeys.h"
#include "style/stylemanager.h"

#include "testenvironment.h"

#include <QLineEdit>
#include <QSettings>
#include <QTest>

// Keyboard zoom steps the desktop's font scale through the settings dialog's steps, in the desktop
// and its detached pages only, and is remembered for the next start.
class tst_ZoomKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_environment = std::make_unique<TestEnvironment>();
        StyleManager::loadTheme();
    }

    void stepsWithinTheRange()
    {
        QWidget desktop;
        auto *field = new QLineEdit(&desktop);
        new ZoomKeys(&desktop);
        desktop.show();
        QVERIFY(QTest::qWaitForWindowActive(&desktop));
        StyleManager::setFontScale(100);

        const auto press = [field](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
            QTest::keyClick(field, key, modifiers);
            return StyleManager::fontScale();
        };
        QCOMPARE(press(Qt::Key_Equal), 125);
        QCOMPARE(press(Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier), 150);
        QCOMPARE(press(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier), 175);
        QCOMPARE(press(Qt::Key_Equal), 200);
        QCOMPARE(press(Qt::Key_Equal), 200); // the top step
        QCOMPARE(QSettings().value("settings/fontScale").toInt(), 200);
        for (int i = 0; i < 8; ++i)
            press(Qt::Key_Minus);
        QCOMPARE(StyleManager::fontScale(), 50); // the bottom step
        QCOMPARE(press(Qt::Key_0), 100);
        QCOMPARE(QSettings().value("settings/fontScale").toInt(), 100);
        // Without Ctrl they are ordinary keys for the field.
        QCOMPARE(press(Qt::Key_Minus, Qt::NoModifier), 100);
        QCOMPARE(field->text(), QString("-"));
    }

    void onlyInTheDesktopAndItsPages()
    {
        QWidget desktop;
        new ZoomKeys(&desktop);
        TaskPageWidget detached;
        auto *pageField = new QLineEdit(&detached);
        QWidget other;
        auto *otherField = new QLineEdit(&other);
        StyleManager::setFontScale(100);

        QTest::keyClick(pageField, Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(StyleManager::fontScale(), 125);
        QTest::keyClick(otherField, Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(StyleManager::fontScale(), 125);
        StyleManager::setFontScale(100);
    }

private:
    std::unique_ptr<TestEnvironment> m_environment;
};

QTEST_MAIN(tst_ZoomKeys)
#include "tst_zoomkeys.moc"

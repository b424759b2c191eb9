#include "classic/overlaydialog.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

struct Option
{
    const char *text;
    int key;
};

Pb::Dialog dialogOf(std::initializer_list<Option> options, int defaultChoice = -1)
{
    Pb::Dialog dialog;
    dialog.set_type(1);
    dialog.set_title("Confirm");
    dialog.set_prompt("Save the record?");
    for (const Option &option : options) {
        Pb::Dialog::Option *added = dialog.add_option();
        added->set_text(option.text);
        added->set_key(option.key);
    }
    if (defaultChoice >= 0)
        dialog.set_default_choice(defaultChoice);
    return dialog;
}

// Records the keys that get past the overlay to the page.
class Page : public QWidget
{
public:
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent *event) override { keys.append(event->key()); }
};

} // namespace

class tst_OverlayDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_page = std::make_unique<Page>();
        m_page->resize(800, 600);
    }
    void cleanup() { m_page.reset(); }

    void buildsTheFormFromTheMessage()
    {
        auto *overlay = open(dialogOf({ { "Yes", 'Y' }, { "No", 'N' } }));
        QCOMPARE(overlay->objectName(), QString("OverlayDialog"));
        auto *box = overlay->findChild<QFrame *>("dialogBox");
        QVERIFY(box);
        QCOMPARE(overlay->draggableBox(), box);
        QVERIFY(box->autoFillBackground());
        QCOMPARE(box->frameShape(), QFrame::Panel);
        for (const char *name : { "dialogBoxHeader", "contentWidget", "formMenuLayout", "dialogButtonBox" })
            QVERIFY2(overlay->findChild<QWidget *>(name), name);
        QCOMPARE(overlay->findChild<QLabel *>("formTitle")->text(), QString("Confirm"));
        QCOMPARE(overlay->windowTitle(), QString("Confirm"));
        QCOMPARE(overlay->titleText(), QString("Confirm"));
        QCOMPARE(overlay->findChild<QLabel *>("dialogText")->text(), QString("Save the record?"));

        const QList<QPushButton *> buttons = overlay->buttons();
        QCOMPARE(buttons.size(), 2);
        QCOMPARE(buttons.at(0)->text(), QString("&Yes"));
        QCOMPARE(buttons.at(1)->text(), QString("&No"));
        QCOMPARE(buttons.at(0)->shortcut(), QKeySequence(Qt::Key_Y));
        QCOMPARE(buttons.at(1)->property("zuKeyValue").toInt(), int('N'));
        QCOMPARE(buttons.at(0)->parentWidget()->objectName(), QString("dialogButtonBox"));
        QCOMPARE(buttons.at(0)->focusPolicy(), Qt::StrongFocus);
        QCOMPARE(box->size(), box->sizeHint());

        overlay->setTitleText("Changed");
        QCOMPARE(overlay->findChild<QLabel *>("formTitle")->text(), QString("Changed"));
        QCOMPARE(overlay->windowTitle(), QString("Changed"));
    }

    void optionTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::newRow("first letter") << "Yes" << int('Y') << "&Yes" << QKeySequence(Qt::Key_Y);
        QTest::newRow("inner letter, other case") << "Exit" << int('X') << "E&xit" << QKeySequence(Qt::Key_X);
        QTest::newRow("lower-case key") << "Print" << int('r') << "P&rint" << QKeySequence(Qt::Key_R);
        QTest::newRow("key not in text") << "Later" << int('9') << "Later" << QKeySequence(Qt::Key_9);
        QTest::newRow("ampersand kept")
            << "Save & Exit" << int('S') << "&Save && Exit" << QKeySequence(Qt::Key_S);
        QTest::newRow("no character key") << "Abort" << 2000 << "Abort" << QKeySequence(QString(QChar(2000)));
        QTest::newRow("Latin-1") << QString::fromLatin1("R\xe9sum\xe9") << int('m')
                                 << QString::fromLatin1("R\xe9su&m\xe9") << QKeySequence(Qt::Key_M);
    }
    void optionTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, key);
        QFETCH(QString, shown);
        QFETCH(QKeySequence, shortcut);
        Pb::Dialog dialog = dialogOf({});
        Pb::Dialog::Option *option = dialog.add_option();
        option->set_text(text.toLatin1().toStdString());
        option->set_key(key);
        auto *overlay = open(dialog);
        QCOMPARE(overlay->buttons().at(0)->text(), shown);
        QCOMPARE(overlay->buttons().at(0)->shortcut(), shortcut);
        QCOMPARE(overlay->buttons().at(0)->property("zuKeyValue").toInt(), key);
    }

    void keysAndClicksReportTheOptionKey()
    {
        auto *overlay = open(dialogOf({ { "Yes", 'Y' }, { "No", 'N' }, { "Cancel", 2000 } }));
        QSignalSpy pressed(overlay, &OverlayDialog::buttonPressed);
        // A button's shortcut animates the click: the key comes a moment later.
        QTest::keyClick(overlay, Qt::Key_N);
        QTRY_COMPARE(keysOf(pressed), QList<int> { 'N' });
        QTest::keyClick(overlay, Qt::Key_Y, Qt::NoModifier);
        QTRY_COMPARE(keysOf(pressed), (QList<int> { 'N', 'Y' }));
        QTest::mouseClick(overlay->buttons().at(2), Qt::LeftButton);
        QTest::keyClick(overlay->buttons().at(1), Qt::Key_Space);
        QCOMPARE(keysOf(pressed), (QList<int> { 'N', 'Y', 2000, 'N' }));
        // The overlay stays open: the page closes it when the server says so.
        QVERIFY(overlay->isVisible());
    }

    void returnClicksTheFocusedButton()
    {
        auto *overlay = open(dialogOf({ { "Yes", 'Y' }, { "No", 'N' } }));
        QSignalSpy pressed(overlay, &OverlayDialog::buttonPressed);
        overlay->buttons().at(1)->setFocus();
        QTest::keyClick(overlay->buttons().at(1), Qt::Key_Return);
        overlay->buttons().at(0)->setFocus();
        QTest::keyClick(overlay->buttons().at(0), Qt::Key_Return);
        // Keypad Enter is not Return.
        QTest::keyClick(overlay->buttons().at(0), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(keysOf(pressed), (QList<int> { 'N', 'Y' }));
    }

    void defaultChoiceTakesTheFocus_data()
    {
        QTest::addColumn<int>("defaultChoice");
        QTest::addColumn<int>("focusedButton");
        QTest::newRow("second") << 1 << 1;
        QTest::newRow("first") << 0 << 0;
        QTest::newRow("none") << -1 << -1;
        QTest::newRow("out of range") << 5 << -1;
    }
    void defaultChoiceTakesTheFocus()
    {
        QFETCH(int, defaultChoice);
        QFETCH(int, focusedButton);
        auto *overlay = open(dialogOf({ { "Yes", 'Y' }, { "No", 'N' } }, defaultChoice));
        // The page focuses the overlay when it opens it.
        overlay->setFocus();
        QWidget *focused = QApplication::focusWidget();
        if (focusedButton < 0) {
            QCOMPARE(focused, overlay);
            QVERIFY(!overlay->buttons().at(0)->isDefault() && !overlay->buttons().at(1)->isDefault());
            return;
        }
        QPushButton *button = overlay->buttons().at(focusedButton);
        QCOMPARE(focused, button);
        QVERIFY(button->isDefault());
        QSignalSpy pressed(overlay, &OverlayDialog::buttonPressed);
        QTest::keyClick(focused, Qt::Key_Return);
        QCOMPARE(keysOf(pressed), QList<int> { button->property("zuKeyValue").toInt() });
    }

    void noOptionsNoButtons()
    {
        auto *overlay = open(dialogOf({}, 0));
        QVERIFY(overlay->buttons().isEmpty());
        QSignalSpy pressed(overlay, &OverlayDialog::buttonPressed);
        overlay->setFocus();
        QTest::keyClick(overlay, Qt::Key_Return);
        QCOMPARE(pressed.count(), 0);
    }

    void keysDoNotReachThePage()
    {
        auto *overlay = open(dialogOf({ { "Yes", 'Y' } }));
        overlay->setFocus();
        for (Qt::Key key : { Qt::Key_A, Qt::Key_F6, Qt::Key_Escape, Qt::Key_Return, Qt::Key_Down })
            QTest::keyClick(overlay, key);
        QVERIFY(m_page->keys.isEmpty());
    }

private:
    OverlayDialog *open(const Pb::Dialog &dialog)
    {
        auto *overlay = new OverlayDialog(dialog, m_page.get());
        overlay->resize(m_page->size());
        m_page->show();
        QApplication::setActiveWindow(m_page.get());
        if (!QTest::qWaitForWindowActive(m_page.get()))
            qWarning("page window not active");
        return overlay;
    }

    static QList<int> keysOf(const QSignalSpy &spy)
    {
        QList<int> keys;
        for (const QList<QVariant> &arguments : spy)
            keys.append(arguments.at(0).toInt());
        return keys;
    }

    std::unique_ptr<Page> m_page;
};

QTEST_MAIN(tst_OverlayDialog)
#include "tst_overlaydialog.moc"

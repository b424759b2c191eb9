#include "classic/overlayselectordialog.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

struct Option
{
    const char *text;
    int key;
};

Pb::Dialog selectorOf(std::initializer_list<Option> options, bool allowCancel, int defaultChoice = -1)
{
    Pb::Dialog dialog;
    dialog.set_type(2);
    dialog.set_title("Report Type");
    dialog.set_prompt("Choose a report");
    dialog.set_allow_cancel(allowCancel);
    for (const Option &option : options) {
        Pb::Dialog::Option *added = dialog.add_option();
        added->set_text(option.text);
        added->set_key(option.key);
    }
    if (defaultChoice >= 0)
        dialog.set_default_choice(defaultChoice);
    return dialog;
}

QList<int> keysOf(const QSignalSpy &spy)
{
    QList<int> keys;
    for (const QList<QVariant> &arguments : spy)
        keys.append(arguments.at(0).toInt());
    return keys;
}

} // namespace

class tst_OverlaySelectorDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_page = std::make_unique<QWidget>();
        m_page->resize(800, 600);
    }
    void cleanup() { m_page.reset(); }

    void buildsTheFormFromTheMessage()
    {
        auto *overlay = open(selectorOf({ { "DETAILED LISTING", 'D' }, { "summary only", 'S' } }, true));
        QCOMPARE(overlay->objectName(), QString("OverlaySelectorDialog"));
        auto *box = overlay->findChild<QFrame *>("selectionBox");
        QVERIFY(box);
        QCOMPARE(overlay->draggableBox(), box);
        QCOMPARE(overlay->findChild<QLabel *>("formTitle")->text(), QString("Report Type"));
        QCOMPARE(overlay->findChild<QLabel *>("formPrompt")->text(), QString("Choose a report"));
        auto *content = overlay->findChild<QWidget *>("contentWidget");
        QVERIFY(content);
        QCOMPARE(overlay->findChild<QScrollArea *>("scrollArea")->widget(), content);

        const QList<QPushButton *> buttons = overlay->buttons();
        QCOMPARE(buttons.size(), 2);
        // Lower case with a capital at each word; the key letter is the mnemonic.
        QCOMPARE(buttons.at(0)->text(), QString("&detailed listing"));
        QCOMPARE(buttons.at(0)->font().capitalization(), QFont::Capitalize);
        QCOMPARE(buttons.at(1)->text(), QString("&summary only"));
        QCOMPARE(buttons.at(1)->property("zuKeyValue").toInt(), int('S'));
        QCOMPARE(buttons.at(0)->parentWidget(), content);
        QVERIFY(buttons.at(0)->y() < buttons.at(1)->y());

        overlay->setTitleText("Other");
        QCOMPARE(overlay->findChild<QLabel *>("formTitle")->text(), QString("Other"));
    }

    void keyAndShiftKeyChooseAnOption_data()
    {
        QTest::addColumn<int>("optionKey");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("pressed");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("D") << int('D') << "&delete" << int(Qt::Key_D) << int(Qt::NoModifier);
        QTest::newRow("Shift+D") << int('D') << "&delete" << int(Qt::Key_D) << int(Qt::ShiftModifier);
        QTest::newRow("lower-case key, plain")
            << int('l') << "de&lete" << int(Qt::Key_L) << int(Qt::NoModifier);
        QTest::newRow("lower-case key, Shift")
            << int('l') << "de&lete" << int(Qt::Key_L) << int(Qt::ShiftModifier);
        QTest::newRow("digit") << int('3') << "delete" << int(Qt::Key_3) << int(Qt::NoModifier);
    }
    void keyAndShiftKeyChooseAnOption()
    {
        QFETCH(int, optionKey);
        QFETCH(QString, shown);
        QFETCH(int, pressed);
        QFETCH(int, modifiers);
        auto *overlay = open(selectorOf({ { "DELETE", optionKey }, { "Keep", 'K' } }, false));
        QCOMPARE(overlay->buttons().at(0)->text(), shown);
        QSignalSpy chosen(overlay, &OverlaySelectorDialog::selectionClicked);
        QTest::keyClick(overlay, Qt::Key(pressed), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(keysOf(chosen), QList<int> { optionKey });
    }

    void clickReportsTheKey()
    {
        auto *overlay = open(selectorOf({ { "One", '1' }, { "Two", '2' } }, false));
        QSignalSpy chosen(overlay, &OverlaySelectorDialog::selectionClicked);
        QTest::mouseClick(overlay->buttons().at(1), Qt::LeftButton);
        QCOMPARE(keysOf(chosen), QList<int> { '2' });
    }

    // Return and keypad Enter choose the focused option, as Space does.
    void returnAndEnterChooseTheFocusedOption()
    {
        auto *overlay = open(selectorOf({ { "Number", 'N' }, { "Last name", 'L' }, { "Enrolled", 'E' } }, true, 'L'));
        QSignalSpy chosen(overlay, &OverlaySelectorDialog::selectionClicked);
        QTest::keyClick(overlay->buttons().at(1), Qt::Key_Return);
        overlay->buttons().at(2)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(overlay->buttons().at(2), Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(overlay->buttons().at(0), Qt::Key_Space);
        QCOMPARE(keysOf(chosen), (QList<int> { 'L', 'E', 'N' }));
    }

    void escapeCancelsOnlyWhenAllowed()
    {
        auto *overlay = open(selectorOf({ { "One", '1' } }, true));
        auto *cancel = overlay->findChild<QPushButton *>("cancelButton");
        QVERIFY(cancel->isVisible());
        QCOMPARE(cancel->size(), QSize(32, 32));
        QSignalSpy chosen(overlay, &OverlaySelectorDialog::selectionClicked);
        QTest::keyClick(overlay, Qt::Key_Escape);
        QTRY_COMPARE(keysOf(chosen), QList<int> { 2000 });
        QTest::mouseClick(cancel, Qt::LeftButton);
        QCOMPARE(keysOf(chosen), (QList<int> { 2000, 2000 }));
        delete overlay;

        overlay = open(selectorOf({ { "One", '1' } }, false));
        QVERIFY(overlay->findChild<QPushButton *>("cancelButton")->isHidden());
        QSignalSpy notChosen(overlay, &OverlaySelectorDialog::selectionClicked);
        QTest::keyClick(overlay, Qt::Key_Escape);
        QTest::qWait(200);
        QCOMPARE(notChosen.count(), 0);
    }

    void defaultChoiceIsTheOptionWithThatKey_data()
    {
        QTest::addColumn<int>("defaultChoice");
        QTest::addColumn<int>("focusedButton");
        QTest::newRow("key 78") << 78 << 1;
        QTest::newRow("two options with the key: the last") << int('Y') << 2;
        QTest::newRow("an index is not a key") << 1 << -1;
        QTest::newRow("none") << -1 << -1;
    }
    void defaultChoiceIsTheOptionWithThatKey()
    {
        QFETCH(int, defaultChoice);
        QFETCH(int, focusedButton);
        auto *overlay
            = open(selectorOf({ { "Yes", 'Y' }, { "No", 'N' }, { "Yes again", 'Y' } }, false, defaultChoice));
        // The page focuses the overlay when it opens it; a default choice keeps the focus.
        overlay->setFocus();
        if (focusedButton < 0) {
            QCOMPARE(QApplication::focusWidget(), overlay);
            return;
        }
        QPushButton *button = overlay->buttons().at(focusedButton);
        QCOMPARE(QApplication::focusWidget(), button);
        QVERIFY(button->isDefault());
        QSignalSpy chosen(overlay, &OverlaySelectorDialog::selectionClicked);
        QTest::keyClick(button, Qt::Key_Return);
        QCOMPARE(keysOf(chosen), QList<int> { defaultChoice });
    }

    void longListsScrollInsideThePage()
    {
        std::vector<std::string> texts;
        Pb::Dialog dialog = selectorOf({}, true);
        for (int i = 0; i < 40; ++i) {
            Pb::Dialog::Option *option = dialog.add_option();
            option->set_text("Choice " + std::to_string(i));
            option->set_key(1000 + i);
        }
        auto *overlay = open(dialog);
        auto *scrollArea = overlay->findChild<QScrollArea *>("scrollArea");
        QCOMPARE(scrollArea->minimumHeight(), 600 - 232);
        auto *box = overlay->findChild<QFrame *>("selectionBox");
        QVERIFY(box->height() < 600);

        // A short list is not stretched to the page's limit.
        delete overlay;
        overlay = open(selectorOf({ { "One", '1' } }, true));
        scrollArea = overlay->findChild<QScrollArea *>("scrollArea");
        QCOMPARE(scrollArea->minimumHeight(),
                 overlay->findChild<QWidget *>("contentWidget")->sizeHint().height());
    }

private:
    OverlaySelectorDialog *open(const Pb::Dialog &dialog)
    {
        auto *overlay = new OverlaySelectorDialog(dialog, m_page.get());
        overlay->resize(m_page->size());
        m_page->show();
        overlay->show();
        QApplication::setActiveWindow(m_page.get());
        if (!QTest::qWaitForWindowActive(m_page.get()))
            qWarning("page window not active");
        return overlay;
    }

    std::unique_ptr<QWidget> m_page;
};

QTEST_MAIN(tst_OverlaySelectorDialog)
#include "tst_overlayselectordialog.moc"

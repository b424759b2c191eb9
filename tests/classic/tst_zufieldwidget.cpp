#include "classic/zudateedit.h"
#include "classic/zufieldwidget.h"

#include <QApplication>
#include <QAction>
#include <QCalendarWidget>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using Mode = ZuFieldWidget::DisplayMode;

namespace {

// Counts Enter presses that reach the field (autonext posts them to the field itself).
class EnterCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Enter)
            ++count;
        return false;
    }
};

// Stands in for the page: swallows every key press of the editors it delegates for.
class KeyEater : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override { return event->type() == QEvent::KeyPress; }
};

// Types text the way a keyboard layout delivers it, including characters without a Qt key code.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

QString labelTextOf(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    return QStringLiteral("<line>");
}

} // namespace

class tst_ZuFieldWidget : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_form = std::make_unique<QWidget>();
        m_grid = new QGridLayout(m_form.get());
        m_label = new QLabel(QStringLiteral("Customer No"), m_form.get());
        m_label->setObjectName(QStringLiteral("custNoLabel"));
        m_grid->addWidget(m_label, 0, 0, 1, 12);
        m_field = new ZuFieldWidget(m_form.get());
        m_field->setObjectName(QStringLiteral("cust_no"));
        m_grid->addWidget(m_field, 2, 14, 1, 8);
        m_form->show();
        QApplication::setActiveWindow(m_form.get());
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }

    void cleanup() { m_form.reset(); }

    void neverAttributed()
    {
        QCOMPARE(m_field->displayMode(), Mode::None);
        QVERIFY(m_field->data().isEmpty());
        m_field->setData(QStringLiteral("ignored until attributes arrive"));
        QVERIFY(m_field->data().isEmpty());
        QVERIFY(!m_field->isDataChanged());
        QVERIFY(m_field->findChildren<QWidget *>().isEmpty());
        QCOMPARE(m_field->focusPolicy(), Qt::ClickFocus);
    }

    void displayModes_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("widgets");
        QTest::addColumn<QString>("proxy");

        const int chr = ZuFieldWidget::ZUGUI_CHAR;
        const int date = ZuFieldWidget::ZUGUI_DATE;
        const int blob = ZuFieldWidget::ZUGUI_BLOB;
        QTest::newRow("text") << 0 << chr << 1 << QStringList { "fieldLineEdit" } << "fieldLineEdit";
        QTest::newRow("number") << 0x2 << int(ZuFieldWidget::ZUGUI_NUMBER) << 1
                                << QStringList { "fieldLineEdit" } << "fieldLineEdit";
        QTest::newRow("dropdown") << 0x10 << chr << 2
                                  << QStringList { "fieldLineEdit", "fieldComboBoxButton" }
                                  << "fieldLineEdit";
        QTest::newRow("button") << 0x20 << chr << 3 << QStringList { "fieldButton" } << "fieldButton";
        QTest::newRow("id") << 0x40 << chr << 4 << QStringList { "fieldIdLineEdit", "idSecButton" }
                            << "fieldIdLineEdit";
        QTest::newRow("id beats dropdown")
            << 0x50 << chr << 4 << QStringList { "fieldIdLineEdit", "idSecButton" } << "fieldIdLineEdit";
        QTest::newRow("date entry") << 0 << date << 5 << QStringList { "fieldDate", "dateEditCalendarButton" }
                                    << "fieldDate";
        QTest::newRow("date beats dropdown")
            << 0x10 << date << 5 << QStringList { "fieldDate", "dateEditCalendarButton" } << "fieldDate";
        QTest::newRow("date label") << 0x10000 << date << 6 << QStringList { "fieldLineEdit" }
                                    << "fieldLineEdit";
        QTest::newRow("blob") << 0x40 << blob << 7 << QStringList { "fieldBlobLine", "fieldBlobButton" }
                              << "fieldBlobButton";
        QTest::newRow("multi-element")
            << 0x20000 << chr << 8 << QStringList { "multiElementFrame" } << "multiElementFrame";
        QTest::newRow("two mode bits") << 0x30 << chr << 0 << QStringList {} << "";
        QTest::newRow("three mode bits") << 0x20030 << chr << 0 << QStringList {} << "";
    }

    void displayModes()
    {
        QFETCH(int, mask);
        QFETCH(int, type);
        QFETCH(int, mode);
        QFETCH(QStringList, widgets);
        QFETCH(QString, proxy);

        if (mode == 0)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Invalid display mode mask"));
        m_field->setAttributes(mask, type);
        QCOMPARE(int(m_field->displayMode()), mode);
        QStringList names;
        const QList<QWidget *> children = m_field->findChildren<QWidget *>();
        for (const QWidget *child : children)
            names.append(child->objectName());
        names.sort();
        widgets.sort();
        QCOMPARE(names, widgets);
        QCOMPARE(m_field->focusProxy() ? m_field->focusProxy()->objectName() : QString(), proxy);
        QCOMPARE(m_field->attributeMask(), mask);
        QCOMPARE(m_field->columnType(), type);
    }

    void invalidMaskKeepsMode()
    {
        m_field->setAttributes(0x10, ZuFieldWidget::ZUGUI_CHAR);
        QLineEdit *editor = m_field->lineEdit();
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("Field \"cust_no\" Invalid display mode mask: 0x20010"));
        m_field->setAttributes(0x20010, ZuFieldWidget::ZUGUI_CHAR);
        QCOMPARE(m_field->displayMode(), Mode::Dropdown);
        QCOMPARE(m_field->lineEdit(), editor);
    }

    void dataTracking_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("data");
        QTest::addColumn<bool>("tracked");

        const int chr = ZuFieldWidget::ZUGUI_CHAR;
        QTest::newRow("text") << 0 << chr << "ab"
                              << "c"
                              << "abc" << true;
        QTest::newRow("dropdown") << 0x10 << chr << "ab"
                                  << "c"
                                  << "abc" << true;
        QTest::newRow("id") << 0x40 << chr << "12"
                            << "3"
                            << "123" << true;
        QTest::newRow("date entry") << 0 << int(ZuFieldWidget::ZUGUI_DATE) << "7/4/20"
                                    << "24"
                                    << "7/4/2024" << true;
        QTest::newRow("button") << 0x20 << chr << "Go"
                                << ""
                                << "" << false;
        QTest::newRow("date text") << 0x10000 << int(ZuFieldWidget::ZUGUI_DATE) << "07/04/2024"
                                   << ""
                                   << "07/04/2024" << false;
        QTest::newRow("blob") << 0 << int(ZuFieldWidget::ZUGUI_BLOB) << "long text"
                              << "x"
                              << "long text" << false;
        QTest::newRow("multi-element") << 0x20000 << chr << ""
                                       << ""
                                       << "" << false;
    }

    void dataTracking()
    {
        QFETCH(int, mask);
        QFETCH(int, type);
        QFETCH(QString, value);
        QFETCH(QString, typed);
        QFETCH(QString, data);
        QFETCH(bool, tracked);

        m_field->setAttributes(mask, type);
        m_field->setData(value);
        QVERIFY(!m_field->isDataChanged());
        if (!typed.isEmpty()) {
            m_field->focusField();
            QWidget *editor = m_field->focusProxy();
            QTest::keyClick(editor, Qt::Key_End);
            QTest::keyClicks(editor, typed);
        }
        QCOMPARE(m_field->data(), data);
        QCOMPARE(m_field->isDataChanged(), tracked);
        m_field->commitData();
        QVERIFY(!m_field->isDataChanged());
        QCOMPARE(m_field->snapshot().data, data);
    }

    void shownValues()
    {
        m_field->setAttributes(0x20, ZuFieldWidget::ZUGUI_CHAR);
        m_field->setData(QStringLiteral("Approve"));
        QCOMPARE(m_field->button()->text(), QStringLiteral("Approve"));
        QVERIFY(m_field->data().isEmpty());

        // A text block is longer than its line: the line shows it uncut.
        m_field->setPropLength(4);
        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_BLOB);
        QCOMPARE(m_field->lineEdit()->text(), QStringLiteral("Approve"));
        QVERIFY(m_field->lineEdit()->isReadOnly());
        m_field->setData(QStringLiteral("A much longer text block"));
        QCOMPARE(m_field->data(), QStringLiteral("A much longer text block"));
    }

    void inlineButtonsAreVisible_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("id") << int(ZuFieldWidget::ZUGUI_CHAR);
        QTest::newRow("date") << int(ZuFieldWidget::ZUGUI_DATE);
    }

    void inlineButtonsAreVisible()
    {
        QFETCH(int, type);
        m_field->setPropLength(12);
        m_field->setAttributes(0x40, type);
        QCoreApplication::processEvents();
        QLineEdit *editor = m_field->lineEdit() ? m_field->lineEdit() : m_field->dateEdit();
        QPushButton *button = m_field->button() ? m_field->button() : m_field->dateEdit()->calendarButton();
        QCOMPARE(button->parentWidget(), editor);
        QVERIFY(button->isVisible());
        QVERIFY(button->width() > 0);
        QVERIFY2(editor->rect().contains(button->geometry()), "the button lies inside its editor");
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    }

    void dateText_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("as is") << "7/4/2024"
                               << "7/4/2024";
        QTest::newRow("leading zeros") << "07/04/2024"
                                       << "7/4/2024";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("not a date") << "13/45/2024"
                                    << "";
        QTest::newRow("text") << "soon"
                              << "";
    }

    void dateText()
    {
        QFETCH(QString, value);
        QFETCH(QString, shown);
        m_field->setPropReadOnly(true);
        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_DATE);
        QCOMPARE(m_field->displayMode(), Mode::DateText);
        m_field->setData(value);
        QCOMPARE(m_field->lineEdit()->text(), shown);
        QCOMPARE(m_field->data(), value);
    }

    void inputFilter_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("upshift") << 0x4 << "abc"
                                 << "ABC";
        QTest::newRow("upshift latin-1")
            << 0x4 << QString::fromUtf8("caf\u00e9") << QString::fromUtf8("CAF\u00c9");
        QTest::newRow("upshift keeps y-diaeresis")
            << 0x4 << QString::fromUtf8("\u00ff\u00b5\u00df") << QString::fromUtf8("\u00ff\u00b5\u00df");
        QTest::newRow("greek upshift") << 0x4 << QString::fromUtf8("\u03b1b") << "?B";
        QTest::newRow("plain") << 0 << "abc"
                               << "abc";
        QTest::newRow("greek") << 0 << QString::fromUtf8("x\u03a9\u20ac") << "x??";
    }

    void inputFilter()
    {
        QFETCH(int, mask);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        m_field->setProperty("propDownshift", true); // carried only: no lower-casing
        m_field->setAttributes(mask, ZuFieldWidget::ZUGUI_CHAR);
        m_field->focusField();
        typeText(m_field->lineEdit(), typed);
        QCOMPARE(m_field->lineEdit()->text(), shown);
        QCOMPARE(m_field->data(), shown);
    }

    void alignment()
    {
        m_field->setAttributes(0x2, ZuFieldWidget::ZUGUI_NUMBER);
        QCOMPARE(m_field->lineEdit()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        m_field->setAttributes(0x42, ZuFieldWidget::ZUGUI_NUMBER);
        QCOMPARE(m_field->lineEdit()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_NUMBER);
        QCOMPARE(m_field->lineEdit()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }

    void lengthAndWidth()
    {
        m_field->setPropLength(8);
        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        QCoreApplication::processEvents();
        QCOMPARE(m_field->lineEdit()->maxLength(), 8);
        const int narrow = m_field->lineEdit()->minimumWidth();
        const int charWidth = m_field->lineEdit()->fontMetrics().horizontalAdvance(QLatin1Char('G'));
        QVERIFY(narrow >= 8 * charWidth + 5);
        m_field->setPropLength(20);
        QCOMPARE(m_field->lineEdit()->maxLength(), 20);
        QVERIFY(m_field->lineEdit()->minimumWidth() >= narrow + 12 * charWidth);
        QCOMPARE(m_field->sizeHint(), m_field->minimumSizeHint());
        QVERIFY(m_field->sizeHint().width() >= m_field->lineEdit()->minimumWidth());

        m_field->setAttributes(0x40, ZuFieldWidget::ZUGUI_CHAR);
        QCOMPARE(m_field->lineEdit()->maxLength(), 11);
    }

    // A field made under a style sheet is measured in the sheet's font, not the default one.
    void widthInStyleSheetFont()
    {
        qApp->setStyleSheet(QStringLiteral("QWidget { font-size: 30pt; }"));
        m_field->setPropLength(10);
        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        const int minimum = m_field->lineEdit()->minimumWidth();
        qApp->setStyleSheet(QString());
        QFont big = m_field->lineEdit()->font();
        big.setPointSize(30);
        QVERIFY(minimum >= 10 * QFontMetrics(big).horizontalAdvance(QLatin1Char('G')));
    }

    void autonext_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("enters");
        QTest::newRow("fifth character") << 0x100 << 5 << "12345" << 1;
        QTest::newRow("short") << 0x100 << 5 << "1234" << 0;
        QTest::newRow("no autonext") << 0 << 5 << "12345" << 0;
        QTest::newRow("unknown length") << 0x100 << 0 << "12" << 0;
    }

    void autonext()
    {
        QFETCH(int, mask);
        QFETCH(int, length);
        QFETCH(QString, typed);
        QFETCH(int, enters);
        EnterCounter counter;
        m_field->installEventFilter(&counter);
        m_field->setPropLength(length);
        m_field->setAttributes(mask, ZuFieldWidget::ZUGUI_CHAR);
        QCOMPARE(m_field->isAutonext(), bool(mask & 0x100));
        m_field->focusField();
        QTest::keyClicks(m_field->lineEdit(), typed);
        QCoreApplication::processEvents();
        QCOMPARE(counter.count, enters);
    }

    void requiredMarker()
    {
        const QString original = m_label->text();
        m_field->setLabelName(QStringLiteral("custNoLabel"));
        m_field->setAttributes(0x80000, ZuFieldWidget::ZUGUI_CHAR);
        m_field->setAttributes(0x80000, ZuFieldWidget::ZUGUI_CHAR);
        QCOMPARE(m_label->text(), original + QLatin1String(ZuFieldWidget::RequiredMarker));
        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        QCOMPARE(m_label->text(), original);
        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        QCOMPARE(m_label->text(), original);

        m_field->setLabelName(QStringLiteral("noSuchLabel"));
        QTest::ignoreMessage(QtWarningMsg,
                             "'Required' field \"cust_no\" label widget not found. Asterisk not shown.");
        m_field->setAttributes(0x80000, ZuFieldWidget::ZUGUI_CHAR);
        QCOMPARE(m_label->text(), original);
    }

    void styleFlags()
    {
        QSignalSpy reverse(m_field, &ZuProperties::propReverseChanged);
        QSignalSpy highlight(m_field, &ZuProperties::propHighlightChanged);
        m_field->setAttributes(0x8 | 0x40000, ZuFieldWidget::ZUGUI_CHAR);
        QVERIFY(m_field->propReverse());
        QVERIFY(m_field->propHighlight());
        QVERIFY(!m_field->propLabelField());
        m_field->setAttributes(0x8 | 0x40000, ZuFieldWidget::ZUGUI_CHAR);
        QCOMPARE(reverse.count(), 1);
        QCOMPARE(highlight.count(), 1);
        m_field->setAttributes(0x10000, ZuFieldWidget::ZUGUI_CHAR);
        QVERIFY(!m_field->propReverse());
        QVERIFY(m_field->propLabelField());
        QCOMPARE(reverse.count(), 2);

        // A multi-element field from the document keeps its look as it is.
        m_field->setPropMultiElement(true);
        m_field->setAttributes(0x8, ZuFieldWidget::ZUGUI_CHAR);
        QVERIFY(!m_field->propReverse());
        QCOMPARE(m_field->attributeMask(), 0x8);
    }

    void readOnlyPerMode()
    {
        m_field->setAttributes(0x10, ZuFieldWidget::ZUGUI_CHAR);
        QVERIFY(!m_field->button()->isHidden());
        m_field->setPropReadOnly(true);
        QVERIFY(m_field->lineEdit()->isReadOnly());
        QVERIFY(m_field->button()->isHidden());
        QCOMPARE(m_field->property("propReadOnly").toBool(), true);
        m_field->setPropReadOnly(false);
        QVERIFY(!m_field->lineEdit()->isReadOnly());
        QVERIFY(!m_field->button()->isHidden());

        m_field->setAttributes(0x20, ZuFieldWidget::ZUGUI_CHAR);
        m_field->setPropReadOnly(true);
        QVERIFY(!m_field->button()->isEnabled());
        m_field->setPropReadOnly(false);
        QVERIFY(m_field->button()->isEnabled());

        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_DATE);
        m_field->setData(QStringLiteral("07/04/2024"));
        QCOMPARE(m_field->displayMode(), Mode::DateEntry);
        m_field->setPropReadOnly(true);
        QCOMPARE(m_field->displayMode(), Mode::DateText);
        QCOMPARE(m_field->lineEdit()->text(), QStringLiteral("7/4/2024"));
        QVERIFY(m_field->lineEdit()->isReadOnly());
        m_field->setPropReadOnly(false);
        QCOMPARE(m_field->displayMode(), Mode::DateEntry);
        QCOMPARE(m_field->dateEdit()->text(), QStringLiteral("07/04/2024"));
        QVERIFY(!m_field->dateEdit()->isReadOnly());

        // Built while read-only: the new editor follows at once.
        m_field->setPropReadOnly(true);
        m_field->setAttributes(0x10, ZuFieldWidget::ZUGUI_CHAR);
        QVERIFY(m_field->lineEdit()->isReadOnly());
        QVERIFY(m_field->button()->isHidden());
    }

    void focusSignals()
    {
        m_field->setAttributes(0x10, ZuFieldWidget::ZUGUI_CHAR);
        QCoreApplication::processEvents(); // new editors show from the event loop
        QSignalSpy focusIn(m_field, &ZuFieldWidget::focusIn);
        QSignalSpy lostFocus(m_field, &ZuFieldWidget::lostFocus);
        m_field->focusField();
        QCOMPARE(focusIn.count(), 1);
        QCOMPARE(m_field->button()->property("editHasFocus").toBool(), true);
        m_label->setFocusPolicy(Qt::StrongFocus);
        m_label->setFocus();
        QCOMPARE(lostFocus.count(), 1);
        QCOMPARE(m_field->button()->property("editHasFocus").toBool(), false);

        m_field->setPropReadOnly(true);
        m_field->focusField();
        QCOMPARE(focusIn.count(), 1);
    }

    void mousePressSelectsAll()
    {
        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        m_field->setData(QStringLiteral("hello"));
        QCoreApplication::processEvents();
        QTest::mouseClick(m_field->lineEdit(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
        QVERIFY(m_field->lineEdit()->hasFocus());
        QCOMPARE(m_field->lineEdit()->selectedText(), QStringLiteral("hello"));
    }

    // The edit menu names the paste key that pastes in a field: Ctrl+V is a program key.
    void editMenuNamesAPasteKeyThatPastes()
    {
        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        QLineEdit *edit = m_field->lineEdit();
        QCoreApplication::processEvents();
        QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(3, 3), edit->mapToGlobal(QPoint(3, 3)));
        QApplication::sendEvent(edit, &request);
        auto *menu = edit->findChild<QMenu *>();
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        const QList<QAction *> actions = menu->actions();
        const auto found = std::find_if(actions.begin(), actions.end(), [](const QAction *action) {
            return action->text().startsWith(QStringLiteral("&Paste"));
        });
        QVERIFY(found != actions.end());
        const QAction *paste = *found;
        const QString named = paste->text().section(QLatin1Char('\t'), 1);
        QCOMPARE(QKeySequence(named, QKeySequence::NativeText), QKeySequence(ZuFieldWidget::PasteKey));
        menu->close();

        QApplication::clipboard()->setText(QStringLiteral("S2019"));
        QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(edit->text(), QStringLiteral("S2019"));
    }

    void buttonSignals()
    {
        QSignalSpy dropdown(m_field, &ZuFieldWidget::dropdownClicked);
        QSignalSpy idSec(m_field, &ZuFieldWidget::idSecClicked);
        QSignalSpy button(m_field, &ZuFieldWidget::buttonClicked);
        m_field->setAttributes(0x10, ZuFieldWidget::ZUGUI_CHAR);
        m_field->button()->click();
        m_field->setAttributes(0x40, ZuFieldWidget::ZUGUI_CHAR);
        m_field->button()->click();
        m_field->setAttributes(0x20, ZuFieldWidget::ZUGUI_CHAR);
        m_field->button()->click();
        QCOMPARE(dropdown.count(), 1);
        QCOMPARE(idSec.count(), 1);
        QCOMPARE(button.count(), 1);

        // Space on a text block opens it through its button.
        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_BLOB);
        QTest::keyClick(m_field->lineEdit(), Qt::Key_Space);
        QCOMPARE(button.count(), 2);
    }

    void eventDelegateSeesKeysFirst()
    {
        KeyEater eater;
        m_field->setEventDelegate(&eater);
        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        m_field->focusField();
        QTest::keyClicks(m_field->lineEdit(), QStringLiteral("abc"));
        QVERIFY(m_field->lineEdit()->text().isEmpty());
        m_field->setEventDelegate(nullptr);
        QTest::keyClicks(m_field->lineEdit(), QStringLiteral("abc"));
        QCOMPARE(m_field->lineEdit()->text(), QStringLiteral("abc"));
    }

    void multiElement_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QVector<int>>("firstColumns");
        QTest::addColumn<QVector<int>>("spans");
        QTest::newRow("labels") << "003l010Name|r040Total" << QStringList { "Name", "Total" }
                                << QVector<int> { 10, 36 } << QVector<int> { 4, 5 };
        QTest::newRow("line") << "003l005-----" << QStringList { "<line>" } << QVector<int> { 5 }
                              << QVector<int> { 5 };
        QTest::newRow("double line") << "003l000===" << QStringList { "<line>" } << QVector<int> { 0 }
                                     << QVector<int> { 3 };
        QTest::newRow("row only") << "003" << QStringList {} << QVector<int> {} << QVector<int> {};
        QTest::newRow("empty") << "" << QStringList {} << QVector<int> {} << QVector<int> {};
    }

    void multiElement()
    {
        QFETCH(QString, value);
        QFETCH(QStringList, texts);
        QFETCH(QVector<int>, firstColumns);
        QFETCH(QVector<int>, spans);

        m_field->setAttributes(0x20000, ZuFieldWidget::ZUGUI_CHAR);
        m_field->setData(value);
        const QList<QWidget *> elements = m_field->elementWidgets();
        QCOMPARE(elements.size(), texts.size());
        for (int i = 0; i < elements.size(); ++i) {
            QWidget *element = elements.at(i);
            QCOMPARE(labelTextOf(element), texts.at(i));
            QCOMPARE(element->parentWidget(), m_form.get());
            QVERIFY(element->property("_multi_element").toBool());
            int row, column, rows, columns;
            m_grid->getItemPosition(m_grid->indexOf(element), &row, &column, &rows, &columns);
            QCOMPARE(row, 2); // the field's own row, whatever the value says
            QCOMPARE(column, firstColumns.at(i));
            QCOMPARE(columns, spans.at(i));
        }
        if (value.contains(QLatin1Char('='))) {
            auto *line = qobject_cast<QFrame *>(elements.first());
            QCOMPARE(line->frameShape(), QFrame::HLine);
            QCOMPARE(line->lineWidth(), 2);
        }
        if (value.contains(QLatin1String("Total")))
            QCOMPARE(static_cast<QLabel *>(elements.at(1))->alignment() & Qt::AlignHorizontal_Mask,
                     Qt::AlignRight);
    }

    void multiElementLifecycle()
    {
        m_field->setAttributes(0x20000, ZuFieldWidget::ZUGUI_CHAR);
        m_field->setData(QStringLiteral("003l010Name|r040Total"));
        QPointer<QWidget> first = m_field->elementWidgets().first();

        m_field->hide();
        QVERIFY(!first);
        QVERIFY(m_field->elementWidgets().isEmpty());
        m_field->show();
        QCOMPARE(m_field->elementWidgets().size(), 2);

        // Hiding the whole form keeps them: they hide with it.
        first = m_field->elementWidgets().first();
        m_form->hide();
        m_form->show();
        QVERIFY(first);

        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        QVERIFY(!first);
        m_field->setAttributes(0x20000, ZuFieldWidget::ZUGUI_CHAR);
        QCOMPARE(m_field->elementWidgets().size(), 2);
        first = m_field->elementWidgets().first();
        delete m_field;
        QVERIFY(!first);
    }

    void multiElementBadValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<int>("elements");
        QTest::newRow("row") << "0x3l010Name"
                             << "(a)" << 0;
        QTest::newRow("column") << "003l0a0Name"
                                << "(b)" << 0;
        QTest::newRow("second column") << "003l010Name|r-40Total"
                                       << "(b)" << 1;
    }

    void multiElementBadValues()
    {
        QFETCH(QString, value);
        QFETCH(QString, warning);
        QFETCH(int, elements);
        m_field->setAttributes(0x20000, ZuFieldWidget::ZUGUI_CHAR);
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable("Field \"cust_no\" Could not parse multi-element data " + warning));
        m_field->setData(value);
        QCOMPARE(m_field->elementWidgets().size(), elements);
    }

    void snapshotRestore()
    {
        m_field->setAttributes(0x10 | 0x4, ZuFieldWidget::ZUGUI_CHAR);
        m_field->setColor(QStringLiteral("red"));
        m_field->setData(QStringLiteral("ONE"));
        m_field->focusField();
        QTest::keyClicks(m_field->lineEdit(), QStringLiteral("two"));
        const ZuFieldWidget::State saved = m_field->snapshot();
        QCOMPARE(saved.field.data(), m_field);
        QCOMPARE(saved.data, QStringLiteral("TWO"));

        m_field->setAttributes(0x20, ZuFieldWidget::ZUGUI_NUMBER);
        m_field->setColor(QString());
        m_field->setPropReadOnly(true);
        m_field->restore(saved);
        QCOMPARE(m_field->displayMode(), Mode::Dropdown);
        QCOMPARE(m_field->attributeMask(), 0x14);
        QCOMPARE(m_field->color(), QStringLiteral("red"));
        QCOMPARE(m_field->data(), QStringLiteral("TWO"));
        QVERIFY(!m_field->propReadOnly());
        QVERIFY(!m_field->lineEdit()->isReadOnly());
    }

    void calendarPick()
    {
        m_field->setAttributes(0x100, ZuFieldWidget::ZUGUI_DATE);
        m_field->setPropLength(10);
        m_field->setData(QStringLiteral("7/4/2024"));
        EnterCounter counter;
        m_field->installEventFilter(&counter);
        ZuDateEdit *edit = m_field->dateEdit();
        QVERIFY(edit);
        QCOMPARE(edit->calendarButton()->focusPolicy(), Qt::NoFocus);

        edit->calendarButton()->click();
        QPointer<QCalendarWidget> first = ZuDateEdit::openCalendar();
        QVERIFY(first);
        QCOMPARE(first->selectedDate(), QDate(2024, 7, 4));
        edit->calendarButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first); // only one calendar at a time
        QCalendarWidget *calendar = ZuDateEdit::openCalendar();
        QVERIFY(calendar);

        QSignalSpy edited(edit, &QLineEdit::textEdited);
        emit calendar->clicked(QDate(2025, 1, 9));
        QCOMPARE(edit->text(), QStringLiteral("01/09/2025"));
        QCOMPARE(edited.count(), 1);
        QVERIFY(m_field->isDataChanged());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!ZuDateEdit::openCalendar());
        QCoreApplication::processEvents();
        QCOMPARE(counter.count, 1); // ten characters: autonext
    }

    void calendarOnInvalidText()
    {
        m_field->setAttributes(0, ZuFieldWidget::ZUGUI_DATE);
        m_field->setData(QStringLiteral("someday"));
        m_field->dateEdit()->calendarButton()->click();
        QVERIFY(ZuDateEdit::openCalendar());
        QCOMPARE(ZuDateEdit::openCalendar()->selectedDate(), QDate::currentDate());
        ZuDateEdit::openCalendar()->close();
    }

private:
    std::unique_ptr<QWidget> m_form;
    QGridLayout *m_grid = nullptr;
    QLabel *m_label = nullptr;
    ZuFieldWidget *m_field = nullptr;
};

QTEST_MAIN(tst_ZuFieldWidget)
#include "tst_zufieldwidget.moc"

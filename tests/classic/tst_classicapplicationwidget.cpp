#include "classic/classicapplicationwidget.h"
#include "classic/classicpageform.h"
#include "classic/overlayblobedit.h"
#include "classic/overlaydialog.h"
#include "classic/overlaygridlookup.h"
#include "classic/overlayidsec.h"
#include "classic/overlaypause.h"
#include "classic/pagegrid.h"
#include "classic/ringmenuwidget.h"
#include "classic/screendocumentlimits.h"
#include "classic/zufieldwidget.h"

#include "shownplaintext.h"
#include "testenvironment.h"
#include "testpaths.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QPaintEvent>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTest>

#include <memory>

namespace {

QString fieldItem(int row, int column, const char *name, int span = 10)
{
    return QStringLiteral(
               R"(<item row="%1" column="%2" colspan="%3"><widget class="ZuFieldWidget" name="%4"/></item>)")
        .arg(row)
        .arg(column)
        .arg(span)
        .arg(QLatin1String(name));
}

QByteArray screenDoc(const QRect &extents, const QString &items, const QString &breaks = QString(),
                     const QString &title = QStringLiteral("Screen"), const QString &help = QString())
{
    return QStringLiteral(R"(<ui version="4.0"><widget class="ZuScreen" name="s">
<property name="windowTitle"><string>%1</string></property>
<property name="breaks"><string>%2</string></property>
<property name="propHelpUrl"><string>%3</string></property>
<property name="extents"><rect><x>%4</x><y>%5</y><width>%6</width><height>%7</height></rect></property>
<widget class="QWidget" name="visible_widgets"><layout class="QGridLayout" name="g">%8</layout></widget>
</widget></ui>)")
        .arg(title, breaks, help)
        .arg(extents.x())
        .arg(extents.y())
        .arg(extents.width())
        .arg(extents.height())
        .arg(items)
        .toUtf8();
}

QByteArray dataFile(const char *name)
{
    QFile file(QStringLiteral(ZU_CLASSIC_TEST_DATA "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Pb::ScreenMenu menuOf(std::initializer_list<std::pair<const char *, int>> items)
{
    Pb::ScreenMenu menu;
    for (const auto &[label, key] : items) {
        Pb::ScreenMenu::MenuItem *item = menu.add_menu_item();
        item->set_label(label);
        item->set_shortcut_key(key);
    }
    return menu;
}

} // namespace

class tst_ClassicApplicationWidget : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_page = std::make_unique<ClassicApplicationWidget>(4, QStringLiteral("Student Records"), false);
        m_page->resize(1000, 700);
        m_page->show();
        QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
    }

    void cleanup() { m_page.reset(); }

    void refusedDocuments_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a document") << QByteArray("<ui><widget") << "Failed to load UI:";
        QTest::newRow("plain root") << dataFile("plainroot.ui") << "is not a ZuScreen. It is a: QWidget";
        QTest::newRow("no grid") << dataFile("novisible.ui") << "does not have grid layout";
        // Bounded before anything is built: these crashed the client or took gigabytes.
        QTest::newRow("cell far down") << screenDoc(QRect(0, 0, 40, 2), fieldItem(100000000, 0, "f"))
                                       << "layout item row 100000000 is outside the grid";
        QTest::newRow("span far right") << screenDoc(QRect(0, 0, 40, 2), fieldItem(0, 0, "f", 5000))
                                        << "layout item colspan 5000 is outside the grid";
        QTest::newRow("extents far down") << screenDoc(QRect(0, 30000000, 40, 2), fieldItem(0, 0, "f"))
                                          << "placed outside the grid";
        QByteArray deep = "<ui version=\"4.0\">";
        for (int i = 0; i < 50000; ++i)
            deep += "<widget class=\"QWidget\">";
        QTest::newRow("nested deep") << deep << "nested deeper than 64";
        // Inside every other limit, but slow to tear down: destruction grows with the square.
        QString labels;
        for (int i = 0; i < ScreenDocumentLimits::MaxWidgets; ++i)
            labels += QStringLiteral(R"(<item row="0" column="0"><widget class="QLabel"/></item>)");
        QTest::newRow("many widgets")
            << screenDoc(QRect(0, 0, 40, 2), labels)
            << QString("more than %1 widgets").arg(ScreenDocumentLimits::MaxWidgets);
    }

    void refusedDocuments()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, message);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(message)));
        QVERIFY(!m_page->renderUi(document, 1, false, -1, -1));
        QVERIFY(m_page->form().pageContainer->isHidden());
    }

    // A load_screen placed beyond the grid is refused; broken page breaks are dropped, not obeyed.
    void placementLimits()
    {
        const QByteArray doc = screenDoc(QRect(0, 0, 40, 2), fieldItem(0, 0, "f"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("placed outside the grid"));
        QVERIFY(!m_page->renderUi(doc, 1, false, 100000000, -1));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("placed outside the grid"));
        QVERIFY(!m_page->renderUi(doc, 1, false, -1, 1000));

        QStringList many;
        for (int i = 1; i <= 40; ++i)
            many << QString::number(i * 2);
        for (const QString &breaks : { many.join(','), QStringLiteral("20,10"), QStringLiteral("5,x") }) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("page breaks|ignored"));
            QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 40, 90), fieldItem(0, 0, "g"), breaks), 1, false, -1, -1));
            QCOMPARE(m_page->grid()->pageCount(), 1);
        }
    }

    void pagesFollowTheBreaks()
    {
        const QString items = fieldItem(5, 0, "a") + fieldItem(25, 0, "b") + fieldItem(45, 0, "c");
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 60, 50), items, "20,40"), 1, false, -1, -1));
        QVERIFY(!m_page->form().pageContainer->isHidden());
        QCOMPARE(m_page->grid()->pageStarts(), QList<int>({ 0, 20, 40 }));
        QStringList labels;
        for (QAbstractButton *button : m_page->grid()->pageButtons()->buttons())
            labels << button->text();
        QCOMPARE(labels, QStringList({ "Screen 1", "Screen 2", "Screen 3" }));
        QVERIFY(!m_page->form().formBar->isHidden());
        QPointer<ZuFieldWidget> b = m_page->getField(1, "b");
        QPointer<ZuFieldWidget> c = m_page->getField(1, "c");
        QCOMPARE(m_page->grid()->pageOf(b), 1);
        QCOMPARE(m_page->grid()->pageOf(c), 2);

        // The same breaks again keep the page buttons reachable.
        QVERIFY(
            m_page->renderUi(screenDoc(QRect(0, 0, 60, 5), fieldItem(1, 0, "d"), "20,40"), 2, false, -1, -1));
        QVERIFY(!m_page->form().formBar->isHidden());

        // A screen without breaks takes the extra pages, their buttons and their widgets away.
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 60, 5), fieldItem(1, 0, "e")), 3, false, -1, -1));
        QCOMPARE(m_page->grid()->pageStarts(), QList<int>({ 0 }));
        QCOMPARE(m_page->grid()->pageButtons()->buttons().size(), 1);
        QVERIFY(m_page->form().formBar->isHidden());
        QTRY_VERIFY(!b && !c);
        QVERIFY(m_page->getField(1, "a", true));
    }

    void placement()
    {
        // The screen's extents shift its items; a cell above the grid goes to row 0.
        QTest::ignoreMessage(QtWarningMsg, "ClassicApplicationWidget::renderUi - widget out of bounds: -2 7");
        QVERIFY(
            m_page->renderUi(screenDoc(QRect(5, -2, 30, 4), fieldItem(0, 2, "top") + fieldItem(3, 1, "low")),
                             1, false, -1, -1));
        const auto cellOf = [this](const char *name, int screenId = 1) {
            QGridLayout *grid = m_page->grid()->pageLayout(0);
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(grid->indexOf(m_page->getField(screenId, name)), &row, &column, &rowSpan,
                                  &columnSpan);
            return QRect(column, row, columnSpan, rowSpan);
        };
        QCOMPARE(cellOf("top"), QRect(7, 0, 10, 1));
        QCOMPARE(cellOf("low"), QRect(6, 1, 10, 1));

        // A requested row moves the whole screen; the fields are read-only until activated.
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 30, 4), fieldItem(1, 0, "moved")), 2, false, 10, 3));
        QCOMPARE(cellOf("moved", 2).y(), 11);
        QVERIFY(m_page->getField(2, "moved")->propReadOnly());

        // Clearing rows deletes what lies wholly inside them.
        QPointer<ZuFieldWidget> low = m_page->getField(1, "low");
        m_page->clearRows(1, 1);
        QTRY_VERIFY(!low);
        QVERIFY(m_page->getField(1, "top", true));
        QVERIFY(m_page->getField(2, "moved", true));
    }

    void sameNamesInTwoScreens()
    {
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 30, 1), fieldItem(0, 0, "code")), 1, false, -1, -1));
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 2, 30, 1), fieldItem(0, 0, "code")), 2, false, -1, -1));
        QVERIFY(m_page->getField(1, "code"));
        QVERIFY(m_page->getField(2, "code"));
        QVERIFY(m_page->getField(1, "code") != m_page->getField(2, "code"));
        QTest::ignoreMessage(QtDebugMsg, "ClassicApplicationWidget::getField() - Field \"code\" not found");
        QVERIFY(!m_page->getField(3, "code"));
    }

    void popupTitles()
    {
        QSignalSpy titles(m_page.get(), &TaskPageWidget::titleChanged);
        const QString withInfo
            = fieldItem(0, 0, "choice")
            + QStringLiteral(
                  R"(<item row="1" column="0"><widget class="ZuFieldWidget" name="SCREEN_INFO"/></item>)");
        QTest::ignoreMessage(QtDebugMsg,
                             "ClassicApplicationWidget::renderUi - Adjusting negative popup location Y: -2");
        QVERIFY(m_page->renderUi(screenDoc(QRect(4, 1, 20, 3), withInfo), 8, true, -1, -1));
        QVERIFY(!m_page->getField(8, "SCREEN_INFO", true));
        auto *label = m_page->findChild<QLabel *>("popupTitleLabel");
        QVERIFY(label);
        m_page->setTitle(8, "Pick one");
        QCOMPARE(label->text(), QString("Pick one"));
        QCOMPARE(titles.size(), 0);

        QVERIFY(m_page->renderUi(screenDoc(QRect(4, 6, 20, 3), fieldItem(0, 0, "other")), 9, true, -1, -1));
        m_page->setTitle(9, "Whole page");
        QCOMPARE(m_page->title(), QString("Whole page"));
        QCOMPARE(titles.size(), 1);
        QCOMPARE(m_page->findChildren<QLabel *>("popupTitleLabel").size(), 1);

        QTest::ignoreMessage(QtWarningMsg,
                             "ClassicApplicationWidget::renderUi() - New overlay contains a duplicate "
                             "field. \"other\"");
        QVERIFY(m_page->renderUi(screenDoc(QRect(4, 12, 20, 3), fieldItem(0, 0, "other")), 9, true, -1, -1));
    }

    // A field inside SCREEN_INFO goes with it and is never touched afterwards.
    void screenInfoHoldingAField()
    {
        const QString items = fieldItem(0, 0, "choice")
            + QStringLiteral(R"(<item row="1" column="0"><widget class="ZuFieldWidget" name="SCREEN_INFO">)"
                             R"(<widget class="ZuFieldWidget" name="inner"/></widget></item>)");
        QVERIFY(m_page->renderUi(screenDoc(QRect(4, 5, 20, 3), items), 8, true, -1, -1));
        QVERIFY(m_page->findChild<QLabel *>("popupTitleLabel"));
        QVERIFY(m_page->getField(8, "choice", true));
        QVERIFY(!m_page->getField(8, "inner", true));
    }

    void pushedWindowComesBack()
    {
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 40, 3), fieldItem(1, 0, "old"), QString(), "Old"), 1,
                                 false, -1, -1));
        QPointer<ZuFieldWidget> old = m_page->getField(1, "old");
        old->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        old->setData("kept");
        m_page->setTitle(0, "First");
        m_page->setStatusText("status one");
        m_page->p_setMenu(menuOf({ { "Save", 'S' } }));
        m_page->pushWindow();

        old->setData("changed meanwhile");
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 40, 3), fieldItem(1, 0, "new"), QString(), "New"), 2,
                                 false, -1, -1));
        QPointer<ZuFieldWidget> fresh = m_page->getField(2, "new");
        QVERIFY(old);
        QVERIFY(!m_page->getField(1, "old", true));
        // Set aside, the old field still belongs to the page: it can never outlive it.
        QVERIFY(m_page->isAncestorOf(old));
        QVERIFY(!old->isVisibleTo(m_page.get()));
        m_page->setTitle(0, "Second");
        m_page->setStatusText("status two");
        m_page->p_setMenu(menuOf({ { "Quit", 'Q' } }));

        m_page->popWindow();
        QTRY_VERIFY(!fresh);
        QCOMPARE(m_page->getField(1, "old"), old.data());
        QCOMPARE(old->data(), QString("kept"));
        QCOMPARE(m_page->grid()->pageOf(old), 0);
        QCOMPARE(m_page->title(), QString("First"));
        QCOMPARE(m_page->windowTitle(), QString("First - Old"));
        QCOMPARE(m_page->statusText(), QString("status one"));
        QVERIFY(m_page->ringMenu()->boundTo(QKeySequence(Qt::Key_S)));
        QCOMPARE(m_page->windowStackDepth(), 0);
    }

    // A wider page starts from wider columns, and no page from columns too narrow to show a
    // character and its padding.
    void columnWidthGrowsWithThePage()
    {
        int previous = 0;
        for (int width = 0; width <= 3000; width += 10) {
            const int start = ClassicApplicationWidget::startingColumnWidth(width);
            QVERIFY2(start >= previous, qPrintable(QString("at %1").arg(width)));
            QVERIFY(start >= 2);
            previous = start;
        }
        QVERIFY(ClassicApplicationWidget::startingColumnWidth(1400)
                > ClassicApplicationWidget::startingColumnWidth(800));
    }

    void pageIsNeverClosedByItsWindow()
    {
        QVERIFY(!m_page->close());
        QVERIFY(m_page->isVisible());
    }

    void keys_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("withField");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("charCode");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("ringKey");
        QTest::newRow("char: letter upper-cased") << 1 << false << int(Qt::Key_A) << 65 << 0 << 0;
        QTest::newRow("char: F6 is table") << 1 << false << int(Qt::Key_F6) << 2003 << 0 << 0;
        QTest::newRow("char: left allowed") << 1 << false << int(Qt::Key_Left) << 2007 << 0 << 0;
        QTest::newRow("char: unmapped") << 1 << false << int(Qt::Key_F11) << 0 << 0 << 0;
        QTest::newRow("field: enter with field") << 2 << true << int(Qt::Key_Return) << 0 << 2004 << 0;
        QTest::newRow("field: left edits") << 2 << true << int(Qt::Key_Left) << 0 << 0 << 0;
        QTest::newRow("field: no field, ring key") << 2 << false << int(Qt::Key_S) << 0 << 0 << int('S');
        QTest::newRow("field: bound key") << 2 << true << int(Qt::Key_Escape) << 0 << 0 << 2000;
        QTest::newRow("menu: bound") << 0 << true << int(Qt::Key_S) << 0 << 0 << int('S');
        QTest::newRow("menu: unbound") << 0 << false << int(Qt::Key_Z) << 0 << 0 << 0;
        QTest::newRow("unknown mode") << 7 << false << int(Qt::Key_S) << 0 << 0 << 0;
    }

    void keys()
    {
        QFETCH(int, mode);
        QFETCH(bool, withField);
        QFETCH(int, key);
        QFETCH(int, charCode);
        QFETCH(int, keyCode);
        QFETCH(int, ringKey);
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 40, 2), fieldItem(0, 0, "f")), 1, false, -1, -1));
        m_page->p_setMenu(menuOf({ { "Save", 'S' }, { "Exit", 2000 } }));
        ZuFieldWidget *field = m_page->getField(1, "f");
        field->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        m_page->activateField(1, "f", QString(), true);
        QWidget *target = m_page.get();
        if (withField) {
            m_page->setFocusOnField(1, "f");
            QTRY_VERIFY(field->lineEdit()->hasFocus());
            target = field->lineEdit();
        }
        m_page->setKeyboardMode(mode);
        QSignalSpy chars(m_page.get(), &ClassicApplicationWidget::charModeKeyPressed);
        QSignalSpy keysSent(m_page.get(), &ClassicApplicationWidget::keyPressed);
        QSignalSpy ring(m_page.get(), &ClassicApplicationWidget::ringMenuKeyPressed);
        QTest::keyClick(target, Qt::Key(key));
        QTRY_COMPARE(ring.size(), ringKey ? 1 : 0);
        QCOMPARE(chars.size(), charCode ? 1 : 0);
        if (charCode)
            QCOMPARE(chars.at(0).at(0).toInt(), charCode);
        QCOMPARE(keysSent.size(), keyCode ? 1 : 0);
        if (keyCode) {
            QCOMPARE(keysSent.at(0).at(0).value<ZuFieldWidget *>(), field);
            QCOMPARE(int(keysSent.at(0).at(1).value<Pb::Key>()), keyCode);
        }
        if (ringKey)
            QCOMPARE(ring.at(0).at(1).toInt(), ringKey);
    }

    void userFocusAndFieldEvents()
    {
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 40, 3), fieldItem(0, 0, "a") + fieldItem(1, 0, "b")),
                                 1, false, -1, -1));
        ZuFieldWidget *a = m_page->getField(1, "a");
        ZuFieldWidget *b = m_page->getField(1, "b");
        for (ZuFieldWidget *field : { a, b }) {
            field->setAttributes(ZuFieldWidget::DropdownBit, ZuFieldWidget::ZUGUI_CHAR);
            m_page->activateField(1, field->objectName(), QString(), true);
        }
        b->setData("ref");
        QSignalSpy focus(m_page.get(), &ClassicApplicationWidget::fieldFocusChanged);
        // The focus moves at once, without running the event loop inside the handler.
        bool delivered = false;
        QMetaObject::invokeMethod(this, [&delivered] { delivered = true; }, Qt::QueuedConnection);
        m_page->setFocusOnField(1, "a");
        QVERIFY2(!delivered, "setFocusOnField ran a nested event loop");
        QCOMPARE(m_page->currentField(), a);
        QCOMPARE(focus.size(), 1);
        QTRY_VERIFY(delivered);
        QCOMPARE(focus.at(0).at(0).value<ZuFieldWidget *>(), nullptr);

        b->lineEdit()->setFocus(Qt::MouseFocusReason);
        QTRY_COMPARE(focus.size(), 2);
        QCOMPARE(focus.at(1).at(0).value<ZuFieldWidget *>(), a);
        QCOMPARE(focus.at(1).at(1).value<ZuFieldWidget *>(), b);
        QCOMPARE(m_page->currentField(), b);

        QSignalSpy dropdown(m_page.get(), &ClassicApplicationWidget::fieldDropdownClicked);
        a->button()->click();
        QCOMPARE(dropdown.size(), 1);
        QCOMPARE(dropdown.at(0).at(0).value<ZuFieldWidget *>(), b);
        QCOMPARE(m_page->currentField(), a);

        // A field made read-only stops being the current one.
        m_page->activateField(1, "a", QString(), false);
        QCOMPARE(m_page->currentField(), nullptr);
        QTest::ignoreMessage(QtWarningMsg,
                             "ClassicApplicationWidget::activateField() - Field \"zz\" not found");
        m_page->activateField(1, "zz", QString(), true);
    }

    void help()
    {
        QSignalSpy help(m_page.get(), &ClassicApplicationWidget::helpRequested);
        QVERIFY(m_page->form().helpButton->isHidden());
        QVERIFY(m_page->renderUi(
            screenDoc(QRect(0, 0, 40, 2), fieldItem(0, 0, "f"), QString(), "S", "http://screen"), 1, false,
            -1, -1));
        QVERIFY(!m_page->form().helpButton->isHidden());
        m_page->form().helpButton->click();
        QCOMPARE(help.takeFirst().at(0).toString(), QString("http://screen"));

        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 3, 40, 2), fieldItem(0, 0, "g")), 2, false, -1, -1));
        ZuFieldWidget *g = m_page->getField(2, "g");
        g->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        m_page->activateField(2, "g", QString(), true);
        m_page->setFocusOnField(2, "g");
        g->setPropHelpUrl("http://field");
        m_page->form().helpButton->click();
        QCOMPARE(help.takeFirst().at(0).toString(), QString("http://field"));
        g->setPropHelpUrl(QString());
        m_page->form().helpButton->click();
        QCOMPARE(help.takeFirst().at(0).toString(), QString("http://screen"));

        // A long session of ever new screen ids keeps the entries of the screens still shown only.
        for (int id = 100; id < 400; ++id)
            QVERIFY(m_page->renderUi(screenDoc(QRect(0, 6, 40, 2), fieldItem(0, 0, "h"), QString(), "T",
                                               "http://h" + QString::number(id)),
                                     id, false, -1, -1));
        QVERIFY(m_page->rememberedScreens() <= 128);
        ZuFieldWidget *f = m_page->getField(1, "f");
        f->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        m_page->activateField(1, "f", QString(), true);
        m_page->setFocusOnField(1, "f");
        m_page->form().helpButton->click();
        QCOMPARE(help.takeFirst().at(0).toString(), QString("http://screen"));
    }

    void soloHelpKeyOpensHelp()
    {
        m_page = std::make_unique<ClassicApplicationWidget>(1, QStringLiteral("Menu Option"), true);
        QVERIFY(m_page->form().detachButton->isHidden());
        QVERIFY(
            m_page->renderUi(screenDoc(QRect(0, 0, 40, 2), fieldItem(0, 0, "f"), QString(), "S", "http://h"),
                             1, false, -1, -1));
        m_page->p_setMenu(menuOf({ { "Help", 2020 }, { "Save", 'S' } }));
        QSignalSpy help(m_page.get(), &ClassicApplicationWidget::helpRequested);
        QSignalSpy ring(m_page.get(), &ClassicApplicationWidget::ringMenuKeyPressed);
        QVERIFY(m_page->ringMenu()->triggerShortcut(QKeySequence(Qt::CTRL | Qt::Key_W)));
        QCOMPARE(help.size(), 1);
        QCOMPARE(ring.size(), 0);
        QVERIFY(m_page->ringMenu()->triggerShortcut(QKeySequence(Qt::Key_S)));
        QCOMPARE(ring.size(), 1);
    }

    void statusAndErrorLines()
    {
        const ClassicPageForm &form = m_page->form();
        QVERIFY(form.statusPanel->isHidden());
        m_page->setStatusText("Working");
        QCOMPARE(form.statusLabel->text(), QString("Working"));
        QVERIFY(!form.statusPanel->isHidden());
        m_page->setRingMenuPrompt("Save the record");
        QCOMPARE(form.statusLabel->text(), QString("Save the record"));
        m_page->setRingMenuPrompt(QString());
        QCOMPARE(form.statusLabel->text(), QString("Working"));
        m_page->setStatusText(QString());
        QVERIFY(form.statusPanel->isHidden());

        m_page->setErrorText("Bad date");
        QVERIFY(!form.errorPanel->isHidden());
        form.errorClose->click();
        QVERIFY(form.errorPanel->isHidden());
        QCOMPARE(form.errorLabel->text(), QString());
    }

    // Long status, error and title lines wrap; only the form scrolls. None of them may make the
    // page wider than its window, where the task stack would cut it off at a larger zoom.
    void longLinesNeverWidenThePage()
    {
        const QString line
            = QString("Enter a number, part of a name or a programme, then search. ").repeated(8);
        m_page->setStatusText(line);
        m_page->setErrorText(line);
        m_page->setTitle(1, line);
        QFont large = m_page->font();
        large.setPointSize(large.pointSize() * 2);
        m_page->setFont(large);
        QVERIFY2(m_page->minimumSizeHint().width() < 600,
                 qPrintable(QString::number(m_page->minimumSizeHint().width())));
    }

    // Server text in every label of the page and its overlays is shown as it is, never as markup.
    void serverTextIsNeverMarkup()
    {
        const QString hostile = QStringLiteral("<b>Due</b> <img src=\"/nonexistent/zu.png\">");
        const ClassicPageForm &form = m_page->form();
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 40, 2), fieldItem(0, 0, "f"), QString(), "T"), 1, false,
                                 -1, -1));
        m_page->setTitle(0, hostile);
        m_page->setStatusText(hostile);
        m_page->setErrorText(hostile);
        QVERIFY(shownText(form.formTitle).startsWith(hostile));
        QCOMPARE(shownText(form.statusLabel), hostile);
        QCOMPARE(shownText(form.errorLabel), hostile);
        const QString withInfo = fieldItem(0, 0, "p")
            + QStringLiteral(R"(<item row="1" column="0"><widget class="ZuFieldWidget" name="SCREEN_INFO"/></item>)");
        QVERIFY(m_page->renderUi(screenDoc(QRect(4, 5, 20, 3), withInfo), 2, true, -1, -1));
        m_page->setTitle(2, hostile);
        QCOMPARE(shownText(m_page->findChild<QLabel *>("popupTitleLabel")), hostile);

        for (int type : { 1, 2 }) {
            Pb::Dialog dialog;
            dialog.set_type(type);
            dialog.set_title(hostile.toStdString());
            dialog.set_prompt(hostile.toStdString());
            dialog.add_option()->set_text("Yes");
            m_page->showDialog(dialog);
            QVERIFY(m_page->overlayMode() != ClassicApplicationWidget::NoOverlay);
            const QList<QLabel *> labels = m_page->findChildren<QLabel *>();
            const int literal = std::count_if(labels.begin(), labels.end(), [&](const QLabel *label) {
                return label->isVisibleTo(m_page.get()) && shownText(label) == hostile;
            });
            QVERIFY2(literal >= 2, qPrintable(QString("dialog type %1").arg(type)));
            m_page->closeDialog();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        m_page->showPausePopup(hostile);
        QCOMPARE(shownText(m_page->findChild<OverlayPause *>()->findChild<QLabel *>("messageLabel")), hostile);
        emit m_page->findChild<OverlayPause *>()->keyPressed(65);

        // The screen document's own labels and tool tips are server text too.
        const QString escaped = hostile.toHtmlEscaped();
        const QString items = QStringLiteral(R"(<item row="0" column="0"><widget class="QLabel" name="l">)"
                                             R"(<property name="text"><string>%1</string></property></widget></item>)"
                                             R"(<item row="1" column="0"><widget class="ZuFieldWidget" name="t">)"
                                             R"(<property name="toolTip"><string>%1</string></property></widget></item>)")
                                  .arg(escaped);
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 10, 40, 2), items), 7, false, -1, -1));
        QCOMPARE(shownText(m_page->findChild<QLabel *>("l")), hostile);
        QCOMPARE(shownText(m_page->getField(7, "t")->toolTip()), hostile);
    }

    // One long text must not freeze the page: what a label or field shows is bounded, and the
    // page's shadow is drawn without painting the whole (wide) page offscreen, so a paint covers
    // what is on the screen and not the label's full width.
    void longTextsStayCheapToPaint()
    {
        const QString longText(30 * 1024, QLatin1Char('W'));
        const QString items = QStringLiteral(R"(<item row="0" column="0"><widget class="QLabel" name="wide">)"
                                             R"(<property name="text"><string>%1</string></property></widget></item>)")
                                  .arg(longText)
            + fieldItem(1, 0, "f");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("label \"wide\": 30720 characters of text, 1000 shown"));
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 40, 2), items), 1, false, -1, -1));
        auto *label = m_page->findChild<QLabel *>("wide");
        QVERIFY(label);
        QCOMPARE(shownText(label).size(), ScreenDocumentLimits::MaxShownText);
        ZuFieldWidget *field = m_page->getField(1, "f");
        field->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Field \"f\": 30720 characters of text, 1000 shown"));
        field->setData(longText);
        QCOMPARE(field->data().size(), ScreenDocumentLimits::MaxShownText);

        QTRY_VERIFY(m_page->form().scrollArea->updatesEnabled());
        QVERIFY(label->width() > 2 * m_page->width());
        struct PaintedRegion : QObject
        {
            QRegion painted;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint)
                    painted += static_cast<QPaintEvent *>(event)->region();
                return false;
            }
        } watch;
        label->installEventFilter(&watch);
        m_page->grab();
        QVERIFY(!watch.painted.isEmpty());
        QVERIFY2(watch.painted.boundingRect().width() <= m_page->width(),
                 qPrintable(QStringLiteral("painted %1 of %2 pixels").arg(watch.painted.boundingRect().width()).arg(label->width())));
    }

    void formBar()
    {
        const ClassicPageForm &form = m_page->form();
        Pb::NavBarItemList list;
        for (const auto &[index, label, key] :
             { std::tuple(3, "customer", 'C'), std::tuple(5, "address", 'D') }) {
            Pb::NavBarItemList::BarItem *item = list.add_bar_item();
            item->set_index(index);
            item->set_label(label);
            item->set_shortcut_key(key);
        }
        QSignalSpy ring(m_page.get(), &ClassicApplicationWidget::ringMenuKeyPressed);
        m_page->formbarSetTableList(list);
        m_page->formbarSetCurrentTable(5);
        QCOMPARE(ring.size(), 0);
        QVERIFY(!form.formBar->isHidden());
        QCOMPARE(form.tablesCombo->currentText(), QString("address"));
        form.tablesCombo->setCurrentIndex(0);
        QCOMPARE(ring.takeFirst().at(1).toInt(), int('C'));

        m_page->formbarSetRowCount(1, 10);
        QCOMPARE(form.rowStatusLabel->text(), QString("1 of 10"));
        QVERIFY(!form.prevButton->isEnabled());
        QVERIFY(form.nextButton->isEnabled());
        m_page->formbarSetRowCount(10, 10);
        QVERIFY(form.prevButton->isEnabled());
        QVERIFY(!form.nextButton->isEnabled());
        form.prevButton->click();
        QCOMPARE(ring.takeFirst().at(1).toInt(), int('P'));
        m_page->formbarSetNavEnabled(false);
        QVERIFY(!form.prevButton->isEnabled());
        QVERIFY(!form.tablesCombo->isEnabled());
        QVERIFY(!form.resultSetButton->isEnabled());
    }

    void overlaysOpenAndClose()
    {
        QSignalSpy dialogKeys(m_page.get(), &ClassicApplicationWidget::dialogButtonPressed);
        QSignalSpy charKeys(m_page.get(), &ClassicApplicationWidget::charModeKeyPressed);
        QSignalSpy grids(m_page.get(), &ClassicApplicationWidget::gridLookupComplete);

        Pb::Dialog dialog;
        dialog.set_type(1);
        auto *option = dialog.add_option();
        option->set_key('Y');
        option->set_text("Yes");
        m_page->showDialog(dialog);
        QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::DialogOverlay));
        QVERIFY(!m_page->form().contentBar->isEnabled());
        auto *overlay = m_page->findChild<OverlayDialog *>();
        QVERIFY(overlay);
        emit overlay->buttonPressed('Y');
        QCOMPARE(dialogKeys.size(), 1);
        QCOMPARE(dialogKeys.at(0).at(0).toInt(), int('Y'));
        // The dialog stays until the server ends it; meanwhile a grid is refused.
        QPointer<QStandardItemModel> model = new QStandardItemModel;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("gridLookup\\(\\) - invalid mode: 3"));
        m_page->gridLookup("t", model, {});
        QVERIFY(!model);
        m_page->closeDialog();
        QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::NoOverlay));
        QVERIFY(m_page->form().contentBar->isEnabled());
        QTest::ignoreMessage(QtWarningMsg, "ClassicApplicationWidget::closeDialog() - Dialog not shown.");
        m_page->closeDialog();

        // A pause closes on its key and passes the key on.
        m_page->showPausePopup("Press any key");
        QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::PauseOverlay));
        emit m_page->findChild<OverlayPause *>()->keyPressed(65);
        QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::NoOverlay));
        QCOMPARE(charKeys.size(), 1);
        QCOMPARE(charKeys.at(0).at(0).toInt(), 65);

        // A grid answers with the row, or without a value on cancel; a dialog meanwhile is refused.
        auto *rows = new QStandardItemModel(2, 1);
        m_page->gridLookup("Grid", rows, {});
        QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::GridLookupOverlay));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("showDialog\\(\\) - invalid mode: 6"));
        m_page->showDialog(dialog);
        QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::GridLookupOverlay));
        emit m_page->findChild<OverlayGridLookup *>()->accepted(7);
        QCOMPARE(grids.size(), 1);
        QCOMPARE(grids.at(0).at(0).toInt(), 7);
        QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::NoOverlay));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_page->gridLookup("Grid", new QStandardItemModel(1, 1), {});
        emit m_page->findChild<OverlayGridLookup *>()->rejected();
        QCOMPARE(grids.size(), 2);
        QVERIFY(!grids.at(1).at(0).isValid());

        dialog.set_type(9);
        QTest::ignoreMessage(QtCriticalMsg, "ClassicApplicationWidget::showDialog() - Invalid dialog type");
        m_page->showDialog(dialog);
        QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::NoOverlay));

        QTest::ignoreMessage(
            QtWarningMsg,
            "ClassicApplicationWidget::setTableLookup() - No current field to attach table to.");
        m_page->setTableLookup({ "a" });
        // Screens still load: the page was not left in an overlay mode.
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 40, 2), fieldItem(0, 0, "f")), 1, false, -1, -1));
    }

    // A dismissed pause gives the keys back to the page: to the current field, or without one to
    // the ring menu, never to whatever follows the page in the focus chain.
    void focusAfterAPause()
    {
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 40, 2), fieldItem(0, 0, "f")), 1, false, -1, -1));
        m_page->p_setMenu(menuOf({ { "Next", 'N' }, { "Exit", Pb::ZUGUI_ABORT } }));
        auto *after = new QPushButton(QStringLiteral("task bar"), m_page.get());
        after->show();
        const auto dismissPause = [this] {
            m_page->showPausePopup(QStringLiteral("Fees due: 1,250.00"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        };
        dismissPause();
        QTRY_VERIFY(m_page->ringMenu()->isAncestorOf(QApplication::focusWidget()));

        ZuFieldWidget *field = m_page->getField(1, "f");
        field->setAttributes(0, ZuFieldWidget::ZUGUI_CHAR);
        m_page->activateField(1, "f", QString(), true);
        m_page->setFocusOnField(1, "f");
        dismissPause();
        QTRY_COMPARE(QApplication::focusWidget(), field->lineEdit());
    }

    void identityAndTextBlockOverlays()
    {
        QSignalSpy blobs(m_page.get(), &ClassicApplicationWidget::blobEditComplete);
        QVERIFY(m_page->renderUi(screenDoc(QRect(0, 0, 40, 4), fieldItem(2, 0, "notes")), 1, false, -1, -1));

        // The identity card closes by itself and sends nothing; a text block meanwhile is refused.
        m_page->showImage(Pb::IdSec());
        QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::ImageOverlay));
        QVERIFY(!m_page->form().contentBar->isEnabled());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("editBlob\\(\\) - invalid mode: 2"));
        m_page->editBlob(1, "notes", false, "x");
        emit m_page->findChild<OverlayIdSec *>()->okayButtonPressed();
        QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::NoOverlay));
        QVERIFY(m_page->form().contentBar->isEnabled());
        QTest::ignoreMessage(QtWarningMsg, "ClassicApplicationWidget::p_closeImage() - image not shown.");
        emit m_page->findChild<OverlayIdSec *>()->okayButtonPressed();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("editBlob\\(\\) - field not found: 1 \"nope\""));
        m_page->editBlob(1, "nope", false, "x");
        QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::NoOverlay));

        // Saved text goes on; a cancel is a null text, an emptied block an empty one.
        for (const QString &answer : { QString("Part-time"), QString(), QString("") }) {
            m_page->editBlob(1, "notes", false, "Transfer student");
            QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::BlobEditOverlay));
            auto *editor = m_page->findChild<OverlayBlobEdit *>();
            // It opens at the height of the field.
            const QPoint field = m_page->getField(1, "notes")->mapToGlobal(QPoint(0, 0));
            QTRY_COMPARE(editor->findChild<QWidget *>("dialogBox")->mapToGlobal(QPoint(0, 0)).y(), field.y());
            if (answer.isNull())
                emit editor->rejected();
            else
                emit editor->accepted(answer);
            QCOMPARE(m_page->overlayMode(), int(ClassicApplicationWidget::NoOverlay));
            const QString sent = blobs.takeFirst().at(0).toString();
            QCOMPARE(sent, answer);
            QCOMPARE(sent.isNull(), answer.isNull());
            // No field is current on this screen: the keys go to the ring menu again.
            QVERIFY(!m_page->currentField());
            QTRY_VERIFY(m_page->ringMenu()->hasFocus());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QCOMPARE(blobs.size(), 0);
    }

private:
    TestEnvironment m_environment;
    std::unique_ptr<ClassicApplicationWidget> m_page;
};

QTEST_MAIN(tst_ClassicApplicationWidget)
#include "tst_classicapplicationwidget.moc"

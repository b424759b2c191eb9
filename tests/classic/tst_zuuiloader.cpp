#include "classic/screendocument.h"
#include "classic/zufieldwidget.h"
#include "classic/zugroup.h"
#include "classic/zugroupcontainer.h"
#include "classic/zuhiddenfield.h"
#include "classic/zuhiddenfieldcontainer.h"
#include "classic/zuscreen.h"
#include "classic/zuuiloader.h"
#include "testpaths.h"

#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

#include <memory>

namespace {

QByteArray document(const QString &name)
{
    QFile file(QStringLiteral(ZU_CLASSIC_TEST_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test document %s", qPrintable(name));
    return file.readAll();
}

std::unique_ptr<QWidget> load(const QString &name, QString *error = nullptr)
{
    return std::unique_ptr<QWidget>(ZuUiLoader::loadDocument(document(name), error));
}

// Position of a widget in its parent's grid: row, column, row span, column span.
QVector<int> gridPosition(QWidget *widget)
{
    auto *grid = qobject_cast<QGridLayout *>(widget->parentWidget()->layout());
    int row = -1, column = -1, rows = -1, columns = -1;
    if (grid && grid->indexOf(widget) >= 0)
        grid->getItemPosition(grid->indexOf(widget), &row, &column, &rows, &columns);
    return { row, column, rows, columns };
}

} // namespace

class tst_ZuUiLoader : public QObject
{
    Q_OBJECT

private slots:
    void screenProperties()
    {
        QString error;
        const auto root = load(QStringLiteral("customer.ui"), &error);
        QVERIFY2(root, qPrintable(error));
        auto *screen = qobject_cast<ZuScreen *>(root.get());
        QVERIFY(screen);
        QCOMPARE(screen->objectName(), QStringLiteral("customer"));
        QCOMPARE(screen->extents(), QRect(2, 3, 70, 12));
        QCOMPARE(screen->breaks(), QStringLiteral("20,,40"));
        QCOMPARE(screen->propHelpUrl(), QStringLiteral("https://help.example.edu/customer"));
        QCOMPARE(screen->property("propInstructions").toString(), QStringLiteral("Enter a customer number"));
        QCOMPARE(screen->property("propTables").toStringList(), QStringList({ "customer", "address" }));
        QCOMPARE(screen->windowTitle(), QStringLiteral("Customer Maintenance"));
        QCOMPARE(screen->property("scrdotable_headers").toStringList(), QStringList({ "Number", "Name" }));
        QVERIFY(screen->dynamicPropertyNames().contains("scrdotable_headers"));
        QCOMPARE(screen->screenId(), -1);
    }

    void fieldsAndGrid()
    {
        const auto root = load(QStringLiteral("customer.ui"));
        QVERIFY(root);
        QWidget *visible = visibleWidgets(root.get());
        QCOMPARE(visible->objectName(), QStringLiteral("visible_widgets"));
        QVERIFY(qobject_cast<QGridLayout *>(visible->layout()));
        QCOMPARE(visibleWidgets(root.get()), visible);

        auto *custNo = visible->findChild<ZuFieldWidget *>(QStringLiteral("cust_no"));
        QVERIFY(custNo);
        QCOMPARE(gridPosition(custNo), QVector<int>({ 0, 14, 1, 8 }));
        QCOMPARE(custNo->toolTip(), QStringLiteral("The customer's number"));
        QCOMPARE(custNo->labelName(), QStringLiteral("custNoLabel"));
        QCOMPARE(custNo->propLength(), 8);
        QCOMPARE(custNo->property("propUpshift").toBool(), true);
        QCOMPARE(custNo->property("propRequired").toBool(), true);
        QCOMPARE(custNo->propHelpUrl(), QStringLiteral("https://help.example.edu/custno"));
        QCOMPARE(custNo->propInclude(), QStringList({ "A", "B" }));
        QCOMPARE(custNo->property("propFormat").toString(), QStringLiteral("&&&&"));
        // Undeclared properties are kept as dynamic ones.
        QCOMPARE(custNo->property("propScreenHint").toString(), QStringLiteral("carried along"));
        QVERIFY(custNo->dynamicPropertyNames().contains("propScreenHint"));
        QCOMPARE(custNo->displayMode(), ZuFieldWidget::DisplayMode::None);

        auto *name = visible->findChild<ZuFieldWidget *>(QStringLiteral("cust_name"));
        QVERIFY(name);
        QVERIFY(name->propReverse());
        QCOMPARE(gridPosition(name), QVector<int>({ 1, 14, 1, 30 }));
        QVERIFY(visible->findChild<ZuFieldWidget *>(QStringLiteral("SCREEN_INFO")));
        QCOMPARE(gridPosition(visible->findChild<QLabel *>(QStringLiteral("nameLabel"))),
                 QVector<int>({ 1, 0, 1, 12 }));
        auto *grid = static_cast<QGridLayout *>(visible->layout());
        bool spacerFound = false;
        for (int i = 0; i < grid->count(); ++i)
            spacerFound = spacerFound || grid->itemAt(i)->spacerItem();
        QVERIFY(spacerFound);
    }

    void hiddenClassesNeverShow()
    {
        const auto root = load(QStringLiteral("customer.ui"));
        QVERIFY(root);
        auto *group = root->findChild<ZuGroup *>(QStringLiteral("addressGroup"));
        auto *groups = root->findChild<ZuGroupContainer *>(QStringLiteral("groups"));
        auto *hidden = root->findChild<ZuHiddenField *>(QStringLiteral("cust_key"));
        auto *hiddenFields = root->findChild<ZuHiddenFieldContainer *>(QStringLiteral("hiddenFields"));
        QVERIFY(group && groups && hidden && hiddenFields);
        QCOMPARE(group->members(), QStringList({ "street", "city" }));
        QCOMPARE(hidden->propLength(), 10);

        root->show();
        auto *custNo = root->findChild<ZuFieldWidget *>(QStringLiteral("cust_no"));
        QVERIFY(custNo->isVisible());
        const QList<QWidget *> neverShown { group, groups, hidden, hiddenFields };
        for (QWidget *widget : neverShown) {
            QVERIFY2(!widget->isVisible(), widget->metaObject()->className());
            widget->show();
            widget->setVisible(true);
            QVERIFY2(!widget->isVisible(), widget->metaObject()->className());
        }
    }

    void propertyDefaultsAndNames()
    {
        // The documents and the style sheet use these names; declaration order matters to neither
        // but is kept as the form definition lists them.
        const QStringList expected { "propDataSource", "propInclude",   "propScroll",     "propButton",
                                     "propButtonText", "propColor",     "propComments",   "propDefault",
                                     "propErrDefault", "propFormat",    "propHelp",       "propHelpUrl",
                                     "propLength",     "propLink",      "propLookup",     "propMask",
                                     "propMatch",      "propPicture",   "propQualifier",  "propText",
                                     "propType",       "propAutonext",  "propBlank",      "propBold",
                                     "propCenter",     "propDownshift", "propFCheck",     "propHighlight",
                                     "propInvisible",  "propItalic",    "propLabelField", "propMultiElement",
                                     "propNoEntry",    "propNoJustify", "propNoUpdate",   "propOptional",
                                     "propQueryClear", "propRequired",  "propReverse",    "propRightJ",
                                     "propUnderline",  "propUpshift",   "propVerify",     "propVoid",
                                     "propWordWrap",   "propZeroFill" };
        const QMetaObject &meta = ZuProperties::staticMetaObject;
        QStringList names;
        ZuFieldWidget field;
        for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
            const QMetaProperty property = meta.property(i);
            names.append(QString::fromLatin1(property.name()));
            const QVariant value = property.read(&field);
            switch (property.userType()) {
            case QMetaType::QString:
                QVERIFY2(value.toString().isEmpty(), property.name());
                break;
            case QMetaType::QStringList:
                QVERIFY2(value.toStringList().isEmpty(), property.name());
                break;
            case QMetaType::Int:
                QCOMPARE(value.toInt(), 0);
                break;
            case QMetaType::Bool:
                QVERIFY2(!value.toBool(), property.name());
                break;
            default:
                QFAIL(property.name());
            }
            QVERIFY2(property.isWritable(), property.name());
        }
        QCOMPARE(names, expected);
    }

    void changeSignals()
    {
        ZuFieldWidget field;
        QSignalSpy highlight(&field, &ZuProperties::propHighlightChanged);
        QSignalSpy reverse(&field, &ZuProperties::propReverseChanged);
        QSignalSpy labelField(&field, &ZuProperties::propLabelFieldChanged);
        QSignalSpy multi(&field, &ZuProperties::propMultiElementChanged);
        QSignalSpy length(&field, &ZuProperties::propLengthChanged);
        QSignalSpy include(&field, &ZuProperties::propIncludeChanged);
        QSignalSpy button(&field, &ZuProperties::propButtonChanged);
        QSignalSpy lookup(&field, &ZuProperties::propLookupChanged);

        field.setProperty("propHighlight", false);
        QCOMPARE(highlight.count(), 0);
        field.setProperty("propHighlight", true);
        field.setProperty("propHighlight", true);
        QCOMPARE(highlight.count(), 1);
        QCOMPARE(highlight.first().first().toBool(), true);
        field.setPropReverse(true);
        field.setPropReverse(true);
        field.setPropReverse(false);
        QCOMPARE(reverse.count(), 2);
        field.setPropLabelField(true);
        field.setPropMultiElement(true);
        QCOMPARE(labelField.count(), 1);
        QCOMPARE(multi.count(), 1);

        // The carried properties announce every write.
        field.setProperty("propLength", 6);
        field.setProperty("propLength", 6);
        QCOMPARE(length.count(), 2);
        QCOMPARE(length.last().first().toInt(), 6);
        field.setProperty("propInclude", QStringList { "x" });
        field.setProperty("propButton", QStringLiteral("b"));
        field.setProperty("propLookup", QStringLiteral("l"));
        QCOMPARE(include.count(), 1);
        QCOMPARE(button.count(), 1);
        QCOMPARE(lookup.count(), 1);
    }

    void plainWidgetRoot()
    {
        const auto root = load(QStringLiteral("plainroot.ui"));
        QVERIFY(root);
        QVERIFY(!qobject_cast<ZuScreen *>(root.get()));
        QCOMPARE(QByteArray(root->metaObject()->className()), QByteArray("QWidget"));
        QVERIFY(root->findChild<ZuFieldWidget *>(QStringLiteral("lonely")));
    }

    void screenWithoutVisibleWidgets()
    {
        const auto root = load(QStringLiteral("novisible.ui"));
        auto *screen = qobject_cast<ZuScreen *>(root.get());
        QVERIFY(screen);
        QVERIFY(!screen->findChild<QWidget *>(QStringLiteral("visible_widgets")));
        QWidget *visible = visibleWidgets(screen);
        QVERIFY(visible);
        QCOMPARE(visible->objectName(), QStringLiteral("visible_widgets"));
        QCOMPARE(visible->parentWidget(), screen);
        QCOMPARE(visible->layout(), nullptr);
        QCOMPARE(visibleWidgets(screen), visible);
    }

    void unknownClasses()
    {
        // Qt's own report of the class it does not know, and of the grid cell left empty.
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("unable to create a widget of the class 'FancyGauge'"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Empty widget item in QGridLayout 'grid'"));
        const auto root = load(QStringLiteral("unknownclasses.ui"));
        QVERIFY(root);
        QVERIFY(qobject_cast<QTextEdit *>(root->findChild<QWidget *>(QStringLiteral("notes"))));
        QCOMPARE(root->findChild<QWidget *>(QStringLiteral("gauge")), nullptr);
        QVERIFY(root->findChild<ZuFieldWidget *>(QStringLiteral("after_unknown")));
    }

    void invalidDocuments_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not xml") << QByteArray("this is no screen");
        QTest::newRow("truncated") << document(QStringLiteral("customer.ui")).left(700);
        // Qt's form builder used the missing layout and crashed.
        QTest::newRow("unknown layout class") << document(QStringLiteral("unknownlayout.ui"));
    }

    void invalidDocuments()
    {
        QFETCH(QByteArray, bytes);
        QString error;
        std::unique_ptr<QWidget> root(ZuUiLoader::loadDocument(bytes, &error));
        QVERIFY(!root);
        QVERIFY(!error.isEmpty());
    }

    void noDesignerPlugins()
    {
        const QStringList paths = QCoreApplication::libraryPaths();
        {
            ZuUiLoader loader;
            QVERIFY(loader.pluginPaths().isEmpty());
            QVERIFY(loader.availableWidgets().contains(QStringLiteral("QLineEdit")));
        }
        QCOMPARE(QCoreApplication::libraryPaths(), paths);
        const auto root = load(QStringLiteral("customer.ui"));
        QVERIFY(root);
        // The Designer plugins of this machine pull in large libraries; none may be mapped.
        QFile maps(QStringLiteral("/proc/self/maps"));
        if (!maps.open(QIODevice::ReadOnly))
            QSKIP("no /proc/self/maps here");
        QVERIFY(!maps.readAll().contains("/designer/"));
    }

    void documentReading()
    {
        const ScreenDocument doc(document(QStringLiteral("customer.ui")));
        QVERIFY(doc.isValid());
        QCOMPARE(doc.title(), QStringLiteral("Customer Maintenance"));
        QCOMPARE(doc.headers(), QStringList({ "Number", "Name" }));
        const QHash<QString, int> columns = doc.fieldColumns();
        QCOMPARE(columns.value(QStringLiteral("cust_no"), -1), 14);
        QCOMPARE(columns.value(QStringLiteral("cust_name"), -1), 14);
        QCOMPARE(columns.value(QStringLiteral("SCREEN_INFO"), -1), 0);
        QCOMPARE(columns.size(), 3);

        const ScreenDocument plain(document(QStringLiteral("plainroot.ui")));
        QVERIFY(plain.isValid());
        QVERIFY(plain.headers().isEmpty());
        QVERIFY(plain.title().isEmpty());
        QCOMPARE(plain.fieldColumns().value(QStringLiteral("lonely"), -1), 0);

        const ScreenDocument broken("<ui><widget class=\"ZuScreen\">");
        QVERIFY(!broken.isValid());
        QVERIFY(!broken.errorString().isEmpty());

        // Read within limits before the DOM is built: 100,000 levels used to crash it.
        QByteArray deep = "<ui>";
        for (int i = 0; i < 100000; ++i)
            deep += "<widget>";
        const ScreenDocument nested(deep);
        QVERIFY(!nested.isValid());
        QCOMPARE(nested.errorString(), QString("document nested deeper than 64"));
    }
};

QTEST_MAIN(tst_ZuUiLoader)
#include "tst_zuuiloader.moc"

#include "classicscreens.h"
#include "gradesform.h"
#include "studentform.h"
#include "typingform.h"

#include "classic/classicapplicationwidget.h"
#include "classic/zufieldwidget.h"
#include "classic/zuscreen.h"
#include "classic/zuuiloader.h"

#include <QAccessible>
#include <QApplication>
#include <QMultiHash>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QSet>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(QVector<ClassicField>)

namespace {

const char *typeName(int type)
{
    switch (type) {
    case ClassicForm::Char:
        return "char";
    case ClassicForm::Number:
        return "number";
    case ClassicForm::Money:
        return "money";
    case ClassicForm::Date:
        return "date";
    case ClassicForm::Logical:
        return "logical";
    case ClassicForm::Blob:
        return "blob";
    }
    return "?";
}

} // namespace

// The classic demo's screen documents as the client's loader reads them: each loads as a ZuScreen
// with its grid of visible widgets inside the extents, and every field the application drives is
// there with the length and type it assumes, takes the attributes the application sends without
// complaint, and has the label its required marker goes to.
class TestClassicScreens : public QObject
{
    Q_OBJECT

private slots:
    void screens_data();
    void screens();
    void fieldsAreFoundByTheirLabels_data() { screens_data(); }
    void fieldsAreFoundByTheirLabels();
};

void TestClassicScreens::screens_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QVector<ClassicField>>("fields");
    QTest::newRow("student") << QString::fromLatin1(ClassicScreens::Student) << QStringLiteral("Student")
                             << StudentForm::fieldList();
    QTest::newRow("grades") << QString::fromLatin1(ClassicScreens::Grades) << QStringLiteral("Course Grades")
                            << GradesForm::fieldList();
    QTest::newRow("typing") << QString::fromLatin1(ClassicScreens::Typing) << QStringLiteral("Typing Check")
                            << TypingForm::fieldList();
}

void TestClassicScreens::screens()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    QFETCH(QVector<ClassicField>, fields);

    const QByteArray document = ClassicScreens::document(name);
    QVERIFY(!document.isEmpty());
    QString error;
    std::unique_ptr<QWidget> root(ZuUiLoader::loadDocument(document, &error));
    QVERIFY2(root, qPrintable(error));
    auto *screen = qobject_cast<ZuScreen *>(root.get());
    QVERIFY(screen);
    QCOMPARE(screen->objectName(), name);
    QCOMPARE(screen->windowTitle(), title);
    const QRect extents = screen->extents();
    QCOMPARE(extents.topLeft(), QPoint(0, 0));
    // The client's grid is 80 characters wide.
    QVERIFY(extents.width() > 0 && extents.width() <= 80);

    QWidget *visible = visibleWidgets(screen);
    auto *grid = qobject_cast<QGridLayout *>(visible->layout());
    QVERIFY(grid);
    // Every item inside the extents, no two widgets on the same cell.
    QSet<QPair<int, int>> taken;
    for (int i = 0; i < grid->count(); ++i) {
        int row, column, rows, columns;
        grid->getItemPosition(i, &row, &column, &rows, &columns);
        QVERIFY(row >= 0 && column >= 0);
        QVERIFY2(row + rows <= extents.height() && column + columns <= extents.width(),
                 qPrintable(QStringLiteral("item %1 at %2,%3").arg(i).arg(row).arg(column)));
        if (!grid->itemAt(i)->widget())
            continue;
        for (int c = column; c < column + columns; ++c) {
            QVERIFY2(!taken.contains({ row, c }), qPrintable(grid->itemAt(i)->widget()->objectName()));
            taken.insert({ row, c });
        }
    }

    QSet<QString> expected;
    for (const ClassicField &definition : qAsConst(fields)) {
        const QString fieldName = QLatin1String(definition.name);
        expected.insert(fieldName);
        auto *field = visible->findChild<ZuFieldWidget *>(fieldName);
        QVERIFY2(field, definition.name);
        QCOMPARE(field->propLength(), definition.length);
        QCOMPARE(field->property("propType").toString(), QLatin1String(typeName(definition.type)));
        int row, column, rows, columns;
        grid->getItemPosition(grid->indexOf(field), &row, &column, &rows, &columns);
        QCOMPARE(columns, definition.length);

        // What the application sends: its masks give a valid editor, required fields get their
        // marker on their own label.
        field->setPropReadOnly(true);
        field->setAttributes(definition.mask | ClassicForm::Required, definition.type);
        field->setData(QStringLiteral("1"));
        QVERIFY2(field->displayMode() != ZuFieldWidget::DisplayMode::None, definition.name);
        if (definition.mask & ClassicForm::Dropdown)
            QCOMPARE(field->displayMode(), ZuFieldWidget::DisplayMode::Dropdown);
        if (definition.type == ClassicForm::Date)
            QCOMPARE(field->displayMode(), ZuFieldWidget::DisplayMode::DateText);
        QCOMPARE(field->propLabelField(), bool(definition.mask & ClassicForm::LabelField));
        if (!field->labelName().isEmpty()) {
            auto *label = visible->findChild<QLabel *>(field->labelName());
            QVERIFY2(label, qPrintable(field->labelName()));
            QVERIFY(label->text().endsWith(QLatin1String(ZuFieldWidget::RequiredMarker)));
        }
        field->setPropReadOnly(false);
        if (definition.type == ClassicForm::Date)
            QCOMPARE(field->displayMode(), ZuFieldWidget::DisplayMode::DateEntry);
    }
    // Nothing on the screen that the application does not fill.
    for (ZuFieldWidget *field : visible->findChildren<ZuFieldWidget *>())
        QVERIFY2(expected.contains(field->objectName()), qPrintable(field->objectName()));
}

namespace {

// Every accessible name in the tree below an interface, with the widget it stands for.
void collectNames(QAccessibleInterface *node, QMultiHash<QString, QObject *> *names, int depth = 0)
{
    if (!node || depth > 64)
        return;
    names->insert(node->text(QAccessible::Name), node->object());
    for (int i = 0; i < node->childCount(); ++i)
        collectNames(node->child(i), names, depth + 1);
}

} // namespace

// On a page, as a screen reader sees it: each field is read out by its label (or its name when
// it has none), whichever of its parts has the focus.
void TestClassicScreens::fieldsAreFoundByTheirLabels()
{
    QFETCH(QString, name);
    QFETCH(QVector<ClassicField>, fields);
    ClassicApplicationWidget page(1, QStringLiteral("Student Records"), false);
    page.resize(1000, 700);
    page.show();
    QVERIFY(page.renderUi(ClassicScreens::document(name), 3, false, -1, -1));

    std::unique_ptr<QWidget> labels(ZuUiLoader::loadDocument(ClassicScreens::document(name), nullptr));
    QMultiHash<QString, QObject *> names;
    collectNames(QAccessible::queryAccessibleInterface(&page), &names);
    for (const ClassicField &definition : qAsConst(fields)) {
        ZuFieldWidget *field = page.getField(3, QLatin1String(definition.name));
        QVERIFY2(field, definition.name);
        field->setAttributes(definition.mask, definition.type);
        const QLabel *label
            = field->labelName().isEmpty() ? nullptr : labels->findChild<QLabel *>(field->labelName());
        const QString expected = label ? label->text().trimmed() : field->objectName();
        QVERIFY2(!expected.isEmpty(), definition.name);
        names.clear();
        collectNames(QAccessible::queryAccessibleInterface(&page), &names);
        const QList<QObject *> named = names.values(expected);
        QVERIFY2(named.contains(field), qPrintable(expected));
        QWidget *proxy = field;
        while (proxy->focusProxy())
            proxy = proxy->focusProxy();
        QVERIFY2(named.contains(proxy), qPrintable(expected + " (focus part)"));
    }
}

QTEST_MAIN(TestClassicScreens)
#include "tst_classicscreens.moc"

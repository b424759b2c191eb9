#include "classic/screenbuilder.h"
#include "classic/zuuiloader.h"

#include "../../bench/benchscreen.h"
#include "testpaths.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QMetaProperty>
#include <QSpacerItem>
#include <QTest>

#include <memory>

namespace {

QString describe(const QVariant &value)
{
    QString text;
    QDebug(&text).nospace() << value;
    return text;
}

// Everything of a widget tree the page and the style sheet could see: classes, names, every
// property (declared and dynamic), widget attributes, and the layouts with their items' cells.
void dump(const QWidget *widget, const QString &indent, QStringList *lines)
{
    const QMetaObject *meta = widget->metaObject();
    lines->append(indent + QLatin1String(meta->className()) + QLatin1Char(' ') + widget->objectName());
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        lines->append(indent + QStringLiteral("  %1=%2").arg(QLatin1String(property.name()),
                                                             describe(property.read(widget))));
    }
    for (const QByteArray &name : widget->dynamicPropertyNames())
        lines->append(indent + QStringLiteral("  *%1=%2").arg(QLatin1String(name), describe(widget->property(name))));
    QString attributes;
    for (int a = 0; a < Qt::WA_AttributeCount; ++a)
        attributes += widget->testAttribute(Qt::WidgetAttribute(a)) ? QLatin1Char('1') : QLatin1Char('0');
    lines->append(indent + QStringLiteral("  attributes ") + attributes);
    if (const QLayout *layout = widget->layout()) {
        const QMargins margins = layout->contentsMargins();
        lines->append(indent + QStringLiteral("  layout %1 %2 margins %3 %4 %5 %6 spacing %7")
                                   .arg(QLatin1String(layout->metaObject()->className()), layout->objectName())
                                   .arg(margins.left())
                                   .arg(margins.top())
                                   .arg(margins.right())
                                   .arg(margins.bottom())
                                   .arg(layout->spacing()));
        const auto *grid = qobject_cast<const QGridLayout *>(layout);
        for (int i = 0; i < layout->count(); ++i) {
            QLayoutItem *item = layout->itemAt(i);
            int row = -1, column = -1, rows = -1, columns = -1;
            if (grid)
                grid->getItemPosition(i, &row, &column, &rows, &columns);
            QString what;
            if (item->widget())
                what = item->widget()->objectName();
            else if (QSpacerItem *spacer = item->spacerItem())
                what = QStringLiteral("spacer %1 %2").arg(describe(spacer->sizeHint()), describe(spacer->sizePolicy()));
            lines->append(indent + QStringLiteral("  item %1 %2 %3 %4 align %5 %6")
                                       .arg(row)
                                       .arg(column)
                                       .arg(rows)
                                       .arg(columns)
                                       .arg(int(item->alignment()))
                                       .arg(what));
        }
    }
    for (const QObject *child : widget->children()) {
        if (child->isWidgetType())
            dump(static_cast<const QWidget *>(child), indent + QStringLiteral("    "), lines);
    }
}

QStringList dump(const QWidget *root)
{
    QStringList lines;
    dump(root, QString(), &lines);
    return lines;
}

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing screen document %s", qPrintable(path));
    return file.readAll();
}

// What screens use beyond the files: a box line either way, spacers of every kind, aligned
// items, a root geometry, untranslated and commented strings, a plain widget under a container.
QByteArray variety()
{
    return QByteArrayLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>variety</class><widget class="ZuScreen" name="variety">
 <property name="geometry"><rect><x>5</x><y>6</y><width>300</width><height>120</height></rect></property>
 <property name="windowTitle"><string notr="true">Not &lt;b&gt;translated&lt;/b&gt;</string></property>
 <property name="toolTip"><string comment="for translators">Tip</string></property>
 <property name="enabled"><bool>false</bool></property>
 <widget class="QWidget" name="visible_widgets"><layout class="QGridLayout" name="grid">
  <item row="0" column="0" alignment="Qt::AlignRight|Qt::AlignVCenter">
   <widget class="QLabel" name="label"><property name="text"><string><![CDATA[a & b]]></string></property>
   <property name="minimumSize"><size><width>3</width><height>4</height></size></property></widget></item>
  <item row="1" column="0" colspan="40"><widget class="Line" name="across">
   <property name="orientation"><enum>Qt::Horizontal</enum></property></widget></item>
  <item row="2" column="0" rowspan="3"><widget class="Line" name="down">
   <property name="orientation"><enum>Qt::Vertical</enum></property></widget></item>
  <item row="2" column="1"><spacer name="h"><property name="orientation"><enum>Qt::Horizontal</enum></property>
   <property name="sizeType"><enum>QSizePolicy::Fixed</enum></property>
   <property name="sizeHint" stdset="0"><size><width>40</width><height>20</height></size></property></spacer></item>
  <item row="3" column="1"><spacer name="v"><property name="orientation"><enum>Qt::Vertical</enum></property></spacer></item>
  <item row="4" column="1"><widget class="ZuGroupContainer" name="groups">
   <widget class="QWidget" name="inner"><layout class="QGridLayout" name="innerGrid"/></widget></widget></item>
  <item row="5" column="1"><widget class="ZuFieldWidget" name="f"><property name="propHighlight"><bool>true</bool></property>
   <property name="propLabelField"><bool>true</bool></property><property name="propMultiElement"><bool>true</bool></property>
   <property name="propLookup"><string>lk</string></property><property name="propScroll"><stringlist/></property>
  </widget></item>
 </layout></widget></widget>
 <customwidgets><customwidget><class>ZuGroupContainer</class><extends>QWidget</extends><container>1</container></customwidget>
 </customwidgets><resources/><connections/></ui>)");
}

} // namespace

class tst_ScreenBuilder : public QObject
{
    Q_OBJECT

private slots:
    // The one reading builds the tree the two readings of QUiLoader build, for every screen
    // document of the tests and the stand-in hub.
    void sameTreeAsQUiLoader_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<bool>("builds");
        const QStringList folders { QStringLiteral(ZU_CLASSIC_TEST_DATA), QStringLiteral(ZU_DEVHUB_SCREENS) };
        const QStringList leftToQUiLoader { "unknownclasses.ui", "unknownlayout.ui" };
        for (const QString &folder : folders) {
            const QDir dir(folder);
            const QStringList files = dir.entryList({ QStringLiteral("*.ui") }, QDir::Files, QDir::Name);
            QVERIFY(!files.isEmpty());
            for (const QString &file : files) {
                QTest::newRow(qPrintable(file))
                    << fileContents(dir.filePath(file)) << !leftToQUiLoader.contains(file);
            }
        }
        QTest::newRow("benchmark screen") << benchScreenDocument() << true;
        QTest::newRow("variety") << variety() << true;
        // A plain widget under a class that is no declared container loses its grid's margins.
        QByteArray undeclared = variety();
        undeclared.replace("<container>1</container>", "<container>0</container>");
        QTest::newRow("no container") << undeclared << true;
        QTest::newRow("connection")
            << QByteArray(variety()).replace(
                   "<connections/>",
                   "<connections><connection><sender>a</sender><signal>b()</signal></connection></connections>")
            << false;
        QTest::newRow("font") << QByteArray(variety()).replace("<size><width>3</width><height>4</height></size>",
                                                               "<font><pointsize>4</pointsize></font>")
                              << false;
        // QUiLoader refuses attributes it does not know; the builder must not accept them.
        QTest::newRow("unknown attribute")
            << QByteArray(variety()).replace("<spacer name=\"v\">", "<spacer nass=\"x\" name=\"v\">") << false;
        // Only the size of a root geometry counts, whatever the value converts to.
        QTest::newRow("root geometry as a number")
            << QByteArray(variety()).replace("<rect><x>5</x><y>6</y><width>300</width><height>120</height></rect>",
                                             "<number>7</number>")
            << true;
    }

    void sameTreeAsQUiLoader()
    {
        QFETCH(QByteArray, document);
        QFETCH(bool, builds);

        ScreenBuilder builder(document);
        const ScreenBuilder::Outcome outcome = builder.build();
        QCOMPARE(outcome, builds ? ScreenBuilder::Outcome::Built : ScreenBuilder::Outcome::Unsupported);
        if (!builds)
            return;
        std::unique_ptr<QWidget> built(builder.takeRoot());
        QString error;
        std::unique_ptr<QWidget> loaded(ZuUiLoader::loadWithQUiLoader(document, &error));
        QVERIFY2(loaded, qPrintable(error));
        const QStringList expected = dump(loaded.get());
        const QStringList actual = dump(built.get());
        for (int i = 0; i < qMin(expected.size(), actual.size()); ++i)
            QCOMPARE(actual.at(i), expected.at(i));
        QCOMPARE(actual.size(), expected.size());
    }

    // Documents over the limits are refused with the words of the limits check, whichever part
    // of the document the fault is in.
    void refusedLikeTheLimitsCheck_data()
    {
        QTest::addColumn<QByteArray>("document");
        const QByteArray screen = benchScreenDocument();
        QTest::newRow("row out of grid") << QByteArray(screen).replace("row=\"7\"", "row=\"1000\"");
        QTest::newRow("bad span in a skipped part")
            << QByteArray(screen).replace("<resources/>", "<resources><item colspan=\"-1\"/></resources>");
        QTest::newRow("broken xml late") << QByteArray(screen).replace("</customwidgets>", "</customwidget>");
        QTest::newRow("unclosed element in a string")
            << QByteArray(screen).replace("<string>Field 3</string>", "<string>Field <b>3</string>");
        QTest::newRow("element in a string")
            << QByteArray(screen).replace("<string>Field 3</string>", "<string>Field <b>3</b></string>");
        QByteArray deep = "<ui version=\"4.0\"><widget class=\"ZuScreen\" name=\"s\">";
        for (int i = 0; i < 70; ++i)
            deep += "<widget class=\"QWidget\" name=\"w\">";
        QTest::newRow("deep") << deep;
        QTest::newRow("empty") << QByteArray();
    }

    void refusedLikeTheLimitsCheck()
    {
        QFETCH(QByteArray, document);
        const QString expected = ScreenDocumentLimits::check(document);
        ScreenBuilder builder(document);
        const ScreenBuilder::Outcome outcome = builder.build();
        if (expected.isEmpty()) {
            QCOMPARE(outcome, ScreenBuilder::Outcome::Unsupported);
            return;
        }
        // Where the builder stops before the fault, QUiLoader's path meets it.
        QVERIFY(outcome != ScreenBuilder::Outcome::Built);
        if (outcome == ScreenBuilder::Outcome::Refused)
            QCOMPARE(builder.errorString(), expected);
        QString error;
        QVERIFY(!std::unique_ptr<QWidget>(ZuUiLoader::loadDocument(document, &error)));
        QCOMPARE(error, expected);
    }
};

QTEST_MAIN(tst_ScreenBuilder)
#include "tst_screenbuilder.moc"

#include "style/stylemanager.h"


#include "testenvironment.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <QHash>
#include <QVector>

#include <cmath>
#include <limits>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray themeFile(const QString &name, const QString &buttonColour, bool withIconVars = true)
{
    QJsonObject vars { { "color_button_bg", buttonColour } };
    if (withIconVars)
        vars.insert("icon_page_default", "#123456");
    const QJsonObject theme {
        { "name", name },
        { "fontSizes", QJsonObject { { "xs", 8 }, { "s", 9 }, { "m", 10 }, { "l", 11 }, { "xl", 13 } } },
        { "vars", vars }
    };
    return QJsonDocument(QJsonArray { theme }).toJson();
}

// WCAG 2 relative luminance and contrast ratio.
double luminance(const QColor &colour)
{
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF())
        + 0.0722 * channel(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

enum class Ink { Text, Graphic };

struct ColourPair
{
    QString foreground; // theme variable names
    QString background;
    Ink ink;
    QString where;
};

// The icon group (its colour variable) of each file in the icon cache.
QHash<QString, QString> iconColours()
{
    QHash<QString, QString> colours;
    const QJsonObject groups = QJsonDocument::fromJson(readFile(":/iconGroups.json")).object();
    for (const QString &group : groups.keys())
        for (const QString &file : groups.value(group).toObject().keys())
            colours.insert(file, group);
    return colours;
}

// Every rule of the template that paints text or a theme icon on a background of its own. Disabled
// states are left out, as contrast rules leave out inactive controls.
QVector<ColourPair> pairsInTemplate()
{
    QString sheet = QString::fromUtf8(readFile(":/appstyle.css"));
    sheet.remove(QRegularExpression("/\\*.*?\\*/", QRegularExpression::DotMatchesEverythingOption));
    const QHash<QString, QString> icons = iconColours();
    const QRegularExpression rule("([^{}]+)\\{([^}]*)\\}");
    const QRegularExpression themeIcon("url\\(theme:([^)]+)\\)");
    QVector<ColourPair> pairs;
    for (auto match = rule.globalMatch(sheet); match.hasNext();) {
        const QRegularExpressionMatch block = match.next();
        const QString selector = block.captured(1).simplified();
        if (selector.contains(":disabled"))
            continue;
        QHash<QString, QString> properties;
        for (const QString &declaration : block.captured(2).split(';')) {
            const int colon = declaration.indexOf(':');
            if (colon > 0)
                properties.insert(declaration.left(colon).trimmed(), declaration.mid(colon + 1).trimmed());
        }
        QString background = properties.value("background-color", properties.value("background"));
        if (!background.startsWith("color_"))
            continue;
        const QString text = properties.value("color");
        if (text.startsWith("color_") || text.startsWith("icon_"))
            pairs.append({ text, background, Ink::Text, selector });
        const QString selected = properties.value("selection-color");
        if (selected.startsWith("color_"))
            pairs.append({ selected, properties.value("selection-background-color"), Ink::Text, selector });
        for (const QString &property : { QString("image"), QString("qproperty-icon") }) {
            const QString file = themeIcon.match(properties.value(property)).captured(1);
            if (!file.isEmpty())
                pairs.append(
                    { icons.value(file, "unknown icon " + file), background, Ink::Graphic, selector });
        }
    }
    return pairs;
}

// What the sheet and the widgets draw over a background that another rule, a parent or the code
// sets: inherited text, icons set in code, focus marks.
const QVector<ColourPair> &pairsAcrossRules()
{
    static const QVector<ColourPair> pairs {
        { "color_page_text", "color_canvas_bg", Ink::Text, "labels and fields' captions on a page" },
        { "color_page_text", "color_ringmenu_bg", Ink::Text, "ring menu prompt" },
        { "color_page_subheader_text", "color_canvas_bg", Ink::Text, "home page section labels" },
        { "color_page_subheader_text", "color_page_bg", Ink::Text, "recent programs' paths" },
        { "color_field_text", "color_field_readonly_bg", Ink::Text, "read-only fields" },
        { "color_field_text", "color_field_focus_bg", Ink::Text, "the focused field" },
        { "color_field_warning_text", "color_field_warning_bg", Ink::Text, "ended page banner" },
        { "color_shortcut_text", "color_ringmenu_bg", Ink::Text, "ring menu keys" },
        { "color_field_focus_border", "color_field_focus_bg", Ink::Graphic, "focus frame" },
        { "color_field_focus_border", "color_canvas_bg", Ink::Graphic, "focus frame" },
        { "icon_taskbar_default", "color_taskbar_bg", Ink::Graphic, "utility buttons" },
        { "icon_taskbar_default", "color_button_bg", Ink::Graphic, "task buttons" },
        { "icon_taskbar_default", "color_button_focus_bg", Ink::Graphic, "the current task button" },
        { "icon_panel_default", "color_panel_bg", Ink::Graphic, "menu tree branches" },
        { "icon_toolbar_default", "color_ringmenu_bg", Ink::Graphic, "ring menu icons" },
        { "icon_toolbar_focus", "color_button_focus_bg", Ink::Graphic, "focused ring menu icons" },
        { "icon_page_default", "color_page_bg", Ink::Graphic, "header, flyout and dialog icons" },
        { "icon_page_default", "color_canvas_bg", Ink::Graphic, "page and form bar icons" },
        { "icon_page_disabled", "color_page_bg", Ink::Graphic, "the pin of a program not pinned" },
        { "icon_field_default", "color_field_bg", Ink::Graphic, "field buttons" },
        { "icon_field_focus", "color_field_focus_bg", Ink::Graphic, "focused field buttons" },
        { "icon_status_default", "color_status_bg", Ink::Graphic, "status line icon" },
        { "icon_status_default", "color_panel_bg", Ink::Graphic, "overlay title bar buttons" },
        { "icon_status_alert", "color_warning_bg", Ink::Graphic, "error line icons" },
        { "icon_alert_default", "color_page_bg", Ink::Graphic, "warning in a field" },
    };
    return pairs;
}
} // namespace

static QString s_themeName;

class tst_StyleManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // First: the manager keeps its icon cache where the data folder is when it is made.
        m_env = std::make_unique<TestEnvironment>();
        StyleManager::setThemeNameSource([] { return s_themeName; });
        m_systemData = m_env->path() + "/systemdata";
        qputenv("XDG_DATA_DIRS", QFile::encodeName(m_systemData));
    }

    void cleanupTestCase() { m_env.reset(); }

    void init()
    {
        for (const QString &dir : { userThemeDir(), systemThemeDir() })
            for (const QString &name : QDir(dir).entryList({ "*.theme" }, QDir::Files))
                QFile::remove(dir + "/" + name);
        QSettings().remove("settings");
        s_themeName = QString();
        StyleManager::setFontScale(100);
    }

    void builtInThemes()
    {
        QCOMPARE(StyleManager::themeNames(),
                 (QStringList { "Default (Light)", "Default (Dark)", "High Contrast" }));
        const QJsonArray themes = StyleManager::allThemes();
        for (const QJsonValue &theme : themes) {
            QCOMPARE(theme.toObject().value("vars").toObject().size(), 61);
            QCOMPARE(theme.toObject().value("fontSizes").toObject().value("xl").toInt(), 14);
        }
    }

    void emptyNameLoadsFirstThemeQuietly()
    {
        bool warned = false;
        const QtMessageHandler previous = qInstallMessageHandler(nullptr);
        static bool *s_warned = nullptr;
        s_warned = &warned;
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtWarningMsg && text.contains("not found"))
                *s_warned = true;
        });
        StyleManager::loadTheme();
        qInstallMessageHandler(previous);
        QVERIFY(!warned);
        QCOMPARE(StyleManager::currentThemeName(), QString("Default (Light)"));
        QVERIFY(QColor(StyleManager::themeVar("color_taskbar_bg")).isValid());
        QCOMPARE(StyleManager::themeVar("no_such_var"), QString());
    }

    void unknownNameFallsBack()
    {
        s_themeName = "Purple Haze";
        QTest::ignoreMessage(QtWarningMsg, "Theme \"Purple Haze\" not found. loading default.");
        StyleManager::loadTheme();
        QCOMPARE(StyleManager::currentThemeName(), QString("Default (Light)"));
    }

    void substitutionLeavesNoTokens()
    {
        StyleManager::loadTheme();
        const QString sheet = StyleManager::instance()->styleSheet();
        QCOMPARE(qApp->styleSheet(), sheet);
        QVERIFY(!sheet.contains(QRegularExpression("color_[a-z]")));
        QVERIFY(!sheet.contains(QRegularExpression("icon_[a-z]")));
        QVERIFY(!sheet.contains("font_body"));
        QVERIFY(!sheet.contains("var_fontsize"));
        QVERIFY(!sheet.contains("var_scaled"));
        QVERIFY(sheet.contains("background-color: " + StyleManager::themeVar("color_taskbar_bg") + ";"));
        QVERIFY(sheet.contains("font-size: 11pt;"));
        QVERIFY(sheet.contains("'Open Sans', sans-serif"));
    }

    void fontScale_data()
    {
        QTest::addColumn<int>("scale");
        QTest::addColumn<QList<int>>("sizes");
        QTest::newRow("100") << 100 << QList<int> { 9, 10, 11, 12, 14 };
        QTest::newRow("150") << 150 << QList<int> { 14, 15, 17, 18, 21 };
        QTest::newRow("80") << 80 << QList<int> { 7, 8, 9, 10, 11 };
    }

    void fontScale()
    {
        QFETCH(int, scale);
        QFETCH(QList<int>, sizes);
        StyleManager::loadTheme();
        StyleManager::setFontScale(scale);
        QCOMPARE(QSettings().value("settings/fontScale").toInt(), scale);
        const QStringList steps { "xs", "s", "m", "l", "xl" };
        for (int i = 0; i < steps.size(); ++i)
            QCOMPARE(StyleManager::fontSize(steps.at(i)), sizes.at(i));
        QVERIFY(
            StyleManager::instance()->styleSheet().contains(QString("font-size: %1pt;").arg(sizes.at(2))));
    }

    // Icons and their boxes grow with the text and shrink with it.
    void scaledPixels()
    {
        QCOMPARE(StyleManager::scalePixelTokens(
                     "icon-size: var_scaled_24px; x: var_scaled_16px var_scaled_16px;", 150),
                 QString("icon-size: 36px; x: 24px 24px;"));
        QCOMPARE(StyleManager::scalePixelTokens("icon-size: var_scaled_24px;", 50),
                 QString("icon-size: 12px;"));
        QCOMPARE(StyleManager::scalePixelTokens("var_scaled_px var_scaled_12345px", 200),
                 QString("var_scaled_px var_scaled_12345px"));
        StyleManager::loadTheme();
        StyleManager::setFontScale(200);
        QVERIFY(StyleManager::instance()->styleSheet().contains("icon-size: 32px;"));
    }

    // Keyboard zoom and the settings slider step through the same scales, never out of range.
    void fontScaleSteps_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("result");
        QTest::newRow("between steps, up") << 110 << 1 << 125;
        QTest::newRow("between steps, down") << 110 << -1 << 75;
        QTest::newRow("between steps, none") << 110 << 0 << 100;
        QTest::newRow("top") << 200 << 1 << 200;
        QTest::newRow("bottom") << 50 << -1 << 50;
        QTest::newRow("far below") << -40 << 0 << 50;
        QTest::newRow("far above") << 1000 << -1 << 175;
        QTest::newRow("huge step") << 100 << std::numeric_limits<int>::max() << 200;
        QTest::newRow("huge step down") << 100 << std::numeric_limits<int>::min() << 50;
    }

    void fontScaleSteps()
    {
        QFETCH(int, percent);
        QFETCH(int, steps);
        QFETCH(int, result);
        QCOMPARE(StyleManager::steppedFontScale(percent, steps), result);
    }

    // A scale from the settings file is bounded before it sizes every font of the desktop.
    void storedFontScaleIsBounded_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("used");
        QTest::newRow("in range") << QVariant(110) << 110;
        QTest::newRow("too large") << QVariant(5000) << 200;
        QTest::newRow("too small") << QVariant(0) << 50;
        QTest::newRow("not a number") << QVariant("big") << 100;
    }

    void storedFontScaleIsBounded()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, used);
        QSettings().setValue("settings/fontScale", stored);
        StyleManager::loadTheme();
        QCOMPARE(StyleManager::fontScale(), used);
        StyleManager::setFontScale(9999);
        QCOMPARE(StyleManager::fontScale(), StyleManager::MaxFontScale);
    }

    void iconsFollowTheTheme()
    {
        StyleManager::loadTheme();
        const QString dir = StyleManager::instance()->iconDirectory();
        // Every icon of every group, in its group's colour.
        QFile groupsFile(":/iconGroups.json");
        QVERIFY(groupsFile.open(QIODevice::ReadOnly));
        const QJsonObject groups = QJsonDocument::fromJson(groupsFile.readAll()).object();
        int icons = 0;
        for (const QString &group : groups.keys())
            icons += groups.value(group).toObject().size();
        QCOMPARE(QDir(dir).entryList({ "*.svg" }, QDir::Files).size(), icons);
        const QString lightPin = StyleManager::themeVar("icon_page_default");
        QVERIFY(readFile(dir + "/pin.svg").contains(("fill=\"" + lightPin + "\"").toLatin1()));
        QVERIFY(readFile(dir + "/alert_red.svg").contains(("fill=\"" + StyleManager::themeVar("icon_alert_default") + "\"").toLatin1()));
        QVERIFY(QFile::exists("theme:file_taskbar.svg"));

        QSignalSpy changed(StyleManager::instance(), &StyleManager::themeChanged);
        StyleManager::instance()->updateThemeName("Default (Dark)");
        QCOMPARE(changed.size(), 1);
        QCOMPARE(StyleManager::currentThemeName(), QString("Default (Dark)"));
        const QString darkPin = StyleManager::themeVar("icon_page_default");
        QVERIFY(darkPin != lightPin);
        QVERIFY(readFile(dir + "/pin.svg").contains(("fill=\"" + darkPin + "\"").toLatin1()));
        QVERIFY(StyleManager::instance()->styleSheet().contains(StyleManager::themeVar("color_button_modal_border")));

        // An unknown name keeps the theme but still re-applies.
        StyleManager::instance()->updateThemeName("Nope");
        QCOMPARE(changed.size(), 2);
        QCOMPARE(StyleManager::currentThemeName(), QString("Default (Dark)"));
    }

    // Text reaches 4.5:1 on its background and icons and focus marks 3:1; the high-contrast theme
    // reaches 7:1 throughout.
    void themesAreReadable()
    {
        const QVector<ColourPair> pairs = pairsInTemplate() + pairsAcrossRules();
        QVERIFY(pairs.size() > 40);
        QStringList failures;
        const QJsonArray themes = StyleManager::allThemes();
        QCOMPARE(themes.size(), 3);
        for (const QJsonValue &theme : themes) {
            const QString name = theme.toObject().value("name").toString();
            const QJsonObject vars = theme.toObject().value("vars").toObject();
            const bool high = name == "High Contrast";
            for (const ColourPair &pair : pairs) {
                const QColor foreground(vars.value(pair.foreground).toString());
                const QColor background(vars.value(pair.background).toString());
                if (!foreground.isValid() || !background.isValid()) {
                    failures << QString("%1: %2 on %3 (%4): not a colour")
                                    .arg(name, pair.foreground, pair.background, pair.where);
                    continue;
                }
                const double bound = high ? 7.0 : pair.ink == Ink::Text ? 4.5 : 3.0;
                const double ratio = contrast(foreground, background);
                if (ratio < bound)
                    failures << QString("%1: %2 %3 on %4 %5: %6 < %7")
                                    .arg(name, pair.foreground, foreground.name(), pair.background,
                                         background.name())
                                    .arg(ratio, 0, 'f', 2)
                                    .arg(bound);
            }
        }
        failures.removeDuplicates();
        for (const QString &failure : qAsConst(failures))
            qWarning().noquote() << failure;
        QVERIFY2(failures.isEmpty(), qPrintable(QString("%1 pairs below the bound").arg(failures.size())));
    }

    // An icon the sheet names but no group writes is never drawn.
    void templateIconsExist()
    {
        const QHash<QString, QString> icons = iconColours();
        const QString sheet = QString::fromUtf8(readFile(":/appstyle.css"));
        QStringList missing;
        for (auto match = QRegularExpression("url\\(theme:([^)]+)\\)").globalMatch(sheet); match.hasNext();) {
            const QString file = match.next().captured(1);
            if (!icons.contains(file))
                missing << file;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(' ')));
    }

    void contrastRatio()
    {
        QCOMPARE(contrast(Qt::black, Qt::white), 21.0);
        QCOMPARE(contrast(QColor("#777777"), QColor("#777777")), 1.0);
        // A grey of WCAG's own examples: #767676 on white is just above 4.5.
        QVERIFY(qAbs(contrast(QColor("#767676"), Qt::white) - 4.54) < 0.01);
    }

    void externalThemes()
    {
        writeFile(userThemeDir() + "/extra.theme", themeFile("Default (Dark)", "#ABCDEF"));
        writeFile(userThemeDir() + "/more.theme", themeFile("Sunset", "#FF7700", false));
        QCOMPARE(StyleManager::themeNames(),
                 (QStringList { "Default (Light)", "Default (Dark)", "High Contrast", "Default (Dark)",
                                "Sunset" }));
        // The built-in theme of the same name always wins.
        StyleManager::instance()->updateThemeName("Default (Dark)");
        QCOMPARE(StyleManager::themeVar("color_button_bg"), QString("#CA4300"));

        // A theme without the icon colours leaves those icons without a colour.
        StyleManager::instance()->updateThemeName("Sunset");
        QCOMPARE(StyleManager::themeVar("color_button_bg"), QString("#FF7700"));
        QCOMPARE(StyleManager::fontSize("m"), 10);
        QVERIFY(readFile(StyleManager::instance()->iconDirectory() + "/pin.svg").contains("fill=\"\""));
        // Tokens it does not define stay as written.
        QVERIFY(StyleManager::instance()->styleSheet().contains("color_taskbar_bg"));
    }

    void nonArrayFileStopsLaterFiles()
    {
        writeFile(userThemeDir() + "/broken.theme", "{ \"name\": \"not an array\" }");
        writeFile(systemThemeDir() + "/later.theme", themeFile("Later", "#000001"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("external theme does not contain an array"));
        QCOMPARE(StyleManager::themeNames(),
                 (QStringList { "Default (Light)", "Default (Dark)", "High Contrast" }));

        QFile::remove(userThemeDir() + "/broken.theme");
        QCOMPARE(StyleManager::themeNames().last(), QString("Later"));
    }

    void nonObjectElementsAreSkipped()
    {
        writeFile(userThemeDir() + "/odd.theme", "[ 42, { \"name\": \"Real\", \"vars\": {} } ]");
        QTest::ignoreMessage(QtWarningMsg, "invalid theme object found");
        QCOMPARE(StyleManager::themeNames().last(), QString("Real"));
    }

    void recolor_data()
    {
        QTest::addColumn<QByteArray>("svg");
        QTest::addColumn<QString>("fill"); // "-": no attribute
        QTest::addColumn<QString>("stroke");
        QTest::newRow("no fill gains one") << QByteArray("<svg><path d=\"M0 0\"/></svg>") << "#112233"
                                           << "-";
        QTest::newRow("fill none keeps it, stroke recoloured")
            << QByteArray("<svg><path fill=\"none\" stroke=\"#000\" d=\"M0\"/></svg>") << "none"
            << "#112233";
        QTest::newRow("circle with a fill")
            << QByteArray("<svg><circle r=\"2\" fill=\"red\"/></svg>") << "#112233"
            << "-";
        QTest::newRow("rect untouched") << QByteArray("<svg><rect width=\"2\"/></svg>") << "-"
                                        << "-";
    }

    void recolor()
    {
        QFETCH(QByteArray, svg);
        QFETCH(QString, fill);
        QFETCH(QString, stroke);
        QDomDocument document;
        QVERIFY(document.setContent(StyleManager::recolorSvg(svg, "#112233")));
        const QDomElement element = document.documentElement().firstChildElement();
        QCOMPARE(element.hasAttribute("fill") ? element.attribute("fill") : QString("-"), fill);
        QCOMPARE(element.hasAttribute("stroke") ? element.attribute("stroke") : QString("-"), stroke);
    }

    void cacheRemovedWhileRunning()
    {
        StyleManager::loadTheme();
        QDir(StyleManager::instance()->iconDirectory()).removeRecursively();
        StyleManager::instance()->updateThemeName("High Contrast");
        QVERIFY(QFile::exists(StyleManager::instance()->iconDirectory() + "/pin.svg"));
    }

    void unthemedSheet()
    {
        const QString sheet = StyleManager::unthemedStyleSheet();
        QVERIFY(sheet.contains("#LoginDialog"));
        QVERIFY(!sheet.contains("color_"));
    }

private:
    QString userThemeDir() const { return m_env->dataPath() + "/Halvorne/Halvorne ZU"; }
    QString systemThemeDir() const { return m_systemData + "/Halvorne/Halvorne ZU"; }

    std::unique_ptr<TestEnvironment> m_env;
    QString m_systemData;
};

QTEST_MAIN(tst_StyleManager)
#include "tst_stylemanager.moc"

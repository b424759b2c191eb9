#include "style/stylemanager.h"


#include "testenvironment.h"

#include <QApplication>
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

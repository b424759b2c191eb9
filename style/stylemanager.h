#pragma once

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>

#include <functional>

// Turns the style-sheet template into the application's style sheet for the selected theme and
// writes the theme-coloured copies of the monochrome icons into the per-user icon cache, where
// "theme:<name>" finds them. Every change of theme or font scale re-applies everything and emits
// themeChanged(), on which widgets reload icons they set in code.
class StyleManager : public QObject
{
    Q_OBJECT

public:
    static StyleManager *instance();

    // Where loadTheme() reads the user's theme name; none means the first theme.
    using ThemeNameSource = std::function<QString()>;
    static void setThemeNameSource(ThemeNameSource source);
    static void loadTheme();
    static QJsonArray allThemes();
    static QStringList themeNames();
    static QString currentThemeName();
    // The font scales offered to the user: MinFontScale to MaxFontScale percent in steps of
    // FontScaleStep. Every change of the scale goes through setFontScale, which keeps it for the
    // next start and applies it at once.
    static constexpr int FontScaleStep = 25;
    static constexpr int MinFontScale = 50;
    static constexpr int MaxFontScale = 200;
    static constexpr int DefaultFontScale = 100;
    static int fontScale();
    static void setFontScale(int percent);
    // The scale `steps` offered steps away from the offered scale at or below `percent`, within the
    // offered range: 110 and one step up give 125.
    static int steppedFontScale(int percent, int steps);
    static int fontSize(const QString &step);
    static QString themeVar(const QString &name);
    static QString unthemedStyleSheet();

    // The style sheet last applied (also the application's).
    QString styleSheet() const { return m_styleSheet; }
    QString iconDirectory() const { return m_iconDir.absolutePath(); }

    // Every "var_scaled_<N>px" of the sheet becomes N scaled to the font scale, in pixels: sizes of
    // icons and of the boxes around them that follow the zoom.
    static QString scalePixelTokens(const QString &sheet, int scalePercent);
    static QByteArray recolorSvg(const QByteArray &svg, const QString &color);
    // (scale × size + 50) / 100: half a point rounds up.
    static int scaledSize(int size, int scalePercent) { return (scalePercent * size + 50) / 100; }

public slots:
    void updateThemeName(const QString &themeName);

signals:
    void themeChanged();

private:
    explicit StyleManager(QObject *parent = nullptr);

    // The first object named `name`; an empty object when there is none.
    static QJsonObject findTheme(const QJsonArray &themes, const QString &name);
    void applyTheme();
    void writeIcons();

    int m_fontScale = DefaultFontScale;
    QJsonObject m_theme;
    QJsonObject m_fontSizes;
    QDir m_iconDir;
    QString m_styleSheet;
    ThemeNameSource m_themeNameSource;
};

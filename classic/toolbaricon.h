#pragma once

#include <QIcon>
#include <QString>

#include <functional>

// Icons of the ring menu drawn in the theme's toolbar colours: every path of a monochrome SVG is
// filled with "icon_toolbar_default" for the normal pixmap and "icon_toolbar_focus" for the active
// one. Other files load as they are.
QIcon toolbarIcon(const QString &path);

// The style manager installs its theme variables here. Without a lookup, or for a variable the
// theme lacks, the SVG keeps its own colours.
using ThemeVarLookup = std::function<QString(const QString &name)>;
void setToolbarThemeLookup(ThemeVarLookup lookup);

#include "fixedfont.h"

#include <QDebug>
#include <QFontDatabase>
#include <QFontInfo>

namespace {

const QString BundledFamily = QStringLiteral("Source Code Pro");
const QString BundledFile = QStringLiteral(":/fonts/SourceCodePro-Regular.ttf");

} // namespace

QFont fixedPitchFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter, QFont::PreferDefault);
    if (QFontInfo(font).fixedPitch())
        return font;
    static const bool bundled = QFontDatabase().families().contains(BundledFamily)
        || QFontDatabase::addApplicationFont(BundledFile) >= 0;
    if (!bundled) {
        qWarning() << "fixedPitchFont() - the system has no fixed-pitch font and" << BundledFile
                   << "could not be loaded";
        font.setFamily(QStringLiteral("monospace"));
        return font;
    }
    QFont fixed(BundledFamily, font.pointSize());
    fixed.setStyleHint(QFont::TypeWriter, QFont::PreferDefault);
    return fixed;
}

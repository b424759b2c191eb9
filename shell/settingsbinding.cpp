#include "settingsbinding.h"

#include "classic/keymapper.h"
#include "settings/settingsmanager.h"
#include "style/stylemanager.h"

void bindUserSettings()
{
    // Looked up at every use, so a manager made again (tests) is still the one asked.
    StyleManager::setThemeNameSource([] { return SettingsManager::instance()->settings().themeName; });
    KeyMapper::instance()->setDoneKeySource([] { return SettingsManager::instance()->settings().doneKey; });
    SettingsManager *settings = SettingsManager::instance();
    QObject::connect(settings, &SettingsManager::themeNameUpdated, StyleManager::instance(),
                     &StyleManager::updateThemeName, Qt::UniqueConnection);
    QObject::connect(settings, &SettingsManager::doneKeyUpdated, KeyMapper::instance(), &KeyMapper::doneKeyChanged,
                     Qt::UniqueConnection);
}

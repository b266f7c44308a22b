#pragma once

#include <QLocale>

// The plugin's user texts are written in French; an English catalog (resources/translations,
// compiled into the plugin) turns them into English for English-speaking users.
namespace JoyrelayTranslations {

// Resource path of the compiled English catalog.
inline constexpr char EnglishCatalog[] = ":/joyrelay/i18n/joyrelay_en.qm";

// Installs the English catalog on the application when the locale's language is English, once
// per process. The translator is added in front of the host's own, which all stay installed; its
// contexts are the plugin's class names only. True when the catalog is installed (now or before).
bool install(const QLocale& locale = QLocale::system());

} // namespace JoyrelayTranslations

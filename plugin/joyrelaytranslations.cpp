#include "joyrelaytranslations.h"

#include "hostlogging.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTranslator>

namespace JoyrelayTranslations {

bool install(const QLocale& locale)
{
    static QPointer<QTranslator> installed;
    if (installed)
        return true;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || locale.language() != QLocale::English)
        return false;
    // Owned by the application, so it lives as long as the widgets it translates.
    auto* translator = new QTranslator(app);
    if (!translator->load(QString::fromLatin1(EnglishCatalog))) {
        qCWarning(lcGamepadUi) << "English catalog" << EnglishCatalog << "not loaded";
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

} // namespace JoyrelayTranslations

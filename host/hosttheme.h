#pragma once

#include <QLocale>
#include <QString>

class QWidget;

// The stand-in host's theme: the plugin's style sheets name colours between at-signs
// ("@color.tfxAccent@", "@text.disabled@") and leave them to the host. This host resolves them with
// one fixed dark palette.
namespace HostTheme {

// The colour of one placeholder name (without the at-signs), or an empty text when unknown.
QString colour(const QString& name);

// The style sheet with every known placeholder replaced; unknown ones are left as they are.
QString resolve(const QString& styleSheet);

// Resolves the style sheets of a widget and all its descendants, in place.
void apply(QWidget* root);

// Keeps every widget of the application resolved: a widget's style sheet is resolved when it is
// polished and whenever it is set again (the plugin rebuilds cards and re-sets sheets at run time).
void installResolver();

// Qt's own texts (dialog buttons, the file dialog) in French, as the real host, a French
// application, installs them (Debian's qt6-translations-l10n); nothing under an English locale,
// where Qt's own texts are already right. False when no catalog was installed.
bool installQtCatalog(const QLocale& locale = QLocale::system());

} // namespace HostTheme

// The English catalog compiled into the plugin: installed for an English locale only, and what
// each editor and the cards show once it is in place.
#include "actionlinker.h"
#include "actiontoolbox.h"
#include "gamepadconfigwidget.h"
#include "gamepaddefinder.h"
#include "joyrelaytranslations.h"
#include "tagselectionbar.h"
#include "virtualjoystickbackend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

// Every text a user reads on a widget tree: buttons, labels, group titles, placeholders, tips.
QStringList shownTexts(QWidget* root)
{
    QStringList texts;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : std::as_const(widgets)) {
        texts << w->toolTip();
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            texts << b->text();
        if (auto* l = qobject_cast<QLabel*>(w))
            texts << l->text();
        if (auto* g = qobject_cast<QGroupBox*>(w))
            texts << g->title();
        if (auto* e = qobject_cast<QLineEdit*>(w))
            texts << e->placeholderText();
    }
    texts.removeAll(QString());
    return texts;
}

using Make = std::function<QWidget*()>;

} // namespace

class tst_Translations : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The editors listen to the joystick manager: a virtual backend without controllers.
    void initTestCase() { JoystickBackends::install(std::make_shared<VirtualJoystickBackend>()); }

    void onlyAnEnglishLocaleInstallsTheCatalog()
    {
        QVERIFY(!JoyrelayTranslations::install(QLocale(QLocale::French, QLocale::France)));
        QVERIFY(!JoyrelayTranslations::install(QLocale::c()));
        QCOMPARE(QCoreApplication::translate("DeviceItemDelegate", "Configurer"),
                 QStringLiteral("Configurer"));
        QVERIFY(JoyrelayTranslations::install(QLocale(QLocale::English, QLocale::UnitedKingdom)));
        QCOMPARE(QCoreApplication::translate("DeviceItemDelegate", "Configurer"),
                 QStringLiteral("Configure"));
        QVERIFY(JoyrelayTranslations::install(QLocale(QLocale::English, QLocale::UnitedStates))); // once
    }

    void editorsReadInEnglish_data()
    {
        QTest::addColumn<Make>("make");
        QTest::addColumn<QStringList>("english");
        QTest::addColumn<QStringList>("french");
        QTest::newRow("definition editor")
            << Make([] { return new GamepadDefinder; })
            << QStringList{"Calibration", "Mapping", "+ Btn", "Available actions"}
            << QStringList{"Actions disponibles", "Nom"};
        QTest::newRow("calibration editor")
            << Make([] { return new GamepadConfigWidget; })
            << QStringList{"Input calibration",
                           "Transforms the axes and filters button events before they reach the actions."}
            << QStringList{"Calibration entrees"};
        QTest::newRow("action parameter editor")
            << Make([] { return new ActionToolBox; }) << QStringList{"Edit parameters", "No action"}
            << QStringList{"Editer les parametres", "Aucune action"};
        QTest::newRow("mapping actions panel")
            << Make([] { return new ActionLinker; })
            << QStringList{"Available actions", "Click an action, then press a button."}
            << QStringList{"Cliquez une action puis appuyez sur un bouton."};
        QTest::newRow("linked-controller chips")
            << Make([] { return new TagSelectionBar; }) << QStringList{"Add a controller..."}
            << QStringList{"Ajouter une manette..."};
    }

    void editorsReadInEnglish()
    {
        QFETCH(Make, make);
        QFETCH(QStringList, english);
        QFETCH(QStringList, french);
        QVERIFY(JoyrelayTranslations::install(QLocale(QLocale::English)));
        const std::unique_ptr<QWidget> widget(make());
        const QStringList texts = shownTexts(widget.get());
        for (const QString& text : english)
            QVERIFY2(texts.contains(text), qPrintable(text + " missing from: " + texts.join(" | ")));
        for (const QString& text : french)
            QVERIFY2(!texts.contains(text), qPrintable(text));
    }
};

QTEST_MAIN(tst_Translations)
#include "tst_translations.moc"

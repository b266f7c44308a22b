// The mapping actions panel as a host gets it: load the plugin file, create the panel from its
// registered type name, and drive it through the meta-object by slot signatures.
#include "support/testsupport.h"

#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QUuid>

class tst_PluginActionLinker : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void registeredTypeComesWithThePlugin()
    {
        // An empty scenario: the plugin's input runtime sees no controller and needs no display.
        const TestSupport::DataRoot data;
        QVERIFY(TestSupport::writeFile(data.path() + "/pads.json", R"({"pads": []})"));
        qputenv("JOYRELAY_VIRTUAL_PADS", QFile::encodeName(data.path() + "/pads.json"));

        QVERIFY(!QMetaType::fromName("ActionLinker").isValid());
        QPluginLoader loader(QStringLiteral(JOYRELAY_PLUGIN_FILE));
        QVERIFY2(loader.load(), qPrintable(loader.errorString()));
        const QMetaType type = QMetaType::fromName("ActionLinker");
        QVERIFY(type.isValid());

        std::unique_ptr<QObject> panel(static_cast<QObject*>(type.create()));
        QVERIFY(panel && !panel->parent());
        const QMetaObject* meta = panel->metaObject();
        QVERIFY(qobject_cast<QWidget*>(panel.get()) && meta->className() == QByteArray("ActionLinker"));
        for (const char* slot : {"loadGamepadSnapshot(QUuid,QString,QStringList,QJsonObject,QString)",
                                 "onDeviceSelectionChanged(QStringList)", "onInputButtonChanged(int,bool)",
                                 "onInputAxisChanged(int,double)", "onInputGateChanged(QString,bool)"})
            QVERIFY2(meta->indexOfSlot(slot) >= 0, slot);
        auto* widget = static_cast<QWidget*>(panel.get());
        QCOMPARE(widget->windowTitle(), QStringLiteral("Form"));
        QVERIFY(widget->findChild<QLayout*>("gridLayout"));
        QCOMPARE(widget->findChild<QLabel*>("mappingActionsTitle")->text(),
                 QStringLiteral("Actions disponibles"));
        QCOMPARE(widget->findChild<QListWidget*>("mappingActionsList")->item(0)->text(),
                 QStringLiteral("Aucune action"));
        QVERIFY(widget->findChild<QWidget*>("mappingActionsPanel")
                    ->styleSheet()
                    .startsWith(
                        "#mappingActionsPanel {  background: rgba(15, 26, 36, 210);  border: none;  "
                        "border-radius: 8px;}#mappingActionsTitle {  font-weight: 600;  color: #E8F0F5;}"));
        const QMetaProperty services = meta->property(meta->indexOfProperty("externalServices"));
        QCOMPARE(services.metaType(), QMetaType::fromType<QJsonArray>());
        QCOMPARE(services.notifySignal().methodSignature(), QByteArray("externalServicesChanged()"));

        const QJsonArray catalog{QJsonObject{{"name", "photo.capture"}}};
        QVERIFY(panel->setProperty("externalServices", catalog));
        QCOMPARE(panel->findChild<QObject*>("iteractiveoverlay")->property("externalServices").toJsonArray(),
                 catalog);
        QVERIFY(QMetaObject::invokeMethod(
            panel.get(), "loadGamepadSnapshot", Q_ARG(QUuid, QUuid::createUuid()), Q_ARG(QString, "Pad"),
            Q_ARG(QStringList, {"Pad"}), Q_ARG(QJsonObject, QJsonObject()), Q_ARG(QString, QString())));
    }
};

QTEST_MAIN(tst_PluginActionLinker)
#include "tst_pluginactionlinker.moc"

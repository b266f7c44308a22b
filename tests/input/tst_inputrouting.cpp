// Which mapping file a gamepad names to the host: active profile, then definitions by name or USB
// ids, then "<vendor>_<product>" folders and root files, then the shared fallback.
#include "controlmanette.h"
#include "profilestore.h"
#include "support/testsupport.h"

using namespace TestSupport;

class tst_InputRouting : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_data = std::make_unique<DataRoot>();
        m_pads = std::make_shared<VirtualJoystickBackend>();
    }

    void activeProfileWins()
    {
        const Definition named =
            writeDefinition(m_data->userRoot(), {{"deviceName", "Pad Pro"}, {"name", "A"}});
        const Definition active = writeDefinition(shared(), {{"deviceName", "Other"}, {"name", "B"}});
        auto device = plug(0, "Pad Pro", 0x045e, 0x02fd);
        QCOMPARE(device->noCodeApp(), QStringList{config(named)});
        device->setActiveProfileId(active.id);
        QCOMPARE(device->noCodeApp(), QStringList{config(active)});
    }

    void nameBeatsIdentifiers()
    {
        // The identifier match comes first in folder order. The named definition has no UUID, so
        // it is no profile of the pad and only the definition scan can find it.
        writeDefinition(shared(), {{"vendorId", "0x045e"}, {"productId", "0x02fd"}}, Config,
                        "00000000-0000-4000-8000-000000000001");
        const Definition named =
            writeDefinition(shared(), {{"deviceNames", QJsonArray{"pad PRO"}}}, Config, "zz-legacy");
        auto device = plug(0, " Pad Pro ", 0x045e, 0x02fd);
        QVERIFY(device->activeProfileSummary().id.isNull());
        QCOMPARE(device->noCodeApp(), QStringList{config(named)});
    }

    void identifiersMatchNamelessPad_data()
    {
        QTest::addColumn<QJsonValue>("vendor");
        QTest::addColumn<QJsonValue>("product");
        QTest::addColumn<bool>("matches");
        QTest::newRow("hexadecimal texts match") << QJsonValue("0x045e") << QJsonValue("0x02fd") << true;
        QTest::newRow("texts without prefix match") << QJsonValue("45E") << QJsonValue("2FD") << true;
        QTest::newRow("a vendor of zero never matches")
            << QJsonValue("0x0000") << QJsonValue("0x02fd") << false;
        QTest::newRow("numbers are not read") << QJsonValue(0x45e) << QJsonValue(0x2fd) << false;
        QTest::newRow("an unparsable vendor never matches")
            << QJsonValue("0xZZ") << QJsonValue("0x02fd") << false;
    }

    void identifiersMatchNamelessPad()
    {
        QFETCH(QJsonValue, vendor);
        QFETCH(QJsonValue, product);
        QFETCH(bool, matches);
        const Definition def = writeDefinition(shared(), {{"vendorId", vendor}, {"productId", product}});
        auto device = plug(0, QString(), 0x045E, 0x02FD);
        QCOMPARE(device->noCodeApp(),
                 QStringList{matches ? config(def) : shared() + "/configActionGamepad.json"});
    }

    void definitionWithoutMappingIsPassedOver()
    {
        const QJsonObject ids{{"vendorId", "0x045e"}, {"productId", "0x02fd"}};
        writeDefinition(shared(), ids, MetaOnly, "00000000-0000-4000-8000-000000000001");
        const Definition second =
            writeDefinition(shared(), ids, Config, "00000000-0000-4000-8000-000000000002");
        QCOMPARE(plug(0, QString(), 0x045e, 0x02fd)->noCodeApp(), QStringList{config(second)});

        // "config" names the file.
        const Definition own =
            writeDefinition(shared(), {{"vendorId", "0x1"}, {"productId", "0x2"}, {"config", "map.json"}});
        QCOMPARE(plug(1, QString(), 1, 2)->noCodeApp(), QStringList{config(own, "map.json")});
    }

    void identifierFolderRootFileAndFallback()
    {
        auto device = plug(0, "Nobody knows me", 0x045E, 0x02FD);
        LogRecorder log;
        const QString rootFile = shared() + "/configActionGamepad.json";
        QCOMPARE(device->noCodeApp(), QStringList{rootFile}); // nothing on disk: the shared file
        QVERIFY(!QFile::exists(rootFile));
        QVERIFY(log.lines().contains(
            QStringLiteral("Gamepad input unmapped choice= QList(\"%1\") profile= \"\"").arg(rootFile)));

        const QString idFile = shared() + "/045e_02fd/configActionGamepad.json";
        const QString userRootFile = m_data->userRoot() + "/configActionGamepad.json";
        QVERIFY(writeFile(rootFile, "{}"));
        QCOMPARE(device->noCodeApp(), QStringList{rootFile});
        QVERIFY(writeFile(idFile, "{}"));
        QCOMPARE(device->noCodeApp(), QStringList{idFile});
        QVERIFY(writeFile(userRootFile, "{}")); // an earlier root
        QCOMPARE(device->noCodeApp(), QStringList{userRootFile});
    }

    void sameModelSameFileSameDeviceNumber()
    {
        auto first = plug(0, "Twin", 7, 8);
        auto second = plug(1, "Twin", 7, 8);
        QCOMPARE(first->noCodeApp(), second->noCodeApp());
        QList<int> numbers;
        for (ControlManette* device : {first.get(), second.get()}) {
            connect(device,
                    qOverload<int, int, const QStringList&, const QVariantList&>(&IComInterface::dataChanged),
                    this, [&](int id, int cat) { numbers << id << cat; });
            device->connectDevice(QString());
        }
        m_pads->press(0, 1);
        m_pads->press(1, 1);
        first->sample();
        second->sample();
        QCOMPARE(numbers, (QList<int>{0, 1, 0, 1}));
    }

    void refreshMappingAnnounces()
    {
        auto device = plug(0, "Pad", 1, 2);
        QSignalSpy announced(device.get(), &IComInterface::noCodeAppChanged);
        LogRecorder log;
        device->refreshMapping();
        QCOMPARE(log.count("Gamepad calibration reloaded"), 1);
        QCOMPARE(announced.count(), 1);
        QCOMPARE(announced.first().first().toStringList(), device->noCodeApp());
        const Definition def = writeDefinition(shared(), {{"deviceName", "pad"}});
        device->refreshMapping();
        QCOMPARE(announced.last().first().toStringList(), QStringList{config(def)});
    }

private:
    std::unique_ptr<ControlManette> plug(int slot, const QString& name, quint32 vendor, quint32 product)
    {
        m_pads->plug(pad(slot, name, vendor, product));
        return std::make_unique<ControlManette>(slot, m_pads);
    }
    QString shared() const { return ProfileStore::sharedProfilesRoot(); }
    static QString config(const Definition& def, const QString& file = "configActionGamepad.json")
    {
        return def.folder + "/" + file;
    }
    std::unique_ptr<DataRoot> m_data;
    std::shared_ptr<VirtualJoystickBackend> m_pads;
};

QTEST_GUILESS_MAIN(tst_InputRouting)
#include "tst_inputrouting.moc"

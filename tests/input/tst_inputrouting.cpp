// Which mapping file a gamepad names to the host: active profile, then definitions by name or USB
// ids, then "<vendor>_<product>" folders and root files, then the shared fallback.
#include "controlmanette.h"
#include "inputfixtures.h"
#include "virtualjoystickbackend.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using namespace InputFixtures;

class tst_InputRouting : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void activeProfileWins();
    void nameBeatsIdentifiers();
    void identifiersMatchNamelessPad_data();
    void identifiersMatchNamelessPad();
    void definitionWithoutMappingIsPassedOver();
    void configMemberNamesTheFile();
    void identifierFolderAndRootFile();
    void sharedFallbackWhenNothingOnDisk();
    void sameModelSameFileSameDeviceNumber();
    void refreshMappingAnnounces();

private:
    std::unique_ptr<ControlManette> pad(int slot, const QString& name, quint32 vendor, quint32 product)
    {
        VirtualJoystickBackend::Pad p;
        p.slot = slot;
        p.name = name;
        p.vendorId = vendor;
        p.productId = product;
        m_pads->plug(p);
        return std::make_unique<ControlManette>(slot, m_pads);
    }
    static QString config(const Definition& def,
                          const QString& file = QStringLiteral("configActionGamepad.json"))
    {
        return QDir(def.folder).filePath(file);
    }
    std::shared_ptr<VirtualJoystickBackend> m_pads;
    QString m_shared;
    QString m_user;
};

void tst_InputRouting::init()
{
    resetDataRoot();
    m_pads = std::make_shared<VirtualJoystickBackend>();
    m_shared = ProfileStore::sharedProfilesRoot();
    m_user = ProfileStore::userProfilesRoot();
}

void tst_InputRouting::cleanup()
{
    m_pads.reset();
}

void tst_InputRouting::activeProfileWins()
{
    const Definition named = writeDefinition(m_user, {{"deviceName", "Pad Pro"}, {"name", "A"}});
    const Definition active = writeDefinition(m_shared, {{"deviceName", "Other"}, {"name", "B"}});
    auto device = pad(0, QStringLiteral("Pad Pro"), 0x045e, 0x02fd);
    QCOMPARE(device->noCodeApp(), QStringList{config(named)});
    device->setActiveProfileId(active.id);
    QCOMPARE(device->noCodeApp(), QStringList{config(active)});
}

void tst_InputRouting::nameBeatsIdentifiers()
{
    // The identifier match comes first in folder order; the name match still wins.
    writeDefinition(m_shared, {{"vendorId", "0x045e"}, {"productId", "0x02fd"}}, true, false,
                    QStringLiteral("00000000-0000-4000-8000-000000000001"));
    const Definition named = writeDefinition(m_shared, {{"deviceNames", QJsonArray{"pad PRO"}}}, true, false,
                                             QStringLiteral("ffffffff-0000-4000-8000-000000000001"));
    auto device = pad(0, QStringLiteral(" Pad Pro "), 0x045e, 0x02fd);
    QCOMPARE(device->noCodeApp(), QStringList{config(named)});
}

void tst_InputRouting::identifiersMatchNamelessPad_data()
{
    QTest::addColumn<QJsonValue>("vendor");
    QTest::addColumn<QJsonValue>("product");
    QTest::addColumn<bool>("matches");
    QTest::newRow("hexadecimal texts") << QJsonValue("0x045e") << QJsonValue("0x02fd") << true;
    QTest::newRow("texts without prefix") << QJsonValue("45E") << QJsonValue("2FD") << true;
    QTest::newRow("vendor of zero") << QJsonValue("0x0000") << QJsonValue("0x02fd") << false;
    QTest::newRow("numbers are not read") << QJsonValue(0x45e) << QJsonValue(0x2fd) << false;
    QTest::newRow("unparsable vendor") << QJsonValue("0xZZ") << QJsonValue("0x02fd") << false;
}

void tst_InputRouting::identifiersMatchNamelessPad()
{
    QFETCH(QJsonValue, vendor);
    QFETCH(QJsonValue, product);
    QFETCH(bool, matches);
    const Definition def = writeDefinition(m_shared, {{"vendorId", vendor}, {"productId", product}});
    auto device = pad(0, QString(), 0x045E, 0x02FD);
    const QString expected =
        matches ? config(def) : QDir(m_shared).filePath(QStringLiteral("configActionGamepad.json"));
    QCOMPARE(device->noCodeApp(), QStringList{expected});
}

void tst_InputRouting::definitionWithoutMappingIsPassedOver()
{
    writeDefinition(m_shared, {{"vendorId", "0x045e"}, {"productId", "0x02fd"}}, false, false,
                    QStringLiteral("00000000-0000-4000-8000-000000000001"));
    const Definition second =
        writeDefinition(m_shared, {{"vendorId", "0x045e"}, {"productId", "0x02fd"}}, true, false,
                        QStringLiteral("00000000-0000-4000-8000-000000000002"));
    auto device = pad(0, QString(), 0x045e, 0x02fd);
    QCOMPARE(device->noCodeApp(), QStringList{config(second)});
}

void tst_InputRouting::configMemberNamesTheFile()
{
    const Definition def =
        writeDefinition(m_shared, {{"vendorId", "0x1"}, {"productId", "0x2"}, {"config", "map.json"}});
    auto device = pad(0, QString(), 1, 2);
    QCOMPARE(device->noCodeApp(), QStringList{config(def, QStringLiteral("map.json"))});
}

void tst_InputRouting::identifierFolderAndRootFile()
{
    auto device = pad(0, QStringLiteral("Nobody knows me"), 0x045E, 0x02FD);
    const QString rootFile = QDir(m_shared).filePath(QStringLiteral("configActionGamepad.json"));
    const QString idFile = QDir(m_shared).filePath(QStringLiteral("045e_02fd/configActionGamepad.json"));
    const QString userRootFile = QDir(m_user).filePath(QStringLiteral("configActionGamepad.json"));
    QVERIFY(writeFile(rootFile, "{}"));
    QCOMPARE(device->noCodeApp(), QStringList{rootFile});
    QVERIFY(writeFile(idFile, "{}"));
    QCOMPARE(device->noCodeApp(), QStringList{idFile});
    QVERIFY(writeFile(userRootFile, "{}")); // an earlier root
    QCOMPARE(device->noCodeApp(), QStringList{userRootFile});
}

void tst_InputRouting::sharedFallbackWhenNothingOnDisk()
{
    auto device = pad(0, QStringLiteral("Pad"), 1, 2);
    LogRecorder log;
    const QString expected = QDir(m_shared).filePath(QStringLiteral("configActionGamepad.json"));
    QCOMPARE(device->noCodeApp(), QStringList{expected});
    QVERIFY(!QFile::exists(expected));
    QVERIFY2(log.lines().contains(
                 QStringLiteral("Gamepad input unmapped choice= QList(\"%1\") profile= \"\"").arg(expected)),
             qPrintable(log.lines().join(QLatin1Char('\n'))));
}

void tst_InputRouting::sameModelSameFileSameDeviceNumber()
{
    auto first = pad(0, QStringLiteral("Twin"), 7, 8);
    auto second = pad(1, QStringLiteral("Twin"), 7, 8);
    QCOMPARE(first->noCodeApp(), second->noCodeApp());

    QList<int> numbers;
    for (ControlManette* device : {first.get(), second.get()}) {
        connect(device,
                qOverload<int, int, const QStringList&, const QVariantList&>(&IComInterface::dataChanged),
                this, [&](int id, int cat) {
                    numbers << id;
                    QCOMPARE(cat, 1);
                });
        device->connectDevice(QString());
    }
    m_pads->press(0, 1);
    m_pads->press(1, 1);
    first->sample();
    second->sample();
    QCOMPARE(numbers, (QList<int>{0, 0}));
}

void tst_InputRouting::refreshMappingAnnounces()
{
    auto device = pad(0, QStringLiteral("Pad"), 1, 2);
    QSignalSpy announced(device.get(), &IComInterface::noCodeAppChanged);
    LogRecorder log;
    device->refreshMapping();
    QCOMPARE(log.count(QStringLiteral("Gamepad calibration reloaded")), 1);
    QCOMPARE(announced.count(), 1);
    QCOMPARE(announced.first().first().toStringList(), device->noCodeApp());

    const Definition def = writeDefinition(m_shared, {{"deviceName", "pad"}});
    device->refreshMapping();
    QCOMPARE(announced.last().first().toStringList(), QStringList{config(def)});
}

QTEST_GUILESS_MAIN(tst_InputRouting)
#include "tst_inputrouting.moc"

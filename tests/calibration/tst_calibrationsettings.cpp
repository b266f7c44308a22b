// Calibration records: reading with defaults, the sanitising bounds, unique gate keys and the
// document that always carries 8 axes and 32 buttons.
#include "calibrationsettings.h"
#include "support/testsupport.h"

#include <limits>

using namespace GamepadCalibration;
using TestSupport::json;

namespace {

// Numbers compare by value whether written as integer or double.
void compareJsonValue(const QJsonValue& actual, const QJsonValue& expected)
{
    if (expected.isDouble())
        QCOMPARE(actual.toDouble(std::numeric_limits<double>::infinity()), expected.toDouble());
    else
        QCOMPARE(actual, expected);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

class tst_CalibrationSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Each row: a record kind, the member's raw value, and the member once read ("read") or once
    // read and sanitised ("bound").
    void members_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QJsonValue>("input");
        QTest::addColumn<QJsonValue>("expected");
        QTest::addColumn<bool>("sanitise");
        auto read = [](const char* name, const char* kind, const char* member, QJsonValue in,
                       QJsonValue out) {
            QTest::newRow(name) << QString(kind) << QString(member) << in << out << false;
        };
        auto bound = [](const char* name, const char* kind, const char* member, QJsonValue in,
                        QJsonValue out) {
            QTest::newRow(name) << QString(kind) << QString(member) << in << out << true;
        };
        read("an upper-case mode", "axis", "mode", "TRIGGER", "trigger");
        read("an unknown curve text", "axis", "curvePreset", "cubic", "linear");
        read("a curve text in mixed case", "axis", "curvePreset", "SoFt", "soft");
        read("a number for a flag keeps the default", "axis", "enabled", 0, true);
        read("a text for a number keeps the default", "axis", "restRaw", "12", 0);
        read("a text for a flag keeps the default", "axis", "invert", "true", false);
        read("a number for a mode keeps the default", "axis", "mode", 1, "bidirectional");
        read("null for a number keeps the default", "axis", "gamma", QJsonValue(), 1);
        read("an integer", "button", "debounceMs", 40, 40);
        read("a fractional double keeps the default", "button", "debounceMs", 40.5, 0);
        read("a numeric text keeps the default", "button", "debounceMs", "40", 0);
        read("a huge integer saturates", "button", "debounceMs", 1e12, std::numeric_limits<qint32>::max());
        bound("negative dead zone", "axis", "deadzoneRadius", -12, 12);
        bound("dead zone above 99", "axis", "deadzoneRadius", 150, 99);
        bound("NaN dead zone", "axis", "deadzoneRadius", kNaN, 0);
        bound("zero output scale", "axis", "outputScale", 0, 0.001);
        bound("negative output scale", "axis", "outputScale", -2, 2);
        bound("NaN output scale", "axis", "outputScale", kNaN, 0.001);
        bound("rest below travel", "axis", "restRaw", -140, -100);
        bound("offset above 1000", "axis", "outputOffset", 1500, 1000);
        bound("tiny gamma", "axis", "gamma", 0.01, 0.05);
        bound("zero repeat interval", "button", "repeatIntervalMs", 0, 10);
        bound("repeat interval above a minute", "button", "repeatIntervalMs", 70000, 60000);
        bound("long debounce", "button", "debounceMs", 9000, 5000);
        bound("negative debounce", "button", "debounceMs", -5, 0);
        bound("x axis beyond the last", "gate", "xAxis", 12, 7);
        bound("negative y axis", "gate", "yAxis", -3, 0);
        bound("centre far out", "gate", "centerX", 1e6, 100000);
        bound("negative radius", "gate", "radius", -30, 30);
        bound("2-D source with spaces", "gate", "source2dKey", " left ", "left");
    }

    void members()
    {
        QFETCH(QString, kind);
        QFETCH(QString, member);
        QFETCH(QJsonValue, input);
        QFETCH(QJsonValue, expected);
        QFETCH(bool, sanitise);
        const QJsonObject object{{member, input}};
        CalibrationSet set = defaultCalibration(8, 32);
        QJsonObject actual;
        if (kind == "axis") {
            set.axes[2] = axisFromJson(object);
            actual = axisToJson(sanitise ? sanitized(set).axes.at(2) : set.axes.at(2));
            if (sanitise)
                compareJsonValue(axisToJson(sanitizedAxis(set.axes.at(2))).value(member), expected);
        } else if (kind == "button") {
            set.buttons[5] = buttonFromJson(object);
            actual = buttonToJson(sanitise ? sanitized(set).buttons.at(5) : set.buttons.at(5));
            if (sanitise)
                compareJsonValue(buttonToJson(sanitizedButton(set.buttons.at(5))).value(member), expected);
        } else {
            set.gates.append(gateFromJson(object, 0));
            actual = gateToJson(sanitized(set, 8, 32).gates.at(0));
        }
        compareJsonValue(actual.value(member), expected);
    }

    void uniqueGateKeys_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two gates keyed a and one without key")
            << QStringList{"a", "a", ""} << QStringList{"a", "gate_0", "gate_2"};
        QTest::newRow("keys equal once trimmed") << QStringList{" x", "x "} << QStringList{"x", "gate_0"};
        QTest::newRow("duplicates climb past taken defaults")
            << QStringList{"gate_0", "gate_0", "gate_1"} << QStringList{"gate_0", "gate_1", "gate_2"};
    }

    void uniqueGateKeys()
    {
        QFETCH(QStringList, keys);
        CalibrationSet set;
        for (const QString& key : keys) {
            GateSettings gate;
            gate.key = key;
            set.gates.append(gate);
        }
        QStringList actual;
        for (const GateSettings& gate : sanitized(set, 8, 32).gates)
            actual.append(gate.key);
        QTEST(actual, "expected");
    }

    void documentType_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<bool>("ok");
        QTest::newRow("correct type") << QByteArray(R"("GamepadCalibration")") << true;
        QTest::newRow("type in other case") << QByteArray(R"("gamepadcalibration")") << false;
        QTest::newRow("type not a string") << QByteArray("3") << false;
    }

    void documentType()
    {
        QFETCH(QByteArray, type);
        QFETCH(bool, ok);
        bool actualOk = !ok;
        QString error;
        const CalibrationSet set = calibrationFromJson(
            json(R"({"axes": [{"restRaw": 4}], "type": )" + type + "}"), &actualOk, &error, 8, 32);
        QCOMPARE(actualOk, ok);
        QCOMPARE(error, ok ? QString() : QStringLiteral("Unsupported calibration type"));
        QCOMPARE(set.buttons.size(), 32);
        QCOMPARE(set.axes.value(0).restRaw, ok ? 4.0 : 0.0);
    }

    void documentReadsPartialArrays()
    {
        bool ok = false;
        const CalibrationSet set = calibrationFromJson(json(R"({
            "type": "GamepadCalibration", "version": 99,
            "axes": [{"deadzoneRadius": -12}, 7, {"mode": "trigger"}],
            "buttons": {"0": {"debounceMs": 10}},
            "gates": [{"key": "a"}, {"key": "a", "xAxis": 12}, "not an object"]
        })"),
                                                       &ok, nullptr, 8, 32);
        QVERIFY(ok);
        QList<AxisSettings> axes(8);
        axes[0].deadzoneRadius = 12;
        axes[2].mode = AxisMode::Trigger;
        QCOMPARE(set.axes, axes);
        QCOMPARE(set.buttons, QList<ButtonSettings>(32));
        QCOMPARE(set.gates.size(), 3);
        QVERIFY(set.gates.at(1).key == "gate_0" && set.gates.at(1).xAxis == 7);
        QCOMPARE(set.gates.at(2), defaultGate(2));
    }

    void documentAlwaysWritesFullSet()
    {
        CalibrationSet set = defaultCalibration(3, 40);
        set.axes[2].mode = AxisMode::Trigger;
        set.buttons[31].debounceMs = 25;
        set.gates.append(defaultGate(0));
        const QJsonObject document = calibrationToJson(set, DeviceIdentity(), QString());
        // Without an identity no informative member is written.
        QCOMPARE(document.keys(), (QStringList{"axes", "buttons", "gates", "type", "version"}));
        QCOMPARE(document.value("type").toString() + document.value("version").toVariant().toString(),
                 "GamepadCalibration3");
        const QJsonArray axes = document.value("axes").toArray();
        const QJsonArray buttons = document.value("buttons").toArray();
        QVERIFY(axes.size() == 8 && buttons.size() == 32);
        QCOMPARE(axes.at(2).toObject().value("mode").toString(), "trigger");
        QCOMPARE(axes.at(7).toObject(), axisToJson(AxisSettings()));
        QCOMPARE(buttons.at(31).toObject().value("debounceMs").toInt(), 25);
        QCOMPARE(axes.at(0).toObject().size() + buttons.at(0).toObject().size(), 12 + 8);
        QCOMPARE(document.value("gates").toArray().at(0).toObject().size(), 12);
    }

    void identityMembers_data()
    {
        QTest::addColumn<DeviceIdentity>("identity");
        QTest::addColumn<QString>("profileId");
        QTest::addColumn<QJsonObject>("expected"); // the informative members, nothing more
        auto row = [](const char* name, DeviceIdentity pad, const char* profile, const char* members) {
            QTest::newRow(name) << pad << QString(profile) << json(members);
        };
        row("a vendor 0x45E is written as 0x045e, a product 0 is left out", {"", 0x45E, 0}, "",
            R"({"vendorId": "0x045e"})");
        row("ids longer than four digits stay whole", {"", 0x12345, 0xFFFFFFFF}, "",
            R"({"vendorId": "0x12345", "productId": "0xffffffff"})");
        row("name and profile are trimmed", {"  Pad Pro ", 0, 0}, " 1234 ",
            R"({"deviceName": "Pad Pro", "profileId": "1234"})");
        row("blank name and profile are left out", {"   ", 0, 0}, "  ", "{}");
    }

    void identityMembers()
    {
        QFETCH(DeviceIdentity, identity);
        QFETCH(QString, profileId);
        QJsonObject document = calibrationToJson(CalibrationSet(), identity, profileId);
        for (const char* key : {"type", "version", "axes", "buttons", "gates"})
            document.remove(QLatin1String(key));
        QTEST(document, "expected");
    }
};

QTEST_GUILESS_MAIN(tst_CalibrationSettings)
#include "tst_calibrationsettings.moc"

// Calibration records: reading with defaults, the sanitising bounds, unique gate keys and the
// document that always carries 8 axes and 32 buttons.
#include "calibrationsettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <limits>

using namespace GamepadCalibration;

namespace {

QJsonObject parse(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).object();
}

// Numbers compare by value whether written as integer or double.
void compareJsonValue(const QJsonValue& actual, const QJsonValue& expected)
{
    if (expected.isDouble()) {
        QVERIFY2(actual.isDouble(), qPrintable(QStringLiteral("type %1").arg(int(actual.type()))));
        QCOMPARE(actual.toDouble(), expected.toDouble());
    } else {
        QCOMPARE(actual, expected);
    }
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

class tst_CalibrationSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void enumTexts()
    {
        for (AxisMode mode : {AxisMode::Bidirectional, AxisMode::Trigger})
            QCOMPARE(axisModeFromString(axisModeToString(mode)), mode);
        for (CurvePreset p :
             {CurvePreset::Linear, CurvePreset::Soft, CurvePreset::Aggressive, CurvePreset::Custom})
            QCOMPARE(curvePresetFromString(curvePresetToString(p)), p);
        QCOMPARE(axisModeToString(AxisMode::Trigger), "trigger");
        QCOMPARE(curvePresetToString(CurvePreset::Aggressive), "aggressive");
        QCOMPARE(axisModeToString(AxisMode(7)), "bidirectional");
        QCOMPARE(curvePresetToString(CurvePreset(-1)), "linear");
    }

    void readingAxis_data()
    {
        QTest::addColumn<QJsonObject>("object");
        QTest::addColumn<AxisSettings>("expected");

        AxisSettings trigger;
        trigger.mode = AxisMode::Trigger;
        QTest::newRow("only an upper-case mode") << parse(R"({"mode": "TRIGGER"})") << trigger;
        QTest::newRow("unknown curve text") << parse(R"({"curvePreset": "cubic"})") << AxisSettings();
        AxisSettings soft;
        soft.curvePreset = CurvePreset::Soft;
        QTest::newRow("curve text in mixed case") << parse(R"({"curvePreset": "SoFt"})") << soft;
        QTest::newRow("wrongly typed members keep defaults")
            << parse(R"({"enabled": 0, "restRaw": "12", "invert": "true", "mode": 1, "gamma": null})")
            << AxisSettings();
        AxisSettings wide;
        wide.restRaw = -250;
        wide.outputScale = 0;
        wide.invert = true;
        QTest::newRow("ranges are left to sanitising")
            << parse(R"({"restRaw": -250, "outputScale": 0, "invert": true})") << wide;
    }

    void readingAxis()
    {
        QFETCH(QJsonObject, object);
        QFETCH(AxisSettings, expected);
        QCOMPARE(axisFromJson(object), expected);
    }

    void readingButtonIntegers_data()
    {
        QTest::addColumn<QJsonObject>("object");
        QTest::addColumn<int>("debounceMs");

        QTest::newRow("integer") << parse(R"({"debounceMs": 40})") << 40;
        QTest::newRow("fractional double keeps the default") << parse(R"({"debounceMs": 40.5})") << 0;
        QTest::newRow("numeric text keeps the default") << parse(R"({"debounceMs": "40"})") << 0;
        QTest::newRow("huge integer saturates")
            << parse(R"({"debounceMs": 1e12})") << std::numeric_limits<qint32>::max();
    }

    void readingButtonIntegers()
    {
        QFETCH(QJsonObject, object);
        QFETCH(int, debounceMs);
        QCOMPARE(buttonFromJson(object).debounceMs, debounceMs);
    }

    void gateDefaultKeyFollowsIndex()
    {
        QCOMPARE(gateFromJson(QJsonObject(), 3).key, "gate_3");
        QCOMPARE(gateFromJson(parse(R"({"key": 5, "radius": 20})"), 4).key, "gate_4");
        QCOMPARE(gateFromJson(parse(R"({"key": " a "})"), 4).key, " a ");
    }

    // Each row: a record kind, the member's raw value, and the member after sanitising.
    void sanitizingBounds_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QJsonValue>("input");
        QTest::addColumn<QJsonValue>("expected");

        auto row = [](const char* name, const char* kind, const char* member, QJsonValue in, QJsonValue out) {
            QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(member) << in << out;
        };
        row("negative dead zone", "axis", "deadzoneRadius", -12, 12);
        row("dead zone above 99", "axis", "deadzoneRadius", 150, 99);
        row("NaN dead zone", "axis", "deadzoneRadius", kNaN, 0);
        row("zero output scale", "axis", "outputScale", 0, 0.001);
        row("negative output scale", "axis", "outputScale", -2, 2);
        row("NaN output scale", "axis", "outputScale", kNaN, 0.001);
        row("rest below travel", "axis", "restRaw", -140, -100);
        row("positive end above travel", "axis", "positiveRaw", 101, 100);
        row("offset above 1000", "axis", "outputOffset", 1500, 1000);
        row("tiny gamma", "axis", "gamma", 0.01, 0.05);
        row("NaN gamma", "axis", "gamma", kNaN, 0.05);
        row("zero repeat interval", "button", "repeatIntervalMs", 0, 10);
        row("repeat interval above a minute", "button", "repeatIntervalMs", 70000, 60000);
        row("long debounce", "button", "debounceMs", 9000, 5000);
        row("negative debounce", "button", "debounceMs", -5, 0);
        row("x axis beyond the last", "gate", "xAxis", 12, 7);
        row("negative y axis", "gate", "yAxis", -3, 0);
        row("centre far out", "gate", "centerX", 1e6, 100000);
        row("negative radius", "gate", "radius", -30, 30);
        row("key with spaces", "gate", "key", "  stick  ", "stick");
        row("2-D source with spaces", "gate", "source2dKey", " left ", QStringLiteral("left"));
    }

    void sanitizingBounds()
    {
        QFETCH(QString, kind);
        QFETCH(QString, member);
        QFETCH(QJsonValue, input);
        QFETCH(QJsonValue, expected);

        CalibrationSet set = defaultCalibration(8, 32);
        QJsonObject actual;
        if (kind == QLatin1String("axis")) {
            set.axes[2] = axisFromJson(QJsonObject{{member, input}});
            actual = axisToJson(sanitized(set).axes.at(2));
            compareJsonValue(axisToJson(sanitizedAxis(set.axes.at(2))).value(member), expected);
        } else if (kind == QLatin1String("button")) {
            set.buttons[5] = buttonFromJson(QJsonObject{{member, input}});
            actual = buttonToJson(sanitized(set).buttons.at(5));
            compareJsonValue(buttonToJson(sanitizedButton(set.buttons.at(5))).value(member), expected);
        } else {
            set.gates.append(gateFromJson(QJsonObject{{member, input}}, 0));
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
        QFETCH(QStringList, expected);

        CalibrationSet set;
        for (const QString& key : keys) {
            GateSettings gate;
            gate.key = key;
            set.gates.append(gate);
        }
        QStringList actual;
        for (const GateSettings& gate : sanitized(set, 8, 32).gates)
            actual.append(gate.key);
        QCOMPARE(actual, expected);
    }

    void sanitizedCounts_data()
    {
        QTest::addColumn<int>("axesIn");
        QTest::addColumn<int>("axisCount");
        QTest::addColumn<int>("buttonCount");

        QTest::newRow("short lists are filled with defaults") << 3 << 8 << 32;
        QTest::newRow("negative counts give empty lists") << 3 << -1 << -5;
    }

    void sanitizedCounts()
    {
        QFETCH(int, axesIn);
        QFETCH(int, axisCount);
        QFETCH(int, buttonCount);

        CalibrationSet set;
        AxisSettings custom;
        custom.restRaw = 5;
        for (int i = 0; i < axesIn; ++i)
            set.axes.append(custom);
        set.buttons.resize(40);

        const CalibrationSet s = sanitized(set, axisCount, buttonCount);
        QCOMPARE(s.axes.size(), qMax(0, axisCount));
        QCOMPARE(s.buttons.size(), qMax(0, buttonCount));
        for (int i = 0; i < s.axes.size(); ++i)
            QCOMPARE(s.axes.at(i).restRaw, i < axesIn ? 5.0 : 0.0);
    }

    void documentType_data()
    {
        QTest::addColumn<QJsonObject>("document");
        QTest::addColumn<bool>("ok");

        const char* axes = R"("axes": [{"restRaw": 4}])";
        QTest::newRow("correct type")
            << parse(QByteArray(R"({"type": "GamepadCalibration", )") + axes + "}") << true;
        QTest::newRow("type in other case")
            << parse(QByteArray(R"({"type": "gamepadcalibration", )") + axes + "}") << false;
        QTest::newRow("type not a string") << parse(QByteArray(R"({"type": 3, )") + axes + "}") << false;
    }

    void documentType()
    {
        QFETCH(QJsonObject, document);
        QFETCH(bool, ok);

        bool actualOk = !ok;
        QString error;
        const CalibrationSet set = calibrationFromJson(document, &actualOk, &error, 8, 32);
        QCOMPARE(actualOk, ok);
        QCOMPARE(error, ok ? QString() : QStringLiteral("Unsupported calibration type"));
        QCOMPARE(set.axes.size(), 8);
        QCOMPARE(set.buttons.size(), 32);
        QCOMPARE(set.axes.at(0).restRaw, ok ? 4.0 : 0.0);
    }

    void documentReadsPartialArrays()
    {
        const QJsonObject document = parse(R"({
            "type": "GamepadCalibration", "version": 99,
            "axes": [{"deadzoneRadius": -12}, 7, {"mode": "trigger"}],
            "buttons": {"0": {"debounceMs": 10}},
            "gates": [{"key": "a"}, {"key": "a", "xAxis": 12}, "not an object"]
        })");
        bool ok = false;
        const CalibrationSet set = calibrationFromJson(document, &ok, nullptr, 8, 32);
        QVERIFY(ok);
        QCOMPARE(set.axes.size(), 8);
        QCOMPARE(set.axes.at(0).deadzoneRadius, 12.0);
        QCOMPARE(set.axes.at(1), AxisSettings());
        QCOMPARE(set.axes.at(2).mode, AxisMode::Trigger);
        for (int i = 3; i < 8; ++i)
            QCOMPARE(set.axes.at(i), AxisSettings());
        QCOMPARE(set.buttons, QList<ButtonSettings>(32));
        QCOMPARE(set.gates.size(), 3);
        QCOMPARE(set.gates.at(1).key, "gate_0");
        QCOMPARE(set.gates.at(1).xAxis, 7);
        QCOMPARE(set.gates.at(2), defaultGate(2));
    }

    void documentAlwaysWritesFullSet_data()
    {
        QTest::addColumn<int>("axes");
        QTest::addColumn<int>("buttons");

        QTest::newRow("partial set") << 3 << 5;
        QTest::newRow("oversized set") << 11 << 40;
    }

    void documentAlwaysWritesFullSet()
    {
        QFETCH(int, axes);
        QFETCH(int, buttons);

        CalibrationSet set = defaultCalibration(axes, buttons);
        for (AxisSettings& axis : set.axes)
            axis.mode = AxisMode::Trigger;
        for (ButtonSettings& button : set.buttons)
            button.debounceMs = 25;
        set.gates.append(defaultGate(0));

        const QJsonObject document = calibrationToJson(set, DeviceIdentity(), QString());
        QCOMPARE(document.value("type").toString(), "GamepadCalibration");
        QCOMPARE(document.value("version").toInt(), 3);
        const QJsonArray axisArray = document.value("axes").toArray();
        const QJsonArray buttonArray = document.value("buttons").toArray();
        const QJsonArray gateArray = document.value("gates").toArray();
        QCOMPARE(axisArray.size(), 8);
        QCOMPARE(buttonArray.size(), 32);
        QCOMPARE(gateArray.size(), 1);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(axisArray.at(i).toObject().size(), 12);
            QCOMPARE(axisArray.at(i).toObject().value("mode").toString(),
                     QLatin1String(i < axes ? "trigger" : "bidirectional"));
        }
        for (int i = 0; i < 32; ++i) {
            QCOMPARE(buttonArray.at(i).toObject().size(), 8);
            QCOMPARE(buttonArray.at(i).toObject().value("debounceMs").toInt(), i < buttons ? 25 : 0);
        }
        QCOMPARE(gateArray.at(0).toObject().size(), 12);
        for (const char* key : {"deviceName", "vendorId", "productId", "profileId"})
            QVERIFY2(!document.contains(QLatin1String(key)), key);
    }

    // Written, serialised, parsed and read back: the sanitised set comes back unchanged.
    void documentRoundTripThroughText()
    {
        CalibrationSet set = defaultCalibration(8, 32);
        set.axes[1].mode = AxisMode::Trigger;
        set.axes[1].restRaw = -100;
        set.axes[1].activeRaw = 98.5;
        set.axes[3].curvePreset = CurvePreset::Custom;
        set.axes[3].gamma = 2.25;
        set.axes[3].outputScale = -3; // comes back as 3
        set.axes[7].enabled = false;
        set.axes[7].invert = true;
        set.buttons[31].emitOnRelease = true;
        set.buttons[31].repeatOnRelease = true;
        set.buttons[31].repeatIntervalMs = 0; // comes back as 10
        GateSettings gate = defaultGate(0);
        gate.key = QStringLiteral("aim");
        gate.source2dKey = QStringLiteral("leftStick");
        gate.xAxis = 2;
        gate.yAxis = 3;
        gate.centerX = 12.5;
        gate.emitOnExit = false;
        gate.invertOutput = true;
        set.gates = {gate, defaultGate(1), gate};

        const QByteArray text =
            QJsonDocument(calibrationToJson(set, {"Pad", 0x45e, 0x28e}, "p")).toJson(QJsonDocument::Indented);
        QVERIFY(text.contains("\"debounceMs\": 0"));
        bool ok = false;
        const CalibrationSet back =
            calibrationFromJson(QJsonDocument::fromJson(text).object(), &ok, nullptr, 8, 32);
        QVERIFY(ok);
        QCOMPARE(back, sanitized(set, 8, 32));
        QCOMPARE(back.axes.at(3).outputScale, 3.0);
        QCOMPARE(back.buttons.at(31).repeatIntervalMs, 10);
        QCOMPARE(back.gates.at(2).key, "gate_0");
    }

    void identityMembers_data()
    {
        QTest::addColumn<DeviceIdentity>("identity");
        QTest::addColumn<QString>("profileId");
        QTest::addColumn<QJsonObject>("expected"); // the informative members, nothing more

        QTest::newRow("ids longer than four digits stay whole")
            << DeviceIdentity{QString(), 0x12345, 0xFFFFFFFF} << QString()
            << parse(R"({"vendorId": "0x12345", "productId": "0xffffffff"})");
        QTest::newRow("name and profile are trimmed")
            << DeviceIdentity{"  Pad Pro ", 0, 0} << QStringLiteral(" 1234 ")
            << parse(R"({"deviceName": "Pad Pro", "profileId": "1234"})");
        QTest::newRow("blank name and profile are left out")
            << DeviceIdentity{"   ", 0, 0} << QStringLiteral("  ") << QJsonObject();
    }

    void identityMembers()
    {
        QFETCH(DeviceIdentity, identity);
        QFETCH(QString, profileId);
        QFETCH(QJsonObject, expected);

        QJsonObject document = calibrationToJson(CalibrationSet(), identity, profileId);
        for (const char* key : {"type", "version", "axes", "buttons", "gates"})
            document.remove(QLatin1String(key));
        QCOMPARE(document, expected);
    }
};

QTEST_GUILESS_MAIN(tst_CalibrationSettings)
#include "tst_calibrationsettings.moc"

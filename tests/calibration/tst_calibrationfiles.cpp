// Base and override calibration files: names, search order, loading, saving and resolution.
#include "calibrationfiles.h"
#include "support/testsupport.h"

#include <memory>

using namespace GamepadCalibration;
using TestSupport::writeFile;

namespace {
enum FileState
{
    Missing,
    Valid,
    Broken,
    WrongType
};
} // namespace

class tst_CalibrationFiles : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_data = std::make_unique<TestSupport::DataRoot>(); }
    void sanitizedDeviceName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sanitized");
        auto row = [](const char* name, const QString& in, const QString& out) {
            QTest::newRow(name) << in << out;
        };
        row("spaces are trimmed and two colons become one underscore", "  Pad::Pro  ", "pad_pro");
        row("inner runs collapse, edges stay", "Pad Pro (USB)", "pad_pro_usb_");
        row("only punctuation gives one underscore", "!!!", "_");
        row("a blank name is unknown", " \t ", "unknown");
        row("digits and accented letters stay", "Manette ÉTÉ 360", "manette_été_360");
        row("100 letters keep the first 64", QString(60, 'a') + QString(40, 'b'), QString(60, 'a') + "bbbb");
    }

    void sanitizedDeviceName()
    {
        QFETCH(QString, name);
        QTEST(GamepadCalibration::sanitizedDeviceName(name), "sanitized");
    }

    void baseCalibrationFileName()
    {
        QCOMPARE(GamepadCalibration::baseCalibrationFileName({" Pad::Pro ", 0, 0}), "0000_0000_pad_pro.json");
        QCOMPARE(GamepadCalibration::baseCalibrationFileName({"X", 0x45E, 0xABCD}), "045e_abcd_x.json");
        QCOMPARE(GamepadCalibration::baseCalibrationFileName({"", 0x12345, 1}), "12345_0001_unknown.json");
        QStringList labels;
        for (int source : {0, 1, 2, 7})
            labels << calibrationSourceLabel(CalibrationSource(source));
        QCOMPARE(labels, (QStringList{"Defaults", "Base device", "Profile override", "Defaults"}));
    }

    void findBaseFileFollowsSearchOrder()
    {
        // The file found, relative to the data root.
        const auto found = [this](const DeviceIdentity& pad) {
            return QDir(data()).relativeFilePath(findBaseCalibrationFile(pad)).section('/', 0, -3);
        };
        const DeviceIdentity pad{"Pad", 0x45e, 0x28e};
        const QString name = "/_deviceCalibration/045e_028e_pad.json";
        QCOMPARE(findBaseCalibrationFile(pad), QString());
        writeFile(data() + "/Gamepads" + name, document(1));
        QCOMPARE(found(pad), "Gamepads");
        writeFile(data() + "/GamepadProfiles" + name, document(2));
        QCOMPARE(found(pad), "GamepadProfiles");
        // A folder under the file's name in an earlier root is no file: the search goes on.
        QVERIFY(QDir().mkpath(data() + "/alice/GamepadProfiles" + name));
        QCOMPARE(found(pad), "GamepadProfiles");
        QVERIFY(QDir(data() + "/alice/GamepadProfiles" + name).removeRecursively());
        writeFile(data() + "/alice/GamepadProfiles" + name, document(3));
        QCOMPARE(found(pad), "alice/GamepadProfiles");

        // A blank identity has no base file, even when one with its name exists; one id is enough.
        writeFile(data() + "/GamepadProfiles/_deviceCalibration/0000_0000_unknown.json", document(4));
        QCOMPARE(findBaseCalibrationFile({"  ", 0, 0}), QString());
        writeFile(data() + "/Gamepads/_deviceCalibration/0000_0001_unknown.json", document(5));
        QCOMPARE(found({"", 0, 1}), "Gamepads");
    }

    void baseSavePath_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<bool>("canEdit");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("relative"); // empty for no path
        auto row = [](const char* name, const char* login, bool canEdit, const char* pad, const char* path) {
            QTest::newRow(name) << QString(login) << canEdit << QString(pad) << QString(path);
        };
        row("a user writes to the own root", "alice", false, "Pad",
            "alice/GamepadProfiles/_deviceCalibration/0001_0002_pad.json");
        row("no login and no edit right give no path", "", false, "Pad", "");
        row("a blank identity gives no path", "alice", true, "", "");
    }

    void baseSavePath()
    {
        QFETCH(QString, login);
        QFETCH(bool, canEdit);
        QFETCH(QString, name);
        QFETCH(QString, relative);
        TestSupport::DataRoot::setLogin(login, canEdit);
        const DeviceIdentity identity{name, name.isEmpty() ? 0u : 1u, name.isEmpty() ? 0u : 2u};
        QCOMPARE(baseCalibrationSavePath(identity), relative.isEmpty() ? QString() : data() + "/" + relative);
    }

    void overridePath_data()
    {
        QTest::addColumn<QUuid>("id");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("path");
        auto row = [](const char* name, bool withId, const char* folder, const char* file, const char* path) {
            QTest::newRow(name) << (withId ? QUuid::createUuid() : QUuid()) << QString(folder)
                                << QString(file) << QString(path);
        };
        row("the default file name", true, "/p/def", "", "/p/def/calibration.override.json");
        row("an own file name trimmed", true, "/p/def", " mine.json ", "/p/def/mine.json");
        row("an absolute file name kept", true, "/p/def", "/elsewhere/c.json", "/elsewhere/c.json");
        row("a null profile id has none", false, "/p/def", "", "");
        row("a blank folder has none", true, "  ", "", "");
    }

    void overridePath()
    {
        QFETCH(QUuid, id);
        QFETCH(QString, folder);
        QFETCH(QString, file);
        ProfileCalibrationContext context;
        context.profileId = id;
        context.profileFolder = folder;
        context.calibrationOverrideFile = file;
        QTEST(overrideCalibrationPath(context), "path");
    }

    void loadFailures_data()
    {
        QTest::addColumn<QByteArray>("content"); // null for no file
        QTest::addColumn<QString>("error");      // "untouched" when no text is set; "*" for the parser's text

        auto row = [](const char* name, const QByteArray& content, const char* error) {
            QTest::newRow(name) << content << QString(error);
        };
        row("a missing file sets no text", QByteArray(), "untouched");
        row("a folder in the file's place sets no text", "dir", "untouched");
        row("an empty file", "", "*");
        row("binary garbage", QByteArray("\x00\x9f\x92\x96", 4), "*");
        row("a truncated document", document(20).left(30), "*");
        row("valid JSON of the wrong shape is told in French", "[1, 2, 3]",
            "Le fichier ne contient pas d’objet JSON.");
        row("a type in other case", R"({"type":"gamepadcalibration","axes":[]})",
            "Unsupported calibration type");
        row("a type that is no text", R"({"type":3})", "Unsupported calibration type");
    }

    void loadFailures()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        const QString path = data() + "/c.json";
        if (content == "dir")
            QVERIFY(QDir().mkpath(path));
        else if (!content.isNull())
            writeFile(path, content);

        CalibrationSet set;
        set.axes.resize(2);
        QString text = "untouched";
        QVERIFY(!loadCalibrationFile(path, &set, &text, 4, 2));
        QCOMPARE(set, defaultCalibration(4, 2));
        if (error == "*")
            QVERIFY2(!text.isEmpty() && text != "untouched" && !text.contains("JSON object"),
                     qPrintable(text));
        else
            QCOMPARE(text, error);
        QVERIFY(!loadCalibrationFile(path, nullptr)); // optional targets
    }

    void saveAndLoadRoundTrip()
    {
        CalibrationSet set = defaultCalibration();
        set.axes[2].deadzoneRadius = 150; // saved sanitised
        set.buttons[5].debounceMs = 40;
        set.gates.append(defaultGate(0));
        const QString path = data() + "/deep/er/base.json";
        QString error;
        QVERIFY2(saveCalibrationFile(path, set, {" Pad ", 0x45e, 0}, " 1234 ", &error), qPrintable(error));

        const QByteArray bytes = TestSupport::readFile(path);
        QVERIFY(bytes.contains("\n    ")); // indented
        // The identity reaches the document (its members are checked with the document writer).
        QCOMPARE(QJsonDocument::fromJson(bytes).object().value("vendorId").toString(), "0x045e");

        CalibrationSet loaded;
        QVERIFY(loadCalibrationFile(path, &loaded, &error));
        QCOMPARE(loaded, sanitized(set));
        QCOMPARE(loaded.axes[2].deadzoneRadius, 99.0);

        // Overwriting a longer file leaves no trailing bytes.
        writeFile(path, QByteArray(100000, ' '));
        QVERIFY(saveCalibrationFile(path, defaultCalibration(), {}, QString(), &error));
        QVERIFY(loadCalibrationFile(path, &loaded, &error));
        QCOMPARE(loaded, defaultCalibration());

        // Read-only folders, a file where the folder should be and a full disk: with the file faults.
        QVERIFY(!saveCalibrationFile("  ", defaultCalibration(), {}, QString(), &error));
        QCOMPARE(error, "Empty path");
    }

    void resolve_data()
    {
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("overrides");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("withId");
        QTest::addColumn<CalibrationSource>("source");

        using S = CalibrationSource;
        auto row = [](const char* name, int base, int overrides, const char* mode, bool withId, S source) {
            QTest::newRow(name) << base << overrides << QString(mode) << withId << source;
        };
        row("nothing on disk gives defaults", Missing, Missing, "override", true, S::Defaults);
        row("a base file", Valid, Missing, "inherit", true, S::BaseDevice);
        row("a broken base file is skipped", Broken, Missing, "inherit", true, S::Defaults);
        row("an override in any case, trimmed", Valid, Valid, " OverRide ", true, S::ProfileOverride);
        row("an override without base", Missing, Valid, "OVERRIDE", true, S::ProfileOverride);
        row("inherit ignores an existing override", Valid, Valid, "inherit", true, S::BaseDevice);
        row("an override of the wrong type falls back to base", Valid, WrongType, "override", true,
            S::BaseDevice);
        row("an override of the wrong type falls back to defaults", Missing, WrongType, "override", true,
            S::Defaults);
        row("a null profile id uses base only", Valid, Valid, "override", false, S::BaseDevice);
    }

    void resolve()
    {
        QFETCH(int, base);
        QFETCH(int, overrides);
        QFETCH(QString, mode);
        QFETCH(bool, withId);
        QFETCH(CalibrationSource, source);
        const QString basePath = data() + "/GamepadProfiles/_deviceCalibration/0001_0002_pad.json";
        if (base != Missing)
            writeFile(basePath, base == Valid ? document(20) : document(20).left(20));
        ProfileCalibrationContext context;
        context.profileId = withId ? QUuid::createUuid() : QUuid();
        context.profileFolder = data() + "/GamepadProfiles/profile";
        context.calibrationMode = mode;
        const QString overridePath = context.profileFolder + "/calibration.override.json";
        if (overrides == Valid)
            writeFile(overridePath, document(150)); // sanitised to 99
        else if (overrides == WrongType)
            writeFile(overridePath, R"({"type":"GamepadDefinderMeta","axes":[{"deadzoneRadius":30}]})");

        const ResolvedCalibration resolved = resolveCalibration({"Pad", 1, 2}, context, 4, 3);
        QCOMPARE(resolved.source, source);
        QCOMPARE(resolved.basePath, base == Missing ? QString() : basePath);
        QCOMPARE(resolved.overridePath, withId ? overridePath : QString());
        QCOMPARE(resolved.calibration.buttons.size(), 3);
        const double deadzone[] = {8.0, 20.0, 99.0}; // Defaults, BaseDevice, ProfileOverride
        const QString sourcePath[] = {QString(), basePath, overridePath};
        QCOMPARE(resolved.calibration.axes.value(0).deadzoneRadius, deadzone[int(source)]);
        QCOMPARE(resolved.sourcePath, sourcePath[int(source)]);
    }

private:
    QString data() const { return m_data->path(); }
    // A valid document whose first axis has the given dead zone, so sources can be told apart.
    static QByteArray document(double deadzone)
    {
        return QJsonDocument(QJsonObject{{"type", "GamepadCalibration"},
                                         {"axes", QJsonArray{QJsonObject{{"deadzoneRadius", deadzone}}}}})
            .toJson();
    }
    std::unique_ptr<TestSupport::DataRoot> m_data;
};

QTEST_GUILESS_MAIN(tst_CalibrationFiles)
#include "tst_calibrationfiles.moc"

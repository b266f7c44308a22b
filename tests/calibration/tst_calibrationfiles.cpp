#include "calibrationfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace GamepadCalibration;

class tst_CalibrationFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sanitizedDeviceName_data();
    void sanitizedDeviceName();
    void baseCalibrationFileName_data();
    void baseCalibrationFileName();
    void sourceLabels();
    void findBaseFileFollowsSearchOrder();
    void baseSavePath_data();
    void baseSavePath();
    void overridePath_data();
    void overridePath();
    void isOverrideMode_data();
    void isOverrideMode();

    void loadFailures_data();
    void loadFailures();
    void saveAndLoadRoundTrip();
    void saveFailures();

    void resolve_data();
    void resolve();

private:
    QString data() const { return ProfileStore::dataRoot(); }
    static void writeFile(const QString& path, const QByteArray& bytes);
    // A valid document whose first axis has the given dead zone, so sources can be told apart.
    static QByteArray document(double deadzone);
    static void setLogin(const QString& login, bool canEdit);

    std::unique_ptr<QTemporaryDir> m_xdg;
};

void tst_CalibrationFiles::init()
{
    m_xdg = std::make_unique<QTemporaryDir>();
    QVERIFY(m_xdg->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_xdg->path()));
    QVERIFY(data().startsWith(m_xdg->path()));
    setLogin("alice", false);
}

void tst_CalibrationFiles::cleanup()
{
    m_xdg.reset();
}

void tst_CalibrationFiles::setLogin(const QString& login, bool canEdit)
{
    QCoreApplication::instance()->setProperty("hx.currentLogin", login);
    QCoreApplication::instance()->setProperty("hx.canEditSharedGamepads", canEdit);
}

void tst_CalibrationFiles::writeFile(const QString& path, const QByteArray& bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray tst_CalibrationFiles::document(double deadzone)
{
    const QJsonObject doc{{"type", "GamepadCalibration"},
                          {"version", 3},
                          {"axes", QJsonArray{QJsonObject{{"deadzoneRadius", deadzone}}}}};
    return QJsonDocument(doc).toJson();
}

void tst_CalibrationFiles::sanitizedDeviceName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sanitized");

    QTest::newRow("spaces trimmed, colons become one underscore") << "  Pad::Pro  "
                                                                  << "pad_pro";
    QTest::newRow("inner runs collapse, edges stay") << "Pad Pro (USB)"
                                                     << "pad_pro_usb_";
    QTest::newRow("only punctuation gives one underscore") << "!!!"
                                                           << "_";
    QTest::newRow("empty name") << ""
                                << "unknown";
    QTest::newRow("blank name") << " \t "
                                << "unknown";
    QTest::newRow("digits and accented letters stay") << "Manette ÉTÉ 360"
                                                      << "manette_été_360";
    QTest::newRow("100 letters keep the first 64")
        << QString(60, 'a') + QString(40, 'b') << QString(60, 'a') + QString(4, 'b');
}

void tst_CalibrationFiles::sanitizedDeviceName()
{
    QFETCH(QString, name);
    QFETCH(QString, sanitized);
    QCOMPARE(GamepadCalibration::sanitizedDeviceName(name), sanitized);
}

void tst_CalibrationFiles::baseCalibrationFileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<uint>("vendor");
    QTest::addColumn<uint>("product");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("ids padded in lower-case hexadecimal")
        << "Pad Pro (USB)" << 0x1234u << 0xABCDu << "1234_abcd_pad_pro_usb_.json";
    QTest::newRow("zero ids") << " Pad::Pro " << 0u << 0u << "0000_0000_pad_pro.json";
    QTest::newRow("short ids padded") << "X" << 0x45Eu << 0x2Eu << "045e_002e_x.json";
    QTest::newRow("long ids kept whole") << "" << 0x12345u << 1u << "12345_0001_unknown.json";
}

void tst_CalibrationFiles::baseCalibrationFileName()
{
    QFETCH(QString, name);
    QFETCH(uint, vendor);
    QFETCH(uint, product);
    QFETCH(QString, fileName);
    QCOMPARE(GamepadCalibration::baseCalibrationFileName({name, vendor, product}), fileName);
}

void tst_CalibrationFiles::sourceLabels()
{
    QCOMPARE(calibrationSourceLabel(CalibrationSource::Defaults), QString("Defaults"));
    QCOMPARE(calibrationSourceLabel(CalibrationSource::BaseDevice), QString("Base device"));
    QCOMPARE(calibrationSourceLabel(CalibrationSource::ProfileOverride), QString("Profile override"));
    QCOMPARE(calibrationSourceLabel(CalibrationSource(7)), QString("Defaults"));
}

void tst_CalibrationFiles::findBaseFileFollowsSearchOrder()
{
    const DeviceIdentity pad{"Pad", 0x45e, 0x28e};
    const QString name = "045e_028e_pad.json";
    QCOMPARE(findBaseCalibrationFile(pad), QString());

    const QString old = data() + "/Gamepads/_deviceCalibration/" + name;
    const QString shared = data() + "/GamepadProfiles/_deviceCalibration/" + name;
    const QString user = data() + "/alice/GamepadProfiles/_deviceCalibration/" + name;
    writeFile(old, document(1));
    QCOMPARE(findBaseCalibrationFile(pad), old);
    writeFile(shared, document(2));
    QCOMPARE(findBaseCalibrationFile(pad), shared);
    writeFile(user, document(3));
    QCOMPARE(findBaseCalibrationFile(pad), user);
    setLogin("", false);
    QCOMPARE(findBaseCalibrationFile(pad), shared);

    // A blank identity has no base file, even when one with its name exists.
    writeFile(data() + "/GamepadProfiles/_deviceCalibration/0000_0000_unknown.json", document(4));
    QCOMPARE(findBaseCalibrationFile({"  ", 0, 0}), QString());
    // One non-zero id is enough to name a file.
    writeFile(data() + "/Gamepads/_deviceCalibration/0000_0001_unknown.json", document(5));
    QCOMPARE(findBaseCalibrationFile({"", 0, 1}),
             data() + "/Gamepads/_deviceCalibration/0000_0001_unknown.json");
}

void tst_CalibrationFiles::baseSavePath_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<bool>("canEdit");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("relative"); // empty for no path

    QTest::newRow("shared editor writes to the shared root")
        << "alice" << true << "Pad"
        << "GamepadProfiles/_deviceCalibration/0001_0002_pad.json";
    QTest::newRow("user writes to the own root")
        << "alice" << false << "Pad"
        << "alice/GamepadProfiles/_deviceCalibration/0001_0002_pad.json";
    QTest::newRow("no login and no edit right") << "" << false << "Pad"
                                                << "";
    QTest::newRow("blank identity") << "alice" << true << ""
                                    << "";
}

void tst_CalibrationFiles::baseSavePath()
{
    QFETCH(QString, login);
    QFETCH(bool, canEdit);
    QFETCH(QString, name);
    QFETCH(QString, relative);
    setLogin(login, canEdit);
    const DeviceIdentity identity{name, name.isEmpty() ? 0u : 1u, name.isEmpty() ? 0u : 2u};
    QCOMPARE(baseCalibrationSavePath(identity), relative.isEmpty() ? QString() : data() + "/" + relative);
}

void tst_CalibrationFiles::overridePath_data()
{
    QTest::addColumn<QUuid>("id");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("path");

    const QUuid id = QUuid::createUuid();
    QTest::newRow("default file name") << id << "/p/def"
                                       << ""
                                       << "/p/def/calibration.override.json";
    QTest::newRow("own file name trimmed") << id << "/p/def"
                                           << " mine.json "
                                           << "/p/def/mine.json";
    QTest::newRow("absolute file name kept") << id << "/p/def"
                                             << "/elsewhere/c.json"
                                             << "/elsewhere/c.json";
    QTest::newRow("null profile id") << QUuid() << "/p/def"
                                     << ""
                                     << "";
    QTest::newRow("blank folder") << id << "  "
                                  << ""
                                  << "";
}

void tst_CalibrationFiles::overridePath()
{
    QFETCH(QUuid, id);
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(QString, path);
    ProfileCalibrationContext context;
    context.profileId = id;
    context.profileFolder = folder;
    context.calibrationOverrideFile = file;
    QCOMPARE(overrideCalibrationPath(context), path);
}

void tst_CalibrationFiles::isOverrideMode_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("override");

    QTest::newRow("lower case") << "override" << true;
    QTest::newRow("mixed case with blanks") << " OverRide " << true;
    QTest::newRow("inherit") << "inherit" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("prefix only") << "overrides" << false;
}

void tst_CalibrationFiles::isOverrideMode()
{
    QFETCH(QString, mode);
    QFETCH(bool, override);
    QCOMPARE(GamepadCalibration::isOverrideMode(mode), override);
}

void tst_CalibrationFiles::loadFailures_data()
{
    QTest::addColumn<QByteArray>("content"); // null for no file
    QTest::addColumn<QString>("error");      // "untouched" when no text is set; "*" for any text

    QTest::newRow("missing file") << QByteArray() << "untouched";
    QTest::newRow("empty file") << QByteArray("") << "*";
    QTest::newRow("binary garbage") << QByteArray("\x00\x9f\x92\x96", 4) << "*";
    QTest::newRow("truncated document") << document(20).left(30) << "*";
    QTest::newRow("valid JSON of the wrong shape") << QByteArray("[1, 2, 3]") << "*";
    QTest::newRow("wrong type") << QByteArray(R"({"type":"gamepadcalibration","axes":[]})")
                                << "Unsupported calibration type";
}

void tst_CalibrationFiles::loadFailures()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    const QString path = data() + "/c.json";
    if (!content.isNull())
        writeFile(path, content);

    CalibrationSet set;
    set.axes.resize(2);
    set.axes[0].deadzoneRadius = 42;
    QString text = "untouched";
    QVERIFY(!loadCalibrationFile(path, &set, &text, 4, 2));
    QCOMPARE(set, defaultCalibration(4, 2));
    if (error == "*")
        QVERIFY(!text.isEmpty() && text != "untouched");
    else
        QCOMPARE(text, error);
    QVERIFY(!loadCalibrationFile(path, nullptr)); // optional targets
}

void tst_CalibrationFiles::saveAndLoadRoundTrip()
{
    CalibrationSet set = defaultCalibration();
    set.axes[2].deadzoneRadius = 150; // saved sanitised
    set.buttons[5].debounceMs = 40;
    set.gates.append(defaultGate(0));
    const QString path = data() + "/deep/er/base.json";
    QString error;
    QVERIFY2(saveCalibrationFile(path, set, {" Pad ", 0x45e, 0}, " 1234 ", &error), qPrintable(error));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains("\n    ")); // indented
    const QJsonObject doc = QJsonDocument::fromJson(bytes).object();
    QCOMPARE(doc["deviceName"].toString(), QString("Pad"));
    QCOMPARE(doc["vendorId"].toString(), QString("0x045e"));
    QVERIFY(!doc.contains("productId"));
    QCOMPARE(doc["profileId"].toString(), QString("1234"));

    CalibrationSet loaded;
    QVERIFY(loadCalibrationFile(path, &loaded, &error));
    QCOMPARE(loaded, sanitized(set));
    QCOMPARE(loaded.axes[2].deadzoneRadius, 99.0);

    // Overwriting a longer file leaves no trailing bytes.
    writeFile(path, QByteArray(100000, ' '));
    QVERIFY(saveCalibrationFile(path, defaultCalibration(), {}, QString(), &error));
    QVERIFY(loadCalibrationFile(path, &loaded, &error));
    QCOMPARE(loaded, defaultCalibration());
}

void tst_CalibrationFiles::saveFailures()
{
    QString error;
    QVERIFY(!saveCalibrationFile("  ", defaultCalibration(), {}, QString(), &error));
    QCOMPARE(error, QString("Empty path"));

    // A file where the folder should be.
    writeFile(data() + "/blocker", "x");
    error.clear();
    QVERIFY(!saveCalibrationFile(data() + "/blocker/c.json", defaultCalibration(), {}, QString(), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!saveCalibrationFile(data() + "/blocker/c.json", defaultCalibration(), {}));
}

void tst_CalibrationFiles::resolve_data()
{
    QTest::addColumn<QString>("base");      // "none", "valid" or "broken"
    QTest::addColumn<QString>("overrides"); // "none", "valid" or "wrong type"
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("withId");
    QTest::addColumn<CalibrationSource>("source");

    QTest::newRow("nothing on disk") << "none"
                                     << "none"
                                     << "override" << true << CalibrationSource::Defaults;
    QTest::newRow("base file") << "valid"
                               << "none"
                               << "inherit" << true << CalibrationSource::BaseDevice;
    QTest::newRow("broken base file is skipped") << "broken"
                                                 << "none"
                                                 << "inherit" << true << CalibrationSource::Defaults;
    QTest::newRow("override in any case") << "valid"
                                          << "valid"
                                          << "Override" << true << CalibrationSource::ProfileOverride;
    QTest::newRow("override without base") << "none"
                                           << "valid"
                                           << "OVERRIDE" << true << CalibrationSource::ProfileOverride;
    QTest::newRow("inherit ignores an existing override")
        << "valid"
        << "valid"
        << "inherit" << true << CalibrationSource::BaseDevice;
    QTest::newRow("override of the wrong type falls back to base")
        << "valid"
        << "wrong type"
        << "override" << true << CalibrationSource::BaseDevice;
    QTest::newRow("override of the wrong type falls back to defaults")
        << "none"
        << "wrong type"
        << "override" << true << CalibrationSource::Defaults;
    QTest::newRow("null profile id uses base only") << "valid"
                                                    << "valid"
                                                    << "override" << false << CalibrationSource::BaseDevice;
}

void tst_CalibrationFiles::resolve()
{
    QFETCH(QString, base);
    QFETCH(QString, overrides);
    QFETCH(QString, mode);
    QFETCH(bool, withId);
    QFETCH(CalibrationSource, source);

    const DeviceIdentity pad{"Pad", 1, 2};
    const QString basePath = data() + "/GamepadProfiles/_deviceCalibration/0001_0002_pad.json";
    if (base == "valid")
        writeFile(basePath, document(20));
    else if (base == "broken")
        writeFile(basePath, document(20).left(20));

    ProfileCalibrationContext context;
    context.profileId = withId ? QUuid::createUuid() : QUuid();
    context.profileFolder = data() + "/GamepadProfiles/profile";
    context.calibrationMode = mode;
    const QString overridePath = context.profileFolder + "/calibration.override.json";
    if (overrides == "valid")
        writeFile(overridePath, document(150)); // sanitised to 99
    else if (overrides == "wrong type")
        writeFile(overridePath, R"({"type":"GamepadDefinderMeta","axes":[{"deadzoneRadius":30}]})");

    const ResolvedCalibration resolved = resolveCalibration(pad, context, 4, 3);
    QCOMPARE(resolved.source, source);
    QCOMPARE(resolved.basePath, base == "none" ? QString() : basePath);
    QCOMPARE(resolved.overridePath, withId ? overridePath : QString());
    QCOMPARE(resolved.calibration.axes.size(), 4);
    QCOMPARE(resolved.calibration.buttons.size(), 3);
    switch (source) {
    case CalibrationSource::Defaults:
        QCOMPARE(resolved.sourcePath, QString());
        QCOMPARE(resolved.calibration, defaultCalibration(4, 3));
        break;
    case CalibrationSource::BaseDevice:
        QCOMPARE(resolved.sourcePath, basePath);
        QCOMPARE(resolved.calibration.axes[0].deadzoneRadius, 20.0);
        break;
    case CalibrationSource::ProfileOverride:
        QCOMPARE(resolved.sourcePath, overridePath);
        QCOMPARE(resolved.calibration.axes[0].deadzoneRadius, 99.0);
        break;
    }
}

QTEST_GUILESS_MAIN(tst_CalibrationFiles)
#include "tst_calibrationfiles.moc"

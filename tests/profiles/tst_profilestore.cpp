#include "profilestore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class tst_ProfileStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void roots_data();
    void roots();
    void searchRootsDropCaseInsensitiveDuplicates();
    void scopeOfFolder_data();
    void scopeOfFolder();

    void brokenMetaGivesEmptySummary_data();
    void brokenMetaGivesEmptySummary();
    void summaryMergesDeviceNames();
    void summaryDropsMissingFiles();
    void wronglyTypedMembersTakeDefaults();

    void profilesForDeviceMatchesAndDeduplicates();
    void profilesForDeviceSortsTies();
    void withoutLoginOnlySharedRootsAreSearched();
    void findProfileFolderAndSummaryById();

    void relocateFailures_data();
    void relocateFailures();
    void relocateToSameScopeDoesNotCopy();
    void relocateCopiesIntoTargetScope();
    void relocateKeepsExistingDestination();
    void copyRecursivelyFile();

    void readJsonObjectFile_data();
    void readJsonObjectFile();

private:
    QString data() const { return ProfileStore::dataRoot(); }
    QString sharedRoot() const { return data() + "/GamepadProfiles"; }
    QString userRoot(const QString& login = "alice") const
    {
        return data() + "/" + login + "/GamepadProfiles";
    }
    static void setLogin(const QVariant& login, bool canEdit = false);
    static QString writeDefinition(const QString& root, const QString& name, const QStringList& names,
                                   const QString& id = QUuid::createUuid().toString(QUuid::WithoutBraces),
                                   bool withConfig = true, bool withImage = true);
    static void writeFile(const QString& path, const QByteArray& bytes);

    std::unique_ptr<QTemporaryDir> m_xdg;
};

void tst_ProfileStore::initTestCase()
{
    // Upper case in the data root lets a lower-cased login collide with it ignoring case.
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName("Joy");
}

void tst_ProfileStore::init()
{
    m_xdg = std::make_unique<QTemporaryDir>();
    QVERIFY(m_xdg->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_xdg->path()));
    QCOMPARE(data(), QDir::cleanPath(m_xdg->path() + "/Joy"));
    setLogin("alice");
}

void tst_ProfileStore::cleanup()
{
    m_xdg.reset();
}

void tst_ProfileStore::setLogin(const QVariant& login, bool canEdit)
{
    QCoreApplication::instance()->setProperty("hx.currentLogin", login);
    QCoreApplication::instance()->setProperty("hx.canEditSharedGamepads", canEdit);
}

void tst_ProfileStore::writeFile(const QString& path, const QByteArray& bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString tst_ProfileStore::writeDefinition(const QString& root, const QString& name, const QStringList& names,
                                          const QString& id, bool withConfig, bool withImage)
{
    const QString folder = root + "/" + id;
    QJsonObject meta{{"type", "GamepadDefinderMeta"},
                     {"id", id},
                     {"name", name},
                     {"deviceNames", QJsonArray::fromStringList(names)}};
    writeFile(folder + "/meta.json", QJsonDocument(meta).toJson());
    if (withConfig)
        writeFile(folder + "/configActionGamepad.json", "{}");
    if (withImage)
        writeFile(folder + "/image.png", "png");
    return folder;
}

void tst_ProfileStore::roots_data()
{
    QTest::addColumn<QVariant>("login");
    QTest::addColumn<bool>("canEdit");
    QTest::addColumn<QString>("user");       // relative to the data root, empty for none
    QTest::addColumn<QStringList>("search"); // relative to the data root
    QTest::addColumn<QString>("defaultRoot");

    QTest::newRow("login is trimmed and lower-cased")
        << QVariant(" Alice ") << false << "alice"
        << QStringList{"alice/GamepadProfiles", "GamepadProfiles", "alice/Gamepads", "Gamepads"}
        << "alice/GamepadProfiles";
    QTest::newRow("shared editor defaults to the shared root")
        << QVariant("bob") << true << "bob"
        << QStringList{"bob/GamepadProfiles", "GamepadProfiles", "bob/Gamepads", "Gamepads"}
        << "GamepadProfiles";
    QTest::newRow("no login searches only shared roots")
        << QVariant() << true << "" << QStringList{"GamepadProfiles", "Gamepads"} << "GamepadProfiles";
    QTest::newRow("blank login without edit right has no default root")
        << QVariant("  ") << false << "" << QStringList{"GamepadProfiles", "Gamepads"} << "";
}

void tst_ProfileStore::roots()
{
    QFETCH(QVariant, login);
    QFETCH(bool, canEdit);
    QFETCH(QString, user);
    QFETCH(QStringList, search);
    QFETCH(QString, defaultRoot);
    setLogin(login, canEdit);

    const auto abs = [this](const QString& rel) { return rel.isEmpty() ? QString() : data() + "/" + rel; };
    QCOMPARE(ProfileStore::currentLogin(), user);
    QCOMPARE(ProfileStore::canEditShared(), canEdit);
    QCOMPARE(ProfileStore::userProfilesRoot(), user.isEmpty() ? QString() : abs(user + "/GamepadProfiles"));
    QCOMPARE(ProfileStore::userGamepadsRoot(), user.isEmpty() ? QString() : abs(user + "/Gamepads"));
    QCOMPARE(ProfileStore::sharedProfilesRoot(), abs("GamepadProfiles"));
    QCOMPARE(ProfileStore::sharedGamepadsRoot(), abs("Gamepads"));
    QStringList expected;
    for (const QString& rel : search)
        expected << abs(rel);
    QCOMPARE(ProfileStore::searchRoots(), expected);
    QCOMPARE(ProfileStore::defaultProfilesRoot(), abs(defaultRoot));
    // An explicit login wins over the current one; an empty one gives no root.
    QCOMPARE(ProfileStore::userProfilesRoot(" Carol"), abs("carol/GamepadProfiles"));
    QCOMPARE(ProfileStore::userProfilesRoot(""), QString());
}

void tst_ProfileStore::searchRootsDropCaseInsensitiveDuplicates()
{
    // "../joy" points the user's roots at the data root itself, spelled in lower case.
    setLogin("../Joy");
    const QStringList roots = ProfileStore::searchRoots();
    QCOMPARE(roots, (QStringList{QDir::cleanPath(data() + "/../joy/GamepadProfiles"),
                                 QDir::cleanPath(data() + "/../joy/Gamepads")}));
}

void tst_ProfileStore::scopeOfFolder_data()
{
    QTest::addColumn<QVariant>("login");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<ProfileScope>("scope");

    QTest::newRow("user profiles folder")
        << QVariant("alice") << "alice/GamepadProfiles/x" << ProfileScope::User;
    QTest::newRow("user gamepads folder") << QVariant("alice") << "alice/Gamepads/x" << ProfileScope::User;
    QTest::newRow("user folder in other case")
        << QVariant("alice") << "ALICE/gamepadprofiles/x" << ProfileScope::User;
    QTest::newRow("uncleaned path") << QVariant("alice") << "GamepadProfiles/../alice/GamepadProfiles/x"
                                    << ProfileScope::User;
    QTest::newRow("shared folder") << QVariant("alice") << "GamepadProfiles/x" << ProfileScope::Shared;
    QTest::newRow("another user's folder")
        << QVariant("alice") << "bob/GamepadProfiles/x" << ProfileScope::Shared;
    QTest::newRow("no login") << QVariant("") << "alice/GamepadProfiles/x" << ProfileScope::Shared;
}

void tst_ProfileStore::scopeOfFolder()
{
    QFETCH(QVariant, login);
    QFETCH(QString, relative);
    QFETCH(ProfileScope, scope);
    setLogin(login);
    QCOMPARE(ProfileStore::scopeOfFolder(data() + "/" + relative), scope);
}

void tst_ProfileStore::brokenMetaGivesEmptySummary_data()
{
    QTest::addColumn<QByteArray>("meta"); // empty for no file

    QTest::newRow("missing meta.json") << QByteArray();
    QTest::newRow("empty file") << QByteArray("");
    QTest::newRow("binary garbage") << QByteArray("\x00\xff\xfe\x01garbage", 11);
    QTest::newRow("truncated object") << QByteArray(R"({"type":"GamepadDefinderMeta","id":)");
    QTest::newRow("array instead of object") << QByteArray(R"([{"type":"GamepadDefinderMeta"}])");
    QTest::newRow("another type") << QByteArray(R"({"type":"GamepadCalibration","name":"x"})");
    QTest::newRow("type in other case") << QByteArray(R"({"type":"gamepaddefindermeta","name":"x"})");
    QTest::newRow("type not a string") << QByteArray(R"({"type":4,"name":"x"})");
}

void tst_ProfileStore::brokenMetaGivesEmptySummary()
{
    QFETCH(QByteArray, meta);
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString folder = writeDefinition(sharedRoot(), "Pad", {"Pad"}, id);
    QFile::remove(folder + "/meta.json");
    if (!meta.isNull())
        writeFile(folder + "/meta.json", meta);

    const ProfileSummary summary = ProfileStore::readSummary(folder);
    QVERIFY(summary.id.isNull());
    QVERIFY(summary.name.isEmpty());
    QVERIFY(summary.folder.isEmpty());
    QVERIFY(summary.configPath.isEmpty());
    QVERIFY(summary.deviceNames.isEmpty());
    QCOMPARE(summary.scope, ProfileScope::Shared);
    QVERIFY(ProfileStore::profilesForDevice("Pad").isEmpty());
    // The folder still exists, so it is found, but its summary stays empty.
    QVERIFY(ProfileStore::findProfileFolder(QUuid::fromString(id)).valid);
    QVERIFY(ProfileStore::summaryById(QUuid::fromString(id)).id.isNull());
}

void tst_ProfileStore::summaryMergesDeviceNames()
{
    const QString folder = writeDefinition(userRoot(), "  My pad ", {"A", "a", "  ", " C "});
    QJsonObject meta = QJsonDocument::fromJson([&] {
                           QFile f(folder + "/meta.json");
                           return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                       }())
                           .object();
    meta["deviceName"] = " B ";
    writeFile(folder + "/meta.json", QJsonDocument(meta).toJson());

    const ProfileSummary summary = ProfileStore::readSummary(folder + "/");
    QCOMPARE(summary.deviceNames, (QStringList{"B", "A", "C"}));
    QCOMPARE(summary.deviceName, QString("B"));
    QCOMPARE(summary.name, QString("My pad"));
    QCOMPARE(summary.folder, folder);
    QCOMPARE(summary.scope, ProfileScope::User);
    QCOMPARE(summary.configPath, folder + "/configActionGamepad.json");
    QCOMPARE(summary.imagePath, folder + "/image.png");

    // "deviceName" already present ignoring case is not inserted again.
    meta["deviceName"] = "c";
    writeFile(folder + "/meta.json", QJsonDocument(meta).toJson());
    QCOMPARE(ProfileStore::readSummary(folder).deviceNames, (QStringList{"A", "C"}));
    QCOMPARE(ProfileStore::readSummary(folder).deviceName, QString("A"));
}

void tst_ProfileStore::summaryDropsMissingFiles()
{
    const QString noImage = writeDefinition(sharedRoot(), "No image", {"Pad"},
                                            QUuid::createUuid().toString(QUuid::WithoutBraces), true, false);
    const QString noConfig = writeDefinition(sharedRoot(), "No config", {"Pad"},
                                             QUuid::createUuid().toString(QUuid::WithoutBraces), false, true);

    const ProfileSummary a = ProfileStore::readSummary(noImage);
    QVERIFY(a.imagePath.isEmpty());
    QVERIFY(!a.configPath.isEmpty());
    const ProfileSummary b = ProfileStore::readSummary(noConfig);
    QVERIFY(b.configPath.isEmpty());
    QCOMPARE(b.imagePath, noConfig + "/image.png");

    const QList<ProfileSummary> offered = ProfileStore::profilesForDevice("Pad");
    QCOMPARE(offered.size(), 1);
    QCOMPARE(offered.first().name, QString("No image"));

    // Named files: meta "config" and "image", trimmed; the mapping file named there must exist.
    QJsonObject meta{{"type", "GamepadDefinderMeta"},
                     {"id", QFileInfo(noConfig).fileName()},
                     {"config", " custom.json "},
                     {"image", " pic.jpg "}};
    writeFile(noConfig + "/meta.json", QJsonDocument(meta).toJson());
    QCOMPARE(ProfileStore::configPath(noConfig), noConfig + "/custom.json");
    QVERIFY(ProfileStore::readSummary(noConfig).configPath.isEmpty());
    writeFile(noConfig + "/custom.json", "{}");
    writeFile(noConfig + "/pic.jpg", "jpg");
    QCOMPARE(ProfileStore::readSummary(noConfig).configPath, noConfig + "/custom.json");
    QCOMPARE(ProfileStore::readSummary(noConfig).imagePath, noConfig + "/pic.jpg");
    QCOMPARE(ProfileStore::configPath(QString()), QString());
    QCOMPARE(ProfileStore::configPath(data() + "/nowhere"), data() + "/nowhere/configActionGamepad.json");
}

void tst_ProfileStore::wronglyTypedMembersTakeDefaults()
{
    const QString folder = sharedRoot() + "/odd";
    writeFile(folder + "/meta.json",
              R"({"type":"GamepadDefinderMeta","id":12,"name":["x"],"deviceNames":"Pad",)"
              R"("deviceName":7,"config":false,"image":{}})");
    writeFile(folder + "/configActionGamepad.json", "{}");
    const ProfileSummary summary = ProfileStore::readSummary(folder);
    QVERIFY(summary.id.isNull());
    QVERIFY(summary.name.isEmpty());
    QVERIFY(summary.deviceNames.isEmpty());
    QCOMPARE(summary.folder, folder);
    QCOMPARE(summary.configPath, folder + "/configActionGamepad.json");
    QVERIFY(summary.imagePath.isEmpty());
}

void tst_ProfileStore::profilesForDeviceMatchesAndDeduplicates()
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    writeDefinition(sharedRoot(), "Shared copy", {"Xbox Pad"}, id);
    const QString userCopy = writeDefinition(userRoot(), "User copy", {"xbox pad"}, id);
    writeDefinition(data() + "/Gamepads", "Old area", {"XBOX PAD"});
    writeDefinition(sharedRoot(), "Other pad", {"Other"});
    writeDefinition(data() + "/bob/GamepadProfiles", "Bob's", {"Xbox Pad"});
    writeFile(sharedRoot() + "/stray.json", "{}"); // files beside definitions are ignored

    const QList<ProfileSummary> list = ProfileStore::profilesForDevice("  Xbox Pad ");
    QCOMPARE(list.size(), 2);
    QCOMPARE(list.at(0).name, QString("Old area"));
    QCOMPARE(list.at(0).scope, ProfileScope::Shared);
    QCOMPARE(list.at(1).name, QString("User copy"));
    QCOMPARE(list.at(1).folder, userCopy);
    QCOMPARE(list.at(1).scope, ProfileScope::User);
    QVERIFY(ProfileStore::profilesForDevice("  ").isEmpty());
    QVERIFY(ProfileStore::profilesForDevice("Xbox").isEmpty());
}

void tst_ProfileStore::profilesForDeviceSortsTies()
{
    const QString low = "00000000-0000-4000-8000-000000000001";
    const QString high = "ffffffff-0000-4000-8000-000000000001";
    writeDefinition(sharedRoot(), "pad", {"Pad"}, high);
    writeDefinition(sharedRoot(), "PAD", {"Pad"}, low);
    writeDefinition(userRoot(), "Pad", {"Pad"}, "88888888-0000-4000-8000-000000000001");
    writeDefinition(sharedRoot(), "Alpha", {"Pad"});

    const QList<ProfileSummary> list = ProfileStore::profilesForDevice("pad");
    QCOMPARE(list.size(), 4);
    QCOMPARE(list.at(0).name, QString("Alpha"));
    QCOMPARE(list.at(1).scope, ProfileScope::User);
    QCOMPARE(list.at(2).id, QUuid::fromString(low));
    QCOMPARE(list.at(3).id, QUuid::fromString(high));
}

void tst_ProfileStore::withoutLoginOnlySharedRootsAreSearched()
{
    writeDefinition(userRoot(), "Alice's", {"Pad"});
    writeDefinition(data() + "/Gamepads", "Old shared", {"Pad"});
    setLogin(QVariant());
    const QList<ProfileSummary> list = ProfileStore::profilesForDevice("Pad");
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.first().name, QString("Old shared"));
    QCOMPARE(list.first().scope, ProfileScope::Shared);
}

void tst_ProfileStore::findProfileFolderAndSummaryById()
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    writeDefinition(data() + "/Gamepads", "Old", {"Pad"}, id);
    const QString user = writeDefinition(data() + "/alice/Gamepads", "User old", {"Pad"}, id);

    QVERIFY(!ProfileStore::findProfileFolder(QUuid()).valid);
    const ProfileRef missing = ProfileStore::findProfileFolder(QUuid::createUuid());
    QVERIFY(!missing.valid);
    QCOMPARE(missing.scope, ProfileScope::Shared);
    QVERIFY(ProfileStore::summaryById(QUuid()).id.isNull());

    const ProfileRef ref = ProfileStore::findProfileFolder(QUuid::fromString(id));
    QVERIFY(ref.valid);
    QCOMPARE(ref.folder, user);
    QCOMPARE(ref.scope, ProfileScope::User);
    QCOMPARE(ProfileStore::summaryById(QUuid::fromString(id)).name, QString("User old"));

    // A file named by the id is no definition folder.
    const QUuid fileId = QUuid::createUuid();
    writeFile(sharedRoot() + "/" + fileId.toString(QUuid::WithoutBraces), "x");
    QVERIFY(!ProfileStore::findProfileFolder(fileId).valid);
}

void tst_ProfileStore::relocateFailures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("error");

    QTest::newRow("invalid ref") << "invalid" << 1 << "Profil introuvable.";
    QTest::newRow("blank folder") << "blank" << 1 << "Profil introuvable.";
    QTest::newRow("no login for user scope")
        << "nologin" << 0 << "Aucun dossier de configuration disponible pour cet utilisateur.";
    QTest::newRow("file where the target root should be")
        << "rootfile" << 1 << "Impossible de preparer le dossier %1";
    QTest::newRow("root folder has no name") << "slash" << 1 << "Identifiant de profil invalide.";
    QTest::newRow("destination path too long") << "toolong" << 0 << "Impossible de copier le profil vers %1";
}

void tst_ProfileStore::relocateFailures()
{
    QFETCH(QString, setup);
    QFETCH(int, target);
    QFETCH(QString, error);

    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    ProfileRef ref{writeDefinition(sharedRoot(), "Pad", {"Pad"}, id), ProfileScope::Shared, true};
    QString arg;
    if (setup == "invalid") {
        ref.valid = false;
    } else if (setup == "blank") {
        ref.folder = "  ";
    } else if (setup == "nologin") {
        setLogin("");
    } else if (setup == "rootfile") {
        QVERIFY(QDir(sharedRoot()).removeRecursively());
        writeFile(sharedRoot(), "not a folder");
        arg = sharedRoot();
    } else if (setup == "slash") {
        ref.folder = "/";
    } else if (setup == "toolong") {
        // The source path fits the system limit; the same tree below the deeper user root does not.
        const QString login = QString(200, 'u') + "/" + QString(200, 'v');
        setLogin(login);
        QString deep = ref.folder;
        const QString part(200, 'd');
        while (deep.size() + part.size() + 1 < 3900)
            deep += "/" + part;
        QVERIFY(QDir().mkpath(deep));
        writeFile(deep + "/leaf.json", "{}");
        arg = userRoot(login) + "/" + id;
    }
    const ProfileRef before = ref;
    QString message;
    QVERIFY(!ProfileStore::relocateProfile(ref, ProfileScope(target), &message));
    QCOMPARE(message, arg.isEmpty() ? error : error.arg(arg));
    QCOMPARE(ref.folder, before.folder);
    QCOMPARE(ref.valid, before.valid);
    QVERIFY(!ProfileStore::relocateProfile(ref, ProfileScope(target))); // no error target: no crash
    if (setup == "toolong")
        QVERIFY(!QFileInfo::exists(arg)); // no half copy left behind
}

void tst_ProfileStore::relocateToSameScopeDoesNotCopy()
{
    const QString folder = writeDefinition(sharedRoot(), "Pad", {"Pad"});
    ProfileRef ref = ProfileStore::findProfileFolder(QUuid::fromString(QFileInfo(folder).fileName()));
    QString error;
    QVERIFY(ProfileStore::relocateProfile(ref, ProfileScope::Shared, &error));
    QVERIFY(error.isEmpty());
    QCOMPARE(ref.folder, folder);
    QCOMPARE(ref.scope, ProfileScope::Shared);
    QVERIFY(ref.valid);
    QVERIFY(!QFileInfo::exists(userRoot()));
}

void tst_ProfileStore::relocateCopiesIntoTargetScope()
{
    const QString folder = writeDefinition(sharedRoot(), "Pad", {"Pad"});
    writeFile(folder + "/sub/deeper/data.bin", QByteArray("\x01\x02\x00\x03", 4));
    writeFile(folder + "/.hidden", "skip me");
    ProfileRef ref{folder, ProfileScope::Shared, true};

    QVERIFY(ProfileStore::relocateProfile(ref, ProfileScope::User));
    const QString destination = userRoot() + "/" + QFileInfo(folder).fileName();
    QCOMPARE(ref.folder, destination);
    QCOMPARE(ref.scope, ProfileScope::User);
    QVERIFY(ref.valid);
    QFile copied(destination + "/sub/deeper/data.bin");
    QVERIFY(copied.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), QByteArray("\x01\x02\x00\x03", 4));
    QVERIFY(QFileInfo::exists(destination + "/meta.json"));
    QVERIFY(!QFileInfo::exists(destination + "/.hidden"));
    QVERIFY(QFileInfo::exists(folder + "/meta.json")); // the source stays
    QCOMPARE(ProfileStore::profilesForDevice("Pad").first().folder, destination);
}

void tst_ProfileStore::relocateKeepsExistingDestination()
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString shared = writeDefinition(sharedRoot(), "Shared", {"Pad"}, id);
    writeFile(shared + "/extra.txt", "new");
    const QString user = writeDefinition(userRoot(), "Mine", {"Pad"}, id);
    ProfileRef ref{shared, ProfileScope::Shared, true};
    QVERIFY(ProfileStore::relocateProfile(ref, ProfileScope::User));
    QCOMPARE(ref.folder, user);
    QVERIFY(!QFileInfo::exists(user + "/extra.txt"));
    QCOMPARE(ProfileStore::readSummary(user).name, QString("Mine"));
}

void tst_ProfileStore::copyRecursivelyFile()
{
    QVERIFY(ProfileStore::copyRecursively(data() + "/missing", data() + "/never"));
    QVERIFY(!QFileInfo::exists(data() + "/never"));
    writeFile(data() + "/a.txt", "fresh");
    writeFile(data() + "/out/b.txt", "stale");
    QVERIFY(ProfileStore::copyRecursively(data() + "/a.txt", data() + "/out/b.txt"));
    QVERIFY(ProfileStore::copyRecursively(data() + "/a.txt", data() + "/new/dir/c.txt"));
    for (const char* name : {"/out/b.txt", "/new/dir/c.txt"}) {
        QFile file(data() + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("fresh"));
    }
    // A file where the destination folder should be.
    writeFile(data() + "/blocked", "x");
    writeFile(data() + "/tree/f.txt", "x");
    QVERIFY(!ProfileStore::copyRecursively(data() + "/tree", data() + "/blocked/tree"));
}

void tst_ProfileStore::readJsonObjectFile_data()
{
    QTest::addColumn<QByteArray>("content"); // null for no file
    QTest::addColumn<bool>("ok");

    QTest::newRow("object") << QByteArray(R"({"a":1})") << true;
    QTest::newRow("missing file") << QByteArray() << false;
    QTest::newRow("empty file") << QByteArray("") << false;
    QTest::newRow("array") << QByteArray("[1,2]") << false;
    QTest::newRow("trailing comma in object") << QByteArray(R"({"a":1,})") << false;
    QTest::newRow("binary garbage") << QByteArray("\x89PNG\r\n\x1a\n\x00", 9) << false;
}

void tst_ProfileStore::readJsonObjectFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, ok);
    const QString path = data() + "/file.json";
    if (!content.isNull())
        writeFile(path, content);
    QJsonObject object{{"kept", true}};
    QCOMPARE(ProfileStore::readJsonObjectFile(path, &object), ok);
    const QJsonObject expected = ok ? QJsonObject{{"a", 1}} : QJsonObject{{"kept", true}};
    QCOMPARE(object, expected);
}

QTEST_GUILESS_MAIN(tst_ProfileStore)
#include "tst_profilestore.moc"

// The profile store over a private data root: roots per login, the search by device name, look-up
// by id and relocation between scopes (summaries of single folders: fuzz/expected/definitionfolder).
#include "folderfiles.h"
#include "profilestore.h"
#include "support/testsupport.h"

#include <fcntl.h>
#include <sys/stat.h>

using namespace TestSupport;

class tst_ProfileStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Upper case in the data root lets a lower-cased login collide with it ignoring case.
        QCoreApplication::setOrganizationName(QString());
        QCoreApplication::setApplicationName("Joy");
    }

    void init()
    {
        m_data = std::make_unique<DataRoot>();
        QVERIFY(data().endsWith("/Joy"));
    }

    void roots_data()
    {
        QTest::addColumn<QVariant>("login");
        QTest::addColumn<bool>("canEdit");
        QTest::addColumn<QString>("user");       // relative to the data root, empty for none
        QTest::addColumn<QStringList>("search"); // relative to the data root
        QTest::addColumn<QString>("defaultRoot");
        auto row = [](const char* name, const QVariant& login, bool canEdit, const char* user,
                      const QStringList& search, const char* defaultRoot) {
            QTest::newRow(name) << login << canEdit << QString(user) << search << QString(defaultRoot);
        };
        row("the login is trimmed and lower-cased", " Alice ", false, "alice",
            {"alice/GamepadProfiles", "GamepadProfiles", "alice/Gamepads", "Gamepads"},
            "alice/GamepadProfiles");
        row("a shared editor defaults to the shared root", "bob", true, "bob",
            {"bob/GamepadProfiles", "GamepadProfiles", "bob/Gamepads", "Gamepads"}, "GamepadProfiles");
        row("without login only the shared roots are searched", QVariant(), true, "",
            {"GamepadProfiles", "Gamepads"}, "GamepadProfiles");
        row("a blank login without edit right has no default root", "  ", false, "",
            {"GamepadProfiles", "Gamepads"}, "");
        // "../joy" points the user's roots at the data root itself, spelled in lower case.
        row("search roots drop duplicates that differ in case only", "../Joy", false, "../joy",
            {"../joy/GamepadProfiles", "../joy/Gamepads"}, "../joy/GamepadProfiles");
    }

    void roots()
    {
        QFETCH(QVariant, login);
        QFETCH(bool, canEdit);
        QFETCH(QString, user);
        QFETCH(QStringList, search);
        QFETCH(QString, defaultRoot);
        DataRoot::setLogin(login, canEdit);
        const auto abs = [this](const QString& rel) {
            return rel.isEmpty() ? QString() : QDir::cleanPath(data() + "/" + rel);
        };
        QCOMPARE(ProfileStore::currentLogin(), user);
        QCOMPARE(ProfileStore::canEditShared(), canEdit);
        QCOMPARE(ProfileStore::userProfilesRoot(),
                 user.isEmpty() ? QString() : abs(user + "/GamepadProfiles"));
        QStringList expected;
        for (const QString& rel : search)
            expected << abs(rel);
        QCOMPARE(ProfileStore::searchRoots(), expected);
        QCOMPARE(ProfileStore::defaultProfilesRoot(), abs(defaultRoot));
        // An explicit login wins over the current one; an empty one gives no root.
        QCOMPARE(ProfileStore::userProfilesRoot(" Carol"), abs("carol/GamepadProfiles"));
        QCOMPARE(ProfileStore::userProfilesRoot(""), QString());
    }

    // The search by device name and the look-up by id.
    void profilesForDeviceAndById()
    {
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        // One id in the old areas, shared and the user's: the user's copy wins.
        profile(data() + "/Gamepads", "Shared copy", {"Xbox Pad"}, Config, id);
        const Definition userCopy =
            profile(data() + "/alice/Gamepads", "User copy", {"xbox pad"}, Config, id);
        // Written long ago, so a look-up keeps what it read of it.
        const timespec aged[2] = {{1704110400, 0}, {1704110400, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(userCopy.folder + "/meta.json"), aged, 0), 0);
        const Definition oldArea = profile(data() + "/Gamepads", "Old area", {"XBOX PAD"});
        profile(sharedRoot(), "Other pad", {"Other"});
        profile(data() + "/bob/GamepadProfiles", "Bob's", {"Xbox Pad"});
        writeFile(sharedRoot() + "/stray.json", "{}"); // files beside definitions are ignored

        QCOMPARE(offered("  Xbox Pad "), (QStringList{"Old area shared", "User copy user"}));
        QCOMPARE(ProfileStore::profilesForDevice("  Xbox Pad ").at(1).folder, userCopy.folder);
        QVERIFY(offered("  ").isEmpty() && offered("Xbox").isEmpty());
        // A mapping file removed by hand takes its definition off the list at the next look-up.
        QVERIFY(QFile::remove(userCopy.folder + "/configActionGamepad.json"));
        QCOMPARE(offered("Xbox Pad"), (QStringList{"Old area shared", "Shared copy shared"}));
        QVERIFY(writeFile(userCopy.folder + "/configActionGamepad.json", "{}"));
        // Linked to another pad: both names' answers change, the one it left included.
        QCOMPARE(offered("Other"), QStringList{"Other pad shared"});
        QCOMPARE(offered("Xbox Pad"), (QStringList{"Old area shared", "User copy user"}));
        profile(data() + "/alice/Gamepads", "User copy", {"Other"}, Config, id);
        QCOMPARE(offered("Xbox Pad"), (QStringList{"Old area shared", "Shared copy shared"}));
        QCOMPARE(offered("Other"), (QStringList{"Other pad shared", "User copy user"}));
        profile(data() + "/alice/Gamepads", "User copy", {"xbox pad"}, Config, id);
        // A definition folder removed takes its definition off its name's answer.
        QCOMPARE(offered("Xbox Pad"), (QStringList{"Old area shared", "User copy user"}));
        QVERIFY(QDir(oldArea.folder).removeRecursively());
        QCOMPARE(offered("Xbox Pad"), QStringList{"User copy user"});
        profile(data() + "/Gamepads", "Old area", {"XBOX PAD"});
        const ProfileRef ref = ProfileStore::findProfileFolder(QUuid::fromString(id));
        QVERIFY(ref.valid && ref.folder == userCopy.folder && ref.scope == ProfileScope::User);
        QCOMPARE(ProfileStore::summaryById(QUuid::fromString(id)).name, "User copy");
        QVERIFY(!ProfileStore::findProfileFolder(QUuid()).valid);
        QVERIFY(!ProfileStore::findProfileFolder(QUuid::createUuid()).valid);
        const QUuid fileId = QUuid::createUuid(); // a file named by the id is no definition folder
        writeFile(sharedRoot() + "/" + fileId.toString(QUuid::WithoutBraces), "x");
        QVERIFY(!ProfileStore::findProfileFolder(fileId).valid);

        // Ties sort by name ignoring case, the user's first, then by id.
        profile(sharedRoot(), "pad", {"Pad"}, Config, "ffffffff-0000-4000-8000-000000000001");
        profile(sharedRoot(), "PAD", {"Pad"}, Config, "00000000-0000-4000-8000-000000000001");
        profile(userRoot(), "Pad", {"Pad"}, Config, "88888888-0000-4000-8000-000000000001");
        profile(sharedRoot(), "Alpha", {"Pad"});
        QCOMPARE(offered("pad"), (QStringList{"Alpha shared", "Pad user", "PAD shared", "pad shared"}));
        DataRoot::setLogin(QVariant()); // without login only the shared roots are searched
        QCOMPARE(offered("xbox pad"), (QStringList{"Old area shared", "Shared copy shared"}));
    }

    // What a definition folder names is read only when it is a plain file within its limit.
    void readFileTakesPlainFilesWithinTheirLimit_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("links");
        QTest::addColumn<int>("expected");
        using R = FolderFiles::Read;
        const int refuse = int(FolderFiles::Links::Refuse), follow = int(FolderFiles::Links::Follow);
        QTest::newRow("a regular file within the limit is read") << "file" << refuse << int(R::Ok);
        QTest::newRow("an empty path names nothing") << "empty" << refuse << int(R::Missing);
        QTest::newRow("a path through a file names nothing") << "through" << refuse << int(R::Missing);
        QTest::newRow("a symlink is not the folder's file") << "link" << refuse << int(R::NotRegular);
        QTest::newRow("a symlink is followed when the user chose it") << "link" << follow << int(R::Ok);
        QTest::newRow("a folder is no file") << "folder" << refuse << int(R::NotRegular);
        QTest::newRow("a FIFO is refused without waiting for a writer")
            << "fifo" << refuse << int(R::NotRegular);
        QTest::newRow("a file over the limit is refused before reading")
            << "large" << refuse << int(R::TooLarge);
        QTest::newRow("a name too long fails with the system's text") << "long" << refuse << int(R::Failed);
    }

    void readFileTakesPlainFilesWithinTheirLimit()
    {
        QFETCH(QString, what);
        QFETCH(int, links);
        const QString file = data() + "/file.json";
        QVERIFY(writeFile(file, "12345678"));
        QString path = what == "file" || what == "large" ? file : QString();
        if (what == "through")
            path = file + "/meta.json";
        if (what == "link") {
            path = data() + "/link.json";
            QVERIFY(QFile::link(file, path));
        }
        if (what == "folder")
            path = data();
        if (what == "fifo") {
            path = data() + "/fifo";
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        if (what == "long")
            path = data() + "/" + QString(300, 'x');
        QByteArray bytes("left over");
        QString systemError;
        const FolderFiles::Read read = FolderFiles::readFile(path, what == "large" ? 7 : 8, &bytes,
                                                             FolderFiles::Links(links), &systemError);
        QTEST(int(read), "expected");
        QCOMPARE(bytes, read == FolderFiles::Read::Ok ? QByteArray("12345678") : QByteArray());
        QCOMPARE(systemError.isEmpty(), read != FolderFiles::Read::Failed);
    }

    void relocateFailures_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("error");
        auto row = [](const char* name, const char* setup, int target, const char* error) {
            QTest::newRow(name) << QString(setup) << target << QString(error);
        };
        row("an invalid ref", "invalid", 1, "Profil introuvable.");
        row("a blank folder", "blank", 1, "Profil introuvable.");
        row("no login for the user scope", "nologin", 0,
            "Aucun dossier de configuration disponible pour cet utilisateur.");
        row("a file where the target root should be", "rootfile", 1, "Impossible de preparer le dossier %1");
        row("a root folder has no name", "slash", 1, "Identifiant de profil invalide.");
        row("a destination path too long", "toolong", 0, "Impossible de copier le profil vers %1");
    }

    void relocateFailures()
    {
        QFETCH(QString, setup);
        QFETCH(int, target);
        QFETCH(QString, error);
        const Definition def = profile(sharedRoot(), "Pad", {"Pad"});
        ProfileRef ref{def.folder, ProfileScope::Shared, true};
        QString arg;
        if (setup == "invalid") {
            ref.valid = false;
        } else if (setup == "blank") {
            ref.folder = "  ";
        } else if (setup == "nologin") {
            DataRoot::setLogin("");
        } else if (setup == "rootfile") {
            QVERIFY(QDir(sharedRoot()).removeRecursively());
            writeFile(sharedRoot(), "not a folder");
            arg = sharedRoot();
        } else if (setup == "slash") {
            ref.folder = "/";
        } else if (setup == "toolong") {
            // The source path fits the system limit; the same tree below the deeper user root does not.
            const QString login = QString(200, 'u') + "/" + QString(200, 'v');
            DataRoot::setLogin(login);
            QString deep = ref.folder;
            while (deep.size() + 201 < 3900)
                deep += "/" + QString(200, 'd');
            writeFile(deep + "/leaf.json", "{}");
            arg = ProfileStore::userProfilesRoot() + "/" + def.id;
        }
        const ProfileRef before = ref;
        QString message;
        QVERIFY(!ProfileStore::relocateProfile(ref, ProfileScope(target), &message));
        QCOMPARE(message, arg.isEmpty() ? error : error.arg(arg));
        QVERIFY(ref.folder == before.folder && ref.valid == before.valid);
        QVERIFY(!ProfileStore::relocateProfile(ref, ProfileScope(target))); // no error target: no crash
        if (setup == "toolong")
            QVERIFY(!QFileInfo::exists(arg)); // no half copy left behind
    }

    void relocationAndCopy()
    {
        const Definition def = profile(sharedRoot(), "Pad", {"Pad"});
        writeFile(def.folder + "/sub/deeper/data.bin", QByteArray("\x01\x02\x00\x03", 4));
        writeFile(def.folder + "/.hidden", "skip me");

        // To the scope it already lives in: success without copying.
        ProfileRef ref = ProfileStore::findProfileFolder(QUuid::fromString(def.id));
        QString error;
        QVERIFY(ProfileStore::relocateProfile(ref, ProfileScope::Shared, &error));
        QVERIFY(error.isEmpty() && ref.valid);
        QCOMPARE(ref.folder, def.folder);
        QVERIFY(!QFileInfo::exists(userRoot()));

        QVERIFY(ProfileStore::relocateProfile(ref, ProfileScope::User));
        const QString destination = userRoot() + "/" + def.id;
        QCOMPARE(ref.folder, destination);
        QCOMPARE(ref.scope, ProfileScope::User);
        QCOMPARE(readFile(destination + "/sub/deeper/data.bin"), QByteArray("\x01\x02\x00\x03", 4));
        QVERIFY(!QFileInfo::exists(destination + "/.hidden"));
        QVERIFY(QFileInfo::exists(def.folder + "/meta.json")); // the source stays

        // An existing destination is kept as it is.
        writeFile(def.folder + "/extra.txt", "new");
        ref = {def.folder, ProfileScope::Shared, true};
        QVERIFY(ProfileStore::relocateProfile(ref, ProfileScope::User));
        QCOMPARE(ref.folder, destination);
        QVERIFY(!QFileInfo::exists(destination + "/extra.txt"));

        // The copy below it: nothing to copy is no failure, a file replaces a file.
        QVERIFY(ProfileStore::copyRecursively(data() + "/missing", data() + "/never"));
        QVERIFY(!QFileInfo::exists(data() + "/never"));
        writeFile(data() + "/a.txt", "fresh");
        writeFile(data() + "/out/b.txt", "stale");
        QVERIFY(ProfileStore::copyRecursively(data() + "/a.txt", data() + "/out/b.txt"));
        QVERIFY(ProfileStore::copyRecursively(data() + "/a.txt", data() + "/new/dir/c.txt"));
        QCOMPARE(readFile(data() + "/out/b.txt"), "fresh");
        QCOMPARE(readFile(data() + "/new/dir/c.txt"), "fresh");
        writeFile(data() + "/blocked", "x"); // a file where the destination folder should be
        writeFile(data() + "/tree/f.txt", "x");
        QVERIFY(!ProfileStore::copyRecursively(data() + "/tree", data() + "/blocked/tree"));
    }

private:
    QString data() const { return m_data->path(); }
    QString sharedRoot() const { return m_data->sharedRoot(); }
    QString userRoot() const { return m_data->userRoot(); }
    // "<name> <scope>" of each profile offered to a device name.
    static QStringList offered(const QString& deviceName)
    {
        QStringList list;
        for (const ProfileSummary& summary : ProfileStore::profilesForDevice(deviceName))
            list << summary.name + (summary.scope == ProfileScope::User ? " user" : " shared");
        return list;
    }
    static Definition profile(const QString& root, const QString& name, const QStringList& names,
                              int files = Config | Image, const QString& id = QString())
    {
        return writeDefinition(root, {{"name", name}, {"deviceNames", QJsonArray::fromStringList(names)}},
                               files, id);
    }

    std::unique_ptr<DataRoot> m_data;
};

QTEST_GUILESS_MAIN(tst_ProfileStore)
#include "tst_profilestore.moc"

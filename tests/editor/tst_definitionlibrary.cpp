#include "definitionlibrary.h"
#include "definitionmeta.h"
#include "editorfixtures.h"
#include "profilestore.h"

#include <QTest>

using namespace EditorFixtures;

class tst_DefinitionLibrary : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void newDefinition_data();
    void newDefinition();
    void newDefinitionFailsWhereAFileBlocksTheFolder();
    void duplicate_data();
    void duplicate();
    void deleteShared_data();
    void deleteShared();
    void renameSharedWithoutRightCopiesIntoUserArea();
    void saveWithRightMovesUserDefinitionIntoSharedArea();
    void imageAndCalibrationEdits();

private:
    QString m_root;
    RecordingDialogs m_dialogs;
    QString m_picture;
};

void tst_DefinitionLibrary::init()
{
    m_root = resetDataRoot();
    m_dialogs = RecordingDialogs();
    m_picture = writePicture(QDir(m_root).filePath("pictures/pad.JPG"));
}

void tst_DefinitionLibrary::newDefinition_data()
{
    QTest::addColumn<QList<ConnectedPad>>("pads");
    QTest::addColumn<QString>("linkDialog");
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<int>("vendor");
    QTest::newRow("no pad connected creates an unlinked definition")
        << QList<ConnectedPad>{}
        << "information|Association manette|Aucune manette connectée n'est disponible.\n"
           "Vous pouvez créer un profil sans liaison et l’associer plus tard."
        << QStringList() << 0;
    QTest::newRow("the chosen pad links the definition and gives its ids")
        << QList<ConnectedPad>{{"zeta", 1, 2}, {"Alpha", 0x45e, 0x28e}}
        << "item|Association manette|Choisir la manette à lier :=Alpha,zeta@0" << QStringList{"Alpha"}
        << 0x45e;
}

void tst_DefinitionLibrary::newDefinition()
{
    QFETCH(QList<ConnectedPad>, pads);
    QFETCH(QString, linkDialog);
    QFETCH(QStringList, devices);
    QFETCH(int, vendor);
    DefinitionLibrary library(&m_dialogs);
    library.setConnectedPads(pads);
    m_dialogs.answers = {QString("  Desk pad "), m_picture, QString("Alpha")};
    QString linked;
    QCOMPARE(library.createDefinition(QSize(800, 600), &linked), 0);
    QCOMPARE(m_dialogs.shown.mid(0, 3),
             (QStringList{"text|Nouveau gamepad|Nom du gamepad :=Gamepad",
                          "open|Choisir l’image du gamepad|Images (*.png *.jpg *.jpeg *.bmp)", linkDialog}));
    const DefinitionRecord& record = library.at(0);
    QCOMPARE(linked, devices.value(0));
    QVERIFY(record.folder.startsWith(ProfileStore::userProfilesRoot()));
    const QJsonObject meta = readJson(QDir(record.folder).filePath("meta.json"));
    QCOMPARE(meta.value("name").toString(), QString("Desk pad"));
    QCOMPARE(meta.value("image").toString(), QString("image.jpg"));
    QCOMPARE(meta.value("deviceNames").toVariant().toStringList(), devices);
    QCOMPARE(meta.value("calibrationMode").toString(), QString("inherit"));
    QCOMPARE(DefinitionMeta::parseUsbId(meta.value("vendorId")), vendor);
    QCOMPARE(readJson(QDir(record.folder).filePath("configActionGamepad.json")),
             DefinitionLibrary::defaultMapping());
    const QJsonArray nodes = readJson(record.overlayPath).value("nodes").toArray();
    QCOMPARE(nodes.size(), 1);
    QCOMPARE(nodes.at(0).toObject().value("title").toString(), QString("Start"));
    QVERIFY(m_dialogs.messages().size() == (pads.isEmpty() ? 1 : 0));
}

void tst_DefinitionLibrary::newDefinitionFailsWhereAFileBlocksTheFolder()
{
    writeFile(ProfileStore::userProfilesRoot(), "not a folder");
    DefinitionLibrary library(&m_dialogs);
    m_dialogs.answers = {QString("Pad"), m_picture};
    QCOMPARE(library.createDefinition(QSize(800, 600)), -1);
    QCOMPARE(m_dialogs.messages().size(), 2); // no pad, then the failure
    QVERIFY2(m_dialogs.messages().last().startsWith("warning|Création|Échec écriture image "),
             qPrintable(m_dialogs.messages().last()));
    QCOMPARE(library.count(), 0);
    QCOMPARE(readFile(ProfileStore::userProfilesRoot()), QByteArray("not a folder"));
}

void tst_DefinitionLibrary::duplicate_data()
{
    QTest::addColumn<bool>("overrideFile");
    QTest::addColumn<QString>("mode");
    QTest::newRow("an override mode without its file duplicates as inherit") << false << "inherit";
    QTest::newRow("an override file is copied along") << true << "override";
}

void tst_DefinitionLibrary::duplicate()
{
    QFETCH(bool, overrideFile);
    QFETCH(QString, mode);
    const Definition source = writeDefinition(ProfileStore::userProfilesRoot(), "Pad", {"Pad One"}, {},
                                              {{"calibrationMode", "OVERRIDE"}});
    if (overrideFile)
        writeFile(source.file("calibration.override.json"), "{\"cal\": 1}");
    DefinitionLibrary library(&m_dialogs);
    QCOMPARE(library.reload(), 0);
    QCOMPARE(library.duplicate(0), 1);
    const DefinitionRecord& copy = library.at(1);
    QVERIFY(copy.folder != source.folder);
    QCOMPARE(copy.name, QString("Pad (copie)"));
    QVERIFY(copy.deviceNames.isEmpty());
    QCOMPARE(copy.calibrationMode, mode);
    QCOMPARE(readFile(QDir(copy.folder).filePath("configActionGamepad.json")),
             readFile(source.file("configActionGamepad.json")));
    QCOMPARE(QFileInfo::exists(QDir(copy.folder).filePath("calibration.override.json")), overrideFile);
    QVERIFY(m_dialogs.shown.isEmpty());
}

void tst_DefinitionLibrary::deleteShared_data()
{
    QTest::addColumn<bool>("right");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<bool>("removed");
    QTest::newRow("without the right nothing is deleted") << false << true << false;
    QTest::newRow("an admin who says no keeps it") << true << false << false;
    QTest::newRow("an admin who says yes removes the folder") << true << true << true;
}

void tst_DefinitionLibrary::deleteShared()
{
    QFETCH(bool, right);
    QFETCH(bool, confirm);
    QFETCH(bool, removed);
    QCoreApplication::instance()->setProperty("hx.canEditSharedGamepads", right);
    const Definition shared = writeDefinition(ProfileStore::sharedProfilesRoot(), "Shared pad");
    DefinitionLibrary library(&m_dialogs);
    library.reload();
    m_dialogs.answers = {confirm};
    QCOMPARE(library.remove(0), removed);
    QCOMPARE(m_dialogs.shown.value(0), right
                                           ? QString("question|Supprimer|Supprimer « Shared pad » ?")
                                           : QString("information|Supprimer|Seul un admin peut supprimer un "
                                                     "profil partage."));
    QCOMPARE(QFileInfo::exists(shared.meta()), !removed);
}

void tst_DefinitionLibrary::renameSharedWithoutRightCopiesIntoUserArea()
{
    const Definition shared = writeDefinition(ProfileStore::sharedProfilesRoot(), "Old name");
    const QByteArray sharedMeta = readFile(shared.meta());
    DefinitionLibrary library(&m_dialogs);
    library.reload();
    m_dialogs.answers = {QString(" New name ")};
    QVERIFY(library.rename(0));
    QCOMPARE(m_dialogs.shown, QStringList{"text|Renommer|Nouveau nom :=Old name"});
    const DefinitionRecord& record = library.at(0);
    QCOMPARE(record.scope, ProfileScope::User);
    QCOMPARE(record.folder, QDir(ProfileStore::userProfilesRoot()).filePath(shared.id));
    const QString userMeta = QDir(record.folder).filePath("meta.json");
    QCOMPARE(readJson(userMeta).value("name").toString(), QString("New name"));
    QCOMPARE(readFile(shared.meta()), sharedMeta);

    // A rename that cannot be written keeps the user copy's meta and name.
    const QByteArray before = readFile(userMeta);
    m_dialogs.answers = {QString("New name that will not fit")};
    QVERIFY(![&] {
        const FileSizeLimit limit(64);
        return library.rename(0);
    }());
    QCOMPARE(m_dialogs.messages().size(), 1);
    QVERIFY2(m_dialogs.messages().at(0).startsWith("warning|Renommer|Impossible d’écrire meta.json : "),
             qPrintable(m_dialogs.messages().at(0)));
    QCOMPARE(readFile(userMeta), before);
    QCOMPARE(library.at(0).name, QString("New name"));
}

void tst_DefinitionLibrary::saveWithRightMovesUserDefinitionIntoSharedArea()
{
    QCoreApplication::instance()->setProperty("hx.canEditSharedGamepads", true);
    const Definition mine = writeDefinition(ProfileStore::userProfilesRoot(), "Mine");
    DefinitionLibrary library(&m_dialogs);
    library.reload();
    int mappingSaves = 0;
    const QByteArray overlay = R"({"type": "InteractiveOverlay", "nodes": []})";
    QVERIFY(library.save(0, overlay, [&]() { return ++mappingSaves; }));
    const QString shared = QDir(ProfileStore::sharedProfilesRoot()).filePath(mine.id);
    QCOMPARE(library.at(0).folder, shared);
    QCOMPARE(mappingSaves, 1);
    QCOMPARE(readFile(QDir(shared).filePath("overlay.json")), overlay);
    QCOMPARE(readJson(QDir(shared).filePath("meta.json")).value("name").toString(), QString("Mine"));
    QVERIFY(library.at(0).scope == ProfileScope::Shared);
    // Moved, not copied: a copy left in the user's area, listed first, would hide the edit.
    QVERIFY(!QFileInfo::exists(mine.folder));
    QCOMPARE(library.reload(QUuid::fromString(mine.id)), 0);
    QCOMPARE(library.at(0).folder, shared);

    // A failing mapping step stops the sequence with its message.
    QVERIFY(!library.save(0, "{}", []() { return false; }));
    QCOMPARE(m_dialogs.messages(), QStringList{"warning|Sauvegarde|Echec sauvegarde mapping."});
}

void tst_DefinitionLibrary::imageAndCalibrationEdits()
{
    const Definition def = writeDefinition(ProfileStore::userProfilesRoot(), "Pad");
    DefinitionLibrary library(&m_dialogs);
    library.reload();
    // A picture with another suffix is stored beside the old one, which stays.
    m_dialogs.answers = {m_picture};
    QCOMPARE(library.changeImage(0), DefinitionLibrary::ImageChange::Changed);
    QCOMPARE(m_dialogs.shown,
             QStringList{"open|Choisir une nouvelle image|Images (*.png *.jpg *.jpeg *.bmp)"});
    QCOMPARE(library.at(0).imagePath, def.file("image.jpg"));
    QVERIFY(QFileInfo::exists(def.file("image.png")));
    QVERIFY(!QImage(def.file("image.jpg")).isNull());
    m_dialogs.answers = {QVariant()};
    QCOMPARE(library.changeImage(0), DefinitionLibrary::ImageChange::None);

    using Change = DefinitionLibrary::MetaChange;
    QCOMPARE(library.setCalibrationMetadata(0, "inherit", "ignored", 0, 0), Change::Unchanged);
    QCOMPARE(library.setCalibrationMetadata(0, " Override ", "", 0x45e, 0x28e), Change::Stored);
    const QJsonObject meta = readJson(def.meta());
    QCOMPARE(meta.value("image").toString(), QString("image.jpg"));
    QCOMPARE(meta.value("calibrationMode").toString(), QString("override"));
    QCOMPARE(meta.value("calibrationOverrideFile").toString(), QString("calibration.override.json"));
    QCOMPARE(meta.value("vendorId").toString(), QString("0x045e"));
    QCOMPARE(m_dialogs.shown.size(), 2);
}

QTEST_MAIN(tst_DefinitionLibrary)
#include "tst_definitionlibrary.moc"

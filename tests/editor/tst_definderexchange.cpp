// Export, import, copy, paste and snapshots through the editor's slots, with answered dialogs.
#include "editorfixtures.h"
#include "exchangedocument.h"
#include "gamepaddefinder.h"
#include "gamepadmanager.h"
#include "interactiveoverlay.h"
#include "profilestore.h"
#include "virtualjoystickbackend.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QListWidget>
#include <QMimeData>
#include <QTest>

using namespace EditorFixtures;

class tst_DefinderExchange : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void copyThenPasteMakesASecondDefinition();
    void exportUsesTheOverlayAsShown();
    void refusals_data();
    void refusals();
    void snapshotsIntoAFolder();

private:
    void select(const Definition& definition)
    {
        m_editor->listWidget()->setCurrentRow(m_editor->library().rowOfId(QUuid::fromString(definition.id)));
    }
    void run(const char* slot) { QVERIFY(QMetaObject::invokeMethod(m_editor.get(), slot)); }
    QString path(const QString& name) const { return QDir(ProfileStore::dataRoot()).filePath(name); }

    RecordingDialogs m_dialogs;
    Definition m_drone;
    Definition m_linked;
    std::unique_ptr<GamepadDefinder> m_editor;
};

void tst_DefinderExchange::init()
{
    resetDataRoot();
    m_dialogs = RecordingDialogs();
    EditorDialogService::install(&m_dialogs);
    JoystickBackends::install(std::make_shared<VirtualJoystickBackend>());
    const QString root = ProfileStore::userProfilesRoot();
    m_drone = writeDefinition(root, "Drone: 1", {}, {node("button", "A", {{"main", "but_0"}})});
    m_linked = writeDefinition(root, "Linked", {"Pad One", "Pad Two"});
    m_editor = std::make_unique<GamepadDefinder>();
    m_editor->resize(900, 600);
    select(m_drone);
}

void tst_DefinderExchange::cleanup()
{
    m_editor.reset();
    EditorDialogService::install(nullptr);
    delete GamepadManager::existingInstance();
    JoystickBackends::install(nullptr);
}

void tst_DefinderExchange::copyThenPasteMakesASecondDefinition()
{
    run("actionCopy");
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    QVERIFY(mime->hasFormat("application/x-tavon-gamepad"));
    QCOMPARE(mime->text().toUtf8(), mime->data("application/x-tavon-gamepad"));
    run("actionPaste");
    QVERIFY2(m_dialogs.messages().isEmpty(), qPrintable(m_dialogs.messages().join('\n')));
    QCOMPARE(m_editor->library().count(), 3);
    const DefinitionRecord& copy = m_editor->library().at(m_editor->currentRow());
    QCOMPARE(copy.name, QStringLiteral("Drone: 1"));
    QVERIFY(copy.id != QUuid::fromString(m_drone.id));
    QCOMPARE(copy.calibrationMode, QStringLiteral("inherit"));
    QCOMPARE(contents(copy.imagePath), contents(m_drone.file("image.png")));
    QCOMPARE(readJson(copy.overlayPath), readJson(m_drone.file("overlay.json")));
    QCOMPARE(readJson(QDir(copy.folder).filePath("configActionGamepad.json")),
             ExchangeDocument::defaultMappingSkeleton());
}

void tst_DefinderExchange::exportUsesTheOverlayAsShown()
{
    m_editor->overlay()->addNode(QPointF(50, 50), InteractiveOverlay::Button, "Unsaved");
    m_dialogs.answers = {path("out")};
    run("actionExport");
    QCOMPARE(m_dialogs.shown.first(),
             QStringLiteral("save|Exporter le gamepad|Configuration Tavon (*.tavon.json)"));
    const QJsonObject exported = readJson(path("out.tavon.json"));
    QCOMPARE(exported.value("overlay").toObject().value("nodes").toArray().size(), 2);
    run("actionCopy");
    const QJsonObject copied =
        QJsonDocument::fromJson(QGuiApplication::clipboard()->text().toUtf8()).object();
    QCOMPARE(copied.value("overlay").toObject().value("nodes").toArray().size(), 1);
}

void tst_DefinderExchange::refusals_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("clipboard"); // or the import file's text; "mime:" puts it under the MIME type
    QTest::addColumn<QString>("message");
    const QString linkedDoc = R"({"type":"TavonGamepad","deviceNames":["Pad"],"overlay":{"nodes":[]}})";
    QTest::newRow("paste of another type") << "actionPaste"
                                           << R"(mime:{"type":"Other"})"
                                           << "warning|Coller|Type inattendu dans le presse‑papier.";
    QTest::newRow("paste of text that is not JSON")
        << "actionPaste"
        << "hello"
        << "warning|Coller|Le presse‑papier ne contient pas de configuration Tavon valide.";
    QTest::newRow("paste of an empty clipboard")
        << "actionPaste"
        << ""
        << "information|Coller|Aucune configuration Tavon trouvée dans le presse‑papier.";
    QTest::newRow("paste of a linked document") << "actionPaste" << linkedDoc
                                                << "information|Coller|Ce profil est lié à une ou plusieurs "
                                                   "manettes. Le coller n’est autorisé que pour des "
                                                   "profils non liés.";
    QTest::newRow("paste of a document without overlay")
        << "actionPaste"
        << R"({"type":"TavonGamepad"})"
        << "warning|Coller|Impossible de créer le gamepad à partir des données.";
    QTest::newRow("import of another type") << "actionImport"
                                            << R"({"type":"Other"})"
                                            << "warning|Import|Impossible d’importer ce fichier.";
    QTest::newRow("import of a linked file") << "actionImport" << linkedDoc
                                             << "information|Import|Ce fichier est lié à une ou plusieurs "
                                                "manettes. Le coller/importe n’est autorisé que "
                                                "pour des profils non liés.";
    QTest::newRow("import of a file over 64 MiB") << "actionImport"
                                                  << "huge"
                                                  << "warning|Import|Impossible d’importer ce fichier.";
    QTest::newRow("copy of a linked definition") << "actionCopy"
                                                 << "linked"
                                                 << "information|Copier|Ce profil est associé à « Pad One, "
                                                    "Pad Two ». Le copier/coller est réservé aux profils "
                                                    "non liés.";
    QTest::newRow("export of a linked definition") << "actionExport"
                                                   << "linked"
                                                   << "information|Export|Ce profil est associé à une ou "
                                                      "plusieurs manettes. Le copier/coller n’est disponible "
                                                      "que pour les profils non liés.";
}

void tst_DefinderExchange::refusals()
{
    QFETCH(QString, slot);
    QFETCH(QString, clipboard);
    QFETCH(QString, message);
    auto* mime = new QMimeData;
    if (clipboard.startsWith("mime:"))
        mime->setData("application/x-tavon-gamepad", clipboard.mid(5).toUtf8());
    else if (!clipboard.isEmpty())
        mime->setText(clipboard);
    QGuiApplication::clipboard()->setMimeData(mime);
    if (clipboard == "linked")
        select(m_linked);
    m_dialogs.answers = {path("answer.json")};
    writeFile(path("answer.json"), clipboard.toUtf8());
    if (clipboard == "huge")
        QVERIFY(QFile(path("answer.json")).resize(ExchangeDocument::MaxDocumentBytes + 1));
    QVERIFY(QMetaObject::invokeMethod(m_editor.get(), slot.toLatin1()));
    QCOMPARE(m_dialogs.messages(), QStringList{message});
    QCOMPARE(m_editor->library().count(), 2);
    QVERIFY(!QFileInfo::exists(path("answer.json.tavon.json")));
}

void tst_DefinderExchange::snapshotsIntoAFolder()
{
    TestSupport::LogRecorder log;
    writeDefinition(ProfileStore::userProfilesRoot(), "Drone: 1");
    m_editor->reloadLibrary();
    QFile::remove(m_linked.file("overlay.json")); // listed already, reported at export
    m_editor->overlay()->addNode(QPointF(50, 50), InteractiveOverlay::Button, "Unsaved");
    QCOMPARE(m_editor->exportSnapshotsToDir(" "), -1);
    QCOMPARE(m_editor->exportSnapshotsToDir(m_drone.file("image.png")), -1); // a file, not a folder
    QCOMPARE(m_editor->exportSnapshotsToDir(path("shots")), 2);
    QCOMPARE(QDir(path("shots")).entryList(QDir::Files), QStringList({"Drone_ 1.png", "Drone_ 1_1.png"}));
    QCOMPARE(log.count("Gamepad snapshot issue error= \"Linked : Impossible d’ouvrir "), 1);
    QVERIFY(!m_editor->isDirty()); // saved before the export
    QCOMPARE(readJson(m_drone.file("overlay.json")).value("nodes").toArray().size(), 2);

    // With the folder dialog: the second run continues the counter and reports the problem.
    m_dialogs.answers = {path("shots")};
    run("actionSnapshotAll");
    QCOMPARE(QDir(path("shots")).entryList(QDir::Files),
             QStringList({"Drone_ 1.png", "Drone_ 1_1.png", "Drone_ 1_2.png", "Drone_ 1_3.png"}));
    QVERIFY(m_dialogs.messages().last().startsWith(
        "warning|Snapshots PNG|Snapshots générés : 2\nErreurs :\nLinked : "));
    // One snapshot: the suffix is added.
    m_dialogs.answers = {path("single")};
    run("actionSnapshot");
    QCOMPARE(QImage(path("single.png")).size(), m_editor->overlay()->size());
}

QTEST_MAIN(tst_DefinderExchange)
#include "tst_definderexchange.moc"

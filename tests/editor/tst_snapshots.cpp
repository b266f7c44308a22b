#include "jsonio.h"
#include "snapshots.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>

using namespace Snapshots;

class tst_Snapshots : public QObject
{
    Q_OBJECT

private slots:
    void snapshotSize_data();
    void snapshotSize();
    void renderFailures_data();
    void renderFailures();
    void renderDrawsPastillesOverThePicture();
    void batchNamesNeverCollide();
    void batchRefusesUnusableFolders();
    void cancelStopsAfterTheCurrentFile();

private:
    // One unbound Button pastille centred at (0.5, 0.5) of the background.
    static QJsonObject document(const QSize& size = QSize(400, 300));
    QString writeOverlay(const QString& name, const QJsonObject& doc);
    QTemporaryDir m_dir;
};

QJsonObject tst_Snapshots::document(const QSize& size)
{
    const QJsonObject node{{"kind", "button"},
                           {"title", "A"},
                           {"geometry", QJsonObject{{"x", 0.4}, {"y", 0.4}, {"w", 0.2}, {"h", 0.2}}}};
    QJsonObject doc{{"type", "InteractiveOverlay"},
                    {"version", 4},
                    {"coordSpace", "background"},
                    {"nodes", QJsonArray{node}}};
    if (size.isValid())
        doc.insert("overlaySize", QJsonObject{{"w", size.width()}, {"h", size.height()}});
    return doc;
}

QString tst_Snapshots::writeOverlay(const QString& name, const QJsonObject& doc)
{
    const QString path = m_dir.filePath(name);
    JsonIo::writeJsonAtomically(path, doc);
    return path;
}

void tst_Snapshots::snapshotSize_data()
{
    QTest::addColumn<QJsonObject>("size");
    QTest::addColumn<QSize>("fallback");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("the document's size wins")
        << QJsonObject{{"w", 640}, {"h", 200}} << QSize(10, 10) << QSize(640, 200);
    QTest::newRow("no size takes the view's") << QJsonObject() << QSize(500, 400) << QSize(500, 400);
    QTest::newRow("nothing usable gives 800 x 600")
        << QJsonObject{{"w", 0}, {"h", -4}} << QSize(0, 0) << QSize(800, 600);
    QTest::newRow("one side missing takes the view's")
        << QJsonObject{{"w", 320}} << QSize(500, 400) << QSize(320, 400);
}

void tst_Snapshots::snapshotSize()
{
    QFETCH(QJsonObject, size);
    QFETCH(QSize, fallback);
    QFETCH(QSize, expected);
    QCOMPARE(Snapshots::snapshotSize(QJsonObject{{"overlaySize", size}}, fallback), expected);
}

void tst_Snapshots::renderFailures_data()
{
    QTest::addColumn<QJsonObject>("doc");
    QTest::addColumn<QString>("error");
    QTest::newRow("an empty document") << QJsonObject() << "Overlay vide.";
    QTest::newRow("another type") << QJsonObject{{"type", "Other"}} << "Format de configuration non reconnu.";
    QTest::newRow("a huge size") << document(QSize(20000, 100)) << "Snapshot trop grand : 20000 x 100";
}

void tst_Snapshots::renderFailures()
{
    QFETCH(QJsonObject, doc);
    QFETCH(QString, error);
    QString actual;
    QVERIFY(renderSnapshot(doc, QString(), QSize(100, 100), &actual).isNull());
    QCOMPARE(actual, error);
}

void tst_Snapshots::renderDrawsPastillesOverThePicture()
{
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(QColor(0, 80, 0));
    const QString path = m_dir.filePath("picture.png");
    QVERIFY(picture.save(path));

    QString error;
    const QImage shot = renderSnapshot(document(), path, QSize(), &error).toImage();
    QCOMPARE(shot.size(), QSize(400, 300));
    QCOMPARE(shot.pixelColor(20, 20), QColor(0, 80, 0)); // the picture
    const QColor pastille = shot.pixelColor(200, 150);
    QVERIFY2(pastille.red() > 150 && pastille.green() > 80, qPrintable(pastille.name())); // unbound: orange
}

void tst_Snapshots::batchNamesNeverCollide()
{
    const QString out = m_dir.filePath("shots");
    const QVector<Item> items{{"Pad: one", QString(), writeOverlay("a.json", document()), {}, false},
                              {"Pad: one", QString(), QString(), document(QSize(200, 100)), true},
                              {"Lost", QString(), m_dir.filePath("missing.json"), {}, false}};
    int count = 0;
    QStringList errors;
    QVERIFY(exportToFolder(out, items, QSize(300, 200), &count, &errors));
    QCOMPARE(count, 2);
    QCOMPARE(errors,
             QStringList{QString::fromUtf8("Lost : Impossible d’ouvrir %1").arg(items.at(2).overlayPath)});
    QCOMPARE(QImage(QDir(out).filePath("Pad_ one_1.png")).size(), QSize(200, 100));

    // A second run continues the counter instead of replacing anything.
    QVERIFY(exportToFolder(out, items.mid(0, 2), QSize(300, 200), &count, &errors));
    QCOMPARE(count, 2);
    QVERIFY(errors.isEmpty());
    QCOMPARE(QDir(out).entryList(QDir::Files),
             QStringList({"Pad_ one.png", "Pad_ one_1.png", "Pad_ one_2.png", "Pad_ one_3.png"}));
}

void tst_Snapshots::batchRefusesUnusableFolders()
{
    int count = -1;
    QStringList errors;
    QVERIFY(!exportToFolder("  ", {}, QSize(), &count, &errors));
    QCOMPARE(errors, QStringList{"Dossier de sortie vide."});
    const QString file = writeOverlay("blocker", document());
    QVERIFY(!exportToFolder(file, {}, QSize(), &count, &errors));
    QCOMPARE(errors, QStringList{QString::fromUtf8("Impossible de créer le dossier : %1").arg(file)});
    QVERIFY(exportToFolder(m_dir.filePath("empty"), {}, QSize(), &count, &errors));
    QCOMPARE(count, 0);
}

void tst_Snapshots::cancelStopsAfterTheCurrentFile()
{
    const QString out = m_dir.filePath("cancelled");
    const QVector<Item> items(5, Item{"Same", QString(), QString(), document(QSize(64, 48)), true});
    BatchProgress progress(nullptr, items.size());
    int calls = 0;
    const Progress cancelAfterTwo = [&](int done, int total) {
        ++calls;
        if (done == 2)
            progress.dialog()->cancel();
        return progress.step(done, total);
    };
    int count = 0;
    QVERIFY(exportToFolder(out, items, QSize(), &count, nullptr, cancelAfterTwo));
    QCOMPARE(count, 2);
    QCOMPARE(calls, 3); // before the first file, after the first and after the second
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 2);
}

QTEST_MAIN(tst_Snapshots)
#include "tst_snapshots.moc"

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
    void cancelStopsAfterTheCurrentFile();

private:
    // One unbound Button pastille over the middle fifth of the background.
    static QJsonObject document(const QSize& size = QSize(400, 300))
    {
        const QJsonObject node{{"kind", "button"},
                               {"geometry", QJsonObject{{"x", 0.4}, {"y", 0.4}, {"w", 0.2}, {"h", 0.2}}}};
        return {{"type", "InteractiveOverlay"},
                {"version", 4},
                {"overlaySize", QJsonObject{{"w", size.width()}, {"h", size.height()}}},
                {"nodes", QJsonArray{node}}};
    }
    QTemporaryDir m_dir;
};

void tst_Snapshots::snapshotSize_data()
{
    QTest::addColumn<QJsonObject>("size");
    QTest::addColumn<QSize>("fallback");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("the document's size wins")
        << QJsonObject{{"w", 640}, {"h", 200}} << QSize(9, 9) << QSize(640, 200);
    QTest::newRow("no size takes the view's") << QJsonObject() << QSize(500, 400) << QSize(500, 400);
    QTest::newRow("nothing usable gives 800 x 600")
        << QJsonObject{{"w", 0}, {"h", -4}} << QSize() << QSize(800, 600);
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
    QVERIFY(picture.save(m_dir.filePath("picture.png")));
    const QImage shot = renderSnapshot(document(), m_dir.filePath("picture.png"), QSize()).toImage();
    QCOMPARE(shot.size(), QSize(400, 300));
    QCOMPARE(shot.pixelColor(20, 20), QColor(0, 80, 0));
    const QColor pastille = shot.pixelColor(169, 150); // the body of an unbound pastille: orange
    QVERIFY2(pastille.red() > 150 && pastille.green() > 80 && pastille.blue() < 120,
             qPrintable(pastille.name()));
}

void tst_Snapshots::cancelStopsAfterTheCurrentFile()
{
    const QVector<Item> items(5, Item{"Same", QString(), QString(), document(QSize(64, 48)), true});
    BatchProgress progress(nullptr, items.size());
    QList<int> steps;
    const Progress cancelAfterTwo = [&](int done, int total) {
        steps << done;
        if (done == 2)
            progress.dialog()->cancel();
        return progress.step(done, total);
    };
    int count = 0;
    QVERIFY(exportToFolder(m_dir.filePath("cancelled"), items, QSize(), &count, nullptr, cancelAfterTwo));
    QCOMPARE(count, 2);
    QCOMPARE(steps, QList<int>({0, 1, 2}));
}

QTEST_MAIN(tst_Snapshots)
#include "tst_snapshots.moc"

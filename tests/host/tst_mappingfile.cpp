// The stand-in host's reading of a mapping file into bridges.
#include "mappingfile.h"
#include "support/testsupport.h"

class tst_MappingFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void bridgesOfAMapping()
    {
        auto src = [](const QString& key) { return QJsonObject{{"stringKey", key}, {"deviceId", 0}}; };
        const QJsonArray list{
            QJsonObject{{"src", src(" BUT_3 ")}, {"action", "a"}},
            QJsonObject{{"src", src("joy_0")},
                        {"dst", QJsonArray{QJsonObject{{"ref", "b"}, {"args", QJsonObject{{"x", 1}}}}}},
                        {"publishMode", "always"}},
            QJsonObject{{"src", src("but_1")}, {"action", "None"}},
            QJsonObject{{"src", src(QString())}, {"action", "c"}},
            QJsonObject{
                {"src", src("joy_0")}, {"joyXKey", "joy_0"}, {"joyYKey", "joy_1"}, {"action", "pan"}}};
        QStringList seen; // "<key> <mode> <action> <args>[ x+y]"
        for (const Bridge& b : MappingFile::bridges(QJsonObject{{"bridges", list}}))
            seen << QStringLiteral("%1 %2 %3 %4%5")
                        .arg(b.key)
                        .arg(int(b.mode))
                        .arg(b.action, QJsonDocument(b.args).toJson(QJsonDocument::Compact),
                             b.isCombined() ? " x+y" : "");
        QCOMPARE(seen, (QStringList{"but_3 0 a {}", "joy_0 2 b {\"x\":1}", "joy_0 0 pan {} x+y"}));
        QCOMPARE(MappingFile::parseMode(" ACTIVE_ONLY "), Bridge::Mode::ActiveOnly);
    }

    void unreadableFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("create");
        QTest::newRow("missing file") << QByteArray() << false;
        QTest::newRow("trailing comma in object") << QByteArray("{\"bridges\": [],}") << true;
        QTest::newRow("array at the root") << QByteArray("[]") << true;
    }

    void unreadableFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, create);
        QTemporaryDir dir;
        const QString path = dir.filePath("configActionGamepad.json");
        if (create)
            QVERIFY(TestSupport::writeFile(path, content));
        QList<Bridge> bridges;
        QString error;
        QVERIFY(!MappingFile::read(path, &bridges, &error));
        QVERIFY(error.contains(path));
    }
};

QTEST_GUILESS_MAIN(tst_MappingFile)
#include "tst_mappingfile.moc"

#include "mappingfile.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

class tst_MappingFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void modes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("mode");
        QTest::newRow("activeOnly as written")
            << QStringLiteral("activeOnly") << int(Bridge::Mode::ActiveOnly);
        QTest::newRow("active_only in capitals")
            << QStringLiteral("ACTIVE_ONLY") << int(Bridge::Mode::ActiveOnly);
        QTest::newRow("activeonly with blanks around it")
            << QStringLiteral("  activeonly ") << int(Bridge::Mode::ActiveOnly);
        QTest::newRow("always") << QStringLiteral("Always") << int(Bridge::Mode::Always);
        QTest::newRow("unknown word is onChange")
            << QStringLiteral("sometimes") << int(Bridge::Mode::OnChange);
        QTest::newRow("missing member is onChange") << QString() << int(Bridge::Mode::OnChange);
    }

    void modes()
    {
        QFETCH(QString, text);
        QTEST(int(MappingFile::parseMode(text)), "mode");
    }

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
        const QList<Bridge> bridges = MappingFile::bridges(QJsonObject{{"bridges", list}});
        QCOMPARE(bridges.size(), 3);
        QCOMPARE(bridges.at(0).key, "but_3");
        QCOMPARE(bridges.at(0).mode, Bridge::Mode::OnChange);
        QCOMPARE(bridges.at(1).action, "b");
        QCOMPARE(bridges.at(1).args.value("x").toInt(), 1);
        QCOMPARE(bridges.at(1).mode, Bridge::Mode::Always);
        QVERIFY(bridges.at(2).isCombined());
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
        if (create) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QList<Bridge> bridges;
        QString error;
        QVERIFY(!MappingFile::read(path, &bridges, &error));
        QVERIFY(error.contains(path));
    }
};

QTEST_GUILESS_MAIN(tst_MappingFile)
#include "tst_mappingfile.moc"

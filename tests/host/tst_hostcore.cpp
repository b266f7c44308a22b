// The stand-in host: its action path (a mapping file read into bridges, and when the engine fires
// each publish mode with the values it hands on) and the pictures its device list shows.
#include "actionengine.h"
#include "deviceviewproxy.h"
#include "hosttheme.h"
#include "support/testsupport.h"

#include <QStandardItemModel>

namespace {

// Feeds "<ms>:<key>=<value>" inputs (a value with a dot or digits only is a number, else a flag)
// and ticks the clock every 10 ms up to endMs; returns "t:value" per firing, "r" marking repeats.
QStringList run(ActionEngine& engine, const QString& inputs, qint64 endMs)
{
    QStringList fired;
    auto note = [&fired](qint64 t, const QList<TriggeredAction>& list) {
        for (const TriggeredAction& a : list) {
            const QVariantList xy = a.value.toList();
            fired << QStringLiteral("%1%2:%3")
                         .arg(a.repeat ? "r" : "")
                         .arg(t)
                         .arg(xy.size() == 2
                                  ? QStringLiteral("%1,%2").arg(xy.at(0).toDouble()).arg(xy.at(1).toDouble())
                                  : a.value.toString());
        }
    };
    QStringList pending = inputs.split(' ', Qt::SkipEmptyParts);
    for (qint64 t = 0; t <= endMs; t += 10) {
        while (!pending.isEmpty() && pending.first().section(':', 0, 0).toLongLong() <= t) {
            const QString input = pending.takeFirst().section(':', 1);
            const QString value = input.section('=', 1);
            note(t, engine.feed({input.section('=', 0, 0)},
                                {value == "true" || value == "false" ? QVariant(value == "true")
                                                                     : QVariant(value.toDouble())},
                                t));
        }
        note(t, engine.tick(t));
    }
    return fired;
}

} // namespace

class tst_HostCore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Qt's own buttons speak French beside the plugin's French texts; under English they stay.
    void qtTextsFollowTheHostsLanguage()
    {
        const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
        QVERIFY(!HostTheme::installQtCatalog(QLocale(QLocale::English)));
        QCOMPARE(cancel(), QString("Cancel"));
        QVERIFY(HostTheme::installQtCatalog(QLocale::c()));
        QCOMPARE(cancel(), QString("Annuler"));
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
        QStringList seen; // "<key> <mode> <action> <args>[ x+y]"
        for (const Bridge& b : MappingFile::bridges(QJsonObject{{"bridges", list}}))
            seen << QStringLiteral("%1 %2 %3 %4%5")
                        .arg(b.key, QString::number(int(b.mode)), b.action,
                             QJsonDocument(b.args).toJson(QJsonDocument::Compact),
                             b.isCombined() ? " x+y" : "");
        QCOMPARE(seen, (QStringList{"but_3 0 a {}", "joy_0 2 b {\"x\":1}", "joy_0 0 pan {} x+y"}));
        QCOMPARE(MappingFile::parseMode(" ACTIVE_ONLY "), Bridge::Mode::ActiveOnly);
    }

    void unreadableFiles_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file at all
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("trailing comma in object") << QByteArray("{\"bridges\": [],}");
        QTest::newRow("array at the root") << QByteArray("[]");
    }

    void unreadableFiles()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath("configActionGamepad.json");
        if (!content.isNull())
            QVERIFY(TestSupport::writeFile(path, content));
        QList<Bridge> bridges;
        QString error;
        QVERIFY(!MappingFile::read(path, &bridges, &error));
        QVERIFY(error.contains(path));
    }

    void publishModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("inputs");
        QTest::addColumn<int>("endMs");
        QTest::addColumn<QStringList>("fired");
        QTest::addColumn<bool>("stick"); // joy_0 and joy_1 as one combined stick
        auto row = [](const char* name, Bridge::Mode mode, const char* inputs, int endMs, QStringList fired,
                      bool stick = false) {
            QTest::newRow(name) << int(mode) << QString(inputs) << endMs << fired << stick;
        };
        const char* press = "100:but_3=true 400:but_3=false";
        row("onChange fires on each report only", Bridge::Mode::OnChange, press, 500,
            {"100:true", "400:false"});
        row("activeOnly repeats while pressed and reports the release once", Bridge::Mode::ActiveOnly, press,
            500, {"100:true", "r200:true", "r300:true", "400:false"});
        row("activeOnly axis off rest then back to zero", Bridge::Mode::ActiveOnly, "50:joy_0=40 260:joy_0=0",
            600, {"50:40", "r150:40", "r250:40", "260:0"});
        row("activeOnly ignores a zero report at rest", Bridge::Mode::ActiveOnly, "50:joy_0=0", 300, {});
        row("always fires at rest too", Bridge::Mode::Always, "150:joy_0=10", 360,
            {"r100:0", "150:10", "r250:10", "r350:10"});
        row("a combined stick rests only when both axes do", Bridge::Mode::ActiveOnly,
            "20:joy_0=30 60:joy_1=-20 90:joy_0=0 230:joy_1=0", 300,
            {"20:30,0", "60:30,-20", "90:0,-20", "r190:0,-20", "230:0,0"}, true);
    }

    void publishModes()
    {
        QFETCH(int, mode);
        QFETCH(QString, inputs);
        QFETCH(int, endMs);
        QFETCH(bool, stick);
        const QString key = inputs.section(' ', -1).section(':', 1).section('=', 0, 0);
        ActionEngine engine; // bridges: key, x and y of a stick, group, mode, action, arguments
        engine.setBridges(
            {{key, stick ? "joy_0" : "", stick ? "joy_1" : "", {}, Bridge::Mode(mode), "act", {}}});
        QTEST(run(engine, inputs, endMs), "fired");
    }

    void argumentsTakeInputValues()
    {
        const QJsonObject args{
            {"rate", " ARG_0 "}, {"other", "param:joy_5"}, {"fixed", 3}, {"label", "arg_1"}};
        ActionEngine engine;
        engine.setBridges({{"joy_2", {}, {}, {}, Bridge::Mode::OnChange, "act", args}});
        QVERIFY(engine.feed({"joy_5"}, {12.5}, 0).isEmpty()); // another key fires nothing
        const auto fired = engine.feed({"JOY_2"}, {-33.3333}, 10);
        QCOMPARE(fired.size(), 1);
        QCOMPARE(fired.first().key, "joy_2");
        // arg_1 means the y of a combined stick only; elsewhere it stays text.
        QCOMPARE(fired.first().args,
                 (QJsonObject{{"rate", -33.333}, {"other", 12.5}, {"fixed", 3}, {"label", "arg_1"}}));
    }

    void proxyPictures_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("shown");
        const QString disk = QStringLiteral("/data/GamepadProfiles/x/image.png");
        QTest::newRow("product picture the host lacks")
            << QStringLiteral(":/new/prefix1/ressources/menette_id_4242.png")
            << QString::fromLatin1(DeviceViewProxy::GenericPicture);
        QTest::newRow("definition picture on disk") << disk << disk;
        QTest::newRow("no picture") << QString() << QString();
    }

    void proxyPictures()
    {
        QFETCH(QString, source);
        QStandardItemModel model;
        model.setItemRoleNames({{Qt::UserRole + 9, "image"}, {Qt::UserRole + 1, "usn"}});
        model.appendRow(new QStandardItem);
        model.setItemData(model.index(0, 0), {{Qt::UserRole + 9, source}, {Qt::UserRole + 1, source}});
        DeviceViewProxy proxy;
        proxy.setSourceModel(&model);
        QTEST(proxy.index(0, 0).data(Qt::UserRole + 9).toString(), "shown");
        // Other roles pass through untouched.
        QCOMPARE(proxy.index(0, 0).data(Qt::UserRole + 1).toString(), source);
        QCOMPARE(proxy.roleNames(), model.roleNames());
    }
};

QTEST_GUILESS_MAIN(tst_HostCore)
#include "tst_hostcore.moc"

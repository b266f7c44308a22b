// The stand-in host's action engine: when each publish mode fires, and the values it hands on.
#include "actionengine.h"

#include <QTest>

namespace {

Bridge bridge(const QString& key, Bridge::Mode mode, const QJsonObject& args = {})
{
    Bridge b;
    b.key = key;
    b.mode = mode;
    b.action = QStringLiteral("act");
    b.args = args;
    return b;
}

// One timed input of a sequence: at ms, key takes value; an empty key is a clock step only.
struct Step
{
    qint64 at;
    QString key;
    QVariant value;
};

// Feeds the steps and ticks the clock every 10 ms up to the end; returns "t:value" per firing,
// with "r" marking repeats.
QStringList run(ActionEngine& engine, const QList<Step>& steps, qint64 endMs)
{
    QStringList fired;
    auto note = [&fired](qint64 t, const QList<TriggeredAction>& list) {
        for (const TriggeredAction& a : list)
            fired << QStringLiteral("%1%2:%3")
                         .arg(a.repeat ? QStringLiteral("r") : QString())
                         .arg(t)
                         .arg(a.value.userType() == QMetaType::QVariantList
                                  ? QStringLiteral("%1,%2")
                                        .arg(a.value.toList().at(0).toDouble())
                                        .arg(a.value.toList().at(1).toDouble())
                                  : a.value.toString());
    };
    int next = 0;
    for (qint64 t = 0; t <= endMs; t += 10) {
        while (next < steps.size() && steps.at(next).at <= t) {
            const Step& s = steps.at(next++);
            if (!s.key.isEmpty())
                note(t, engine.feed({s.key}, {s.value}, t));
        }
        note(t, engine.tick(t));
    }
    return fired;
}

} // namespace

class tst_ActionEngine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void publishModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<int>("endMs");
        QTest::addColumn<QStringList>("fired");
        const QList<Step> press{{0, QString(), {}}, {100, "but_3", true}, {400, "but_3", false}};
        QTest::newRow("onChange fires on each report only")
            << int(Bridge::Mode::OnChange) << press << 500 << QStringList{"100:true", "400:false"};
        QTest::newRow("activeOnly repeats while pressed and reports the release once")
            << int(Bridge::Mode::ActiveOnly) << press << 500
            << QStringList{"100:true", "r200:true", "r300:true", "400:false"};
        const QList<Step> axis{{50, "joy_0", 40.0}, {260, "joy_0", 0.0}};
        QTest::newRow("activeOnly axis off rest then back to zero")
            << int(Bridge::Mode::ActiveOnly) << axis << 600
            << QStringList{"50:40", "r150:40", "r250:40", "260:0"};
        QTest::newRow("activeOnly ignores a zero report at rest")
            << int(Bridge::Mode::ActiveOnly) << QList<Step>{{50, "joy_0", 0.0}} << 300 << QStringList{};
        QTest::newRow("always fires at rest too")
            << int(Bridge::Mode::Always) << QList<Step>{{150, "joy_0", 10.0}} << 360
            << QStringList{"r100:0", "150:10", "r250:10", "r350:10"};
    }

    void publishModes()
    {
        QFETCH(int, mode);
        QFETCH(QList<Step>, steps);
        QFETCH(int, endMs);
        ActionEngine engine;
        const QString key = steps.last().key;
        engine.setBridges({bridge(key, Bridge::Mode(mode))});
        QTEST(run(engine, steps, endMs), "fired");
    }

    void combinedStickRestsOnBothAxes()
    {
        Bridge stick = bridge("joy_0", Bridge::Mode::ActiveOnly);
        stick.joyXKey = QStringLiteral("joy_0");
        stick.joyYKey = QStringLiteral("joy_1");
        ActionEngine engine;
        engine.setBridges({stick});
        const QStringList fired =
            run(engine, {{20, "joy_0", 30.0}, {60, "joy_1", -20.0}, {90, "joy_0", 0.0}, {230, "joy_1", 0.0}},
                300);
        QCOMPARE(fired, (QStringList{"20:30,0", "60:30,-20", "90:0,-20", "r190:0,-20", "230:0,0"}));
    }

    void argumentsTakeInputValues()
    {
        Bridge b = bridge(
            "joy_2", Bridge::Mode::OnChange,
            QJsonObject{{"rate", " ARG_0 "}, {"other", "param:joy_5"}, {"fixed", 3}, {"label", "arg_1"}});
        ActionEngine engine;
        engine.setBridges({b});
        QVERIFY(engine.feed({"joy_5"}, {12.5}, 0).isEmpty()); // another key fires nothing
        const auto fired = engine.feed({"JOY_2"}, {-33.3333}, 10);
        QCOMPARE(fired.size(), 1);
        QCOMPARE(fired.first().key, "joy_2");
        QCOMPARE(fired.first().args.value("rate").toDouble(), -33.333);
        QCOMPARE(fired.first().args.value("other").toDouble(), 12.5);
        QCOMPARE(fired.first().args.value("fixed").toInt(), 3);
        // arg_1 means the y of a combined stick only; elsewhere it stays text.
        QCOMPARE(fired.first().args.value("label").toString(), "arg_1");
    }
};

QTEST_GUILESS_MAIN(tst_ActionEngine)
#include "tst_actionengine.moc"

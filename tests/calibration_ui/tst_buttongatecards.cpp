// The button card (summary, enabling, state label) and the gate card with its preview (source
// combo, edge combo, hysteresis, disconnection).
#include "gamepadbuttoncalibrationwidget.h"
#include "gamepadgatecalibrationwidget.h"
#include "gatepreviewwidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

using namespace GamepadCalibration;

namespace {

ButtonSettings button(bool press, bool release, int debounce, bool repeatPress, bool repeatRelease,
                      bool enabled = true)
{
    ButtonSettings b;
    b.enabled = enabled;
    b.emitOnPress = press;
    b.emitOnRelease = release;
    b.debounceMs = debounce;
    b.repeatOnPress = repeatPress;
    b.repeatOnRelease = repeatRelease;
    return b;
}

GateSettings gate(double radius = 50, double hysteresis = 3)
{
    GateSettings g;
    g.key = QStringLiteral("gate_0");
    g.radius = radius;
    g.hysteresis = hysteresis;
    return g;
}

QList<GateSource2D> sources()
{
    return {{QStringLiteral("left"), QStringLiteral("Gauche"), 0, 1},
            {QStringLiteral("right"), QStringLiteral("Droite"), 2, 3},
            {QStringLiteral("broken"), QStringLiteral("Sans axes"), -1, 3}};
}

} // namespace

class tst_ButtonGateCards : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void buttonSummary_data();
    void buttonSummary();
    void disabledButtonLocksItsInputs();
    void buttonEditsAndState();
    void edgeCombo();
    void sourceCombo_data();
    void sourceCombo();
    void previewHysteresisAndDisconnection();
};

void tst_ButtonGateCards::buttonSummary_data()
{
    QTest::addColumn<ButtonSettings>("settings");
    QTest::addColumn<QString>("summary");
    QTest::newRow("defaults") << ButtonSettings() << "press";
    QTest::newRow("press and release, debounce, repeat on press")
        << button(true, true, 50, true, false) << "press | release  debounce 50 ms  repeat press / 120 ms";
    QTest::newRow("repeat on release without emitting release")
        << button(true, false, 0, false, true) << "press";
    QTest::newRow("neither kind") << button(false, false, 0, false, false) << "-";
    QTest::newRow("disabled keeps its timing")
        << button(true, false, 20, false, false, false) << "inactif  debounce 20 ms";
}

void tst_ButtonGateCards::buttonSummary()
{
    QFETCH(ButtonSettings, settings);
    GamepadButtonCalibrationWidget card;
    card.setSettings(settings);
    QFETCH(QString, summary);
    QCOMPARE(card.findChild<QLabel*>(QStringLiteral("buttonSummaryLabel"))->text(), summary);
}

void tst_ButtonGateCards::disabledButtonLocksItsInputs()
{
    GamepadButtonCalibrationWidget card;
    card.setSettings(button(true, true, 0, false, false, false));
    const QList<QCheckBox*> checks = card.findChildren<QCheckBox*>();
    const QList<QSpinBox*> spins = card.findChildren<QSpinBox*>();
    QVERIFY(checks.at(0)->isEnabled()); // Actif
    for (QWidget* w : {static_cast<QWidget*>(checks.at(1)), static_cast<QWidget*>(checks.at(4)),
                       static_cast<QWidget*>(spins.at(0))})
        QVERIFY(!w->isEnabled());

    checks.at(0)->setChecked(true);
    QVERIFY(checks.at(1)->isEnabled() && spins.at(0)->isEnabled());
    QVERIFY(!spins.at(1)->isEnabled() && !spins.at(2)->isEnabled()); // no repeat applies yet
    checks.at(4)->setChecked(true);                                  // repeat on release, release is emitted
    QVERIFY(spins.at(1)->isEnabled() && spins.at(2)->isEnabled());
    card.setEditable(false);
    for (QWidget* w : card.findChildren<QWidget*>()) {
        if (qobject_cast<QCheckBox*>(w) || qobject_cast<QSpinBox*>(w))
            QVERIFY(!w->isEnabled());
    }
}

void tst_ButtonGateCards::buttonEditsAndState()
{
    GamepadButtonCalibrationWidget card;
    card.setIndex(7);
    QCOMPARE(card.findChild<QLabel*>(QStringLiteral("buttonTitle"))->text(), QStringLiteral("but_7"));
    QSignalSpy changed(&card, &GamepadButtonCalibrationWidget::settingsChanged);
    card.findChildren<QSpinBox*>().at(0)->setValue(40);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<ButtonSettings>().debounceMs, 40);
    card.setSettings(ButtonSettings());
    QCOMPARE(changed.count(), 1);

    auto* state = card.findChild<QLabel*>(QStringLiteral("buttonStateLabel"));
    QCOMPARE(state->text(), QStringLiteral("repos"));
    card.setPressed(true);
    QCOMPARE(state->text(), QStringLiteral("appuye"));
    QCOMPARE(state->property("pressed").toBool(), true);
}

// The edge combo names which crossings emit; a gate that emits on neither shows "Les deux".
void tst_ButtonGateCards::edgeCombo()
{
    GamepadGateCalibrationWidget card;
    GateSettings neither = gate();
    neither.emitOnEnter = false;
    neither.emitOnExit = false;
    card.setSettings(neither);
    auto* combo = card.findChild<QComboBox*>(QStringLiteral("edgeCombo"));
    QCOMPARE(combo->currentText(), QStringLiteral("Les deux"));

    QList<QList<bool>> reported; // enter, exit
    card.setChangedCallback([&](const GateSettings& s) {
        reported << QList<bool>{s.emitOnEnter, s.emitOnExit};
    });
    for (int index : {1, 2, 0})
        combo->setCurrentIndex(index);
    QCOMPARE(reported, (QList<QList<bool>>{{true, false}, {false, true}, {true, true}}));
}

void tst_ButtonGateCards::sourceCombo_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("xAxis");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::newRow("by key") << "right" << 0 << "Joy 2/3" << 2;
    QTest::newRow("key gone, axes match") << "gone" << 2 << "Joy 2/3" << 2;
    QTest::newRow("no match: historic item") << "gone" << 5 << "Joy 5/3" << 3;
}

void tst_ButtonGateCards::sourceCombo()
{
    GamepadGateCalibrationWidget card;
    card.setSources(sources());
    GateSettings g = gate();
    QFETCH(QString, key);
    g.source2dKey = key;
    QFETCH(int, xAxis);
    g.xAxis = xAxis;
    g.yAxis = 3;
    card.setSettings(g);
    auto* combo = card.findChild<QComboBox*>(QStringLiteral("sourceCombo"));
    QFETCH(int, count);
    QCOMPARE(combo->count(), count);
    QFETCH(QString, text);
    QCOMPARE(combo->currentText(), text);
    const QString tip = combo->itemData(combo->currentIndex(), Qt::ToolTipRole).toString();
    QCOMPARE(tip.startsWith(QStringLiteral("Source historique sans pastille\n")), combo->count() == 3);
    if (combo->count() == 2)
        QCOMPARE(combo->itemData(1, Qt::ToolTipRole).toString(),
                 QStringLiteral("Source technique : right\nX : joy_2 (Z)\nY : joy_3 (R)"));

    // Choosing a pastille moves the gate onto its axes.
    QList<GateSettings> reported;
    card.setChangedCallback([&](const GateSettings& s) { reported << s; });
    combo->setCurrentIndex(0);
    QCOMPARE(reported.last().source2dKey, QStringLiteral("left"));
    QCOMPARE((QList<int>{reported.last().xAxis, reported.last().yAxis}), (QList<int>{0, 1}));
}

void tst_ButtonGateCards::previewHysteresisAndDisconnection()
{
    GamepadGateCalibrationWidget card;
    card.setSettings(gate(50, 3));
    card.setConnected(true);
    auto* state = card.findChild<QLabel*>(QStringLiteral("gateStateLabel"));
    auto* capture = card.findChild<QToolButton*>(QStringLiteral("captureCentreButton"));
    QVERIFY(capture->isEnabled());

    struct Step
    {
        double x;
        const char* expected;
    };
    // Enter at the radius, stay inside up to radius + hysteresis, leave beyond it, stay out below it.
    for (const Step& step : {Step{60, "dehors"}, Step{50.5, "dehors"}, Step{50, "dedans"},
                             Step{52.9, "dedans"}, Step{53.1, "dehors"}, Step{51, "dehors"}}) {
        card.setLiveValues(step.x, 0);
        QCOMPARE(state->text(), QLatin1String(step.expected));
        QCOMPARE(state->property("inside").toBool(), qstrcmp(step.expected, "dedans") == 0);
    }
    card.setLiveValues(10, 10);
    QVERIFY(card.isInside());
    card.setConnected(false);
    QVERIFY(!card.isInside() && !card.preview()->isInside());
    QCOMPARE(state->text(), QStringLiteral("dehors"));
    QVERIFY(!capture->isEnabled());

    // The painting follows: the circle's rim turns green while inside (extent 100, so 0.65 px a unit).
    GatePreviewWidget preview;
    preview.resize(160, 160);
    preview.setSettings(gate(50, 3));
    preview.setConnected(true);
    QImage image(preview.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    preview.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    const QColor rim = image.pixelColor(80 + 32, 80 - 1);
    QVERIFY2(rim.green() > 150 && rim.red() < 120, qPrintable(rim.name()));
    QCOMPARE(image.pixelColor(80, 80), QColor(72, 196, 122)); // the live point, over the centre dot
}

QTEST_MAIN(tst_ButtonGateCards)
#include "tst_buttongatecards.moc"

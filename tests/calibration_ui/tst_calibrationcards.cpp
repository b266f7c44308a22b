// The cards of the calibration page. The axis card: what its spins can hold, which rows each mode
// shows, when capturing is possible, its live labels and the two paintings of its preview. The
// button card (summary, enabling, state label) and the gate card with its preview (source combo,
// edge combo, hysteresis, disconnection).
#include "axiscalibrationpreviewwidget.h"
#include "calibrationprocessing.h"
#include "gamepadaxiscalibrationwidget.h"
#include "gamepadbuttoncalibrationwidget.h"
#include "gamepadgatecalibrationwidget.h"
#include "gatepreviewwidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

using namespace GamepadCalibration;
using Card = GamepadAxisCalibrationWidget;

namespace {

template <typename T> T* child(const Card& card, const char* name)
{
    return card.findChild<T*>(QLatin1String(name));
}

// The widget painted alone on a transparent image, so translucent fills keep their own colour.
QColor pixel(QWidget* widget, QPointF at)
{
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image.pixelColor(at.toPoint());
}

// One colour painted over another, as the preview layers them.
QColor over(const QColor& below, const QColor& above)
{
    QImage image(1, 1, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.fillRect(image.rect(), below);
    p.fillRect(image.rect(), above);
    p.end();
    return image.pixelColor(0, 0);
}

bool near(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) <= 2 && qAbs(a.green() - b.green()) <= 2 &&
           qAbs(a.blue() - b.blue()) <= 2 && qAbs(a.alpha() - b.alpha()) <= 2;
}

// Around 0/0 on axes 0 and 1, radius 50 and hysteresis 3, emitting on enter and exit.
const GateSettings kGate = defaultGate(0);

QList<GateSource2D> sources()
{
    return {{QStringLiteral("left"), QStringLiteral("Gauche"), 0, 1},
            {QStringLiteral("right"), QStringLiteral("Droite"), 2, 3},
            {QStringLiteral("broken"), QStringLiteral("Sans axes"), -1, 3}};
}

} // namespace

class tst_CalibrationCards : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void spinsShowTheirLimitsNotTheStoredValue();
    void captureButtonsAndTheReading();
    void liveLabelsExpandingAndTriggerMode();
    void previewPaintsWhatProcessingSays_data();
    void previewPaintsWhatProcessingSays();
    void buttonSummary_data();
    void buttonSummary();
    void buttonEditsStateAndLocking();
    void edgeComboHysteresisAndDisconnection();
    void sourceCombo_data();
    void sourceCombo();
};

void tst_CalibrationCards::spinsShowTheirLimitsNotTheStoredValue()
{
    Card card;
    QSignalSpy changed(&card, &Card::settingsChanged);
    AxisSettings s;
    s.deadzoneRadius = 120;
    s.gamma = 9;
    card.setSettings(s);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(child<QDoubleSpinBox>(card, "deadzoneSpin")->value(), 50.0);
    QCOMPARE(child<QDoubleSpinBox>(card, "gammaSpin")->value(), 6.0);
    QCOMPARE(card.settings().deadzoneRadius, 99.0);
    QCOMPARE(card.settings().gamma, 9.0);

    child<QDoubleSpinBox>(card, "restSpin")->setValue(2);
    QCOMPARE(changed.count(), 1);
    const auto reported = changed.at(0).at(0).value<AxisSettings>();
    QCOMPARE(reported.deadzoneRadius, 50.0);
    QCOMPARE(reported.restRaw, 2.0);
    QCOMPARE(card.settings(), reported);

    // Scrolling the page over a spin that has not been clicked changes nothing; the wheel is left
    // to the parents (the scroll area).
    auto* rest = child<QDoubleSpinBox>(card, "restSpin");
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(rest, &wheel);
    QCOMPARE(rest->value(), 2.0);
    QVERIFY(!wheel.isAccepted());
    QCOMPARE(changed.count(), 1);
}

// The capture buttons work only while capturing is possible and the card is editable; a click asks
// the page for the reading, which the card stores once it comes back.
void tst_CalibrationCards::captureButtonsAndTheReading()
{
    Card card;
    const auto buttonsEnabled = [&] {
        QList<bool> state;
        for (const char* name :
             {"captureRestButton", "captureNegativeButton", "capturePositiveButton", "captureActiveButton"})
            state << child<QToolButton>(card, name)->isEnabled();
        return state;
    };
    QCOMPARE(buttonsEnabled(), QList<bool>(4, false)); // capture off, editable
    card.setCaptureEnabled(true);
    QCOMPARE(buttonsEnabled(), QList<bool>(4, true));
    card.setEditable(false);
    QCOMPARE(buttonsEnabled(), QList<bool>(4, false));
    card.setEditable(true);

    QSignalSpy requested(&card, &Card::captureRequested);
    QSignalSpy changed(&card, &Card::settingsChanged);
    child<QToolButton>(card, "captureNegativeButton")->click();
    QCOMPARE(requested.count(), 1);
    QCOMPARE(requested.at(0).at(0).value<Card::CaptureTarget>(), Card::Negative);
    QCOMPARE(changed.count(), 0);

    card.applyCapture(Card::Rest, 3.4);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(card.settings().restRaw, 3.4);
    QCOMPARE(child<QDoubleSpinBox>(card, "restSpin")->value(), 3.4);
    QCOMPARE(QMetaType::fromName("GamepadAxisCalibrationWidget::CaptureTarget").id(),
             QMetaType::fromType<Card::CaptureTarget>().id());
}

void tst_CalibrationCards::liveLabelsExpandingAndTriggerMode()
{
    Card card;
    card.setAxis(2, QStringLiteral(" Z "));
    QCOMPARE(child<QLabel>(card, "axisTitle")->text(), QStringLiteral("joy_2 (Z)"));
    card.setLiveRaw(54);
    const QList<QLabel*> metrics = card.findChildren<QLabel*>(QStringLiteral("metricLabel"));
    QCOMPARE(metrics.at(0)->text(), QStringLiteral("raw:   54.0"));
    QCOMPARE(metrics.at(1)->text(), QStringLiteral("out:   50.0"));
    card.setLiveRaw(-100);
    QCOMPARE(metrics.at(1)->text(), QStringLiteral("out: -100.0"));

    card.show();
    QVERIFY(!child<QWidget>(card, "detailsFrame")->isVisible());
    QTest::mouseClick(child<QLabel>(card, "axisTitle"), Qt::LeftButton);
    QVERIFY(card.isExpanded() && child<QWidget>(card, "detailsFrame")->isVisible());
    QCOMPARE(child<QToolButton>(card, "expandButton")->text(), QStringLiteral("v"));
    QTest::mouseClick(metrics.at(1), Qt::LeftButton);
    QVERIFY(!card.isExpanded());
    child<QToolButton>(card, "expandButton")->click();
    QVERIFY(card.isExpanded() && child<QToolButton>(card, "expandButton")->isChecked());

    // Expanded and shown: the mode decides which rows are visible.
    auto shown = [&](const char* name) { return child<QWidget>(card, name)->isVisible(); };
    auto* invert = child<QCheckBox>(card, "invertCheck");
    QVERIFY(shown("negativeSpin") && shown("capturePositiveButton") && !shown("activeSpin"));
    QVERIFY(invert->isEnabled());

    child<QComboBox>(card, "modeCombo")->setCurrentIndex(1);
    QCOMPARE(card.settings().mode, AxisMode::Trigger);
    QVERIFY(!shown("negativeSpin") && !shown("capturePositiveButton") && shown("activeSpin"));
    QVERIFY(!invert->isEnabled());

    child<QComboBox>(card, "modeCombo")->setCurrentIndex(0);
    QVERIFY(shown("negativeSpin") && !shown("captureActiveButton"));
    QVERIFY(invert->isEnabled());

    // Gamma follows the custom curve only, and nothing follows once the card is read-only.
    QVERIFY(!child<QWidget>(card, "gammaSpin")->isEnabled());
    child<QComboBox>(card, "curveCombo")->setCurrentIndex(3);
    QVERIFY(child<QWidget>(card, "gammaSpin")->isEnabled());
    card.setEditable(false);
    QVERIFY(!child<QWidget>(card, "gammaSpin")->isEnabled() && !invert->isEnabled());
}

void tst_CalibrationCards::previewPaintsWhatProcessingSays_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("raw");
    QTest::addColumn<QColor>("knob");
    QTest::newRow("compact, moving") << 34 << 60.0 << QColor(110, 200, 215);
    QTest::newRow("compact, inside the dead zone") << 34 << 5.0 << QColor(220, 120, 60);
    QTest::newRow("full, moving") << 80 << -60.0 << QColor(110, 200, 215);
}

void tst_CalibrationCards::previewPaintsWhatProcessingSays()
{
    QFETCH(int, height);
    QFETCH(double, raw);
    AxisCalibrationPreviewWidget preview;
    preview.resize(208, height);
    const AxisSettings settings;
    preview.setState(settings, raw, processAxis(settings, raw));
    const bool full = height >= AxisCalibrationPreviewWidget::FullHeight;
    const double left = full ? 8 : 4;
    const double width = 208 - 2 * left;
    const double trackCentre = full ? 10 + 6 + 9 : height / 2.0;
    QFETCH(QColor, knob);
    const QColor seen = pixel(&preview, QPointF(left + width * (raw + 100) / 200, trackCentre));
    QVERIFY2(near(seen, knob), qPrintable(seen.name(QColor::HexArgb)));
    if (full) {
        // The output fill runs from 0 to the value: -50 is a quarter of the way in.
        const double outY = height - 10 - 18 - 6;
        const QColor fill = pixel(&preview, QPointF(left + width * 0.375, outY));
        QVERIFY2(near(fill, over(QColor(14, 22, 29, 220), QColor(80, 180, 200, 180))),
                 qPrintable(fill.name(QColor::HexArgb)));
        QVERIFY(near(pixel(&preview, QPointF(left + width * 0.6, outY)), QColor(14, 22, 29, 220)));
    }
}

void tst_CalibrationCards::buttonSummary_data()
{
    QTest::addColumn<ButtonSettings>("settings");
    QTest::addColumn<QString>("summary");
    QTest::newRow("defaults") << ButtonSettings() << "press";
    QTest::newRow("press and release, debounce, repeat on press")
        << ButtonSettings{true, true, true, 50, true, false}
        << "press | release  debounce 50 ms  repeat press / 120 ms";
    QTest::newRow("repeat on release without emitting release")
        << ButtonSettings{true, true, false, 0, false, true} << "press";
    QTest::newRow("neither kind") << ButtonSettings{true, false, false, 0, false, false} << "-";
    QTest::newRow("disabled keeps its timing")
        << ButtonSettings{false, true, false, 20, false, false} << "inactif  debounce 20 ms";
}

void tst_CalibrationCards::buttonSummary()
{
    QFETCH(ButtonSettings, settings);
    GamepadButtonCalibrationWidget card;
    card.setSettings(settings);
    QFETCH(QString, summary);
    QCOMPARE(card.findChild<QLabel*>(QStringLiteral("buttonSummaryLabel"))->text(), summary);
}

void tst_CalibrationCards::buttonEditsStateAndLocking()
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

    card.setSettings(ButtonSettings{false, true, true, 0, false, false});
    const QList<QCheckBox*> checks = card.findChildren<QCheckBox*>();
    const QList<QSpinBox*> spins = card.findChildren<QSpinBox*>();
    QVERIFY(checks.at(0)->isEnabled()); // Actif
    QVERIFY(!checks.at(1)->isEnabled() && !checks.at(4)->isEnabled() && !spins.at(0)->isEnabled());

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

// The edge combo names which crossings emit; a gate that emits on neither shows "Les deux".
void tst_CalibrationCards::edgeComboHysteresisAndDisconnection()
{
    GamepadGateCalibrationWidget card;
    GateSettings neither = kGate;
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

    card.setSettings(kGate);
    card.setConnected(true);
    auto* state = card.findChild<QLabel*>(QStringLiteral("gateStateLabel"));
    auto* capture = card.findChild<QToolButton*>(QStringLiteral("captureCentreButton"));
    QVERIFY(capture->isEnabled());

    // Enter at the radius, stay inside up to radius + hysteresis, leave beyond it, stay out below it.
    const QList<std::pair<double, QString>> steps{{60, "dehors"},   {50.5, "dehors"}, {50, "dedans"},
                                                  {52.9, "dedans"}, {53.1, "dehors"}, {51, "dehors"}};
    for (const auto& [x, expected] : steps) {
        card.setLiveValues(x, 0);
        QCOMPARE(state->text(), expected);
        QCOMPARE(state->property("inside").toBool(), expected == "dedans");
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
    preview.setSettings(kGate);
    preview.setConnected(true);
    const QColor rim = pixel(&preview, QPointF(80 + 32, 80 - 1));
    QVERIFY2(rim.green() > 150 && rim.red() < 120, qPrintable(rim.name()));
    QCOMPARE(pixel(&preview, QPointF(80, 80)), QColor(72, 196, 122)); // the live point, over the centre dot
}

void tst_CalibrationCards::sourceCombo_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("xAxis");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::newRow("by key") << "right" << 0 << "Joy 2/3" << 2;
    QTest::newRow("key gone, axes match") << "gone" << 2 << "Joy 2/3" << 2;
    QTest::newRow("no match: historic item") << "gone" << 5 << "Joy 5/3" << 3;
}

void tst_CalibrationCards::sourceCombo()
{
    GamepadGateCalibrationWidget card;
    card.setSources(sources());
    GateSettings g = kGate;
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

QTEST_MAIN(tst_CalibrationCards)
#include "tst_calibrationcards.moc"

// The axis card: what its spins can hold, which rows each mode shows, when capturing is possible,
// its live labels and the two paintings of its preview.
#include "axiscalibrationpreviewwidget.h"
#include "calibrationprocessing.h"
#include "gamepadaxiscalibrationwidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
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

} // namespace

class tst_GamepadAxisCalibrationWidget : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void spinsShowTheirLimitsNotTheStoredValue();
    void triggerModeHidesMinMaxAndInvert();
    void captureButtonsAndTheReading();
    void liveLabelsAndExpanding();
    void previewPaintsWhatProcessingSays_data();
    void previewPaintsWhatProcessingSays();
};

void tst_GamepadAxisCalibrationWidget::spinsShowTheirLimitsNotTheStoredValue()
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

void tst_GamepadAxisCalibrationWidget::triggerModeHidesMinMaxAndInvert()
{
    Card card;
    card.setExpanded(true);
    card.show();
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

// The capture buttons work only while capturing is possible and the card is editable; a click asks
// the page for the reading, which the card stores once it comes back.
void tst_GamepadAxisCalibrationWidget::captureButtonsAndTheReading()
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

void tst_GamepadAxisCalibrationWidget::liveLabelsAndExpanding()
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
}

void tst_GamepadAxisCalibrationWidget::previewPaintsWhatProcessingSays_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("raw");
    QTest::addColumn<QColor>("knob");
    QTest::newRow("compact, moving") << 34 << 60.0 << QColor(110, 200, 215);
    QTest::newRow("compact, inside the dead zone") << 34 << 5.0 << QColor(220, 120, 60);
    QTest::newRow("full, moving") << 80 << -60.0 << QColor(110, 200, 215);
}

void tst_GamepadAxisCalibrationWidget::previewPaintsWhatProcessingSays()
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

QTEST_MAIN(tst_GamepadAxisCalibrationWidget)
#include "tst_gamepadaxiscalibrationwidget.moc"

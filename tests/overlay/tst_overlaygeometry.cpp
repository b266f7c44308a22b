// Where the picture goes in every scale mode, where pastilles land on it, and what is painted.
#include "overlaygeometry.h"
#include "overlaylines.h"
#include "overlaynode.h"

#include <QTest>

using namespace Overlay;

class tst_OverlayGeometry : public QObject
{
    Q_OBJECT
private slots:
    void backgroundRect_data()
    {
        QTest::addColumn<QSize>("widget");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QRect>("expected");
        auto row = [](const char* name, QSize widget, QSize picture, int mode, QRect expected) {
            QTest::newRow(name) << widget << picture << mode << expected;
        };
        row("stretch covers the widget", {800, 400}, {400, 400}, Stretch, {0, 0, 800, 400});
        row("contain centres a square picture", {800, 400}, {400, 400}, Contain, {200, 0, 400, 400});
        row("contain scales up keeping aspect", {900, 300}, {200, 100}, Contain, {150, 0, 600, 300});
        row("cover has negative offsets", {800, 400}, {400, 400}, Cover, {0, -200, 800, 800});
        row("center keeps natural size", {800, 400}, {101, 51}, Center, {349, 174, 101, 51});
        row("center truncates negative offsets toward zero", {100, 100}, {103, 103}, Center,
            {-1, -1, 103, 103});
        row("no picture is the whole widget", {640, 480}, {}, Contain, {0, 0, 640, 480});
        row("empty widget is the whole widget", {0, 300}, {400, 400}, Contain, {0, 0, 0, 300});
        row("unknown mode is the whole widget", {800, 400}, {400, 400}, 17, {0, 0, 800, 400});
    }

    void backgroundRect()
    {
        QFETCH(QSize, widget);
        QFETCH(QSize, picture);
        QFETCH(int, mode);
        QTEST(Overlay::backgroundRect(widget, picture, mode), "expected");
    }

    void placementRoundsAndKeepsOnePixel_data()
    {
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("half pixel rounds away from zero")
            << QRectF(0.0125, -0.0125, 0.5, 0.5) << QRect(1, -1, 20, 20);
        QTest::newRow("zero size becomes one pixel") << QRectF(0, 0, 0, 0.0001) << QRect(0, 0, 1, 1);
        QTest::newRow("negative size becomes one pixel") << QRectF(0.5, 0.5, -3, -3) << QRect(20, 20, 1, 1);
        QTest::newRow("huge values stay in range")
            << QRectF(1e300, 0, 1e300, 1) << QRect(1000000, 0, 1000000, 40);
    }

    void placementRoundsAndKeepsOnePixel()
    {
        QFETCH(QRectF, rect);
        QTEST(fromBackgroundSpace(rect, QRect(0, 0, 40, 40)), "expected");
    }

    void emptyBackgroundGivesInvalidRect()
    {
        QVERIFY(!toBackgroundSpace(QRect(0, 0, 10, 10), QRect(0, 0, 0, 50)).isValid());
        QVERIFY(!toBackgroundSpace(QRect(0, 0, 10, 10), QRect()).isValid());
    }

    void pictureFillsBackgroundRect_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("painted");
        QTest::addColumn<qreal>("ratio"); // the picture's device pixel ratio
        // The rectangles of every mode are checked above; here what is painted there.
        QTest::newRow("contain keeps the picture square")
            << int(OverlayLines::Contain) << QSize(400, 400) << QRect(200, 0, 400, 400) << 1.0;
        QTest::newRow("cover overflows the widget")
            << int(OverlayLines::Cover) << QSize(100, 100) << QRect(0, 0, 800, 400) << 1.0;
        QTest::newRow("a picture at ratio 2 is laid out at half its pixels")
            << int(OverlayLines::Center) << QSize(200, 120) << QRect(350, 170, 100, 60) << 2.0;
    }

    void pictureFillsBackgroundRect()
    {
        QFETCH(int, mode);
        QFETCH(QSize, picture);
        QFETCH(QRect, painted);
        QFETCH(qreal, ratio);
        OverlayLines lines;
        lines.resize(800, 400);
        QPalette palette = lines.palette();
        palette.setColor(QPalette::Window, Qt::black);
        lines.setPalette(palette);
        QPixmap pixmap(picture);
        pixmap.fill(Qt::red);
        pixmap.setDevicePixelRatio(ratio);
        QVERIFY(lines.setProperty("backgroundScaleMode", mode)); // as the editors set it
        lines.setBackgroundPixmap(pixmap);
        // The pastilles lie where it is drawn.
        QCOMPARE(lines.backgroundRect().intersected(lines.rect()), painted);
        const QImage image = lines.grab().toImage();
        for (const QPoint& point :
             {QPoint(2, 2), QPoint(400, 200), QPoint(797, 397), QPoint(250, 200), QPoint(360, 180)}) {
            if (painted.adjusted(-2, -2, 2, 2).contains(point) &&
                !painted.adjusted(2, 2, -2, -2).contains(point))
                continue; // smoothed edge
            QCOMPARE(image.pixelColor(point), painted.contains(point) ? QColor(Qt::red) : QColor(Qt::black));
        }
    }
};

QTEST_MAIN(tst_OverlayGeometry)
#include "tst_overlaygeometry.moc"

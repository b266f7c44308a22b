#include "overlaygeometry.h"
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

        QTest::newRow("stretch covers the widget")
            << QSize(800, 400) << QSize(400, 400) << int(Stretch) << QRect(0, 0, 800, 400);
        QTest::newRow("contain centres a square picture")
            << QSize(800, 400) << QSize(400, 400) << int(Contain) << QRect(200, 0, 400, 400);
        QTest::newRow("contain scales up keeping aspect")
            << QSize(900, 300) << QSize(200, 100) << int(Contain) << QRect(150, 0, 600, 300);
        QTest::newRow("cover has negative offsets")
            << QSize(800, 400) << QSize(400, 400) << int(Cover) << QRect(0, -200, 800, 800);
        QTest::newRow("center keeps natural size")
            << QSize(800, 400) << QSize(101, 51) << int(Center) << QRect(349, 174, 101, 51);
        QTest::newRow("center truncates negative offsets toward zero")
            << QSize(100, 100) << QSize(103, 103) << int(Center) << QRect(-1, -1, 103, 103);
        QTest::newRow("no picture is the whole widget")
            << QSize(640, 480) << QSize() << int(Contain) << QRect(0, 0, 640, 480);
        QTest::newRow("empty widget is the whole widget")
            << QSize(0, 300) << QSize(400, 400) << int(Contain) << QRect(0, 0, 0, 300);
        QTest::newRow("unknown mode is the whole widget")
            << QSize(800, 400) << QSize(400, 400) << 17 << QRect(0, 0, 800, 400);
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
};

QTEST_GUILESS_MAIN(tst_OverlayGeometry)
#include "tst_overlaygeometry.moc"

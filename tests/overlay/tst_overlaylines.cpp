#include "overlaylines.h"

#include <QTest>

class tst_OverlayLines : public QObject
{
    Q_OBJECT
private slots:
    void pictureFillsBackgroundRect_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("painted");
        QTest::addColumn<qreal>("ratio"); // the picture's device pixel ratio
        // The rectangles of every mode are checked with the geometry; here what is painted there.
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
        QCOMPARE(lines.backgroundRect().intersected(lines.rect()),
                 painted); // the pastilles lie where it is drawn
        const QImage image = lines.grab().toImage();
        for (const QPoint& point :
             {QPoint(2, 2), QPoint(400, 200), QPoint(797, 397), QPoint(250, 200), QPoint(360, 180)}) {
            const QColor expected =
                painted.adjusted(2, 2, -2, -2).contains(point) ? QColor(Qt::red) : QColor(Qt::black);
            if (painted.adjusted(-2, -2, 2, 2).contains(point) &&
                !painted.adjusted(2, 2, -2, -2).contains(point))
                continue; // smoothed edge
            QCOMPARE(image.pixelColor(point), expected);
        }
    }
};

QTEST_MAIN(tst_OverlayLines)
#include "tst_overlaylines.moc"

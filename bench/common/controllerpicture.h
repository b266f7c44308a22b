#pragma once

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

// A controller drawn with QPainter for the benchmarks (no artwork files needed).
inline QPixmap drawControllerPicture(const QSize& size = QSize(800, 480))
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size.width() / 800.0, size.height() / 480.0);

    // Body with two grips.
    QPainterPath body;
    body.moveTo(170, 110);
    body.cubicTo(250, 80, 550, 80, 630, 110);
    body.cubicTo(720, 140, 770, 300, 760, 390);
    body.cubicTo(752, 450, 690, 470, 640, 420);
    body.cubicTo(600, 380, 570, 340, 520, 335);
    body.lineTo(280, 335);
    body.cubicTo(230, 340, 200, 380, 160, 420);
    body.cubicTo(110, 470, 48, 450, 40, 390);
    body.cubicTo(30, 300, 80, 140, 170, 110);
    QLinearGradient shell(0, 80, 0, 470);
    shell.setColorAt(0.0, QColor(70, 78, 92));
    shell.setColorAt(0.5, QColor(42, 47, 58));
    shell.setColorAt(1.0, QColor(24, 27, 34));
    p.setPen(QPen(QColor(110, 120, 138), 2.0));
    p.setBrush(shell);
    p.drawPath(body);

    // Shoulder buttons.
    p.setBrush(QColor(58, 64, 76));
    p.drawRoundedRect(QRectF(165, 78, 130, 26), 12, 12);
    p.drawRoundedRect(QRectF(505, 78, 130, 26), 12, 12);

    auto well = [&p](const QPointF& c, double r) {
        QRadialGradient g(c, r);
        g.setColorAt(0.0, QColor(18, 20, 26));
        g.setColorAt(1.0, QColor(36, 40, 50));
        p.setPen(QPen(QColor(90, 98, 114), 1.5));
        p.setBrush(g);
        p.drawEllipse(c, r, r);
    };
    // Sticks.
    well(QPointF(215, 205), 58);
    well(QPointF(500, 280), 52);
    p.setBrush(QColor(60, 66, 80));
    p.drawEllipse(QPointF(215, 205), 34, 34);
    p.drawEllipse(QPointF(500, 280), 30, 30);
    // D-pad.
    well(QPointF(300, 280), 50);
    p.setBrush(QColor(66, 72, 86));
    p.drawRoundedRect(QRectF(286, 244, 28, 72), 5, 5);
    p.drawRoundedRect(QRectF(264, 266, 72, 28), 5, 5);
    // Face buttons.
    const QColor faces[] = {QColor(90, 170, 110), QColor(200, 90, 90), QColor(90, 130, 210),
                            QColor(210, 180, 80)};
    const QPointF spots[] = {{590, 245}, {630, 205}, {550, 205}, {590, 165}};
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(faces[i].darker(140), 2));
        p.setBrush(faces[i].darker(170));
        p.drawEllipse(spots[i], 20, 20);
    }
    // Centre buttons.
    p.setBrush(QColor(70, 76, 90));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(350, 175, 34, 14), 7, 7);
    p.drawRoundedRect(QRectF(416, 175, 34, 14), 7, 7);
    return pixmap;
}

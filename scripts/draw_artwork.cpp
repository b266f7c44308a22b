// Draws the project's own artwork with QPainter: the provider icon compiled into the plugin and the
// pictures the stand-in host serves. Run by scripts/draw_artwork.sh; the PNG files are committed.
//   draw_artwork <repository root>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace {

struct PadStyle
{
    QColor bodyTop;
    QColor bodyBottom;
    QColor trim;
    QColor faceButtons[4]; // top, right, bottom, left
    QString faceLabels[4];
    bool sticksLow = false; // left stick below the d-pad (symmetric layout)
};

QPainterPath padBody(const QRectF& r)
{
    QPainterPath body;
    const qreal w = r.width();
    const qreal h = r.height();
    body.addRoundedRect(QRectF(r.left() + w * 0.12, r.top() + h * 0.08, w * 0.76, h * 0.52), h * 0.2,
                        h * 0.2);
    QPainterPath left;
    left.addEllipse(QRectF(r.left(), r.top() + h * 0.12, w * 0.36, h * 0.86));
    QPainterPath right;
    right.addEllipse(QRectF(r.right() - w * 0.36, r.top() + h * 0.12, w * 0.36, h * 0.86));
    return body.united(left).united(right).simplified();
}

void drawStick(QPainter& p, const QPointF& c, qreal radius)
{
    QRadialGradient well(c, radius * 1.25);
    well.setColorAt(0, QColor(20, 24, 28));
    well.setColorAt(1, QColor(48, 54, 60));
    p.setPen(Qt::NoPen);
    p.setBrush(well);
    p.drawEllipse(c, radius * 1.25, radius * 1.25);
    QRadialGradient cap(c - QPointF(radius * 0.3, radius * 0.3), radius);
    cap.setColorAt(0, QColor(92, 100, 108));
    cap.setColorAt(1, QColor(34, 38, 42));
    p.setBrush(cap);
    p.drawEllipse(c, radius, radius);
    p.setPen(QPen(QColor(20, 22, 24, 160), radius * 0.08));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, radius * 0.62, radius * 0.62);
}

void drawDpad(QPainter& p, const QPointF& c, qreal arm)
{
    QPainterPath cross;
    cross.addRoundedRect(QRectF(c.x() - arm, c.y() - arm / 3, arm * 2, arm * 2 / 3), arm * 0.12, arm * 0.12);
    cross.addRoundedRect(QRectF(c.x() - arm / 3, c.y() - arm, arm * 2 / 3, arm * 2), arm * 0.12, arm * 0.12);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(78, 86, 96));
    p.drawPath(cross.simplified());
}

void drawFaceButtons(QPainter& p, const QPointF& c, qreal spread, const PadStyle& style)
{
    const QPointF offsets[4] = {{0, -spread}, {spread, 0}, {0, spread}, {-spread, 0}};
    const qreal r = spread * 0.52;
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(qMax(6, int(r * 1.1)));
    p.setFont(f);
    for (int i = 0; i < 4; ++i) {
        const QPointF b = c + offsets[i];
        QRadialGradient g(b - QPointF(r * 0.3, r * 0.3), r * 1.2);
        g.setColorAt(0, style.faceButtons[i].lighter(135));
        g.setColorAt(1, style.faceButtons[i].darker(130));
        p.setPen(QPen(QColor(0, 0, 0, 90), r * 0.08));
        p.setBrush(g);
        p.drawEllipse(b, r, r);
        p.setPen(QColor(250, 250, 250, 230));
        p.drawText(QRectF(b.x() - r, b.y() - r, 2 * r, 2 * r), Qt::AlignCenter, style.faceLabels[i]);
    }
}

void drawPad(QPainter& p, const QRectF& r, const PadStyle& style)
{
    const QPainterPath body = padBody(r);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawPath(body.translated(0, r.height() * 0.03));
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, style.bodyTop);
    fill.setColorAt(1, style.bodyBottom);
    p.setBrush(fill);
    p.setPen(QPen(style.trim, r.width() * 0.008));
    p.drawPath(body);

    const qreal w = r.width();
    const qreal h = r.height();
    const QPointF leftTop(r.left() + w * 0.22, r.top() + h * 0.36);
    const QPointF leftLow(r.left() + w * 0.36, r.top() + h * 0.62);
    const QPointF rightTop(r.right() - w * 0.22, r.top() + h * 0.36);
    const QPointF rightLow(r.right() - w * 0.36, r.top() + h * 0.62);
    const qreal stick = w * 0.065;
    if (style.sticksLow) {
        drawDpad(p, leftTop, w * 0.06);
        drawStick(p, leftLow, stick);
    } else {
        drawStick(p, leftTop, stick);
        drawDpad(p, leftLow, w * 0.06);
    }
    drawStick(p, rightLow, stick);
    drawFaceButtons(p, rightTop, w * 0.055, style);

    // Centre buttons and the guide light.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 34, 38));
    p.drawRoundedRect(QRectF(r.center().x() - w * 0.1, r.top() + h * 0.3, w * 0.05, h * 0.05), 3, 3);
    p.drawRoundedRect(QRectF(r.center().x() + w * 0.05, r.top() + h * 0.3, w * 0.05, h * 0.05), 3, 3);
    QRadialGradient guide(QPointF(r.center().x(), r.top() + h * 0.2), w * 0.05);
    guide.setColorAt(0, style.trim.lighter(160));
    guide.setColorAt(1, style.trim.darker(140));
    p.setBrush(guide);
    p.drawEllipse(QPointF(r.center().x(), r.top() + h * 0.2), w * 0.04, w * 0.04);
}

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

bool save(const QImage& image, const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool ok = image.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

QImage padPicture(const PadStyle& style)
{
    QImage image = canvas(320, 240);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawPad(p, QRectF(10, 30, 300, 190), style);
    return image;
}

QImage providerIcon()
{
    QImage image = canvas(128, 128);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A screen with a pad in front of it: a console for the host's interface list.
    QLinearGradient screen(0, 8, 0, 80);
    screen.setColorAt(0, QColor(40, 92, 110));
    screen.setColorAt(1, QColor(14, 36, 46));
    p.setPen(QPen(QColor(110, 200, 215), 3));
    p.setBrush(screen);
    p.drawRoundedRect(QRectF(14, 8, 100, 70), 10, 10);
    p.setPen(QPen(QColor(110, 200, 215, 180), 2));
    p.drawLine(QPointF(44, 84), QPointF(84, 84));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 245, 248, 200));
    p.drawPolygon(QPolygonF({QPointF(54, 28), QPointF(78, 43), QPointF(54, 58)}));
    PadStyle style{QColor(232, 238, 242),
                   QColor(168, 182, 192),
                   QColor(60, 150, 170),
                   {QColor(230, 190, 40), QColor(220, 60, 60), QColor(60, 180, 90), QColor(60, 120, 220)},
                   {QString(), QString(), QString(), QString()},
                   false};
    drawPad(p, QRectF(10, 66, 108, 58), style);
    return image;
}

QImage axisIcon()
{
    QImage image = canvas(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(110, 200, 215), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 4), QPointF(16, 28));
    p.drawLine(QPointF(4, 16), QPointF(28, 16));
    p.setBrush(QColor(110, 200, 215));
    p.setPen(Qt::NoPen);
    for (const auto& tri :
         {QPolygonF({{16, 1}, {12, 7}, {20, 7}}), QPolygonF({{16, 31}, {12, 25}, {20, 25}}),
          QPolygonF({{1, 16}, {7, 12}, {7, 20}}), QPolygonF({{31, 16}, {25, 12}, {25, 20}})})
        p.drawPolygon(tri);
    p.setBrush(QColor(230, 240, 245));
    p.drawEllipse(QPointF(16, 16), 4.5, 4.5);
    return image;
}

QImage buttonIcon()
{
    QImage image = canvas(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(13, 12), 14);
    g.setColorAt(0, QColor(120, 230, 180));
    g.setColorAt(1, QColor(40, 150, 110));
    p.setBrush(g);
    p.setPen(QPen(QColor(200, 245, 225), 1.5));
    p.drawEllipse(QPointF(16, 16), 11, 11);
    return image;
}

QImage warningIcon()
{
    QImage image = canvas(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(220, 160, 0));
    p.setPen(QPen(QColor(250, 200, 60), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolygon(QPolygonF({{16, 3}, {30, 28}, {2, 28}}));
    p.setPen(QPen(QColor(30, 24, 10), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 11), QPointF(16, 19));
    p.drawPoint(QPointF(16, 24));
    return image;
}

QImage closeIcon()
{
    QImage image = canvas(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(230, 240, 245), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(24, 24));
    p.drawLine(QPointF(24, 8), QPointF(8, 24));
    return image;
}

QImage linkIcon(const QColor& colour, bool busy)
{
    QImage image = canvas(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(5, 5, 22, 22), busy ? 30 * 16 : 0, busy ? 270 * 16 : 360 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(16, 16), 5, 5);
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: draw_artwork <repository root>\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    const QString images = root.filePath(QStringLiteral("host/images"));
    bool ok = save(providerIcon(), root.filePath(QStringLiteral("resources/console-video.png")));

    const PadStyle dark{
        QColor(64, 70, 76),
        QColor(30, 33, 37),
        QColor(90, 200, 110),
        {QColor(230, 190, 40), QColor(220, 60, 60), QColor(60, 180, 90), QColor(60, 120, 220)},
        {QStringLiteral("Y"), QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("X")},
        false};
    const PadStyle slate{
        QColor(52, 58, 74),
        QColor(22, 26, 36),
        QColor(70, 130, 230),
        {QColor(60, 170, 150), QColor(220, 80, 90), QColor(90, 130, 220), QColor(210, 120, 190)},
        {QStringLiteral("△"), QStringLiteral("○"), QStringLiteral("✕"), QStringLiteral("□")},
        true};
    const PadStyle pro{QColor(44, 44, 48),
                       QColor(18, 18, 20),
                       QColor(220, 70, 60),
                       {QColor(80, 80, 86), QColor(80, 80, 86), QColor(80, 80, 86), QColor(80, 80, 86)},
                       {QStringLiteral("X"), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("Y")},
                       false};
    const PadStyle generic{
        QColor(150, 160, 170),
        QColor(90, 100, 110),
        QColor(110, 200, 215),
        {QColor(110, 120, 130), QColor(110, 120, 130), QColor(110, 120, 130), QColor(110, 120, 130)},
        {QStringLiteral("4"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("3")},
        true};
    ok &= save(padPicture(dark), images + QStringLiteral("/menette_id_654.png"));   // 045e:028e
    ok &= save(padPicture(slate), images + QStringLiteral("/menette_id_1476.png")); // 054c:05c4
    ok &= save(padPicture(pro), images + QStringLiteral("/menette_id_8201.png"));   // 057e:2009
    ok &= save(padPicture(generic), images + QStringLiteral("/menette_generic.png"));
    ok &= save(axisIcon(), images + QStringLiteral("/gp_axis.png"));
    ok &= save(buttonIcon(), images + QStringLiteral("/gp_button.png"));
    ok &= save(warningIcon(), images + QStringLiteral("/warning.png"));
    ok &= save(closeIcon(), images + QStringLiteral("/close.png"));
    ok &= save(linkIcon(QColor(60, 200, 120), false), images + QStringLiteral("/gimbalConnected.png"));
    ok &= save(linkIcon(QColor(230, 170, 40), true), images + QStringLiteral("/gimbalBusy.png"));
    ok &= save(linkIcon(QColor(200, 70, 70), false), images + QStringLiteral("/gimbalDisconnected.png"));
    return ok ? 0 : 1;
}

// Renders an overlay with every kind of pastille to a PNG for a visual check:
//   QT_QPA_PLATFORM=offscreen ./overlay_preview /tmp/overlay_preview.png
#include "controllerpicture.h"
#include "interactiveoverlay.h"

#include <QApplication>
#include <QJsonObject>
#include <QVBoxLayout>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/overlay_preview.png");

    QWidget frame;
    frame.setStyleSheet(QStringLiteral("background: #0f1a24;"));
    frame.resize(960, 560);
    auto* layout = new QVBoxLayout(&frame);
    layout->setContentsMargins(12, 12, 12, 12);
    auto* overlay = new InteractiveOverlay(&frame);
    overlay->setBackgroundPixmap(drawControllerPicture());
    layout->addWidget(overlay);
    frame.show();
    QApplication::processEvents();

    const QRect bg = overlay->backgroundRect();
    auto at = [&bg](double x, double y) {
        return QPointF(bg.x() + x * bg.width() / 800.0, bg.y() + y * bg.height() / 480.0);
    };
    const int left = overlay->addNode(at(215, 205), InteractiveOverlay::SingleJoy);
    overlay->setSource(left, QStringLiteral("main"), true, QStringLiteral("joy_0"));
    const int right =
        overlay->addNode(at(500, 280), InteractiveOverlay::SingleJoy, QStringLiteral("Joy droit"));
    Q_UNUSED(right);
    const int dual =
        overlay->addNode(at(300, 280), InteractiveOverlay::DualJoyCross, QStringLiteral("Croix"));
    overlay->setSource(dual, QStringLiteral("x"), true, QStringLiteral("joy_6"));
    overlay->setSource(dual, QStringLiteral("y"), true, QStringLiteral("joy_7"));
    const QPointF faces[] = {at(590, 245), at(630, 205), at(550, 205), at(590, 165)};
    for (int i = 0; i < 4; ++i) {
        const int b = overlay->addNode(faces[i], InteractiveOverlay::Button);
        if (i < 2)
            overlay->setSource(b, QStringLiteral("main"), false, QStringLiteral("but_%1").arg(i));
    }
    const int dual2 = overlay->addNode(at(400, 400), InteractiveOverlay::DualJoyCross);
    const bool mapping = argc > 2 && QByteArray(argv[2]) == "mapping";
    overlay->setMode(mapping ? InteractiveOverlay::Mapping : InteractiveOverlay::Edit);
    overlay->selectNode(left);
    overlay->startListening(dual2, QStringLiteral("x"));
    overlay->selectNode(dual);
    QApplication::processEvents();
    frame.grab().save(out);
    return 0;
}

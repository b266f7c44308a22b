#include "overlaygeometry.h"

#include "overlaynode.h"

#include <algorithm>
#include <cmath>

namespace Overlay {

QRect backgroundRect(const QSize& widgetSize, const QSize& pictureSize, int scaleMode)
{
    const QRect whole(QPoint(0, 0), widgetSize);
    if (pictureSize.isEmpty() || widgetSize.isEmpty())
        return whole;
    QSize size;
    switch (scaleMode) {
    case Contain:
        size = pictureSize.scaled(widgetSize, Qt::KeepAspectRatio);
        break;
    case Cover:
        size = pictureSize.scaled(widgetSize, Qt::KeepAspectRatioByExpanding);
        break;
    case Center:
        size = pictureSize;
        break;
    default: // Stretch and anything unknown
        return whole;
    }
    // Integer division truncates toward zero, as the saved documents expect.
    return QRect((widgetSize.width() - size.width()) / 2, (widgetSize.height() - size.height()) / 2,
                 size.width(), size.height());
}

QRectF toBackgroundSpace(const QRect& widgetRect, const QRect& background)
{
    if (background.width() <= 0 || background.height() <= 0)
        return {};
    const double bw = background.width();
    const double bh = background.height();
    return QRectF((widgetRect.x() - background.x()) / bw, (widgetRect.y() - background.y()) / bh,
                  widgetRect.width() / bw, widgetRect.height() / bh);
}

int roundToInt(double value)
{
    if (!std::isfinite(value))
        return 0;
    // A million pixels is far beyond any screen; the bound only keeps the cast defined.
    constexpr double limit = 1.0e6;
    return static_cast<int>(std::round(std::clamp(value, -limit, limit)));
}

QRect fromBackgroundSpace(const QRectF& rect, const QRect& background)
{
    const double bw = background.width();
    const double bh = background.height();
    const int left = roundToInt(background.x() + rect.x() * bw);
    const int top = roundToInt(background.y() + rect.y() * bh);
    const int width = roundToInt(std::max(1.0, rect.width() * bw));
    const int height = roundToInt(std::max(1.0, rect.height() * bh));
    return QRect(left, top, width, height);
}

} // namespace Overlay

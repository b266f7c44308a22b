#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>

// Background space: pastille rects are fractions of the rectangle the picture is painted in, so
// pastilles follow the picture whatever the widget size or scale mode.
namespace Overlay {

// The rectangle the picture occupies in a widget of the given size; the whole widget without a
// picture, for an empty widget, for Stretch and for unknown modes. Cover offsets may be negative.
QRect backgroundRect(const QSize& widgetSize, const QSize& pictureSize, int scaleMode);

// Widget rectangle -> fractions of the background; invalid when the background has no area.
QRectF toBackgroundSpace(const QRect& widgetRect, const QRect& background);

// Fractions -> widget rectangle, rounded half away from zero, each side at least 1 pixel.
QRect fromBackgroundSpace(const QRectF& rect, const QRect& background);

// Half-away-from-zero rounding kept inside the int range (huge document values stay harmless).
int roundToInt(double value);

} // namespace Overlay

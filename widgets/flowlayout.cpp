#include "flowlayout.h"

#include <QWidget>

FlowLayout::FlowLayout(QWidget* parent, int horizontalSpacing, int verticalSpacing)
    : QLayout(parent), m_horizontalSpacing(horizontalSpacing), m_verticalSpacing(verticalSpacing)
{}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

int FlowLayout::horizontalSpacing() const
{
    return m_horizontalSpacing >= 0 ? m_horizontalSpacing : smartSpacing(QStyle::PM_LayoutHorizontalSpacing);
}

int FlowLayout::verticalSpacing() const
{
    return m_verticalSpacing >= 0 ? m_verticalSpacing : smartSpacing(QStyle::PM_LayoutVerticalSpacing);
}

void FlowLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
}

int FlowLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem* FlowLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem* FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    return doLayout(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem* item : m_items)
        size = size.expandedTo(item->minimumSize());
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowLayout::sizeHint() const
{
    // Preferred: everything on one line; narrower rectangles wrap through heightForWidth.
    int width = 0;
    int height = 0;
    const int spacing = horizontalSpacing();
    for (const QLayoutItem* item : m_items) {
        const QSize hint = item->sizeHint();
        width += hint.width() + (width > 0 ? spacing : 0);
        height = qMax(height, hint.height());
    }
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    doLayout(rect, true);
}

int FlowLayout::doLayout(const QRect& rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int hSpace = horizontalSpacing();
    const int vSpace = verticalSpacing();
    int x = area.left();
    int y = area.top();
    int lineHeight = 0;
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue; // hidden widgets take no room
        const QWidget* widget = item->widget();
        const QSize hint = item->sizeHint();
        int width = hint.width();
        if (x > area.left() && x + width - 1 > area.right()) {
            x = area.left();
            y += lineHeight + vSpace;
            lineHeight = 0;
        }
        const QSizePolicy::Policy policy =
            widget ? widget->sizePolicy().horizontalPolicy() : QSizePolicy::Preferred;
        if (policy == QSizePolicy::Expanding || policy == QSizePolicy::MinimumExpanding ||
            policy == QSizePolicy::Ignored)
            width = qMax(width, area.right() - x + 1);
        if (apply)
            item->setGeometry(QRect(QPoint(x, y), QSize(width, hint.height())));
        x += width + hSpace;
        lineHeight = qMax(lineHeight, hint.height());
    }
    return y + lineHeight + contentsMargins().bottom() - rect.top();
}

int FlowLayout::smartSpacing(QStyle::PixelMetric metric) const
{
    QObject* owner = parent();
    if (!owner)
        return -1;
    if (owner->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(owner);
        return widget->style()->pixelMetric(metric, nullptr, widget);
    }
    return static_cast<QLayout*>(owner)->spacing();
}

#include "librarylistdelegate.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>

namespace {
constexpr int kRowHeight = 38;
constexpr int kMarkerSize = 8;
const QSize kThumb(40, 28);
} // namespace

LibraryListDelegate::LibraryListDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QIcon LibraryListDelegate::thumbnail(const QString& path) const
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return QIcon();
    const QString key = path + QLatin1Char('|') + QString::number(info.lastModified().toMSecsSinceEpoch());
    const auto found = m_cache.constFind(key);
    if (found != m_cache.cend())
        return found.value();
    QImageReader reader(path);
    const QSize full = reader.size();
    if (full.isValid())
        reader.setScaledSize(full.scaled(kThumb * 2, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    QIcon icon;
    if (!image.isNull()) {
        // Centred on a fixed canvas so every row lines up whatever the picture's shape.
        QPixmap canvas(kThumb * 2);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QImage scaled = image.scaled(kThumb * 2, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter.drawImage((canvas.width() - scaled.width()) / 2, (canvas.height() - scaled.height()) / 2,
                          scaled);
        painter.end();
        canvas.setDevicePixelRatio(2.0);
        icon = QIcon(canvas);
    }
    m_cache.insert(key, icon);
    return icon;
}

void LibraryListDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QIcon icon = thumbnail(index.data(ImagePathRole).toString());
    if (!icon.isNull()) {
        option->icon = icon;
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = kThumb;
    }
    // The name stops short of the link marker on the right.
    const int room = option->rect.width() - kThumb.width() - kMarkerSize - 24;
    option->text = option->fontMetrics.elidedText(option->text, Qt::ElideRight, std::max(20, room));
}

void LibraryListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    const int link = index.data(LinkStateRole).toInt();
    if (link == Unlinked)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect marker(option.rect.right() - kMarkerSize - 4, option.rect.center().y() - kMarkerSize / 2,
                       kMarkerSize, kMarkerSize);
    const QColor colour = link == LinkedConnected ? QColor(95, 211, 124) : QColor(214, 162, 72);
    painter->setPen(QPen(colour.lighter(130), 1.0));
    painter->setBrush(colour);
    painter->drawEllipse(marker);
    painter->restore();
}

QSize LibraryListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), kRowHeight));
    return size;
}

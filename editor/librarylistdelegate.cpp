#include "librarylistdelegate.h"

#include "controlmanette.h"
#include "picturefile.h"
#include "profilestore.h"
#include "sampletimer.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

namespace {
constexpr int kRowHeight = 38;
constexpr int kMarkerSize = 8;
const QSize kThumb(40, 28);
// Decoding stops for the pass once this much has been spent, leaving the rest of the sampling
// interval to the pads' next step.
constexpr qint64 kBatchNs = 4 * 1000 * 1000;
// Batches start this long after a sampling step, once the pads have read their controllers.
constexpr int kAfterStepMs = 1;

// The next batch's start: just after the pads' next sampling step.
qint64 nextBatchMs()
{
    return SampleTimer::nextTickMs(ControlManette::DefaultSampleIntervalMs) + kAfterStepMs;
}
} // namespace

LibraryListDelegate::LibraryListDelegate(QAbstractItemView* view)
    : QStyledItemDelegate(view), m_view(view), m_loader(new SampleTimer(this))
{
    connect(m_loader, &SampleTimer::timeout, this, &LibraryListDelegate::loadNext);
}

QString LibraryListDelegate::cacheKey(const QString& path)
{
    if (path.isEmpty())
        return QString();
#ifdef Q_OS_LINUX
    // Asked for every row at every repaint of the list: one system call, where QFileInfo's
    // modification time goes through the local time zone (which glibc checks on disk each time).
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return QString();
    return path + QLatin1Char('|') + QString::number(qint64(st.st_mtim.tv_sec)) + QLatin1Char('.') +
           QString::number(qint64(st.st_mtim.tv_nsec)) + QLatin1Char('|') +
           QString::number(qint64(st.st_size));
#else
    const QFileInfo info(path);
    if (!info.isFile())
        return QString();
    return path + QLatin1Char('|') + QString::number(info.lastModified().toMSecsSinceEpoch()) +
           QLatin1Char('|') + QString::number(info.size());
#endif
}

QIcon LibraryListDelegate::thumbnail(const QString& path) const
{
    const QString key = cacheKey(path);
    if (key.isEmpty())
        return QIcon();
    const auto found = m_cache.constFind(key);
    if (found != m_cache.cend())
        return found.value();
    if (!m_pending.contains(path))
        m_pending.append(path);
    if (!m_loader->isActive())
        m_loader->startAt(nextBatchMs());
    return QIcon();
}

void LibraryListDelegate::loadNext()
{
    QElapsedTimer spent;
    spent.start();
    while (!m_pending.isEmpty() && spent.nsecsElapsed() < kBatchNs) {
        const QString path = m_pending.takeFirst();
        const QString key = cacheKey(path);
        if (!key.isEmpty() && !m_cache.contains(key))
            m_cache.insert(key, loadThumbnail(path));
    }
    if (!m_pending.isEmpty())
        m_loader->startAt(nextBatchMs());
    if (m_view)
        m_view->viewport()->update();
}

QIcon LibraryListDelegate::loadThumbnail(const QString& path) const
{
    const QImage image = PictureFile::thumbnail(path, kThumb * 2);
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
    return icon;
}

void LibraryListDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // Rows keep their place for the picture while it is being read.
    option->icon = thumbnail(index.data(ImagePathRole).toString());
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->decorationSize = kThumb;
    // The name stops short of the link marker on the right.
    const int room = option->rect.width() - kThumb.width() - kMarkerSize - 24;
    option->text = option->fontMetrics.elidedText(option->text, Qt::ElideRight, std::max(20, room));
}

void LibraryListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString name = opt.text;
    const QVariant scope = index.data(ScopeRole);
    // The name over its caption: the style paints the row, the thumbnail and the selection.
    if (scope.isValid())
        opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : nullptr;
    if (style)
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    else
        QStyledItemDelegate::paint(painter, option, index);

    painter->save();
    if (scope.isValid() && style) {
        const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        const bool selected = opt.state & QStyle::State_Selected;
        const QColor ink = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        const QFontMetrics nameMetrics(opt.font);
        QFont small = opt.font;
        small.setPointSizeF(std::max(7.5, small.pointSizeF() - 2));
        const QFontMetrics smallMetrics(small);
        const int top = text.center().y() - (nameMetrics.height() + smallMetrics.height()) / 2;
        painter->setPen(ink);
        painter->setFont(opt.font);
        painter->drawText(QRect(text.left(), top, text.width(), nameMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, name);
        QColor muted = ink;
        muted.setAlphaF(0.6);
        painter->setPen(muted);
        painter->setFont(small);
        const QString caption = scope.toInt() == int(ProfileScope::User) ? tr("personnel") : tr("partagé");
        painter->drawText(QRect(text.left(), top + nameMetrics.height(), text.width(), smallMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          smallMetrics.elidedText(caption, Qt::ElideRight, text.width()));
    }
    const int link = index.data(LinkStateRole).toInt();
    if (link != Unlinked) {
        painter->setRenderHint(QPainter::Antialiasing);
        const QRect marker(option.rect.right() - kMarkerSize - 4, option.rect.center().y() - kMarkerSize / 2,
                           kMarkerSize, kMarkerSize);
        const QColor colour = link == LinkedConnected ? QColor(95, 211, 124) : QColor(214, 162, 72);
        painter->setPen(QPen(colour.lighter(130), 1.0));
        painter->setBrush(colour);
        painter->drawEllipse(marker);
    }
    painter->restore();
}

QSize LibraryListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), kRowHeight));
    return size;
}

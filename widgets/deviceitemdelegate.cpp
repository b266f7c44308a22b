#include "deviceitemdelegate.h"

#include "picturefile.h"

#include <QAbstractItemView>
#include <QCursor>
#include <QDateTime>
#include <QFileInfo>
#include <QHelpEvent>
#include <QIcon>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QToolTip>

namespace {

const char* const kRoleNames[] = {"usn",
                                  "name",
                                  "ip",
                                  "selected",
                                  "isConnected",
                                  "videoInterfaces",
                                  "json",
                                  "product",
                                  "image",
                                  "modelString",
                                  "linkState",
                                  "activeProfileId",
                                  "activeProfileName",
                                  "activeProfilePosition",
                                  "profileCount",
                                  "hasProfileCarousel"};

constexpr int kChipSize = 20;
constexpr int kChipPitch = 28; // chip plus an 8 px gap

QColor rgba(int r, int g, int b, int a = 255)
{
    return QColor(r, g, b, a);
}

QFont shiftedFont(const QFont& base, qreal points, bool bold)
{
    QFont f = base;
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() + points);
    else if (f.pixelSize() > 0)
        f.setPixelSize(qMax(1, f.pixelSize() + qRound(points * 4.0 / 3.0)));
    f.setBold(bold);
    return f;
}

// Splits "Label|uri" at its first bar; without a bar the whole text is the uri.
void splitEntry(const QString& entry, QString* label, QString* uri)
{
    const int bar = entry.indexOf(QLatin1Char('|'));
    if (bar < 0) {
        label->clear();
        *uri = entry;
    } else {
        *label = entry.left(bar);
        *uri = entry.mid(bar + 1);
    }
}

// The count a chip's uri carries: the third ":" field, or the digits after "://" for the short
// "axis://8" form the device list writes.
int uriCount(const QString& uri)
{
    const QStringList fields = uri.split(QLatin1Char(':'));
    if (fields.size() >= 3)
        return fields.at(2).trimmed().toInt();
    const int scheme = uri.indexOf(QLatin1String("://"));
    return scheme < 0 ? 0 : uri.mid(scheme + 3).trimmed().toInt();
}

void drawFallbackLetter(QPainter* p, const QRect& r, const QColor& fill, const QString& letter)
{
    p->setPen(Qt::NoPen);
    p->setBrush(fill);
    p->drawRoundedRect(r, 4, 4);
    p->setPen(rgba(230, 240, 245));
    QFont f = p->font();
    f.setBold(true);
    p->setFont(f);
    p->drawText(r, Qt::AlignCenter, letter);
}

} // namespace

DeviceItemDelegate::DeviceItemDelegate(QObject* parent) : QStyledItemDelegate(parent)
{
    for (int& role : m_roles)
        role = -1;
}

DeviceItemDelegate::Geometry DeviceItemDelegate::geometryFor(const QRect& itemRect)
{
    Geometry g;
    g.card = itemRect.adjusted(6, 6, -6, -6);
    const int left = g.card.x();
    const int top = g.card.y();
    const int right = g.card.x() + g.card.width();
    const int bottom = g.card.y() + g.card.height();
    const int centreX = left + g.card.width() / 2;

    g.imageBox = QRect(centreX - 48, top + 16, 96, 96);
    const int imageBottom = g.imageBox.y() + g.imageBox.height();
    const int imageCentreY = g.imageBox.y() + g.imageBox.height() / 2;
    const int textTop = imageBottom + 10;
    g.textArea = QRect(left + 12, textTop, g.card.width() - 24, qMax(0, (bottom - 40) - 6 - textTop));
    g.controlsStrip = QRect(left + 12, bottom - 40, g.card.width() - 24, 28);
    g.deleteButton = QRect(left + 6, top + 6, 24, 24);
    g.statusDot = QRect(right - 26, top + 12, 14, 14);
    g.leftArrow = QRect(g.imageBox.x() - 28, imageCentreY - 16, 18, 32);
    g.rightArrow = QRect(g.imageBox.x() + g.imageBox.width() + 10, imageCentreY - 16, 18, 32);
    g.carouselLabel = QRect(centreX - 21, imageBottom - 24, 42, 18);
    g.selectionBadge = QRect(right - 38, bottom - 38, 26, 26);
    return g;
}

QList<DeviceItemDelegate::Chip> DeviceItemDelegate::layoutChips(const QRect& strip,
                                                                const QStringList& entries)
{
    QList<Chip> chips;
    const int capacity = (strip.width() + 8) / kChipPitch;
    const int shown = qMin(int(entries.size()), qMax(capacity, 0));
    const int hidden = int(entries.size()) - shown;
    // The row is centred with the count chip included, so that chip stays on the card.
    const int rowWidth = (shown + (hidden > 0 ? 1 : 0)) * kChipPitch - 8;
    const int x0 = strip.x() + (strip.width() - rowWidth) / 2;
    const int top = strip.y() + strip.height() / 2 - 10;
    for (int i = 0; i < shown; ++i) {
        Chip chip;
        splitEntry(entries.at(i), &chip.label, &chip.uri);
        if (chip.uri.startsWith(QLatin1String("axis://"), Qt::CaseInsensitive))
            chip.kind = ChipKind::Axis;
        else if (chip.uri.startsWith(QLatin1String("btn://"), Qt::CaseInsensitive))
            chip.kind = ChipKind::Button;
        chip.rect = QRect(x0 + i * kChipPitch, top, kChipSize, kChipSize);
        chips.append(chip);
    }
    if (hidden > 0) {
        Chip more;
        more.label = QStringLiteral("+%1").arg(hidden);
        more.rect = QRect(x0 + shown * kChipPitch, top, kChipSize, kChipSize);
        chips.append(more);
    }
    return chips;
}

QString DeviceItemDelegate::imageCacheKey(const QString& path, const QSize& size)
{
    const QDateTime modified = QFileInfo(path).lastModified();
    const qint64 ms = modified.isValid() ? modified.toMSecsSinceEpoch() : 0;
    return QStringLiteral("img:%1:%2x%3:%4").arg(path).arg(size.width()).arg(size.height()).arg(ms);
}

void DeviceItemDelegate::resolveRoles(const QAbstractItemModel* model) const
{
    if (m_rolesResolved || !model)
        return;
    const QHash<int, QByteArray> names = model->roleNames();
    for (int i = 0; i < RoleCount; ++i)
        m_roles[i] = names.key(QByteArray(kRoleNames[i]), -1);
    m_rolesResolved = true;
}

QVariant DeviceItemDelegate::value(const QModelIndex& index, Role role) const
{
    resolveRoles(index.model());
    if (m_roles[role] < 0 || !index.isValid())
        return {};
    return index.data(m_roles[role]);
}

QString DeviceItemDelegate::text(const QModelIndex& index, Role role) const
{
    return value(index, role).toString();
}

bool DeviceItemDelegate::flag(const QModelIndex& index, Role role) const
{
    return value(index, role).toBool();
}

int DeviceItemDelegate::number(const QModelIndex& index, Role role) const
{
    return value(index, role).toInt();
}

DeviceItemDelegate::CardTexts DeviceItemDelegate::cardTexts(const QModelIndex& index) const
{
    CardTexts texts;
    texts.title = text(index, RName);
    if (texts.title.isEmpty())
        texts.title = tr("<Sans nom>");
    const QString product = text(index, RProduct);
    const QString model = text(index, RModel);
    texts.subtitle = product.isEmpty() ? model : QStringLiteral("%1 - %2").arg(product, model);
    texts.address = text(index, RIp);
    return texts;
}

bool DeviceItemDelegate::carouselShown(const QModelIndex& index) const
{
    return flag(index, RHasProfileCarousel) && number(index, RProfileCount) >= 2;
}

QPixmap DeviceItemDelegate::resourcePixmap(const QString& path, const QSize& size)
{
    if (path.isEmpty())
        return {};
    const QString key = QStringLiteral("res:%1:%2x%3").arg(path).arg(size.width()).arg(size.height());
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return pm;
    pm = QIcon(path).pixmap(size);
    if (!pm.isNull())
        QPixmapCache::insert(key, pm);
    return pm;
}

QPixmap DeviceItemDelegate::picture(const QVariant& image, const QSize& size) const
{
    if (image.canConvert<QIcon>() && image.userType() == QMetaType::QIcon)
        return image.value<QIcon>().pixmap(size);
    if (image.userType() == QMetaType::QPixmap)
        return image.value<QPixmap>().scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QString path = image.toString();
    if (path.isEmpty())
        return {};
    const QString key = imageCacheKey(path, size);
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return pm;
    // The host's own pictures are resources; a definition's picture is a stranger's file.
    pm = path.startsWith(u':') ? QIcon(path).pixmap(size) : PictureFile::fitted(path, size);
    if (!pm.isNull())
        QPixmapCache::insert(key, pm);
    return pm;
}

void DeviceItemDelegate::paintCard(QPainter* p, const Geometry& g, bool hover, bool highlighted) const
{
    const QRectF card(g.card);
    p->setPen(Qt::NoPen);
    p->setBrush(rgba(0, 0, 0, 40));
    p->drawRoundedRect(card.translated(0, 2), 13, 13);

    QLinearGradient body(card.topLeft(), card.bottomLeft());
    body.setColorAt(0, hover ? rgba(20, 32, 42) : rgba(18, 28, 37));
    body.setColorAt(1, hover ? rgba(11, 18, 24) : rgba(9, 14, 19));
    p->setBrush(body);
    p->setPen(QPen(rgba(48, 76, 94, hover ? 210 : 160), 1));
    p->drawRoundedRect(card, 12, 12);

    p->setBrush(Qt::NoBrush);
    p->setPen(QPen(rgba(255, 255, 255, hover ? 18 : 12), 1));
    p->drawRoundedRect(card.adjusted(1, 1, -1, -1), 11, 11);

    const qreal accentY = card.top() + 1;
    QLinearGradient accent(card.left() + 12, accentY, card.right() - 12, accentY);
    accent.setColorAt(0, rgba(110, 200, 215, 0));
    accent.setColorAt(0.5, rgba(110, 200, 215, hover ? 160 : 120));
    accent.setColorAt(1, rgba(110, 200, 215, 0));
    p->setPen(QPen(QBrush(accent), 1.2));
    p->drawLine(QPointF(card.left() + 12, accentY), QPointF(card.right() - 12, accentY));

    if (highlighted) {
        p->setPen(QPen(rgba(110, 200, 215, 140), 1));
        p->drawRoundedRect(card.adjusted(-1, -1, 1, 1), 13, 13);
    }
}

void DeviceItemDelegate::paintCarousel(QPainter* p, const Geometry& g, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const
{
    const QColor ink = rgba(235, 242, 245);
    p->setPen(Qt::NoPen);
    for (const QRect& r : {g.leftArrow, g.rightArrow}) {
        p->setBrush(rgba(20, 32, 42, 200));
        p->drawRoundedRect(QRectF(r), 5, 5);
    }
    p->setBrush(ink);
    const QRectF l(g.leftArrow);
    const QRectF rr(g.rightArrow);
    p->drawPolygon(QPolygonF({QPointF(l.left() + 5, l.center().y()), QPointF(l.right() - 5, l.top() + 9),
                              QPointF(l.right() - 5, l.bottom() - 9)}));
    p->drawPolygon(QPolygonF({QPointF(rr.right() - 5, rr.center().y()), QPointF(rr.left() + 5, rr.top() + 9),
                              QPointF(rr.left() + 5, rr.bottom() - 9)}));

    QFont f = option.font;
    if (f.pointSizeF() > 0)
        f.setPointSizeF(qMax<qreal>(8.0, f.pointSizeF() - 1));
    f.setBold(true);
    p->setFont(f);
    p->setBrush(rgba(9, 14, 19, 190));
    p->drawRoundedRect(QRectF(g.carouselLabel), 6, 6);
    p->setPen(ink);
    const QString label = QStringLiteral("%1/%2")
                              .arg(qMax(1, number(index, RActiveProfilePosition)))
                              .arg(number(index, RProfileCount));
    p->drawText(g.carouselLabel, Qt::AlignCenter, label);
}

void DeviceItemDelegate::paintTexts(QPainter* p, const Geometry& g, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    const CardTexts texts = cardTexts(index);
    const QRect area = g.textArea;
    p->save();
    p->setClipRect(area);
    int y = area.y();
    auto line = [&](const QFont& font, const QColor& colour, const QString& s) {
        const QFontMetrics fm(font);
        p->setFont(font);
        p->setPen(colour);
        const QString elided = fm.elidedText(s, Qt::ElideRight, area.width());
        p->drawText(QRect(area.x(), y, area.width(), fm.height()), Qt::AlignHCenter | Qt::AlignTop, elided);
        y += fm.height() + 2;
    };
    line(shiftedFont(option.font, 2, true), rgba(232, 240, 245), texts.title);
    line(option.font, rgba(138, 163, 182), texts.subtitle);
    if (!texts.address.isEmpty()) {
        QFont mono(QStringLiteral("Consolas"));
        mono.setStyleHint(QFont::Monospace);
        if (option.font.pointSizeF() > 0)
            mono.setPointSizeF(option.font.pointSizeF());
        line(mono, rgba(96, 120, 135), texts.address);
    }
    p->restore();
}

void DeviceItemDelegate::paintControls(QPainter* p, const Geometry& g, const QModelIndex& index) const
{
    const QStringList entries = value(index, RVideoInterfaces).toStringList();
    const QRect strip = g.controlsStrip;
    if (entries.isEmpty()) {
        const QRect icon(strip.x(), strip.y() + strip.height() / 2 - 10, kChipSize, kChipSize);
        const QPixmap warning = resourcePixmap(m_warningIcon, icon.size());
        if (!warning.isNull()) {
            p->drawPixmap(icon, warning);
        } else {
            p->setPen(Qt::NoPen);
            p->setBrush(rgba(220, 160, 0));
            p->drawRoundedRect(icon, 4, 4);
        }
        p->setPen(rgba(110, 130, 150));
        p->drawText(QRect(icon.right() + 8, strip.y(), strip.width() - kChipSize - 8, strip.height()),
                    Qt::AlignLeft | Qt::AlignVCenter, tr("No controls"));
        return;
    }
    for (const Chip& chip : layoutChips(strip, entries)) {
        const QRectF r(chip.rect);
        if (chip.kind == ChipKind::Text) {
            p->setBrush(rgba(20, 32, 42, 210));
            p->setPen(QPen(rgba(110, 200, 215, 140), 1));
            p->drawRoundedRect(r, 6, 6);
            QFont f = p->font();
            f.setPixelSize(9);
            p->setFont(f);
            p->setPen(rgba(180, 210, 220));
            p->drawText(chip.rect, Qt::AlignCenter, chip.label);
            continue;
        }
        const bool axis = chip.kind == ChipKind::Axis;
        p->setBrush(rgba(18, 28, 36, 200));
        p->setPen(QPen(rgba(49, 76, 94, 140), 1));
        p->drawRoundedRect(r, 6, 6);
        const QRect inner = chip.rect.adjusted(3, 3, -3, -3);
        const QPixmap icon = resourcePixmap(axis ? m_axisIcon : m_buttonIcon, inner.size());
        if (!icon.isNull())
            p->drawPixmap(inner, icon);
        else
            drawFallbackLetter(p, inner, axis ? rgba(60, 140, 220) : rgba(60, 180, 140),
                               axis ? QStringLiteral("A") : QStringLiteral("B"));
    }
}

void DeviceItemDelegate::paintButtons(QPainter* p, const Geometry& g, const QModelIndex& index) const
{
    // Delete button.
    p->setBrush(rgba(24, 35, 45, 200));
    p->setPen(QPen(rgba(49, 76, 94, 160), 1));
    p->drawEllipse(QRectF(g.deleteButton));
    const QRect closeBox = g.deleteButton.adjusted(5, 5, -5, -5);
    const QPixmap close = resourcePixmap(m_closeIcon, closeBox.size());
    if (!close.isNull()) {
        p->drawPixmap(closeBox, close);
    } else {
        p->setPen(rgba(230, 240, 245));
        p->drawText(g.deleteButton, Qt::AlignCenter, QStringLiteral("x"));
    }

    // Status dot.
    p->setPen(QPen(rgba(10, 16, 22, 200), 1));
    p->setBrush(flag(index, RConnected) ? rgba(60, 200, 120) : rgba(200, 70, 70));
    p->drawEllipse(QRectF(g.statusDot));

    // Selection badge with a check mark.
    if (flag(index, RSelected)) {
        const QRectF b(g.selectionBadge);
        p->setBrush(rgba(110, 200, 215));
        p->setPen(QPen(rgba(15, 24, 32, 200), 1));
        p->drawEllipse(b);
        QPen check(rgba(15, 24, 32), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p->setPen(check);
        p->setBrush(Qt::NoBrush);
        p->drawPolyline(
            QPolygonF({QPointF(b.left() + 7, b.center().y() + 0.5), QPointF(b.left() + 11.5, b.bottom() - 8),
                       QPointF(b.right() - 6.5, b.top() + 8)}));
    }
}

void DeviceItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    if (!index.isValid())
        return;
    resolveRoles(index.model());
    const Geometry g = geometryFor(option.rect);
    const bool hover = option.state & QStyle::State_MouseOver;
    const bool highlighted =
        (option.state & QStyle::State_Selected) || (option.state & QStyle::State_HasFocus);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter->setFont(option.font);

    paintCard(painter, g, hover, highlighted);

    const QVariant image = value(index, RImage);
    if (image.isValid()) {
        const QPixmap pm = picture(image, g.imageBox.size());
        if (!pm.isNull()) {
            const QSize s = pm.size() / pm.devicePixelRatio();
            const QRect target(g.imageBox.x() + (g.imageBox.width() - s.width()) / 2,
                               g.imageBox.y() + (g.imageBox.height() - s.height()) / 2, s.width(),
                               s.height());
            painter->drawPixmap(target, pm);
        }
    }
    if (carouselShown(index))
        paintCarousel(painter, g, option, index);
    paintTexts(painter, g, option, index);
    painter->setFont(option.font);
    paintControls(painter, g, index);
    painter->setFont(option.font);
    paintButtons(painter, g, index);
    painter->restore();
}

QSize DeviceItemDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return QSize(300, 240);
}

QWidget* DeviceItemDelegate::createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const
{
    return nullptr;
}

bool DeviceItemDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                     const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (!index.isValid())
        return false;
    resolveRoles(model);
    if (event->type() != QEvent::MouseButtonRelease)
        return QStyledItemDelegate::editorEvent(event, model, option, index);

    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint pos = mouse->position().toPoint();
    const QString usn = text(index, RUsn);
    const Geometry g = geometryFor(option.rect);

    if (mouse->button() == Qt::LeftButton) {
        if (g.deleteButton.contains(pos)) {
            emit requestDelete(usn);
            return true;
        }
        if (carouselShown(index)) {
            if (g.leftArrow.contains(pos)) {
                emit cycleProfile(usn, -1);
                return true;
            }
            if (g.rightArrow.contains(pos)) {
                emit cycleProfile(usn, 1);
                return true;
            }
        }
        if (m_roles[RSelected] < 0)
            return QStyledItemDelegate::editorEvent(event, model, option, index);
        const bool next = !flag(index, RSelected);
        if (!model || !model->setData(index, next, m_roles[RSelected]))
            emit toggledSelect(usn, next);
        return true;
    }
    if (mouse->button() == Qt::RightButton) {
        showContextMenu(index);
        return true;
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

void DeviceItemDelegate::showContextMenu(const QModelIndex& index)
{
    const QString usn = text(index, RUsn);
    const bool selected = flag(index, RSelected);
    QMenu menu;
    QAction* toggle = menu.addAction(selected ? tr("Désélectionner") : tr("Sélectionner"));
    QAction* configure = menu.addAction(tr("Configurer"));
    menu.addSeparator();
    QAction* remove = menu.addAction(tr("Supprimer"));
    QAction* chosen = menu.exec(QCursor::pos());
    if (chosen == toggle)
        emit toggledSelect(usn, !selected);
    else if (chosen == configure)
        emit requestConfig(usn);
    else if (chosen == remove)
        emit requestDelete(usn);
}

QString DeviceItemDelegate::toolTipAt(const QPoint& pos, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const
{
    if (!index.isValid())
        return {};
    resolveRoles(index.model());
    const Geometry g = geometryFor(option.rect);
    const QStringList entries = value(index, RVideoInterfaces).toStringList();
    for (const Chip& chip : layoutChips(g.controlsStrip, entries)) {
        if (!chip.rect.contains(pos))
            continue;
        if (chip.kind == ChipKind::Text)
            return chip.label;
        return QStringLiteral("%1: %2").arg(chip.label).arg(uriCount(chip.uri));
    }
    if (carouselShown(index) && g.imageBox.contains(pos))
        return QStringLiteral("%1 (%2/%3)")
            .arg(text(index, RActiveProfileName))
            .arg(number(index, RActiveProfilePosition))
            .arg(number(index, RProfileCount));
    if (g.statusDot.contains(pos)) {
        switch (number(index, RLinkState)) {
        case 2:
            return tr("Interface: connecté");
        case 1:
            return tr("Interface: connexion en cours");
        default:
            return tr("Interface: déconnecté");
        }
    }
    return {};
}

bool DeviceItemDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                   const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event && event->type() == QEvent::ToolTip) {
        const QString tip = toolTipAt(event->pos(), option, index);
        if (!tip.isEmpty()) {
            QToolTip::showText(event->globalPos(), tip, view);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

#pragma once

#include <QList>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QStyledItemDelegate>

// Paints one controller of the device list as a dark card (300 x 240 tile) and turns clicks on it
// into requests: toggle selection, delete, cycle the active profile, configure. Everything is read
// through role names ("usn", "name", "selected", ...), so any model offering them works.
class DeviceItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Card geometry for one item rectangle; all rectangles in view coordinates.
    struct Geometry
    {
        QRect card;
        QRect imageBox;
        QRect textArea;
        QRect controlsStrip;
        QRect deleteButton;
        QRect statusDot;
        QRect leftArrow;
        QRect rightArrow;
        QRect carouselLabel;
        QRect selectionBadge;
    };

    enum class ChipKind
    {
        Axis,
        Button,
        Text
    };

    // One chip of the controls strip; uri is empty for the "+N" chip.
    struct Chip
    {
        ChipKind kind = ChipKind::Text;
        QString label;
        QString uri;
        QRect rect;
    };

    // The three text lines of a card, before eliding.
    struct CardTexts
    {
        QString title;
        QString subtitle;
        QString address; // empty: no third line
    };

    explicit DeviceItemDelegate(QObject* parent = nullptr);

    static Geometry geometryFor(const QRect& itemRect);
    // Chips of the strip, including a trailing "+N" text chip when entries are left out.
    static QList<Chip> layoutChips(const QRect& strip, const QStringList& entries);
    // Pixmap cache key of a picture file; carries the file's modification time so a replaced file
    // gets a new key.
    static QString imageCacheKey(const QString& path, const QSize& size);

    CardTexts cardTexts(const QModelIndex& index) const;
    bool carouselShown(const QModelIndex& index) const;
    // Tooltip for a point of the card; empty where the base class answers.
    QString toolTipAt(const QPoint& pos, const QStyleOptionViewItem& option, const QModelIndex& index) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Cards are edited through their click targets only.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

Q_SIGNALS:
    void toggledSelect(const QString& usn, bool selected);
    void requestConfig(const QString& usn);
    void requestDelete(const QString& usn);
    void cycleProfile(const QString& usn, int delta);

private:
    enum Role
    {
        RUsn,
        RName,
        RIp,
        RSelected,
        RConnected,
        RVideoInterfaces,
        RJson,
        RProduct,
        RImage,
        RModel,
        RLinkState,
        RActiveProfileId,
        RActiveProfileName,
        RActiveProfilePosition,
        RProfileCount,
        RHasProfileCarousel,
        RoleCount
    };

    void resolveRoles(const QAbstractItemModel* model) const;
    QVariant value(const QModelIndex& index, Role role) const;
    QString text(const QModelIndex& index, Role role) const;
    bool flag(const QModelIndex& index, Role role) const;
    int number(const QModelIndex& index, Role role) const;

    QPixmap picture(const QVariant& image, const QSize& size) const;
    static QPixmap resourcePixmap(const QString& path, const QSize& size);

    void paintCard(QPainter* p, const Geometry& g, bool hover, bool highlighted) const;
    void paintCarousel(QPainter* p, const Geometry& g, const QStyleOptionViewItem& option,
                       const QModelIndex& index) const;
    void paintTexts(QPainter* p, const Geometry& g, const QStyleOptionViewItem& option,
                    const QModelIndex& index) const;
    void paintControls(QPainter* p, const Geometry& g, const QModelIndex& index) const;
    void paintButtons(QPainter* p, const Geometry& g, const QModelIndex& index) const;
    void showContextMenu(const QModelIndex& index);

    mutable bool m_rolesResolved = false;
    mutable int m_roles[RoleCount];
    const QString m_axisIcon = QStringLiteral(":/icones/ressources/gp_axis.png");
    const QString m_buttonIcon = QStringLiteral(":/icones/ressources/gp_button.png");
    const QString m_warningIcon = QStringLiteral(":/new_icons/Ressources/new_icons/warning.png");
    const QString m_closeIcon = QStringLiteral(":/new_icons/Ressources/new_icons/close.png");
    const QString m_linkConnectedIcon = QStringLiteral(":/icones/ressources/gimbalConnected.png");
    const QString m_linkBusyIcon = QStringLiteral(":/icones/ressources/gimbalBusy.png");
    const QString m_linkDisconnectedIcon = QStringLiteral(":/icones/ressources/gimbalDisconnected.png");
};

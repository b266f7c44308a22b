#pragma once

#include <QHash>
#include <QIcon>
#include <QPointer>
#include <QStringList>
#include <QStyledItemDelegate>

class QAbstractItemView;
class SampleTimer;

// Rows of the definition library: the controller picture as a small thumbnail, the name over a
// caption that tells the user's own definitions from shared ones, and a marker for the linked
// controllers. A picture is decoded only once its row has been painted, one
// per pass of the event loop, so a large library opens at once and the sampler is never held up.
class LibraryListDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Data of the library list's items; hosts read the id and the linked names to pick a row.
    enum Roles
    {
        IdRole = Qt::UserRole, // definition id, without braces
        ImagePathRole = Qt::UserRole + 1,
        LinkStateRole = Qt::UserRole + 2,   // LinkState
        DeviceNamesRole = Qt::UserRole + 3, // linked controller names (string list)
        ScopeRole = Qt::UserRole + 4        // ProfileScope of the definition (user or shared area)
    };
    enum LinkState
    {
        Unlinked = 0,
        LinkedDisconnected = 1,
        LinkedConnected = 2
    };

    explicit LibraryListDelegate(QAbstractItemView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The cached thumbnail of a picture file (by path and modification time); a null icon, with the
    // decoding queued, when it is not read yet.
    QIcon thumbnail(const QString& path) const;
    // Decodes a picture's thumbnail now.
    QIcon loadThumbnail(const QString& path) const;
    bool hasPendingThumbnails() const { return !m_pending.isEmpty(); }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    static QString cacheKey(const QString& path);
    void loadNext();

    QPointer<QAbstractItemView> m_view;
    mutable QHash<QString, QIcon> m_cache;
    mutable QStringList m_pending;
    SampleTimer* m_loader = nullptr;
};

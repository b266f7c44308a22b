#pragma once

#include <QHash>
#include <QIcon>
#include <QStyledItemDelegate>

// Rows of the definition library: the controller picture as a small thumbnail, read only when the
// row is first painted (a library of a thousand definitions opens without decoding a thousand
// pictures), the name, and a marker for the linked controllers.
class LibraryListDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    enum Roles
    {
        ImagePathRole = Qt::UserRole + 1,
        LinkStateRole
    };
    enum LinkState
    {
        Unlinked = 0,
        LinkedDisconnected = 1,
        LinkedConnected = 2
    };

    explicit LibraryListDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The thumbnail of a picture file, cached by path and modification time.
    QIcon thumbnail(const QString& path) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    mutable QHash<QString, QIcon> m_cache;
};

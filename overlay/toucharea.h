#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QUuid>
#include <QWidget>

#include <functional>

class QMenu;

// Asks the user for a new title; true with the answer when confirmed. Replaceable so tests and
// headless renderers never open a modal dialog.
using TitlePrompt = std::function<bool(QWidget* parent, const QString& current, QString* answer)>;
TitlePrompt defaultTitlePrompt();

// One pastille over the controller picture: a stick, a two-axis stick or a button.
class TouchArea : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(ElementKind elementKind READ elementKind WRITE setElementKind NOTIFY elementKindChanged)
    Q_PROPERTY(bool freeAspect READ freeAspect WRITE setFreeAspect NOTIFY freeAspectChanged)

public:
    enum ElementKind
    {
        SingleJoy = 0,
        DualJoyCross = 1,
        Button = 2
    };
    Q_ENUM(ElementKind)
    enum State
    {
        Normal = 0,
        Listening = 1,
        Active = 2
    };
    Q_ENUM(State)

    explicit TouchArea(QWidget* parent = nullptr);

    QUuid id() const { return m_id; }
    void setId(const QUuid& id);
    QString title() const { return m_title; }
    void setTitle(const QString& title);
    QString listeningText() const { return m_listeningText; }
    QStringList subLabels() const { return m_subLabels; }
    void setSubLabels(const QStringList& labels);
    bool isEditable() const { return m_editable; }
    void setEditable(bool editable);
    bool isHovered() const { return m_hovered; }
    ElementKind elementKind() const { return m_kind; }
    void setElementKind(ElementKind kind);
    bool freeAspect() const { return m_freeAspect; }
    void setFreeAspect(bool freeAspect);
    bool isBound() const { return m_bound; }
    void setBound(bool bound);
    State state() const { return m_state; }

    void startListening(const QString& text);
    void stopListening();
    void setActive(bool active);

    // The 12 x 12 grip whose top-left corner sits 15 pixels from the right and bottom edges.
    QRect resizeHandleRect() const;
    // Builds the Edit-mode menu (rename, duplicate, delete); the caller owns and shows it.
    QMenu* createContextMenu();
    void setTitlePrompt(const TitlePrompt& prompt) { m_titlePrompt = prompt; }

signals:
    void activated(const QUuid& id, const QString& title);
    void clicked(TouchArea* area);
    void requestDelete(TouchArea* area);
    void requestDuplicate(TouchArea* area);
    void moved();
    void resized();
    void stateChanged(TouchArea::State state, TouchArea::State previous);
    void elementKindChanged(TouchArea::ElementKind kind);
    void freeAspectChanged(bool freeAspect);
    void titleEdited(const QString& title);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Everything a pastille's look depends on: the look is drawn again only when this changes.
    struct Look
    {
        QSize size;
        qreal pixelRatio = 1.0;
        QString font;
        QString title;
        QStringList subLabels;
        State state = Normal;
        ElementKind kind = SingleJoy;
        bool bound = false;
        bool hovered = false;
        bool editable = false;
        bool operator==(const Look& other) const;
    };
    Look look() const;
    void paintLook(QPainter& p) const;
    void setState(State state);
    void clampInsideParent();
    QSize resizedSize(const QPoint& offset) const;

    QUuid m_id;
    QString m_title;
    QString m_listeningText;
    QStringList m_subLabels;
    bool m_editable = true;
    bool m_hovered = false;
    bool m_moving = false;
    bool m_resizing = false;
    QPoint m_pressGlobal;
    QRect m_startRect;
    ElementKind m_kind = SingleJoy;
    bool m_freeAspect = false;
    bool m_bound = false;
    State m_state = Normal;
    TitlePrompt m_titlePrompt;
    Look m_drawnLook;
    QPixmap m_drawn; // the pastille as last drawn, in m_drawnLook
};

#pragma once

#include "overlaylines.h"
#include "overlaynode.h"
#include "toucharea.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QVector>

class QMenu;

// The controller picture with its pastilles: placing, resizing, learning inputs, and the document
// and mapping of the definition. Node indices count from 0 in list order; an index outside the
// list makes an operation do nothing (false, -1 or an empty value).
class InteractiveOverlay : public OverlayLines
{
    Q_OBJECT
    Q_PROPERTY(QJsonArray externalServices READ externalServices WRITE setExternalServices NOTIFY
                   externalServicesChanged)

public:
    enum Mode
    {
        Edit = 0,
        Mapping = 1,
        Normal = Mapping
    };
    Q_ENUM(Mode)
    enum ElementKind
    {
        SingleJoy = 0,
        DualJoyCross = 1,
        Button = 2
    };
    Q_ENUM(ElementKind)
    enum PublishMode
    {
        OnChange = 0,
        ActiveOnly = 1,
        Always = 2
    };
    Q_ENUM(PublishMode)

    explicit InteractiveOverlay(QWidget* parent = nullptr);

    static PublishMode parsePublishMode(const QString& text);
    static QString publishModeToString(PublishMode mode);

    QJsonArray externalServices() const { return m_externalServices; }
    void setExternalServices(const QJsonArray& services);
    // Action descriptions for the joystick-parameter step of materializeMapping.
    QJsonArray actionCatalog() const { return m_actionCatalog; }
    void setActionCatalog(const QJsonArray& catalog) { m_actionCatalog = catalog; }
    // When locked, applyMapping leaves the external services alone.
    bool servicesLocked() const { return m_servicesLocked; }
    void setServicesLocked(bool locked) { m_servicesLocked = locked; }

    Mode mode() const { return m_mode; }
    void setMode(Mode mode);

    int nodeCount() const { return m_nodes.size(); }
    // The widget-free record of a node (a default record for a bad index).
    Overlay::OverlayNode node(int index) const;
    TouchArea* pastille(int index) const;
    int indexOfPastille(const TouchArea* area) const;
    int selectedIndex() const { return m_selectedIndex; }
    int listeningIndex() const { return m_listeningIndex; }
    QString listeningSlot() const { return m_listeningSlot; }

    int addNode(const QPointF& centre, ElementKind kind, const QString& title = QString());
    bool removeNode(int index);
    // Copies the selected node; returns the copy's index or -1.
    int duplicateSelected();
    void selectNode(int index);

    bool startListening(int index, const QString& slotName);
    void stopListening();
    // Stores a learnt "joy_%1" / "but_%1" key on the listening slot and retitles the pastille.
    bool assignLearntKey(const QString& key);

    bool setSource(int index, const QString& slotName, bool isJoy, const QString& key, int deviceId = 0,
                   int packetId = 1, const QString& deviceType = QString());
    bool setBinding(int index, const QString& slotName, const QJsonObject& binding);
    bool setGateBinding(int index, const QString& gateName, const QJsonObject& binding);
    bool setSplit(int index, bool split);
    bool setGateNames(int index, const QStringList& names);
    bool setPublishMode(int index, PublishMode mode);
    bool setTitle(int index, const QString& title);
    bool bindActionToKey(const QString& key, const QString& action);

    ElementKind nodeKind(int index) const;
    QString nodeId(int index) const;
    QString nodeTitle(int index) const;
    PublishMode nodePublishMode(int index) const;
    bool nodeSplit(int index) const;
    QStringList nodeSlotNames(int index) const;
    QStringList nodeSlotLabels(int index) const;
    Overlay::InputSource nodeSource(int index, const QString& slotName) const;
    QJsonObject nodeBinding(int index, const QString& slotName) const;
    QStringList nodeGateNames(int index) const;
    QJsonObject nodeGateBinding(int index, const QString& gateName) const;

    // Places every pastille from its background-space rect and repaints.
    void relayout();

    QJsonObject toJson() const;
    bool loadFromJson(const QJsonObject& document);
    QJsonObject materializeMapping() const;
    bool applyMapping(const QJsonObject& mapping);

    // Edit-mode menu for a click at pos (selects the pastille there first); the caller owns it.
    QMenu* createContextMenu(const QPoint& pos);
    void setTitlePrompt(const TitlePrompt& prompt);

    Q_INVOKABLE bool openFirstToolboxSettings();

signals:
    void pastilleActivated(const QUuid& id, const QString& title);
    void dirty();
    void externalServicesChanged();
    void selectedNodeChanged(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool isValidIndex(int index) const { return index >= 0 && index < m_nodes.size(); }
    TouchArea* createPastille(Overlay::Kind kind, const QString& title);
    void connectPastille(TouchArea* area);
    void refreshPastille(int index);
    void refreshAll();
    void updateRectFromWidget(int index);
    void placeWidget(int index, const QRect& background);
    void clearNodes();
    void onPastilleClicked(TouchArea* area);
    void onPastilleActivated(const QUuid& id, const QString& title);
    void onPastilleGeometryChanged();
    void onPastilleDeleteRequested(TouchArea* area);
    void onPastilleDuplicateRequested(TouchArea* area);

    QJsonArray m_externalServices;
    Mode m_mode = Edit;
    // Parallel lists: the widget-free records and their pastille widgets.
    QVector<Overlay::OverlayNode> m_nodes;
    QVector<QPointer<TouchArea>> m_widgets;
    QJsonArray m_actionCatalog;
    bool m_servicesLocked = false;
    int m_selectedIndex = -1;
    int m_listeningIndex = -1;
    QString m_listeningSlot;
    int m_titleCounter = 1;
    QSize m_lastSize;
    TitlePrompt m_titlePrompt;
};

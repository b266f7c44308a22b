#pragma once

#include "actioncatalog.h"

#include <QFrame>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QRect>
#include <QVector>
#include <QWidget>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QToolButton;

// The frameless popup that holds one field per parameter of the chosen action; Escape or Return
// closes it, a click outside too (it is a Qt::Popup).
class ActionParameterPopup : public QFrame
{
    Q_OBJECT
public:
    explicit ActionParameterPopup(QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The action chosen for one pastille slot or gate, from the host's action catalog, with its
// parameters edited in a popup. It turns a binding ({"ref", "action", "args"}) into that form and
// back, typing the arguments by the catalog. Every user change is reported by durty(); when
// movable, the whole box can be dragged by its label and margins.
class ActionToolBox : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool movable READ isMovable WRITE setMovable)

public:
    explicit ActionToolBox(QWidget* parent = nullptr);

    // Replaces the catalog (the host's array of action descriptions); keeps the chosen action when
    // the new catalog still has it. Emits nothing.
    Q_INVOKABLE void setCatalog(const QJsonArray& catalog);
    // Shows a binding: the action it names (kept, in orange, when the catalog lacks it) and its
    // arguments. Emits nothing.
    Q_INVOKABLE void loadBinding(const QJsonObject& binding);
    // The binding of the form: {} without an action, else {"ref", "action", "args"} with typed args.
    Q_INVOKABLE QJsonObject binding() const;
    // The chosen action's name; empty when none is chosen.
    QString currentActionName() const;

    bool isMovable() const { return m_movable; }
    void setMovable(bool movable);

    QComboBox* actionChoice() const { return m_choice; }
    QToolButton* parameterButton() const { return m_parameterButton; }
    ActionParameterPopup* parameterPopup() const { return m_popup; }

signals:
    void moved();
    void durty();

public slots:
    // Rebuilds the popup for the chosen action and shows it just below the action choice.
    void openParameterPopup();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct ParameterEditor
    {
        QString name;
        QString type;
        QString defaultText;
        QPointer<QLineEdit> edit;
    };

    void fillChoice(const QString& selectName);
    void fitListWidth(const QStringList& texts);
    int indexOfAction(const QString& name) const;
    int noActionIndex() const;
    void selectIndex(int index);
    void addUnknownAction(const QString& name);
    void removeUnknownAction();
    const ActionCatalog::ActionDescriptor* currentDescriptor() const;
    void rebuildParameterEditors();
    void rebuildPopup();
    void updateChoiceLook();
    void onChoiceChanged(int index);

    bool m_movable = true;
    bool m_dragging = false;
    bool m_updating = false; // set while the form is filled from code: no durty()
    QPoint m_dragStartGlobal;
    QRect m_dragStartGeometry;

    QLabel* m_label = nullptr;
    QComboBox* m_choice = nullptr;
    QToolButton* m_parameterButton = nullptr;
    ActionParameterPopup* m_popup = nullptr;
    QFormLayout* m_form = nullptr;
    QLabel* m_popupTitle = nullptr;

    QJsonArray m_catalog;
    // The catalog's actions in choice order (item i + 1), then the unknown action when one is shown.
    QVector<ActionCatalog::ActionDescriptor> m_actions;
    bool m_hasUnknownAction = false;
    QVector<ParameterEditor> m_editors;
};

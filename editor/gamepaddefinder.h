#pragma once

#include "calibrationfiles.h"
#include "controlmanette.h"
#include "definitionlibrary.h"
#include "gatecrossing.h"
#include "gatesource2d.h"

#include <QFrame>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUuid>
#include <QWidget>

#include <functional>

class EditorDialogs;
class GamepadConfigWidget;
class InteractiveOverlay;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QVBoxLayout;
class TagSelectionBar;

// The painted containers of the editor's two sidebars.
class SidebarFrame : public QFrame
{
    Q_OBJECT
public:
    explicit SidebarFrame(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class RightSidebarFrame : public QFrame
{
    Q_OBJECT
public:
    explicit RightSidebarFrame(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The definition editor: the library of definitions on the left, the three modes (Mapping,
// Calibration, Edit) and the linked controllers on top, the controller picture with its pastilles
// (or the calibration editor) in the middle, the inspector of the selected pastille and the quick
// actions on the right. Edits are saved 250 ms after the last change; learning and quick mapping
// listen to one live controller, the followed one (the first connected pad linked to the current
// definition).
//
// Everything runs on the GUI thread beside the 10 ms sampler: the editor only reacts to the followed
// controller's change signals, and does work on them only while learning or an action is armed.
class GamepadDefinder : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QList<QPointer<ControlManette>> realGamepads READ realGamepads NOTIFY realGamepadsChanged)

public:
    enum EditorMode
    {
        MappingMode = 0,
        CalibrationMode = 1,
        EditMode = 2
    };

    // Learning and quick mapping ignore axis movements below this magnitude (raw units, 0..100).
    static constexpr double AxisThreshold = 40.0;
    static constexpr int SaveDelayMs = 250;
    static constexpr int CaptureDelayMs = 200;

    explicit GamepadDefinder(QWidget* parent = nullptr);
    ~GamepadDefinder() override;

    // The host's services object: its shared action catalog feeds the overlay, the quick actions and
    // the slot editors.
    void setServices(const QJsonObject& services);
    QJsonObject services() const { return m_services; }
    QJsonArray sharedCatalog() const { return m_sharedCatalog; }
    // "sharedActionCatalog" when it is a non-empty array, else the "ref" entries flagged
    // "__hxSharedActionCatalog" (the flag removed).
    static QJsonArray sharedCatalogFrom(const QJsonObject& services);

    // Live pads linked to the current definition.
    QList<QPointer<ControlManette>> realGamepads() const { return m_realGamepads; }
    ControlManette* followedController() const { return m_followed; }

    // Library and current definition.
    DefinitionLibrary& library() { return m_library; }
    int currentRow() const { return m_currentRow; }
    bool isDirty() const { return m_dirty; }
    int editorMode() const { return m_editorMode; }
    QString armedAction() const { return m_armedAction; }
    // A learning candidate waits for the capture timer.
    bool isCapturePending() const { return m_captureTimer.isActive(); }
    QString hintText() const;
    InteractiveOverlay* overlay() const { return m_overlay; }
    QListWidget* listWidget() const { return m_list; }
    // The calibration page; null until Calibration mode is first shown.
    GamepadConfigWidget* calibrationEditor() const { return m_calibrationEditor; }
    TagSelectionBar* tagBar() const { return m_tagBar; }
    void setEditorMode(int mode);
    // Lists the definitions again, keeping selectId (or the current one) current.
    void reloadLibrary(const QUuid& selectId = QUuid());

    // Mapping file of a definition: read-merge-write from the overlay; with notify, one queued
    // refresh of every live device follows.
    bool saveMapping(int index, bool notify);
    // Applies a definition's mapping file onto the overlay.
    bool loadMapping(int index);
    // The full save of one definition (editable copy, overlay, mapping, meta).
    bool saveDefinition(int row);
    // Saves a dirty current definition; false when that save failed.
    bool flushPendingSave();

    // The library context menu for a click at pos (list coordinates); the caller owns it.
    QMenu* createListContextMenu(const QPoint& pos);
    // Quick actions: arm or disarm the entry at row of the quick actions list.
    void clickQuickAction(int row);

    // Dialogs of this editor (the editors' current ones when none is set; not owned).
    void setDialogs(EditorDialogs* dialogs);
    EditorDialogs* dialogs() const;

signals:
    void realGamepadsChanged();
    void deviceSelectionChanged(const QStringList& deviceNames);
    void profilesCatalogChanged();
    void currentGamepadChanged(const QUuid& id, const QString& name, const QStringList& deviceNames,
                               const QJsonObject& overlay, const QString& imagePath);

public slots:
    void on_pushButtonAdd_clicked();
    void onListSelectionChanged(int row);
    void showListContextMenu(const QPoint& pos);
    void actionNew();
    void actionSave();
    void actionDuplicate();
    void actionDelete();
    void actionRename();
    void actionChangeImage();
    void actionExport();
    void actionImport();
    void actionCopy();
    void actionPaste();
    void actionSnapshot();
    void actionSnapshotAll();
    void onOverlayDirty();
    void onOverlaySelectionChanged(int index);
    void onCalibrationProfileMetadataChanged(const QString& mode, const QString& overrideFile, uint vendorId,
                                             uint productId);
    void onDeviceSelectionTagsChanged(const QStringList& deviceNames);
    void onAxisChanged(int axis, double value);
    void onButtonChanged(int button, bool pressed);
    void onGateChanged(const QString& key, bool inside);
    void emitCurrentSelection();
    int exportSnapshotsToDir(const QString& outputDir);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Widget tree and styles (gamepaddefinder.cpp).
    void buildChrome();
    QWidget* buildTopBar();
    GamepadConfigWidget* ensureCalibrationEditor();
    QWidget* buildInspectorPanel();
    QWidget* buildQuickActionsPanel();
    void applyStyles();
    void watchTopLevelWindow();

    // Modes, quick actions and hints (gamepaddefinder_modes.cpp).
    void applyEditorMode();
    void refillQuickActions();
    void refreshHint();
    bool hasConnectedController() const;
    void disarm();
    void onQuickActionClicked(QListWidgetItem* item);

    // Followed controller, learning and quick mapping (gamepaddefinder_live.cpp).
    void onGamepadsChanged();
    void refreshConnectedPads();
    void chooseFollowedController();
    void follow(ControlManette* device);
    void updateRealGamepads();
    // The calibration editor follows the current definition and the followed controller.
    void updateCalibrationSide();
    // Stores what the calibration page reported into the definition it reported for (dropped when
    // that definition is no longer listed).
    void storeCalibrationMetadata(const DefinitionTarget& target, const QString& mode,
                                  const QString& overrideFile, uint vendorId, uint productId);
    bool prepareCalibrationWrite(GamepadCalibration::ProfileCalibrationContext* context, QString* error);
    void updateGateSources();
    void onCalibrationSaved();
    void quickMap(const QString& key, bool isGate);
    void offerCandidate();
    void endPendingCapture();
    void onCaptureTimeout();
    void recomputeGateNames();
    // One gate source per two-axis pastille: its identifier, title and axis numbers.
    QList<GateSource2D> twoAxisSources() const;

    // Inspector and slot editor (gamepaddefinder_slotpanels.cpp).
    void refreshInspector();
    QString inspectorContent(int node) const;
    void panelsShowTheirEdit(int node);
    QWidget* buildSlotPanel(QWidget* parent, int node, const QString& title, const QStringList& slotList,
                            bool gate);
    // The action editor of one slot or gate, reporting each change of its binding.
    QWidget* createActionEditor(QWidget* parent, const QJsonObject& binding,
                                const std::function<void(const QJsonObject&)>& changed);
    void addPastille(int kind);
    void onTitleEdited();

    // Library (gamepaddefinder_library.cpp).
    // Switching rows is one ordered step: the page's pending edit and the definition's are saved
    // while their row is still current (a failure keeps it current), then the new row is shown.
    bool leaveCurrentRow();
    void showRow(int row);
    bool openRow(int row);
    void showEmptyOverlay();
    // The list's highlight and current row always name the row the editor shows.
    void syncListToCurrentRow();
    void onListSelectionMoved();
    void rebuildList();
    bool dropTheOneRowGone(const QList<DefinitionRecord>& before);
    void refreshRow(int row);
    void updateLinkMarkers();
    void selectRowQuietly(int row);
    void setTagBarNames(const QStringList& names);
    void announceCurrent();
    void emitCatalogChanged();
    // While one lives (nested ones count as one), the library changes of one user operation (a
    // row switch saving the row it leaves, a new definition selected) reach the device list as a
    // single catalog signal, sent when the outermost one ends: each signal costs every device row
    // a look-up of its profiles and every selected pad a reload.
    class CatalogChanges
    {
    public:
        explicit CatalogChanges(GamepadDefinder* editor);
        ~CatalogChanges();
        CatalogChanges(const CatalogChanges&) = delete;
        CatalogChanges& operator=(const CatalogChanges&) = delete;

    private:
        QPointer<GamepadDefinder> m_editor;
    };

    // Export, import, clipboard and snapshots (gamepaddefinder_exchange.cpp).
    // Checks an untrusted document and creates its definition as a new row (selected by the caller).
    bool createFromDocument(const QJsonObject& document, int* row);
    // Every definition as a PNG in folder, the current one as shown (saved first when dirty).
    bool exportSnapshots(const QString& folder, int* count, QStringList* errors,
                         const std::function<bool(int, int)>& progress);

    // Mapping and saving (gamepaddefinder_mapping.cpp).
    void onSaveTimeout();
    void scheduleDeviceRefresh();

    // --- State -------------------------------------------------------------------------------------
    DefinitionLibrary m_library;
    int m_currentRow = -1;
    bool m_dirty = false;
    int m_editorMode = MappingMode;
    int m_overlayMode = 1; // InteractiveOverlay::Mapping
    // Learning candidates, collected while the capture timer runs.
    int m_candidateAxis = -1;
    double m_candidateAxisValue = 0.0;
    int m_candidateButton = -1;
    QString m_candidateGate;
    bool m_candidateGateInside = false;
    bool m_hasGateCandidate = false;
    QString m_armedAction;
    QJsonObject m_services;
    QJsonArray m_sharedCatalog;
    QList<QPointer<ControlManette>> m_realGamepads;
    QPointer<ControlManette> m_followed;
    GateCrossingFilter m_gateCrossings; // of the followed controller
    QList<QMetaObject::Connection> m_followConnections;
    bool m_suppressCatalogSignal = false;
    int m_catalogOperations = 0;         // CatalogChanges alive
    bool m_catalogChangePending = false; // a change made inside them, not signalled yet
    bool m_updating = false;             // filling widgets from code
    bool m_closing = false;
    // The pending overlay save belongs to this definition (it follows the copies the editor makes).
    DefinitionTarget m_dirtyTarget;
    // False while the shown row's overlay could not be read: its overlay and mapping are not
    // written until the user gives it content on purpose.
    bool m_overlayLoaded = false;
    QPointer<QWidget> m_watchedWindow;

    QTimer m_saveTimer;
    QTimer m_captureTimer;

    // --- Widgets -----------------------------------------------------------------------------------
    QGridLayout* m_grid = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_addButton = nullptr;
    QWidget* m_topBar = nullptr;
    QList<QPushButton*> m_modeButtons;
    TagSelectionBar* m_tagBar = nullptr;
    InteractiveOverlay* m_overlay = nullptr;
    GamepadConfigWidget* m_calibrationEditor = nullptr;
    QWidget* m_rightSidebar = nullptr;
    QWidget* m_inspector = nullptr;
    QWidget* m_editTools = nullptr;
    QList<QPushButton*> m_addButtons;
    QLabel* m_placeholder = nullptr;
    QLabel* m_nameLabel = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QLabel* m_typeLabel = nullptr;
    QVBoxLayout* m_slotArea = nullptr;
    QPointer<QWidget> m_slotContent;
    QString m_slotContentShows;  // what m_slotContent was built from (inspectorContent)
    quint64 m_catalogSerial = 0; // counts catalog changes: the action editors show the catalog
    QPushButton* m_duplicateButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QWidget* m_quickPanel = nullptr;
    QListWidget* m_quickList = nullptr;
    QLabel* m_hintLabel = nullptr;
};

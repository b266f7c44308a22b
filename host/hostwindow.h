#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>

class HostSession;
class QLabel;
class QListView;
class QListWidget;
class QTableWidget;
class QTimer;
class QTreeWidget;

// The stand-in host's window: the plugin's device cards, its events, the selected interfaces with
// their mapping files, a live view of their inputs and the actions the mapping fired.
class HostWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit HostWindow(HostSession* session, QWidget* parent = nullptr);

    // The plugin's configuration window once opened, else null.
    QMainWindow* configurationWindow() const { return m_configWindow; }

public Q_SLOTS:
    void openConfiguration();
    // Opens the configuration on the selected controller's definition in Calibration mode.
    void openCalibration();
    // Opens the configuration on the definition of one card (its usn): its active one, else one
    // linked to its controller.
    void configureCard(const QString& usn);
    // Renders every definition as a PNG into folder through the editor's exportSnapshotsToDir, as
    // a host calls it; the number written, or -1 when the editor could not be reached.
    int exportSnapshots(const QString& folder);

private:
    QWidget* buildDevicePane();
    QWidget* buildSidePane();
    void openDefinitionOf(const QString& usn, bool calibration);
    void refreshSelection();
    void showInputs(const QString& device, const QStringList& keys, const QVariantList& values);
    void showButtonReleases();
    void showAction(const QString& device, const QString& action, const QJsonObject& args, const QString& key,
                    const QVariant& value, const QString& mode, bool repeat);

    HostSession* m_session;
    QListView* m_devices = nullptr;
    QListWidget* m_events = nullptr;
    QTreeWidget* m_selected = nullptr;
    QTableWidget* m_inputs = nullptr;
    QListWidget* m_actions = nullptr;
    QLabel* m_summary = nullptr;
    QHash<QString, int> m_inputRows; // "device|key" -> table row
    QTimer* m_releases = nullptr;    // reads the pads' button states while one shows pressed
    QPointer<QMainWindow> m_configWindow;
};

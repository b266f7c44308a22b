#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every modal dialog the editors open goes through this interface, so tests answer them and
// record their titles and texts. The Qt implementation shows Qt's own modal dialogs.
class EditorDialogs
{
public:
    virtual ~EditorDialogs() = default;

    // Message boxes with a single OK button.
    virtual void information(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void warning(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void critical(QWidget* parent, const QString& title, const QString& text) = 0;
    // Yes and No buttons; true for Yes.
    virtual bool question(QWidget* parent, const QString& title, const QString& text) = 0;

    // Input dialogs; false when cancelled.
    virtual bool getText(QWidget* parent, const QString& title, const QString& label, const QString& text,
                         QString* answer) = 0;
    // Not editable, `current` preselected.
    virtual bool getItem(QWidget* parent, const QString& title, const QString& label,
                         const QStringList& items, int current, QString* answer) = 0;

    // File and folder dialogs; an empty text when cancelled.
    virtual QString getOpenFileName(QWidget* parent, const QString& title, const QString& folder,
                                    const QString& filter) = 0;
    virtual QString getSaveFileName(QWidget* parent, const QString& title, const QString& path,
                                    const QString& filter) = 0;
    virtual QString getExistingDirectory(QWidget* parent, const QString& title, const QString& folder) = 0;
};

// QMessageBox, QInputDialog and QFileDialog, each shown modally.
class QtEditorDialogs : public EditorDialogs
{
public:
    void information(QWidget* parent, const QString& title, const QString& text) override;
    void warning(QWidget* parent, const QString& title, const QString& text) override;
    void critical(QWidget* parent, const QString& title, const QString& text) override;
    bool question(QWidget* parent, const QString& title, const QString& text) override;
    bool getText(QWidget* parent, const QString& title, const QString& label, const QString& text,
                 QString* answer) override;
    bool getItem(QWidget* parent, const QString& title, const QString& label, const QStringList& items,
                 int current, QString* answer) override;
    QString getOpenFileName(QWidget* parent, const QString& title, const QString& folder,
                            const QString& filter) override;
    QString getSaveFileName(QWidget* parent, const QString& title, const QString& path,
                            const QString& filter) override;
    QString getExistingDirectory(QWidget* parent, const QString& title, const QString& folder) override;
};

namespace EditorDialogService {
// The dialogs every editor uses: the Qt ones unless a test installed others.
EditorDialogs* current();
// Installs dialogs (not owned); null restores the Qt ones.
void install(EditorDialogs* dialogs);
} // namespace EditorDialogService

#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

class FlowLayout;
class QCompleter;
class QLineEdit;
class QStringListModel;

// The controller names linked to a definition, as removable chips followed by a line edit whose
// completion popup offers the available names not yet chosen. Chips of controllers that are not
// connected are amber. Names compare without regard to case; every list set from outside is
// trimmed, emptied entries dropped and later duplicates removed, order kept.
class TagSelectionBar : public QWidget
{
    Q_OBJECT
public:
    explicit TagSelectionBar(QWidget* parent = nullptr);

    QStringList availableTags() const { return m_availableTags; }
    QStringList connectedTags() const { return m_connectedTags; }
    QStringList selectedTags() const { return m_selectedTags; }
    QString placeholderText() const;

    void setAvailableTags(const QStringList& tags);
    void setConnectedTags(const QStringList& tags);
    // Emits selectedTagsChanged only when the normalised list differs from the current one.
    void setSelectedTags(const QStringList& tags);
    void setPlaceholderText(const QString& text);

    QLineEdit* input() const { return m_input; }
    QCompleter* completer() const { return m_completer; }

signals:
    void selectedTagsChanged(QStringList tags);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addTag(const QString& name);
    void removeTag(const QString& name);
    void commitTypedText();
    void chooseFromPopup(const QString& name);
    void refreshCompletion();
    void rebuildChips();
    QWidget* chipHolder();

    QWidget* m_chipArea = nullptr;
    FlowLayout* m_flow = nullptr;
    QLineEdit* m_input = nullptr;
    QCompleter* m_completer = nullptr;
    QStringListModel* m_completionModel = nullptr;
    QStringList m_availableTags;
    QStringList m_connectedTags;
    QStringList m_selectedTags;
    bool m_rebuilding = false;
    QList<QPair<QString, bool>> m_chipsShown; // each chip's name and whether its pad is connected
    QPointer<QWidget> m_chipHolder;           // where removed chips wait for their deletion
};

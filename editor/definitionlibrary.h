#pragma once

#include "definitionrecord.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <optional>

class EditorDialogs;
class QWidget;

// The definition a pending save or a report belongs to, fixed when it is scheduled: a definition
// is known by its id and the folder it was read from (a user's copy of a shared definition has the
// id of the original).
struct DefinitionTarget
{
    QUuid id;
    QString folder;
    bool isNull() const { return id.isNull(); }
    friend bool operator==(const DefinitionTarget& a, const DefinitionTarget& b)
    {
        return a.id == b.id && a.folder == b.folder;
    }
    friend bool operator!=(const DefinitionTarget& a, const DefinitionTarget& b) { return !(a == b); }
};

// A controller plugged in now, as the link dialog and the device links need it.
struct ConnectedPad
{
    QString name;
    quint32 vendorId = 0;
    quint32 productId = 0;
};

// The definition editor's library without its widgets: the list of definitions and the file
// operations on them (new, save, duplicate, delete, rename, change image, calibration meta data),
// with their dialogs and messages. Every file goes through the atomic writer or the image store; a
// failure shows one message box and ends the operation, leaving the files written before it.
class DefinitionLibrary
{
public:
    // dialogs: null means the editors' current dialogs (EditorDialogService).
    explicit DefinitionLibrary(EditorDialogs* dialogs = nullptr);

    // Parent of the modal dialogs.
    void setDialogParent(QWidget* parent) { m_dialogParent = parent; }
    EditorDialogs* dialogs() const;
    void setDialogs(EditorDialogs* dialogs) { m_dialogs = dialogs; }

    int count() const { return int(m_records.size()); }
    bool isValidRow(int row) const { return row >= 0 && row < m_records.size(); }
    const QList<DefinitionRecord>& records() const { return m_records; }
    const DefinitionRecord& at(int row) const { return m_records.at(row); }
    // For a change of the row: what is kept of the rows is drawn again.
    DefinitionRecord& record(int row) { return changing(row); }
    int rowOfId(const QUuid& id) const;
    // The row of exactly that definition (id and folder), or -1.
    int rowOf(const DefinitionTarget& target) const;
    // A null target for a row outside the list.
    DefinitionTarget targetOf(int row) const;
    void append(const DefinitionRecord& record)
    {
        m_records.append(record);
        m_linkedNames.reset();
    }
    // Every device name some definition is linked to, each spelling once, in row order; kept
    // until a row changes (a row switch asks for it, a thousand rows would be walked each time).
    const QStringList& linkedNames() const;

    // Lists every definition of the profile store anew. Returns the row of selectId, else 0 when
    // the list is not empty, else -1.
    int reload(const QUuid& selectId = QUuid());

    void setConnectedPads(const QList<ConnectedPad>& pads) { m_pads = pads; }
    const QList<ConnectedPad>& connectedPads() const { return m_pads; }
    // Names of the pads connected now, sorted ignoring case.
    QStringList connectedPadNames() const;
    // The connected pad of that name (ignoring case), or null.
    const ConnectedPad* connectedPad(const QString& name) const;
    // True when one of the record's device names is connected now.
    bool isLinkedPadConnected(const DefinitionRecord& record) const;

    // Makes the row's folder live where this user may write (the shared area for users with the
    // shared-edit right, else their own), copying it when needed, and reloads its paths there. A
    // copy stays the same definition for rowOf(): targets taken before it find the row after it.
    bool makeEditable(int row, QString* error = nullptr);

    // Asks for a name, a picture and a controller, then creates the definition folder. Returns the
    // new row (appended) or -1; linkedName gets the controller chosen.
    int createDefinition(const QSize& overlaySize, QString* linkedName = nullptr);
    // The "Association manette" dialog: a connected pad's name, or an empty text.
    QString askLinkedPad();

    // Prepares an editable copy, writes the overlay bytes, runs saveMapping (after the record moved
    // to its editable folder) and writes meta.json. False after the first failure's message. Without
    // overlay bytes and mapping (a definition whose overlay could not be read) only meta.json is
    // written.
    bool save(int row, const std::optional<QByteArray>& overlayBytes,
              const std::function<bool()>& saveMapping);
    // Copies a definition into a new folder (" (copie)", no device names). New row or -1.
    int duplicate(int row);
    // Asks for confirmation and removes the folder of the definition the row showed when asked (the
    // list may change while the question is open). True when removed (the caller lists again).
    bool remove(int row);
    // Asks for the new name and writes it. True when renamed.
    bool rename(int row);

    enum class ImageChange
    {
        None,   // cancelled or failed before the picture changed
        Changed // the record names the new picture (meta.json may have failed, with its message)
    };
    ImageChange changeImage(int row);

    enum class MetaChange
    {
        Unchanged,     // the values were those of the record already
        PrepareFailed, // no editable copy; the record is unchanged
        WriteFailed,   // the record holds the new values, meta.json could not be written
        Stored         // the record and meta.json hold the new values
    };
    // Calibration mode, override file and USB ids from the calibration editor.
    MetaChange setCalibrationMetadata(int row, const QString& mode, const QString& overrideFile,
                                      quint32 vendorId, quint32 productId);

    // The default mapping file written when a definition has none.
    static QJsonObject defaultMapping();
    // A one-pastille overlay document ("Start" centred at 200, 150) for an overlay of that size over
    // the picture.
    static QJsonObject defaultOverlay(const QSize& overlaySize, const QString& imagePath);

private:
    void warn(const QString& title, const QString& text) const;

    EditorDialogs* m_dialogs = nullptr;
    QWidget* m_dialogParent = nullptr;
    static bool ensureEditableCopy(DefinitionRecord& record, QString* error);

    DefinitionRecord& changing(int row)
    {
        m_linkedNames.reset();
        return m_records[row];
    }

    QList<DefinitionRecord> m_records;
    mutable std::optional<QStringList> m_linkedNames;
    QList<ConnectedPad> m_pads;
    QHash<QString, QString> m_copies; // "<id>|<folder>" -> folder of the editable copy made of it
};

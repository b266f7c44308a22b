#pragma once

#include "definitionrecord.h"
#include "folderfiles.h"

#include <QByteArray>
#include <QJsonObject>
#include <QLatin1String>
#include <QString>
#include <QStringList>

class QMimeData;

// The "TavonGamepad" exchange document: one definition (name, overlay, picture in Base64) as a
// "*.tavon.json" file or on the clipboard, and the new definition created from one. Documents come
// from other people: everything read from them is checked before a single file is written.
namespace ExchangeDocument {

inline constexpr QLatin1String TypeValue{"TavonGamepad"};
inline constexpr int VersionValue = 3;
inline constexpr QLatin1String MimeType{"application/x-tavon-gamepad"};
inline constexpr QLatin1String FileSuffix{".tavon.json"};

// Limits for documents from elsewhere: bytes of the JSON text; its commas, colons and opening
// brackets outside strings (about one per value and one per member), counted before parsing;
// pastilles of the overlay.
inline constexpr qint64 MaxDocumentBytes = FolderFiles::Limits::DocumentBytes;
inline constexpr qint64 MaxDocumentValues = 2000000;
inline constexpr int MaxOverlayNodes = 10000;

// File dialog filters: export offers one pattern, import also plain JSON.
QString exportFilter();
QString importFilter();

// The document of a record: overlayJson is the overlay as JSON text (an object; anything else is
// embedded as an empty object), the picture is read from record.imagePath (empty Base64 when it
// is not a regular file of record.folder within FolderFiles::Limits::PictureBytes).
QJsonObject buildDocument(const DefinitionRecord& record, const QByteArray& overlayJson);
// Compact UTF-8 text, as the clipboard carries it.
QByteArray toClipboardBytes(const QJsonObject& document);
// The text of buildDocument(record, overlayJson), indented for a file or compact for the
// clipboard, byte for byte as QJsonDocument writes it. The picture's Base64 goes straight into the
// text instead of through a JSON string, which saves three copies of a large picture.
QByteArray documentBytes(const DefinitionRecord& record, const QByteArray& overlayJson, bool indented);

// Device names with the meta.json rules ("deviceNames", then "deviceName" in front).
QStringList deviceNames(const QJsonObject& document);
// A document naming at least one device belongs to a linked definition. Stops at the first name
// that is not blank.
bool isLinked(const QJsonObject& document);

// Characters other than word characters, "-" and blanks become "_"; trimmed; "Gamepad" when
// empty; at most 64 characters. Safe as a file name without suffix.
QString sanitizedName(const QString& name);
// 1 to 8 ASCII letters or digits, lower-cased; anything else gives "png".
QString safeImageSuffix(const QString& suffix);

// Clipboard bytes to a document. Not JSON or not an object: "Données presse‑papier invalides
// (%1)"; another "type": "Type inattendu dans le presse‑papier.". More than MaxDocumentBytes or
// MaxDocumentValues is not parsed: false with *refused = true and no error text (the caller shows
// its own failure).
bool parseClipboardDocument(const QByteArray& bytes, QJsonObject* document, QString* error = nullptr,
                            bool* refused = nullptr);
// An import file to a document: "Impossible d’ouvrir %1" (also for a FIFO or device), "JSON
// invalide dans %1 (%2)"; the type is checked later, by validateDocument. Oversized files are
// refused as above, the size before reading.
bool readDocumentFile(const QString& path, QJsonObject* document, QString* error = nullptr,
                      bool* refused = nullptr);
// The clipboard's plain text as UTF-8 bytes, empty with *refused = true when it is larger than
// MaxDocumentBytes: measured before it is converted or copied again.
QByteArray clipboardText(const QMimeData& mime, bool* refused);

// What a new definition is made of, once the document passed every check.
struct Contents
{
    QString name;
    QJsonObject overlay;
    QByteArray picture;                            // decoded bytes; empty when the document carries none
    QString pictureSuffix = QStringLiteral("png"); // safe suffix of the picture file
};

// The checks of an untrusted document: "type" exactly "TavonGamepad", a non-empty "overlay" with
// at most MaxOverlayNodes nodes, "imageBase64" missing, empty or strict Base64 of at most
// FolderFiles::Limits::PictureBytes. The picture is not decoded: whatever it holds is stored byte
// for byte inside the new folder, and only PictureFile decodes it (PNG, JPEG, BMP). False when any
// check fails; contents are filled only on success.
bool validateDocument(const QJsonObject& document, Contents* contents);

// {"signals", "onStartup", "onClose", "timers", "bridges", "ref"}, all empty: the mapping file of a
// definition nobody has mapped yet.
QJsonObject defaultMappingSkeleton();

// Creates root / <new id> with the picture, overlay.json, meta.json (calibration "inherit", no
// device, now as creation time) and the default mapping, then loads it into *record. On failure
// the new folder is removed again and error holds the step's message ("Échec écriture image :
// %1", "Échec écriture overlay.json : %1", "Échec écriture meta.json : %1", "Echec ecriture
// mapping : %1"), or stays empty when the step has none (no root, folder not created, load).
bool createDefinition(const Contents& contents, const QString& root, DefinitionRecord* record,
                      QString* error = nullptr);

} // namespace ExchangeDocument

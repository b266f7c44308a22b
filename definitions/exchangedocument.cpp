#include "exchangedocument.h"

#include "definitionmeta.h"
#include "folderfiles.h"
#include "jsonio.h"
#include "metakeys.h"
#include "profilestore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QMimeData>
#include <QRegularExpression>
#include <QUuid>

#include <algorithm>
#include <array>

namespace ExchangeDocument {

namespace {

const QString kType = QStringLiteral("type");
const QString kName = QStringLiteral("name");
const QString kOverlay = QStringLiteral("overlay");
const QString kImageBase64 = QStringLiteral("imageBase64");
const QString kImageExt = QStringLiteral("imageExt");

QString tr(const char* text)
{
    // Shown by the definition editor; translated in its context.
    return QCoreApplication::translate("GamepadDefinder", text);
}

// Standard Base64 with or without "=" padding, nothing else: no blanks, no line breaks, no URL
// alphabet. Decodes straight from the JSON string (a picture is megabytes long; Qt's decoder needs
// a Latin-1 copy and is several times slower).
bool decodeBase64(QStringView text, QByteArray* out)
{
    static const std::array<qint8, 128> digit = [] {
        std::array<qint8, 128> table{};
        table.fill(-1);
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i)
            table[uchar(alphabet[i])] = qint8(i);
        return table;
    }();
    qsizetype size = text.size();
    if (size % 4 == 0 && text.endsWith(QLatin1String("==")))
        size -= 2;
    else if (size % 4 == 0 && text.endsWith(QLatin1Char('=')))
        size -= 1;
    if (size % 4 == 1)
        return false;
    out->resize(size / 4 * 3 + (size % 4 == 0 ? 0 : size % 4 - 1));
    char* dst = out->data();
    const char16_t* src = text.utf16();
    quint32 bits = 0;
    int count = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = src[i];
        const int value = c < 128 ? digit[c] : -1;
        if (value < 0)
            return false;
        bits = bits << 6 | quint32(value);
        if (++count == 4) {
            *dst++ = char(bits >> 16);
            *dst++ = char(bits >> 8);
            *dst++ = char(bits);
            bits = 0;
            count = 0;
        }
    }
    if (count == 3) {
        *dst++ = char(bits >> 10);
        *dst++ = char(bits >> 2);
    } else if (count == 2) {
        *dst++ = char(bits >> 4);
    }
    return true;
}

// Commas, colons and opening brackets outside strings, counted until there are more than limit:
// about one per value and one per member. Qt's JSON tree costs some 16 bytes a value, so 60 MiB of
// "0," would take half a gigabyte and seconds to build; the count refuses it first.
bool withinValueLimit(const QByteArray& bytes)
{
    qint64 count = 0;
    bool inString = false;
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    for (; p < end; ++p) {
        const char c = *p;
        if (inString) {
            if (c == '\\')
                ++p; // the escaped character, whatever it is
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if ((c == ',' || c == ':' || c == '[' || c == '{') && ++count > MaxDocumentValues) {
            return false;
        }
    }
    return true;
}

bool parseObject(const QByteArray& bytes, QJsonObject* object, QString* reason)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *reason = parseError.errorString();
        return false;
    }
    if (!doc.isObject()) {
        *reason = QStringLiteral("not an object");
        return false;
    }
    *object = doc.object();
    return true;
}

// The picture file of the record, only when it is a regular file of the definition's own folder
// within the picture limit: a document must never carry another file of the machine.
QByteArray readPicture(const DefinitionRecord& record)
{
    const QString path = QDir::cleanPath(record.imagePath);
    if (path.isEmpty() || QFileInfo(path).path() != QDir::cleanPath(record.folder))
        return {};
    QByteArray bytes;
    FolderFiles::readFile(path, FolderFiles::Limits::PictureBytes, &bytes);
    return bytes;
}

// Every member but the picture's Base64, which the caller fills in.
QJsonObject documentWithPicture(const DefinitionRecord& record, const QByteArray& overlayJson,
                                const QString& base64)
{
    const QJsonObject overlay = QJsonDocument::fromJson(overlayJson).object();
    const QStringList names = DefinitionMeta::normalizedDeviceNames(record.deviceNames);

    QJsonObject document;
    document.insert(kType, TypeValue);
    document.insert(QStringLiteral("version"), VersionValue);
    document.insert(kName, record.name);
    document.insert(QStringLiteral("createdAt"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    document.insert(kOverlay, overlay);
    document.insert(kImageBase64, base64);
    document.insert(kImageExt, QFileInfo(record.imagePath).suffix().toLower());
    document.insert(QStringLiteral("deviceName"), names.isEmpty() ? QString() : names.constFirst());
    document.insert(QStringLiteral("deviceNames"), QJsonArray::fromStringList(names));
    return document;
}

} // namespace

QString exportFilter()
{
    return tr("Configuration Tavon (*.tavon.json)");
}

QString importFilter()
{
    return tr("Configuration Tavon (*.tavon.json);;JSON (*.json)");
}

QJsonObject buildDocument(const DefinitionRecord& record, const QByteArray& overlayJson)
{
    return documentWithPicture(record, overlayJson, QString::fromLatin1(readPicture(record).toBase64()));
}

QByteArray documentBytes(const DefinitionRecord& record, const QByteArray& overlayJson, bool indented)
{
    const QByteArray base64 = readPicture(record).toBase64();
    const QByteArray text = QJsonDocument(documentWithPicture(record, overlayJson, QString()))
                                .toJson(indented ? QJsonDocument::Indented : QJsonDocument::Compact);
    // The writer sorts the members: "imageBase64" is the first top-level member whose name could
    // hold this text, and no string value can (its quotes would be escaped). Base64 needs no escape.
    const QByteArray placeholder =
        indented ? QByteArrayLiteral("\"imageBase64\": \"\"") : QByteArrayLiteral("\"imageBase64\":\"\"");
    const qsizetype at = text.indexOf(placeholder);
    if (at < 0 || base64.isEmpty())
        return text;
    const qsizetype valueAt = at + placeholder.size() - 1; // the closing quote
    QByteArray result;
    result.reserve(text.size() + base64.size());
    result.append(text.constData(), valueAt)
        .append(base64)
        .append(text.constData() + valueAt, text.size() - valueAt);
    return result;
}

QByteArray toClipboardBytes(const QJsonObject& document)
{
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

QStringList deviceNames(const QJsonObject& document)
{
    return DefinitionMeta::readDeviceNames(document);
}

bool isLinked(const QJsonObject& document)
{
    // The first name decides: a received list may hold a million of them.
    if (!document.value(MetaKeys::DeviceName).toString().trimmed().isEmpty())
        return true;
    const QJsonArray names = document.value(MetaKeys::DeviceNames).toArray();
    return std::any_of(names.begin(), names.end(),
                       [](const QJsonValue& name) { return !name.toString().trimmed().isEmpty(); });
}

QString sanitizedName(const QString& name)
{
    // Unicode word characters, so that "Caméra" keeps its accent in the offered file name.
    static const QRegularExpression unsafe(QStringLiteral("[^\\w\\-\\s]"),
                                           QRegularExpression::UseUnicodePropertiesOption);
    QString result = name;
    result.replace(unsafe, QStringLiteral("_"));
    result = result.trimmed();
    if (result.isEmpty())
        result = QStringLiteral("Gamepad");
    return result.left(64);
}

QString safeImageSuffix(const QString& suffix)
{
    if (suffix.isEmpty() || suffix.size() > 8)
        return QStringLiteral("png");
    for (const QChar c : suffix) {
        const char16_t u = c.unicode();
        const bool ascii = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
        if (!ascii)
            return QStringLiteral("png");
    }
    return suffix.toLower();
}

bool parseClipboardDocument(const QByteArray& bytes, QJsonObject* document, QString* error, bool* refused)
{
    if (refused)
        *refused = false;
    if (bytes.size() > MaxDocumentBytes || !withinValueLimit(bytes)) {
        if (refused)
            *refused = true;
        return false;
    }
    QJsonObject object;
    QString reason;
    if (!parseObject(bytes, &object, &reason)) {
        if (error)
            *error = tr("Données presse‑papier invalides (%1)").arg(reason);
        return false;
    }
    if (object.value(kType).toString() != TypeValue) {
        if (error)
            *error = tr("Type inattendu dans le presse‑papier.");
        return false;
    }
    if (document)
        *document = object;
    return true;
}

bool readDocumentFile(const QString& path, QJsonObject* document, QString* error, bool* refused)
{
    if (refused)
        *refused = false;
    // The file the user chose, so a symlink is followed; a FIFO or device is no document.
    QByteArray bytes;
    const FolderFiles::Read read =
        FolderFiles::readFile(path, MaxDocumentBytes, &bytes, FolderFiles::Links::Follow);
    if (read == FolderFiles::Read::TooLarge || (read == FolderFiles::Read::Ok && !withinValueLimit(bytes))) {
        if (refused)
            *refused = true;
        return false;
    }
    if (read != FolderFiles::Read::Ok) {
        if (error)
            *error = tr("Impossible d’ouvrir %1").arg(path);
        return false;
    }
    QJsonObject object;
    QString reason;
    if (!parseObject(bytes, &object, &reason)) {
        if (error)
            *error = tr("JSON invalide dans %1 (%2)").arg(path, reason);
        return false;
    }
    if (document)
        *document = object;
    return true;
}

QByteArray clipboardText(const QMimeData& mime, bool* refused)
{
    // The bytes as the clipboard hands them over, measured before anything converts or copies them
    // (the text as a QString would be twice their size, then converted back for the parser).
    QByteArray bytes;
    for (const char* format : {"text/plain;charset=utf-8", "text/plain"}) {
        if (mime.hasFormat(QLatin1String(format))) {
            bytes = mime.data(QLatin1String(format));
            break;
        }
    }
    *refused = bytes.size() > MaxDocumentBytes;
    return *refused ? QByteArray() : bytes;
}

bool validateDocument(const QJsonObject& document, Contents* contents)
{
    if (document.value(kType).toString() != TypeValue)
        return false;
    const QJsonValue overlay = document.value(kOverlay);
    if (!overlay.isObject() || overlay.toObject().isEmpty())
        return false;
    if (overlay.toObject().value(QStringLiteral("nodes")).toArray().size() > MaxOverlayNodes)
        return false;

    // The picture is stored byte for byte and never decoded here: a file this Qt cannot read is still
    // the definition's picture, and the views decode only PNG, JPEG and BMP (PictureFile).
    const QJsonValue encoded = document.value(kImageBase64);
    if (!encoded.isUndefined() && !encoded.isString())
        return false;
    QByteArray picture;
    const QString text = encoded.toString();
    if (text.size() / 4 * 3 > FolderFiles::Limits::PictureBytes + 2)
        return false;
    if (!text.isEmpty() &&
        (!decodeBase64(text, &picture) || picture.size() > FolderFiles::Limits::PictureBytes))
        return false;

    if (contents) {
        const QString name = document.value(kName).toString().trimmed();
        contents->name = name.isEmpty() ? tr("Gamepad importé") : name;
        contents->overlay = overlay.toObject();
        contents->picture = std::move(picture);
        contents->pictureSuffix = safeImageSuffix(document.value(kImageExt).toString());
    }
    return true;
}

QJsonObject defaultMappingSkeleton()
{
    return QJsonObject{{QStringLiteral("signals"), QJsonArray()}, {QStringLiteral("onStartup"), QJsonArray()},
                       {QStringLiteral("onClose"), QJsonArray()}, {QStringLiteral("timers"), QJsonArray()},
                       {QStringLiteral("bridges"), QJsonArray()}, {QStringLiteral("ref"), QJsonArray()}};
}

bool createDefinition(const Contents& contents, const QString& root, DefinitionRecord* record, QString* error)
{
    if (root.trimmed().isEmpty() || !QDir().mkpath(root))
        return false;
    const QUuid id = QUuid::createUuid();
    const QString folder = QDir::cleanPath(QDir(root).filePath(id.toString(QUuid::WithoutBraces)));
    if (!QDir().mkpath(folder))
        return false;

    // Any failure below takes the half-made folder away again: it holds only what this call wrote.
    auto fail = [&](const QString& message) {
        QDir(folder).removeRecursively();
        if (error)
            *error = message;
        return false;
    };
    const QDir dir(folder);
    QString writeError;

    DefinitionRecord created;
    created.id = id;
    created.name = contents.name;
    created.folder = folder;
    created.imagePath = dir.filePath(QStringLiteral("image.") + safeImageSuffix(contents.pictureSuffix));
    created.overlayPath = dir.filePath(MetaKeys::DefaultOverlayFile);
    created.createdAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    created.calibrationMode = MetaKeys::ModeInherit;
    created.scope = ProfileStore::scopeOfFolder(folder);

    if (!contents.picture.isEmpty() &&
        !JsonIo::writeBytesAtomically(created.imagePath, contents.picture, &writeError))
        return fail(tr("Échec écriture image : %1").arg(writeError));
    if (!JsonIo::writeJsonAtomically(created.overlayPath, contents.overlay, &writeError))
        return fail(tr("Échec écriture overlay.json : %1").arg(writeError));
    if (!DefinitionMeta::writeMeta(created, &writeError))
        return fail(tr("Échec écriture meta.json : %1").arg(writeError));
    const QString mapping = dir.filePath(MetaKeys::DefaultConfigFile);
    if (!QFileInfo::exists(mapping) &&
        !JsonIo::writeJsonAtomically(mapping, defaultMappingSkeleton(), &writeError))
        return fail(tr("Echec ecriture mapping : %1").arg(writeError));

    DefinitionRecord loaded;
    if (!DefinitionMeta::loadDefinition(folder, &loaded))
        return fail(QString());
    if (record)
        *record = loaded;
    return true;
}

} // namespace ExchangeDocument

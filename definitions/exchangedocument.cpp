#include "exchangedocument.h"

#include "definitionmeta.h"
#include "jsonio.h"
#include "metakeys.h"
#include "profilestore.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QUuid>

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

// The whole picture must decode: a header that merely looks right is not enough. Qt's image
// allocation limit keeps a picture that claims huge dimensions from exhausting memory.
bool decodesAsImage(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&buffer);
    return reader.canRead() && !reader.read().isNull();
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

QByteArray readPicture(const QString& path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
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
    return documentWithPicture(record, overlayJson,
                               QString::fromLatin1(readPicture(record.imagePath).toBase64()));
}

QByteArray documentBytes(const DefinitionRecord& record, const QByteArray& overlayJson, bool indented)
{
    const QByteArray base64 = readPicture(record.imagePath).toBase64();
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
    return !deviceNames(document).isEmpty();
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
    if (bytes.size() > MaxDocumentBytes) {
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = tr("Impossible d’ouvrir %1").arg(path);
        return false;
    }
    // A pipe or device reports no size: read one byte past the limit to tell.
    QByteArray bytes;
    if (file.size() <= MaxDocumentBytes)
        bytes = file.isSequential() ? file.read(MaxDocumentBytes + 1) : file.readAll();
    if (file.size() > MaxDocumentBytes || bytes.size() > MaxDocumentBytes) {
        if (refused)
            *refused = true;
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

bool validateDocument(const QJsonObject& document, Contents* contents)
{
    if (document.value(kType).toString() != TypeValue)
        return false;
    const QJsonValue overlay = document.value(kOverlay);
    if (!overlay.isObject() || overlay.toObject().isEmpty())
        return false;
    if (overlay.toObject().value(QStringLiteral("nodes")).toArray().size() > MaxOverlayNodes)
        return false;

    const QJsonValue encoded = document.value(kImageBase64);
    if (!encoded.isUndefined() && !encoded.isString())
        return false;
    QByteArray picture;
    const QString text = encoded.toString();
    if (!text.isEmpty() && (!decodeBase64(text, &picture) || !decodesAsImage(picture)))
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

// Exchange documents as they arrive on the clipboard or in a "*.tavon.json" file: both readers over
// the input (they must agree), the checks of an untrusted document and the definition created from
// it in a scratch root. That definition is then exported as a file and as clipboard text (the
// spliced writer must give what the plain one gives), read and checked again: the contents must
// come back unchanged, and a second definition made from them must export the same document, its
// time of creation aside. A refusal must have its reason: a document whose type, overlay and
// canonical Base64 picture are fine is never refused, and the linked check (which stops at the
// first name) agrees with the full list of names, itself deduplicated as QString::compare does.
#include "fuzzchecks.h"

#include "exchangedocument.h"
#include "profilestore.h"

#include <QDir>
#include <QJsonArray>

namespace FuzzChecks {

namespace {

// The text with the top-level "createdAt" value blanked. The writer sorts the members and no
// member before "overlay" holds objects, so the first occurrence is the top-level one.
QByteArray withoutCreationTime(QByteArray text)
{
    const qsizetype key = text.indexOf("\"createdAt\"");
    const qsizetype open = key < 0 ? -1 : text.indexOf('"', key + 11);
    const qsizetype close = open < 0 ? -1 : text.indexOf('"', open + 1);
    if (close > open)
        text.remove(open + 1, close - open - 1);
    return text;
}

bool inside(const QString& root, const QString& path)
{
    return QDir::cleanPath(path).startsWith(root + QLatin1Char('/'));
}

// The definition made from contents, exported as a file (indented) and checked against the
// clipboard text of the same definition.
QString createAndExport(const ExchangeDocument::Contents& contents, const QString& root, QByteArray* text)
{
    DefinitionRecord record;
    QString error;
    if (!ExchangeDocument::createDefinition(contents, root, &record, &error))
        return QStringLiteral("createDefinition failed: ") + error;
    QString failure;
    if (!inside(root, record.folder) || !inside(root, record.imagePath) || !inside(root, record.overlayPath))
        failure = QStringLiteral("the new definition reaches outside its root");
    const QByteArray overlay = readFile(record.overlayPath);
    *text = withoutCreationTime(ExchangeDocument::documentBytes(record, overlay, true));
    const QByteArray compact = withoutCreationTime(ExchangeDocument::documentBytes(record, overlay, false));
    const QByteArray plain = withoutCreationTime(
        ExchangeDocument::toClipboardBytes(ExchangeDocument::buildDocument(record, overlay)));
    if (failure.isEmpty())
        failure = compareBytes("clipboard text, spliced and plain writer", plain, compact);
    QDir(record.folder).removeRecursively();
    return failure;
}

// The names of a document the slow way: every pair compared, for lists short enough.
QString namesChecked(const QJsonObject& document)
{
    const QStringList names = ExchangeDocument::deviceNames(document);
    if (ExchangeDocument::isLinked(document) == names.isEmpty())
        return QStringLiteral("the linked check and the list of names disagree");
    if (document.value(QStringLiteral("deviceNames")).toArray().size() > 300)
        return {};
    QStringList slow;
    for (const QJsonValue& value : document.value(QStringLiteral("deviceNames")).toArray()) {
        const QString name = value.toString().trimmed();
        if (!name.isEmpty() && !slow.contains(name, Qt::CaseInsensitive))
            slow.append(name);
    }
    const QString first = document.value(QStringLiteral("deviceName")).toString().trimmed();
    if (!first.isEmpty() && !slow.contains(first, Qt::CaseInsensitive))
        slow.prepend(first);
    return slow == names ? QString() : QStringLiteral("the names deduplicate otherwise than compare() says");
}

// Qt's own strict decoding, when the text is exactly what Qt would write for those bytes (with or
// without padding): such a picture must pass, and decode to the same bytes.
bool canonicalPicture(const QJsonObject& document, QByteArray* bytes)
{
    const QByteArray text = document.value(QStringLiteral("imageBase64")).toString().toLatin1();
    const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    const QByteArray again = decoded.decoded.toBase64();
    *bytes = decoded.decoded;
    return (again == text || again == text + QByteArray((4 - text.size() % 4) % 4, '=')) &&
           bytes->size() <= FolderFiles::Limits::PictureBytes;
}

// A refused document must be refused for a reason this check can see for itself.
QString refusalChecked(const QJsonObject& document)
{
    const QJsonValue overlay = document.value(QStringLiteral("overlay"));
    const QJsonValue picture = document.value(QStringLiteral("imageBase64"));
    QByteArray bytes;
    const bool fine = document.value(QStringLiteral("type")).toString() == ExchangeDocument::TypeValue &&
                      overlay.isObject() && !overlay.toObject().isEmpty() &&
                      overlay.toObject().value(QStringLiteral("nodes")).toArray().size() <=
                          ExchangeDocument::MaxOverlayNodes &&
                      (picture.isUndefined() || (picture.isString() && canonicalPicture(document, &bytes)));
    return fine ? QStringLiteral("a document with nothing wrong was refused") : QString();
}

bool sameContents(const ExchangeDocument::Contents& a, const ExchangeDocument::Contents& b)
{
    return a.name == b.name && a.overlay == b.overlay && a.picture == b.picture &&
           a.pictureSuffix == b.pictureSuffix;
}

} // namespace

QString exchangeSeed(const QString& fileName, const QByteArray& input)
{
    QJsonObject document;
    const QString path = scratchPath(QStringLiteral("exchange/seed.tavon.json"));
    // A file is read as the importer reads it; the type of a refused seed is checked later.
    const bool read =
        fileName.endsWith(ExchangeDocument::FileSuffix) || fileName.endsWith(QLatin1String(".refused"))
            ? writeFile(path, input) && ExchangeDocument::readDocumentFile(path, &document)
            : ExchangeDocument::parseClipboardDocument(input, &document);
    if (!read)
        return QStringLiteral("the seed was not read");
    if (ExchangeDocument::isLinked(document) != fileName.endsWith(QLatin1String(".linked")))
        return QStringLiteral("the seed's link was taken otherwise");
    const bool refused = fileName.endsWith(QLatin1String(".refused"));
    if (ExchangeDocument::validateDocument(document, nullptr) == refused)
        return refused ? QStringLiteral("a hostile seed was accepted")
                       : QStringLiteral("a valid seed was refused");
    return {};
}

QString describeDocument(const QByteArray& input)
{
    QJsonObject document;
    QString error;
    bool refused = false;
    if (!ExchangeDocument::parseClipboardDocument(input, &document, &error, &refused))
        return refused ? QStringLiteral("refused unread") : QStringLiteral("unread: ") + error;
    QStringList lines{
        QStringLiteral("names [%1]").arg(ExchangeDocument::deviceNames(document).mid(0, 5).join(','))};
    ExchangeDocument::Contents c;
    if (!ExchangeDocument::validateDocument(document, &c))
        return (lines << QStringLiteral("refused")).join(QLatin1Char('\n'));
    lines << QStringLiteral("accepted '%1' %2 nodes, picture of %3 bytes as image.%4")
                 .arg(c.name)
                 .arg(c.overlay.value(QStringLiteral("nodes")).toArray().size())
                 .arg(c.picture.size())
                 .arg(c.pictureSuffix);
    return lines.join(QLatin1Char('\n'));
}

QString exchangeDocument(const QByteArray& input)
{
    QJsonObject fromClipboard;
    const bool pasted = ExchangeDocument::parseClipboardDocument(input, &fromClipboard);
    const QString path = scratchPath(QStringLiteral("exchange/import.tavon.json"));
    writeFile(path, input);
    QJsonObject fromFile;
    if (!ExchangeDocument::readDocumentFile(path, &fromFile))
        return pasted ? QStringLiteral("the clipboard took a document the file reader refused") : QString();
    if (pasted && fromFile != fromClipboard)
        return QStringLiteral("the clipboard and the file reader read different documents");
    const QString name = ExchangeDocument::sanitizedName(fromFile.value(QStringLiteral("name")).toString());
    // Trimmed before the cut to 64 characters, so white space may end it but never start it.
    if (name.isEmpty() || name.size() > 64 || name.contains(QLatin1Char('/')) || name.front().isSpace())
        return QStringLiteral("unsafe file name offered: ") + name;

    if (const QString failure = namesChecked(fromFile); !failure.isEmpty())
        return failure;
    ExchangeDocument::Contents contents;
    if (!ExchangeDocument::validateDocument(fromFile, &contents))
        return refusalChecked(fromFile);
    if (!pasted)
        return QStringLiteral("a document that passed the checks was refused on the clipboard");
    QByteArray canonical;
    if (canonicalPicture(fromFile, &canonical) && canonical != contents.picture)
        return QStringLiteral("the picture decodes otherwise than Qt decodes it");

    const QString root = scratchPath(QStringLiteral("exchange/root"));
    QByteArray first;
    if (const QString failure = createAndExport(contents, root, &first); !failure.isEmpty())
        return failure;
    writeFile(path, first);
    QJsonObject again;
    ExchangeDocument::Contents second;
    if (!ExchangeDocument::readDocumentFile(path, &again) ||
        !ExchangeDocument::validateDocument(again, &second))
        return QStringLiteral("the exported document was refused");
    if (!sameContents(contents, second))
        return QStringLiteral("the contents changed through export and import");
    QByteArray repeated;
    if (const QString failure = createAndExport(second, root, &repeated); !failure.isEmpty())
        return failure;
    return compareBytes("exported document", first, repeated);
}

} // namespace FuzzChecks

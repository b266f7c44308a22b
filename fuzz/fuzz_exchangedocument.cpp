// Exchange documents as they arrive on the clipboard or in a "*.tavon.json" file: both readers over
// the input (they must agree), the checks of an untrusted document and the definition created from
// it in a scratch root. That definition is then exported as a file and as clipboard text (the
// spliced writer must give what the plain one gives), read and checked again: the contents must
// come back unchanged, and a second definition made from them must export the same document, its
// time of creation aside.
#include "fuzzchecks.h"

#include "exchangedocument.h"

#include <QDir>

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

bool sameContents(const ExchangeDocument::Contents& a, const ExchangeDocument::Contents& b)
{
    return a.name == b.name && a.overlay == b.overlay && a.picture == b.picture &&
           a.pictureSuffix == b.pictureSuffix;
}

} // namespace

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

    ExchangeDocument::Contents contents;
    if (!ExchangeDocument::validateDocument(fromFile, &contents))
        return {};
    if (!pasted)
        return QStringLiteral("a document that passed the checks was refused on the clipboard");

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

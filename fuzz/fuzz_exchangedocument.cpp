// Exchange documents as they arrive from the clipboard or a "*.tavon.json" file: parse, run the
// checks of an untrusted document, create the definition in a private folder, read it back and
// remove it. Seeds: fuzz/corpus/exchangedocument (documents exported from the demo definitions).
#include "definitionmeta.h"
#include "exchangedocument.h"
#include "jsonio.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {
QTemporaryDir* g_root = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir root;
    g_root = &root;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QJsonObject document;
    QString error;
    bool refused = false;
    if (!ExchangeDocument::parseClipboardDocument(bytes, &document, &error, &refused))
        return 0;
    ExchangeDocument::isLinked(document);
    ExchangeDocument::sanitizedName(document.value(QStringLiteral("name")).toString());
    ExchangeDocument::Contents contents;
    if (!ExchangeDocument::validateDocument(document, &contents))
        return 0;
    DefinitionRecord record;
    if (ExchangeDocument::createDefinition(contents, g_root->path(), &record, &error)) {
        // Everything created stays inside the private root, and reads back.
        if (!QDir::cleanPath(record.imagePath).startsWith(g_root->path() + QLatin1Char('/')))
            __builtin_trap();
        DefinitionRecord loaded;
        if (!DefinitionMeta::loadDefinition(record.folder, &loaded) || loaded.id != record.id)
            __builtin_trap();
        JsonIo::readJsonObject(loaded.overlayPath);
        QDir(record.folder).removeRecursively();
    }
    return 0;
}

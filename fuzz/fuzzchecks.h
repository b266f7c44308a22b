#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVector>

// Checks of the readers of outside data, shared by the fuzz targets (fuzz_<reader>.cpp, one
// libFuzzer executable each) and by the test that replays the corpora and the regression inputs.
// A check feeds one input to the real reader and, where the format has a writer, writes the result
// back, reads it again and writes it once more: the two writes must be equal. It returns what went
// wrong, or an empty text.
namespace FuzzChecks {

using Check = QString (*)(const QByteArray& input);

QString calibration(const QByteArray& input);      // calibration document (base or override file)
QString meta(const QByteArray& input);             // a definition's meta.json
QString overlay(const QByteArray& input);          // overlay.json, widget-free and through the widget
QString mapping(const QByteArray& input);          // configActionGamepad.json over a fixed overlay
QString registry(const QByteArray& input);         // the device registry of one context
QString scenario(const QByteArray& input);         // a virtual pad scenario, played for a while
QString actionCatalog(const QByteArray& input);    // the host's action catalog and the bindings made from it
QString exchangeDocument(const QByteArray& input); // an exchange document, as a file and as clipboard text
QString editorSequence(const QByteArray& input);   // user operations on the configuration window
QString definitionFolder(const QByteArray& input); // a whole definition folder, through every operation on it

// What a seed of the corpus must give, told by its file name; an empty text when it does. Without
// it a reader that refused everything would pass its own replay.
using SeedCheck = QString (*)(const QString& fileName, const QByteArray& input);
// "*.tavon.json" (a file) and "*.clipboard" are accepted and not linked, "*.linked" are linked and
// otherwise accepted, "*.refused" (a file) are refused by the checks.
QString exchangeSeed(const QString& fileName, const QByteArray& input);

// What a reader made of an input, one line per thing read: the replay compares it with
// fuzz/expected/<reader>/<input's file name> when that file exists, so that a seed also pins down
// the values read, not only that nothing went wrong.
using Describe = QString (*)(const QByteArray& input);
QString describeFolder(const QByteArray& input);   // the definition folder's record and summary
QString describeDocument(const QByteArray& input); // an exchange document's verdict and contents
QString describeOverlay(const QByteArray& input);  // the pastilles of an overlay document

struct Reader
{
    const char* name; // folder under fuzz/corpus and fuzz/regressions
    Check check;
    SeedCheck seed = nullptr;
    Describe describe = nullptr;
};
// Every reader, in a fixed order.
QVector<Reader> readers();

// Prepares the process once: the application object (offscreen platform), a private scratch
// folder that also holds the application data folder, and a virtual joystick backend with two
// pads plugged in. Call before the first check; later calls do nothing.
void setUp(int argc, char** argv);
// A path below the scratch folder.
QString scratchPath(const QString& name);

// Helpers of the checks.
QJsonObject parseObject(const QByteArray& bytes, bool* ok);
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// "<what>: first difference at byte n" for two texts that should be equal, else empty.
QString compareBytes(const char* what, const QByteArray& first, const QByteArray& second);

} // namespace FuzzChecks

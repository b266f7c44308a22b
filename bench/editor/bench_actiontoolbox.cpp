// The action choice of the parameter editor with a large host catalog: the editor rebuilds one
// box per slot panel whenever the selection changes, and the user opens its list, so setting the
// catalog and opening the list must stay well under a frame budget of interaction (50 ms).
#include "actiontoolbox.h"
#include "benchmain.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QJsonObject>

#include <benchmark/benchmark.h>

namespace {

// count actions over 12 groups, each with two or three parameters of mixed types.
QJsonArray makeCatalog(int count)
{
    static const char* const kTypes[] = {"double", "int", "bool", "string", "preferedType"};
    QJsonArray catalog;
    for (int i = 0; i < count; ++i) {
        QJsonArray params;
        for (int p = 0; p < 2 + i % 2; ++p) {
            const char* type = kTypes[(i + p) % 5];
            QJsonObject param{{"name", QStringLiteral("param%1").arg(p)}};
            if (qstrcmp(type, "preferedType") == 0)
                param.insert("preferedType", "integer");
            else
                param.insert("preferredType", type);
            if (p == 0)
                param.insert("default", QStringLiteral("param:joy_%1").arg(i % 8));
            params.append(param);
        }
        catalog.append(QJsonObject{{"name", QStringLiteral("service%1.action%2").arg(i % 12).arg(i)},
                                   {"label", QStringLiteral("Action numéro %1 du service").arg(count - i)},
                                   {"group", QStringLiteral("Service %1").arg(i % 12)},
                                   {"deviceType", "videoprocessing"},
                                   {"params", params}});
    }
    return catalog;
}

void openAndClose(ActionToolBox& box)
{
    box.actionChoice()->showPopup();
    QCoreApplication::processEvents(); // the list's delayed layout and first paint
    box.actionChoice()->hidePopup();
}

void BM_SetCatalogAndOpen(benchmark::State& state)
{
    const QJsonArray catalog = makeCatalog(int(state.range(0)));
    ActionToolBox box;
    box.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        box.setCatalog(catalog);
        openAndClose(box);
    }
    state.counters["items"] = box.actionChoice()->count();
}
BENCHMARK(BM_SetCatalogAndOpen)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_OpenChoiceList(benchmark::State& state)
{
    ActionToolBox box;
    box.setCatalog(makeCatalog(int(state.range(0))));
    box.show();
    QCoreApplication::processEvents();
    for (auto _ : state)
        openAndClose(box);
}
BENCHMARK(BM_OpenChoiceList)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_SetCatalog(benchmark::State& state)
{
    const QJsonArray catalog = makeCatalog(int(state.range(0)));
    ActionToolBox box;
    for (auto _ : state)
        box.setCatalog(catalog);
}
BENCHMARK(BM_SetCatalog)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}

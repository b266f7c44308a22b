// The smallest hosts whose CPU use scripts/bench.sh idle compares (all idle, under one X server):
//   idle_host bare            a QApplication doing nothing (the floor)
//   idle_host timer           the same woken by a 10 ms timer that does nothing (Qt's price per wake-up)
//   idle_host timer50         woken every 50 ms, the rate of the joystick manager's poll and pump
//   idle_host timer1s         woken every second, the manager's rate while it rests
//   idle_host file            loads the plugin file only
//   idle_host model           loads it, creates the provider and asks for its model and delegate
//   idle_host pad             the same with one virtual pad (at rest) selected, so it samples at 100 Hz
// The plugin-dependent modes take the plugin file with --plugin (default: the built one). The
// process runs until it is killed; it prints one line once it is set up.
#include "icominterfacemodelprovider.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

int fail(const char* what)
{
    std::fprintf(stderr, "idle_host: %s\n", what);
    return 2;
}

// One pad in slot 0 with every axis and 32 buttons, never moved.
bool writeScenario(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(R"({"pads":[{"slot":0,"name":"Idle Pad","vendorId":"0x045e","productId":"0x028e"}]})") >
               0;
}

} // namespace

int main(int argc, char** argv)
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray("model");
    QString plugin = QStringLiteral(JOYRELAY_PLUGIN_FILE);
    for (int i = 2; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--plugin") == 0)
            plugin = QFile::decodeName(argv[i + 1]);
    }

    // A private data folder: the device list writes its registry there.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    if (mode == "pad") {
        const QString scenario = data.filePath(QStringLiteral("pad.json"));
        if (!writeScenario(scenario))
            return fail("cannot write the scenario");
        qputenv("JOYRELAY_VIRTUAL_PADS", QFile::encodeName(scenario));
    } else {
        qputenv("JOYRELAY_VIRTUAL_PADS", "");
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("idle_host"));
    app.setProperty("hx.currentLogin", QStringLiteral("idle"));

    QTimer tick;
    QPluginLoader loader(plugin);
    QObject holder;
    if (mode == "timer" || mode == "timer50" || mode == "timer1s") {
        QObject::connect(&tick, &QTimer::timeout, [] {});
        tick.start(mode == "timer" ? 10 : mode == "timer50" ? 50 : 1000);
    } else if (mode == "file") {
        if (!loader.load())
            return fail(qPrintable(loader.errorString()));
    } else if (mode == "model" || mode == "pad") {
        auto* provider = qobject_cast<IComInterfaceModelProvider*>(loader.instance());
        if (!provider)
            return fail(qPrintable(loader.errorString()));
        QAbstractItemModel* model = provider->model(QStringLiteral("idle"), &holder);
        provider->delegate(&holder);
        if (mode == "pad") {
            // As the host's view does when the user clicks the card, once the model shows it.
            const auto select = [provider, model] {
                QMetaObject::invokeMethod(model, "setSelected", Q_ARG(QString, QStringLiteral("gp:0")),
                                          Q_ARG(bool, true));
                QList<IComInterface*> selected;
                QJsonArray info;
                provider->selectedInterfaces(selected, info);
                return selected.size() == 1;
            };
            QObject::connect(&tick, &QTimer::timeout, &app, [&] {
                if (!select())
                    std::exit(fail("the virtual pad is not selected"));
                std::printf("idle_host pad ready\n");
                std::fflush(stdout);
            });
            tick.setSingleShot(true);
            tick.start(500);
            return app.exec();
        }
    } else if (mode != "bare") {
        return fail("mode: bare, timer, timer50, timer1s, file, model or pad");
    }
    std::printf("idle_host %s ready\n", mode.constData());
    std::fflush(stdout);
    return app.exec();
}

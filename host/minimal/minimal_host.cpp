// The smallest host of the Joyrelay plugin (docs/HOST_INTEGRATION.md): load the plugin file, hand
// it the application properties and services it reads, engage the first controller and print
// every change it reports, for a few seconds, or until a printed line holds the given text.
//   joyrelay-minimal-host <plugin file> [milliseconds] [text]
#include "icominterfacemodelprovider.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QPluginLoader>
#include <QSet>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <utility>

int main(int argc, char** argv)
{
    QApplication app(argc, argv); // the plugin's editors are widgets: a QApplication, GUI thread
    const QString until =
        argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString(); // once printed, the run ends
    app.setProperty("hx.currentLogin", QStringLiteral("demo"));
    app.setProperty("hx.canEditSharedGamepads", false);

    QPluginLoader loader(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("libjoyrelay.so"));
    auto* provider = qobject_cast<IComInterfaceModelProvider*>(loader.instance());
    if (!provider) {
        std::fprintf(stderr, "no provider: %s\n", qPrintable(loader.errorString()));
        return 1;
    }
    provider->setServices(QJsonObject{{QStringLiteral("sharedActionCatalog"), QJsonArray{}}});
    QObject::connect(provider, &IComInterfaceModelProvider::eventPosted, [](const ComProviderEvent& event) {
        std::printf("event: %s - %s\n", qPrintable(event.title), qPrintable(event.message));
    });

    // The device list; a host shows it in a view with provider->delegate(view). The first
    // controller listed is selected, as a user's click on its card would.
    QAbstractItemModel* model = provider->model(QStringLiteral("minimal"), &app);
    bool selected = false;
    QObject::connect(model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int) {
        if (std::exchange(selected, true))
            return;
        const QString usn = model->index(first, 0).data(model->roleNames().key("usn")).toString();
        QMetaObject::invokeMethod(model, "setSelected", Q_ARG(QString, usn), Q_ARG(bool, true));
    });
    // The selected controllers' interfaces: each reports every change of its inputs.
    QSet<IComInterface*> listened;
    QObject::connect(
        provider, &IComInterfaceModelProvider::selectedInterfacesChanged,
        [&listened, until](const QList<IComInterface*>& interfaces, const QJsonArray&) {
            for (IComInterface* device : interfaces) {
                if (listened.contains(device))
                    continue;
                listened.insert(device);
                std::printf("selected: mapping %s\n", qPrintable(device->noCodeApp().join(QLatin1Char(' '))));
                QObject::connect(
                    device,
                    qOverload<const QString&, const QString&, const QStringList&, const QVariantList&>(
                        &IComInterface::dataChanged),
                    [until](const QString& name, const QString&, const QStringList& keys,
                            const QVariantList& values) {
                        for (int i = 0; i < keys.size(); ++i) {
                            const QString line = QStringLiteral("data: %1 %2=%3")
                                                     .arg(name, keys.at(i), values.at(i).toString());
                            std::printf("%s\n", qPrintable(line));
                            if (!until.isEmpty() && line.contains(until))
                                QTimer::singleShot(0, qApp, &QApplication::quit);
                        }
                        std::fflush(stdout);
                    });
            }
        });
    QTimer::singleShot(argc > 2 ? std::atoi(argv[2]) : 5000, &app, &QApplication::quit);
    return app.exec();
}

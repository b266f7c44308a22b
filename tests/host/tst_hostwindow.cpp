// The stand-in host's window over the real plugin file and a virtual pad: what its commands open.
#include "hostsession.h"
#include "hosttheme.h"
#include "hostwindow.h"
#include "support/testsupport.h"

#include <QAbstractItemModel>
#include <QListWidget>
#include <QMainWindow>
#include <QTableWidget>

using namespace TestSupport;

class tst_HostWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // One virtual pad for the whole program (the plugin picks its backend once): button 0 goes
    // down and up again every second.
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString scenario = m_dir.filePath("pads.json");
        QVERIFY(
            writeFile(scenario, R"({"pads": [{"slot": 0, "name": "Host Pad"}], "loop": true, "period": 1000,
            "events": [{"at": 300, "slot": 0, "button": 0, "pressed": true},
                       {"at": 600, "slot": 0, "button": 0, "pressed": false}]})"));
        qputenv("JOYRELAY_VIRTUAL_PADS", QFile::encodeName(scenario));
    }

    // "Configurer" on a card opens the card's own definition (its active one), not whichever was
    // current in the editor.
    void configureOpensTheCardsDefinition()
    {
        DataRoot data;
        // Listed first by the editor (folder order), but second by name for the card.
        const QString zulu = "00000000-0000-4000-8000-000000000001";
        const QString alpha = "ffffffff-0000-4000-8000-000000000002";
        writeDefinition(data.userRoot(), {{"name", "Zulu"}, {"deviceName", "Host Pad"}}, Config | Overlay,
                        zulu);
        writeDefinition(data.userRoot(), {{"name", "Alpha"}, {"deviceName", "Host Pad"}}, Config | Overlay,
                        alpha);

        HostTheme::installResolver();
        HostSession session;
        QString error;
        QVERIFY2(session.loadPlugin(QStringLiteral(JOYRELAY_PLUGIN), &error), qPrintable(error));
        session.start(QStringLiteral("default"), false);
        QAbstractItemModel* model = session.viewModel();
        QVERIFY(model);
        const auto role = [model](const char* name) { return model->roleNames().key(QByteArray(name), -1); };
        QTRY_VERIFY(model->rowCount() == 1 &&
                    model->index(0, 0).data(role("activeProfileId")).toString() == alpha);

        HostWindow window(&session);
        window.openConfiguration();
        QVERIFY(window.configurationWindow());
        auto* list = window.configurationWindow()->findChild<QListWidget*>(QStringLiteral("listWidget"));
        QVERIFY(list && list->currentItem());
        QCOMPARE(list->currentItem()->data(Qt::UserRole).toString(), zulu);

        // What the card's menu does: the delegate asks the host.
        QVERIFY(QMetaObject::invokeMethod(session.delegate(), "requestConfig",
                                          Q_ARG(QString, model->index(0, 0).data(role("usn")).toString())));
        QCOMPARE(list->currentItem()->data(Qt::UserRole).toString(), alpha);
        delete window.configurationWindow();
    }

    // The plugin reports a button's press only: the live table shows its release all the same.
    void aReleasedButtonShowsReleased()
    {
        DataRoot data;
        HostSession session;
        QString error;
        QVERIFY2(session.loadPlugin(QStringLiteral(JOYRELAY_PLUGIN), &error), qPrintable(error));
        session.start(QStringLiteral("default"), true);
        HostWindow window(&session);
        auto* inputs = window.findChild<QTableWidget*>(QStringLiteral("liveInputs"));
        QVERIFY(inputs);
        const auto shown = [inputs](const QString& key) {
            for (int row = 0; row < inputs->rowCount(); ++row) {
                if (inputs->item(row, 1)->text() == key)
                    return inputs->item(row, 2)->text();
            }
            return QString();
        };
        QTRY_COMPARE(shown("but_0"), QString("pressed"));
        QTRY_COMPARE(shown("but_0"), QString("released"));
    }

    // The host's "Snapshots…" renders every definition through the editor's slot.
    void snapshotsOfEveryDefinition()
    {
        DataRoot data;
        writeDefinition(data.userRoot(), {{"name", "Zulu"}}, Config | Overlay | Image);
        writeDefinition(data.sharedRoot(), {{"name", "Alpha"}}, Config | Overlay | Image);
        HostSession session;
        QString error;
        QVERIFY2(session.loadPlugin(QStringLiteral(JOYRELAY_PLUGIN), &error), qPrintable(error));
        HostWindow window(&session);
        QTemporaryDir out;
        QCOMPARE(window.exportSnapshots(out.path()), 2);
        QCOMPARE(QDir(out.path()).entryList({"*.png"}, QDir::Files).size(), 2);
    }

    // An action fired again and again by one input takes one line with a count; another input or
    // action starts a line of its own.
    void repeatedFiringsShareALine()
    {
        HostSession session;
        HostWindow window(&session);
        auto* actions = window.findChild<QListWidget*>(QStringLiteral("firedActions"));
        QVERIFY(actions);
        for (int i = 0; i < 50; ++i)
            emit session.actionFired("Pad (gp:0)", "camera.pan", {}, "joy_0", i * 2.0, "always", false);
        emit session.actionFired("Pad (gp:0)", "camera.pan", {}, "joy_1", 3.0, "always", false);
        emit session.actionFired("Pad (gp:0)", "camera.pan", {}, "joy_1", 4.0, "always", false);
        QCOMPARE(actions->count(), 2);
        QVERIFY2(actions->item(0)->text().contains(QStringLiteral("×2")) &&
                     actions->item(0)->text().contains(QStringLiteral("joy_1 = 4.0")),
                 qPrintable(actions->item(0)->text()));
        QVERIFY2(actions->item(1)->text().contains(QStringLiteral("×50")) &&
                     actions->item(1)->text().contains(QStringLiteral("joy_0 = 98.0")),
                 qPrintable(actions->item(1)->text()));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(tst_HostWindow)
#include "tst_hostwindow.moc"

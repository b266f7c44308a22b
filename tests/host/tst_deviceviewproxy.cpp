#include "deviceviewproxy.h"

#include <QStandardItemModel>
#include <QTest>

class tst_DeviceViewProxy : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pictures_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("shown");
        const QString generic = QString::fromLatin1(DeviceViewProxy::GenericPicture);
        QTest::newRow("product picture the host lacks")
            << QStringLiteral(":/new/prefix1/ressources/menette_id_4242.png") << generic;
        QTest::newRow("definition picture on disk") << QStringLiteral("/data/GamepadProfiles/x/image.png")
                                                    << QStringLiteral("/data/GamepadProfiles/x/image.png");
        QTest::newRow("no picture") << QString() << QString();
    }

    void pictures()
    {
        QFETCH(QString, source);
        QStandardItemModel model;
        model.setItemRoleNames({{Qt::UserRole + 9, "image"}, {Qt::UserRole + 1, "usn"}});
        auto* item = new QStandardItem;
        item->setData(source, Qt::UserRole + 9);
        item->setData(source, Qt::UserRole + 1);
        model.appendRow(item);
        DeviceViewProxy proxy;
        proxy.setSourceModel(&model);
        QTEST(proxy.index(0, 0).data(Qt::UserRole + 9).toString(), "shown");
        // Other roles pass through untouched.
        QCOMPARE(proxy.index(0, 0).data(Qt::UserRole + 1).toString(), source);
        QCOMPARE(proxy.roleNames(), model.roleNames());
    }
};

QTEST_MAIN(tst_DeviceViewProxy)
#include "tst_deviceviewproxy.moc"

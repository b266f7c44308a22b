// The device card delegate: layout, chips, texts, tooltips, clicks and painting.
#include "deviceitemdelegate.h"

#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

namespace {

enum : int
{
    Usn = Qt::UserRole + 1,
    Name,
    Ip,
    Selected,
    Connected,
    Interfaces,
    Product,
    ModelText,
    LinkState,
    ProfileName,
    Position,
    Count,
    Carousel
};

QHash<int, QByteArray> allRoles()
{
    return {{Usn, "usn"},
            {Name, "name"},
            {Ip, "ip"},
            {Selected, "selected"},
            {Connected, "isConnected"},
            {Interfaces, "videoInterfaces"},
            {Product, "product"},
            {ModelText, "modelString"},
            {LinkState, "linkState"},
            {ProfileName, "activeProfileName"},
            {Position, "activeProfilePosition"},
            {Count, "profileCount"},
            {Carousel, "hasProfileCarousel"}};
}

// A model that keeps its data but refuses every write.
class ReadOnlyModel : public QStandardItemModel
{
public:
    using QStandardItemModel::QStandardItemModel;
    bool setData(const QModelIndex&, const QVariant&, int) override { return false; }
};

void fillPad(QStandardItemModel* model, int profiles = 3)
{
    auto* item = new QStandardItem;
    item->setData(QString("gp:0"), Usn);
    item->setData(QString("Pad"), Name);
    item->setData(false, Selected);
    item->setData(true, Connected);
    item->setData(QStringList{QString("Axes|axis://6"), QString("Buttons|btn://12")}, Interfaces);
    item->setData(QString("Main"), ProfileName);
    item->setData(2, Position);
    item->setData(profiles, Count);
    item->setData(profiles > 1, Carousel);
    item->setData(2, LinkState);
    model->appendRow(item);
}

QStyleOptionViewItem optionFor(const QRect& rect)
{
    QStyleOptionViewItem option;
    option.rect = rect;
    return option;
}

QImage render(DeviceItemDelegate& delegate, QAbstractItemModel& model)
{
    QImage canvas(300, 240, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    delegate.paint(&painter, optionFor(QRect(0, 0, 300, 240)), model.index(0, 0));
    return canvas;
}

bool click(DeviceItemDelegate& delegate, QAbstractItemModel* model, const QPoint& pos,
           Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(pos), QPointF(pos), button, Qt::NoButton,
                        Qt::NoModifier);
    return delegate.editorEvent(&release, model, optionFor(QRect(0, 0, 300, 240)), model->index(0, 0));
}

} // namespace

class tst_DeviceItemDelegate : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void geometryOfATile()
    {
        const auto g = DeviceItemDelegate::geometryFor(QRect(0, 0, 300, 240));
        QCOMPARE(g.card, QRect(6, 6, 288, 228));
        QCOMPARE(g.imageBox, QRect(102, 22, 96, 96));
        QCOMPARE(g.textArea, QRect(18, 128, 264, 60));
        QCOMPARE(g.controlsStrip, QRect(18, 194, 264, 28));
        QCOMPARE(g.deleteButton, QRect(12, 12, 24, 24));
        QCOMPARE(g.statusDot, QRect(268, 18, 14, 14));
        QCOMPARE(g.leftArrow, QRect(74, 54, 18, 32));
        QCOMPARE(g.rightArrow, QRect(208, 54, 18, 32));
        QCOMPARE(g.selectionBadge, QRect(256, 196, 26, 26));
        DeviceItemDelegate delegate;
        QCOMPARE(delegate.sizeHint(QStyleOptionViewItem(), QModelIndex()), QSize(300, 240));
    }

    void chipCapacity_data()
    {
        QTest::addColumn<int>("stripWidth");
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("chips");
        QTest::addColumn<QString>("lastLabel");
        QTest::newRow("eleven entries fill 300 px") << 300 << 11 << 11 << QString();
        QTest::newRow("fourteen entries leave three out") << 300 << 14 << 12 << "+3";
        QTest::newRow("the tile's strip holds nine") << 264 << 10 << 10 << "+1";
        QTest::newRow("a strip too narrow for any chip") << 10 << 2 << 1 << "+2";
    }

    void chipCapacity()
    {
        QFETCH(int, stripWidth);
        QFETCH(int, entries);
        QFETCH(QString, lastLabel);
        QStringList list;
        for (int i = 0; i < entries; ++i)
            list << QStringLiteral("X%1|misc://%1").arg(i);
        const QRect strip(10, 100, stripWidth, 28);
        const auto laid = DeviceItemDelegate::layoutChips(strip, list);
        QTEST(int(laid.size()), "chips");
        QCOMPARE(laid.last().label, lastLabel.isEmpty() ? laid.last().label : lastLabel);
        // The row, count chip included, is centred and its chips sit 28 px apart.
        if (laid.size() >= 2) {
            QCOMPARE(laid.at(1).rect.x() - laid.at(0).rect.x(), 28);
            const int leftGap = laid.first().rect.x() - strip.x();
            const int rightGap = strip.x() + strip.width() - (laid.last().rect.x() + 20);
            QVERIFY(qAbs(leftGap - rightGap) <= 1);
        }
        for (const auto& chip : laid)
            QCOMPARE(chip.rect.y(), strip.y() + 14 - 10);
    }

    // The count chip may stand out of the strip, never off the card.
    void everyChipStaysOnTheCardOfATile()
    {
        const auto g = DeviceItemDelegate::geometryFor(QRect(0, 0, 300, 240));
        for (int entries = 1; entries <= 20; ++entries) {
            const auto laid =
                DeviceItemDelegate::layoutChips(g.controlsStrip, QList<QString>(entries, "Axes|axis://2"));
            for (const auto& chip : laid)
                QVERIFY2(g.card.contains(chip.rect), qPrintable(QStringLiteral("%1 entries").arg(entries)));
        }
    }

    void cardTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("subtitle");
        QTest::newRow("nameless device")
            << QString() << QString() << QString("<Sans nom>") << QString("45e-2fd");
        QTest::newRow("product joins the model text")
            << QString("Pad") << QString("Xbox") << QString("Pad") << QString("Xbox - 45e-2fd");
    }

    void cardTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, product);
        QStandardItemModel model;
        model.setItemRoleNames(allRoles());
        auto* item = new QStandardItem;
        item->setData(name, Name);
        item->setData(product, Product);
        item->setData(QString("45e-2fd"), ModelText);
        model.appendRow(item);
        DeviceItemDelegate delegate;
        const auto texts = delegate.cardTexts(model.index(0, 0));
        QTEST(texts.title, "title");
        QTEST(texts.subtitle, "subtitle");
        QVERIFY(texts.address.isEmpty());
    }

    void tooltips_data()
    {
        QTest::addColumn<int>("linkState");
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<QString>("tip");
        const auto g = DeviceItemDelegate::geometryFor(QRect(0, 0, 300, 240));
        const auto chips = DeviceItemDelegate::layoutChips(
            g.controlsStrip, {QString("Axes|axis://6"), QString("Buttons|btn://12")});
        QTest::newRow("axis chip names its count") << 2 << chips.at(0).rect.center() << QString("Axes: 6");
        QTest::newRow("button chip names its count")
            << 2 << chips.at(1).rect.center() << QString("Buttons: 12");
        QTest::newRow("picture names the active profile")
            << 2 << g.imageBox.center() << QString("Main (2/3)");
        QTest::newRow("status dot when connected")
            << 2 << g.statusDot.center() << QString("Interface: connecté");
        QTest::newRow("status dot while linking")
            << 1 << g.statusDot.center() << QString("Interface: connexion en cours");
        QTest::newRow("status dot when idle")
            << 0 << g.statusDot.center() << QString("Interface: déconnecté");
        QTest::newRow("nothing on the card body") << 0 << QPoint(150, 10) << QString();
    }

    void tooltips()
    {
        QFETCH(int, linkState);
        QFETCH(QPoint, pos);
        QStandardItemModel model;
        model.setItemRoleNames(allRoles());
        fillPad(&model);
        model.setData(model.index(0, 0), linkState, LinkState);
        DeviceItemDelegate delegate;
        QTEST(delegate.toolTipAt(pos, optionFor(QRect(0, 0, 300, 240)), model.index(0, 0)), "tip");
    }

    void deleteAndArrowsNeverToggleSelection()
    {
        QStandardItemModel model;
        model.setItemRoleNames(allRoles());
        fillPad(&model);
        DeviceItemDelegate delegate;
        QSignalSpy deletes(&delegate, &DeviceItemDelegate::requestDelete);
        QSignalSpy toggles(&delegate, &DeviceItemDelegate::toggledSelect);
        QSignalSpy cycles(&delegate, &DeviceItemDelegate::cycleProfile);
        const auto g = DeviceItemDelegate::geometryFor(QRect(0, 0, 300, 240));
        QVERIFY(click(delegate, &model, g.deleteButton.center()));
        QCOMPARE(deletes.count(), 1);
        QCOMPARE(deletes.at(0).at(0).toString(), "gp:0");
        QCOMPARE(cycles.count(), 0);
        QVERIFY(click(delegate, &model, g.leftArrow.center()));
        QVERIFY(click(delegate, &model, g.rightArrow.center()));
        QCOMPARE(cycles.count(), 2);
        QCOMPARE(cycles.at(0).at(1).toInt(), -1);
        QCOMPARE(cycles.at(1).at(1).toInt(), 1);
        QCOMPARE(toggles.count(), 0);
        QCOMPARE(model.index(0, 0).data(Selected).toBool(), false);
    }

    void clicksBesideThePictureToggle_data()
    {
        QTest::addColumn<bool>("withCarouselRole");
        QTest::addColumn<int>("profiles");
        QTest::newRow("model without a carousel role") << false << 3;
        QTest::newRow("device with one profile") << true << 1;
    }

    void clicksBesideThePictureToggle()
    {
        QFETCH(bool, withCarouselRole);
        QFETCH(int, profiles);
        QStandardItemModel model;
        auto roles = allRoles();
        if (!withCarouselRole)
            roles.remove(Carousel);
        model.setItemRoleNames(roles);
        fillPad(&model, profiles);
        model.setData(model.index(0, 0), true, Carousel);
        DeviceItemDelegate delegate;
        QVERIFY(!delegate.carouselShown(model.index(0, 0)));
        QSignalSpy cycles(&delegate, &DeviceItemDelegate::cycleProfile);
        const auto g = DeviceItemDelegate::geometryFor(QRect(0, 0, 300, 240));
        QVERIFY(click(delegate, &model, g.leftArrow.center()));
        QCOMPARE(cycles.count(), 0);
        QCOMPARE(model.index(0, 0).data(Selected).toBool(), true);
        QVERIFY(click(delegate, &model, g.rightArrow.center()));
        QCOMPARE(model.index(0, 0).data(Selected).toBool(), false);
    }

    void refusedSelectionIsRequested()
    {
        ReadOnlyModel model;
        model.setItemRoleNames(allRoles());
        fillPad(&model);
        DeviceItemDelegate delegate;
        QSignalSpy toggles(&delegate, &DeviceItemDelegate::toggledSelect);
        QVERIFY(click(delegate, &model, QPoint(150, 150)));
        QCOMPARE(toggles.count(), 1);
        QCOMPARE(toggles.at(0).at(0).toString(), "gp:0");
        QCOMPARE(toggles.at(0).at(1).toBool(), true);
        // An invalid index is ignored.
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QVERIFY(!delegate.editorEvent(&release, &model, optionFor(QRect(0, 0, 300, 240)), QModelIndex()));
    }

    void replacedPictureIsPaintedAtTheNextRepaint()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("pad.png");
        const auto store = [&](Qt::GlobalColor colour, qint64 mtime) {
            QImage image(8, 8, QImage::Format_ARGB32);
            image.fill(colour);
            QVERIFY(image.save(path));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(
                file.setFileTime(QDateTime::fromMSecsSinceEpoch(mtime), QFileDevice::FileModificationTime));
        };
        QStandardItemModel model;
        auto roles = allRoles();
        roles.insert(Qt::UserRole + 50, "image");
        model.setItemRoleNames(roles);
        fillPad(&model);
        model.setData(model.index(0, 0), path, Qt::UserRole + 50);
        DeviceItemDelegate delegate;
        const auto centre = [&] { return render(delegate, model).pixelColor(150, 70); };

        store(Qt::red, 1000000);
        QCOMPARE(DeviceItemDelegate::imageCacheKey(path, QSize(96, 96)),
                 QStringLiteral("img:%1:96x96:1000000").arg(path));
        QCOMPARE(centre(), QColor(Qt::red)); // painted once, so the picture is cached
        store(Qt::blue, 2000000);
        QCOMPARE(centre(), QColor(Qt::blue));
    }

    void paintsStatusAndBadge()
    {
        QStandardItemModel model;
        model.setItemRoleNames(allRoles());
        fillPad(&model);
        DeviceItemDelegate delegate;
        const auto g = DeviceItemDelegate::geometryFor(QRect(0, 0, 300, 240));
        QImage shot = render(delegate, model);
        QCOMPARE(shot.pixelColor(g.statusDot.center()), QColor(60, 200, 120));
        QVERIFY(shot.pixelColor(g.selectionBadge.center() + QPoint(0, -9)) != QColor(110, 200, 215));
        model.setData(model.index(0, 0), false, Connected);
        model.setData(model.index(0, 0), true, Selected);
        shot = render(delegate, model);
        QCOMPARE(shot.pixelColor(g.statusDot.center()), QColor(200, 70, 70));
        QCOMPARE(shot.pixelColor(g.selectionBadge.center() + QPoint(0, -9)), QColor(110, 200, 215));

        // No control at all: the warning (an amber square without the host's icon) and "No controls".
        model.setData(model.index(0, 0), QStringList(), Interfaces);
        const QImage bare = render(delegate, model);
        QCOMPARE(bare.pixelColor(g.controlsStrip.x() + 10, g.controlsStrip.center().y()),
                 QColor(220, 160, 0));
        // An entry that is neither an axis nor a button is a text chip with its label.
        model.setData(model.index(0, 0), QStringList{"Video|rtsp://cam"}, Interfaces);
        const QRect chip =
            DeviceItemDelegate::layoutChips(g.controlsStrip, {"Video|rtsp://cam"}).first().rect;
        QVERIFY(render(delegate, model).copy(chip) != bare.copy(chip));
    }

    void clicksInAListViewReachTheModel()
    {
        QStandardItemModel model;
        model.setItemRoleNames(allRoles());
        fillPad(&model);
        DeviceItemDelegate delegate;
        QListView view;
        view.setViewMode(QListView::IconMode);
        view.setGridSize(QSize(300, 240));
        view.setSelectionMode(QAbstractItemView::NoSelection);
        view.setModel(&model);
        view.setItemDelegate(&delegate);
        view.resize(640, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QRect rect = view.visualRect(model.index(0, 0));
        QVERIFY(rect.isValid());
        QSignalSpy deletes(&delegate, &DeviceItemDelegate::requestDelete);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rect.topLeft() + QPoint(150, 150));
        QCOMPARE(model.index(0, 0).data(Selected).toBool(), true);
        QVERIFY(!view.indexWidget(model.index(0, 0)));
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, rect.topLeft() + QPoint(150, 150));
        QVERIFY(!view.findChild<QLineEdit*>()); // no text editor over the card
        const auto g = DeviceItemDelegate::geometryFor(rect);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, g.deleteButton.center());
        QCOMPARE(deletes.count(), 1);
    }
};

QTEST_MAIN(tst_DeviceItemDelegate)
#include "tst_deviceitemdelegate.moc"

// The device card delegate: layout, chips, texts, tooltips, clicks and painting.
#include "deviceitemdelegate.h"

#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The roles the card reads, from Qt::UserRole + 1 on in this order.
const QList<QByteArray> kRoleNames = QByteArray("usn name ip selected isConnected videoInterfaces product "
                                                "modelString linkState activeProfileName "
                                                "activeProfilePosition profileCount hasProfileCarousel")
                                         .split(' ');

int role(const QByteArray& name)
{
    return Qt::UserRole + 1 + int(kRoleNames.indexOf(name));
}

QHash<int, QByteArray> allRoles()
{
    QHash<int, QByteArray> roles;
    for (const QByteArray& name : kRoleNames)
        roles.insert(role(name), name);
    return roles;
}

// A model that keeps its data but refuses every write.
class ReadOnlyModel : public QStandardItemModel
{
public:
    using QStandardItemModel::QStandardItemModel;
    bool setData(const QModelIndex&, const QVariant&, int) override { return false; }
};

QStyleOptionViewItem optionFor(const QRect& rect)
{
    QStyleOptionViewItem option;
    option.rect = rect;
    return option;
}

const QRect kTile(0, 0, 300, 240);
const DeviceItemDelegate::Geometry kGeometry = DeviceItemDelegate::geometryFor(kTile);

// One card "gp:0" of a pad (6 axes, 12 buttons, profile "Main" 2 of 3) in a model with every
// role, or a read-only one; the delegate's signals are recorded as text.
struct Card
{
    explicit Card(bool readOnly = false, QHash<int, QByteArray> roles = allRoles(), int profiles = 3)
        : model(readOnly ? new ReadOnlyModel : new QStandardItemModel)
    {
        model->setItemRoleNames(roles);
        auto* item = new QStandardItem;
        // In role order: no address, product or model text.
        const QVariantList values{
            "gp:0",      "Pad", {}, false,  true, QStringList{"Axes|axis://6", "Buttons|btn://12"},
            {},          {},    2,  "Main", 2,    profiles,
            profiles > 1};
        for (int i = 0; i < values.size(); ++i)
            item->setData(values.at(i), Qt::UserRole + 1 + i);
        model->appendRow(item); // written past the read-only model's setData
        QObject::connect(&delegate, &DeviceItemDelegate::requestDelete,
                         [this](const QString& usn) { signalled << "delete " + usn; });
        QObject::connect(&delegate, &DeviceItemDelegate::toggledSelect, [this](const QString& usn, bool on) {
            signalled << QStringLiteral("toggle %1 %2").arg(usn).arg(on);
        });
        QObject::connect(&delegate, &DeviceItemDelegate::cycleProfile, [this](const QString& usn, int delta) {
            signalled << QStringLiteral("cycle %1 %2").arg(usn).arg(delta);
        });
    }
    QModelIndex index() const { return model->index(0, 0); }
    void set(const QVariant& value, int role) { model->setData(index(), value, role); }
    QImage render()
    {
        QImage canvas(300, 240, QImage::Format_ARGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        delegate.paint(&painter, optionFor(kTile), index());
        return canvas;
    }
    bool click(const QPoint& pos, const QModelIndex& at)
    {
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(pos), QPointF(pos), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        return delegate.editorEvent(&release, model.get(), optionFor(kTile), at);
    }

    std::unique_ptr<QStandardItemModel> model;
    DeviceItemDelegate delegate;
    QStringList signalled;
};

} // namespace

class tst_DeviceItemDelegate : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void geometryOfATile()
    {
        const auto& g = kGeometry;
        QCOMPARE((QList<QRect>{g.card, g.imageBox, g.textArea, g.controlsStrip, g.deleteButton, g.statusDot,
                               g.leftArrow, g.rightArrow, g.selectionBadge}),
                 (QList<QRect>{QRect(6, 6, 288, 228), QRect(102, 22, 96, 96), QRect(18, 128, 264, 60),
                               QRect(18, 194, 264, 28), QRect(12, 12, 24, 24), QRect(268, 18, 14, 14),
                               QRect(74, 54, 18, 32), QRect(208, 54, 18, 32), QRect(256, 196, 26, 26)}));
        QCOMPARE(DeviceItemDelegate().sizeHint(QStyleOptionViewItem(), QModelIndex()), QSize(300, 240));
    }

    void chipCapacity_data()
    {
        QTest::addColumn<int>("stripWidth");
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("chips");
        QTest::addColumn<QString>("lastLabel");
        QTest::newRow("eleven entries fill 300 px") << 300 << 11 << 11 << QString();
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
        const auto& g = kGeometry;
        for (int entries = 1; entries <= 20; ++entries) {
            const auto laid =
                DeviceItemDelegate::layoutChips(g.controlsStrip, QList<QString>(entries, "Axes|axis://2"));
            for (const auto& chip : laid)
                QVERIFY2(g.card.contains(chip.rect), qPrintable(QStringLiteral("%1 entries").arg(entries)));
        }
    }

    // Title, subtitle and address: a nameless device, then a product joining the model text.
    void cardTexts()
    {
        Card card;
        card.set(QString("45e-2fd"), role("modelString"));
        const auto texts = [&card] {
            const auto t = card.delegate.cardTexts(card.index());
            return QStringList{t.title, t.subtitle, t.address};
        };
        card.set(QString(), role("name"));
        QCOMPARE(texts(), (QStringList{"<Sans nom>", "45e-2fd", ""}));
        card.set(QString("Pad"), role("name"));
        card.set(QString("Xbox"), role("product"));
        QCOMPARE(texts(), (QStringList{"Pad", "Xbox - 45e-2fd", ""}));
    }

    void tooltips_data()
    {
        QTest::addColumn<int>("linkState");
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<QString>("tip");
        const auto& g = kGeometry;
        const auto chips = DeviceItemDelegate::layoutChips(
            g.controlsStrip, {QString("Axes|axis://6"), QString("Buttons|btn://12")});
        auto row = [](const char* name, int state, QPoint pos, const char* tip) {
            QTest::newRow(name) << state << pos << QString(tip);
        };
        row("axis chip names its count", 2, chips.at(0).rect.center(), "Axes: 6");
        row("picture names the active profile", 2, g.imageBox.center(), "Main (2/3)");
        row("status dot when connected", 2, g.statusDot.center(), "Interface: connecté");
        row("status dot while linking", 1, g.statusDot.center(), "Interface: connexion en cours");
        row("status dot when idle", 0, g.statusDot.center(), "Interface: déconnecté");
        row("nothing on the card body", 0, QPoint(150, 10), "");
    }

    void tooltips()
    {
        QFETCH(int, linkState);
        QFETCH(QPoint, pos);
        Card card;
        card.set(linkState, role("linkState"));
        QTEST(card.delegate.toolTipAt(pos, optionFor(kTile), card.index()), "tip");
    }

    // Where a release lands on the card, on which model, and what follows: the delegate's signals
    // and whether the card is then selected.
    void clicks_data()
    {
        QTest::addColumn<QString>("model"); // "plain", "read-only", "no carousel role", "one profile"
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<QStringList>("signalled");
        QTest::addColumn<bool>("selected");
        const auto& g = kGeometry;
        auto row = [](const char* name, const char* model, QPoint pos, QStringList signalled, bool selected) {
            QTest::newRow(name) << QString(model) << pos << signalled << selected;
        };
        row("the delete button asks to delete only", "plain", g.deleteButton.center(), {"delete gp:0"},
            false);
        row("the left arrow cycles back only", "plain", g.leftArrow.center(), {"cycle gp:0 -1"}, false);
        row("the right arrow cycles on only", "plain", g.rightArrow.center(), {"cycle gp:0 1"}, false);
        row("the card body selects", "plain", QPoint(150, 150), {}, true);
        row("a model refusing the write is asked to select", "read-only", QPoint(150, 150), {"toggle gp:0 1"},
            false);
        row("beside the picture of a model without a carousel role selects", "no carousel role",
            g.leftArrow.center(), {}, true);
        row("beside the picture of a device with one profile selects", "one profile", g.rightArrow.center(),
            {}, true);
    }

    void clicks()
    {
        QFETCH(QString, model);
        QFETCH(QPoint, pos);
        QHash<int, QByteArray> roles = allRoles();
        if (model == "no carousel role")
            roles.remove(role("hasProfileCarousel"));
        Card card(model == "read-only", roles, model == "one profile" ? 1 : 3);
        card.set(true, role("hasProfileCarousel")); // only shown with the role and more than one profile
        QVERIFY(card.click(pos, card.index()));
        QTEST(card.signalled, "signalled");
        QTEST(card.index().data(role("selected")).toBool(), "selected");
        QVERIFY(!card.click(QPoint(5, 5), QModelIndex()));
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
        QHash<int, QByteArray> roles = allRoles();
        roles.insert(Qt::UserRole + 50, "image");
        Card card(false, roles);
        card.set(path, Qt::UserRole + 50);
        const auto centre = [&] { return card.render().pixelColor(150, 70); };

        store(Qt::red, 1000000);
        QCOMPARE(DeviceItemDelegate::imageCacheKey(path, QSize(96, 96)),
                 QStringLiteral("img:%1:96x96:1000000").arg(path));
        QCOMPARE(centre(), QColor(Qt::red)); // painted once, so the picture is cached
        store(Qt::blue, 2000000);
        QCOMPARE(centre(), QColor(Qt::blue));
    }

    void paintsStatusAndBadge()
    {
        Card card;
        const auto& g = kGeometry;
        QImage shot = card.render();
        QCOMPARE(shot.pixelColor(g.statusDot.center()), QColor(60, 200, 120));
        QVERIFY(shot.pixelColor(g.selectionBadge.center() + QPoint(0, -9)) != QColor(110, 200, 215));
        card.set(false, role("isConnected"));
        card.set(true, role("selected"));
        shot = card.render();
        QCOMPARE(shot.pixelColor(g.statusDot.center()), QColor(200, 70, 70));
        QCOMPARE(shot.pixelColor(g.selectionBadge.center() + QPoint(0, -9)), QColor(110, 200, 215));

        // No control at all: the warning (an amber square without the host's icon) and "No controls".
        card.set(QStringList(), role("videoInterfaces"));
        const QImage bare = card.render();
        QCOMPARE(bare.pixelColor(g.controlsStrip.x() + 10, g.controlsStrip.center().y()),
                 QColor(220, 160, 0));
        // An entry that is neither an axis nor a button is a text chip with its label.
        card.set(QStringList{"Video|rtsp://cam"}, role("videoInterfaces"));
        const QRect chip =
            DeviceItemDelegate::layoutChips(g.controlsStrip, {"Video|rtsp://cam"}).first().rect;
        QVERIFY(card.render().copy(chip) != bare.copy(chip));
    }

    void clicksInAListViewReachTheModel()
    {
        Card card;
        QListView view;
        view.setViewMode(QListView::IconMode);
        view.setGridSize(QSize(300, 240));
        view.setSelectionMode(QAbstractItemView::NoSelection);
        view.setModel(card.model.get());
        view.setItemDelegate(&card.delegate);
        view.resize(640, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QRect rect = view.visualRect(card.index());
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rect.topLeft() + QPoint(150, 150));
        QCOMPARE(card.index().data(role("selected")).toBool(), true);
        QVERIFY(!view.indexWidget(card.index()));
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, rect.topLeft() + QPoint(150, 150));
        QVERIFY(!view.findChild<QLineEdit*>()); // no text editor over the card
        const auto g = DeviceItemDelegate::geometryFor(rect);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, g.deleteButton.center());
        QCOMPARE(card.signalled, QStringList{"delete gp:0"});
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rect.topLeft() + QPoint(150, 150));
        QCOMPARE(card.index().data(role("selected")).toBool(), false); // a second click unselects
    }
};

QTEST_MAIN(tst_DeviceItemDelegate)
#include "tst_deviceitemdelegate.moc"

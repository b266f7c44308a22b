// The overlay editing widget and its pastilles: adding, placing, loading, learning, binding, menus,
// pressing, resizing, dragging and painting.
#include "interactiveoverlay.h"
#include "overlaymapping.h"
#include "support/testsupport.h"

#include <QAction>
#include <QMenu>

namespace {
QJsonObject binding(const QString& name)
{
    return QJsonObject{{"ref", name}, {"action", name}};
}

QPixmap picture(const QSize& size = QSize(800, 480))
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::darkGray);
    return pixmap;
}
} // namespace

class tst_InteractiveOverlay : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_overlay = new InteractiveOverlay;
        m_overlay->resize(800, 400);
        m_overlay->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_overlay));
    }

    void cleanup()
    {
        delete m_overlay;
        m_overlay = nullptr;
    }

    // Geometry, title, free aspect, publish mode, slots and their labels.
    void newPastilleDefaults_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("pastille");
        QTest::newRow("single joystick")
            << int(InteractiveOverlay::SingleJoy)
            << "QRect(339,139 122x122) Joy 1 true activeOnly QList(main) QList(Joystick)";
        QTest::newRow("two-axis joystick")
            << int(InteractiveOverlay::DualJoyCross)
            << "QRect(310,110 180x180) Double Joy 1 true activeOnly QList(x, y) QList(Axe X, Axe Y)";
        QTest::newRow("button") << int(InteractiveOverlay::Button)
                                << "QRect(364,164 72x72) Bouton 1 false onChange QList(main) QList(Bouton)";
    }

    void newPastilleDefaults()
    {
        QFETCH(int, kind);
        QSignalSpy dirty(m_overlay, &InteractiveOverlay::dirty);
        QSignalSpy selected(m_overlay, &InteractiveOverlay::selectedNodeChanged);
        QCOMPARE(m_overlay->addNode(QPointF(400, 200), InteractiveOverlay::ElementKind(kind)), 0);
        TouchArea* area = m_overlay->pastille(0);
        QString pastille;
        QDebug(&pastille).noquote() << area->geometry() << area->title() << area->freeAspect()
                                    << InteractiveOverlay::publishModeToString(m_overlay->nodePublishMode(0))
                                    << m_overlay->nodeSlotNames(0) << m_overlay->nodeSlotLabels(0);
        QTEST(pastille.trimmed(), "pastille");
        for (const QString& slot : m_overlay->nodeSlotNames(0)) {
            QCOMPARE(m_overlay->nodeSource(0, slot), Overlay::InputSource::forKind(Overlay::Kind(kind)));
            QCOMPARE(m_overlay->nodeBinding(0, slot), QJsonObject());
        }
        QVERIFY(m_overlay->selectedIndex() == 0 && area->state() == TouchArea::Active);
        QCOMPARE(selected.size() + dirty.size(), 2);
        // No picture: the background is the whole overlay.
        QCOMPARE(m_overlay->node(0).rect.x(), area->x() / 800.0);

        // Titles count on; an explicit title takes no number.
        m_overlay->addNode(QPointF(200, 100), InteractiveOverlay::ElementKind(kind), "Gauche");
        m_overlay->addNode(QPointF(300, 100), InteractiveOverlay::ElementKind(kind));
        QCOMPARE(m_overlay->nodeTitle(1), "Gauche");
        QCOMPARE(m_overlay->nodeTitle(2), m_overlay->nodeTitle(0).replace("1", "2"));
    }

    void pastillesFollowThePicture()
    {
        m_overlay->setBackgroundScaleMode(OverlayLines::Contain);
        m_overlay->setBackgroundPixmap(picture(QSize(400, 400)));
        QCOMPARE(m_overlay->backgroundRect(), QRect(200, 0, 400, 400));
        m_overlay->addNode(QPointF(236, 36), InteractiveOverlay::Button);
        QCOMPARE(m_overlay->node(0).rect, QRectF(0, 0, 0.18, 0.18));
        m_overlay->resize(400, 800); // picture now at (0, 200, 400, 400)
        QCOMPARE(m_overlay->pastille(0)->geometry(), QRect(0, 200, 72, 72));
        m_overlay->setBackgroundScaleMode(OverlayLines::Stretch); // (0, 0, 400, 800)
        QCOMPARE(m_overlay->pastille(0)->geometry(), QRect(0, 0, 72, 144));
    }

    // Each member's reading is checked with the document; here every member written is read back.
    void documentRoundTrip()
    {
        m_overlay->setBackgroundPixmap(picture());
        m_overlay->addNode(QPointF(200, 150), InteractiveOverlay::SingleJoy);
        const int dual = m_overlay->addNode(QPointF(400, 220), InteractiveOverlay::DualJoyCross, "Croix");
        const int button = m_overlay->addNode(QPointF(700, 100), InteractiveOverlay::Button, "A");
        m_overlay->setSource(0, "main", true, " joy_3 ", 2, 5, "other");
        m_overlay->setSource(dual, "y", true, "joy_7", 1, 3);
        m_overlay->setSource(button, "main", false, "but_3", 0, 1, "other");
        m_overlay->setSplit(dual, true);
        m_overlay->setPublishMode(dual, InteractiveOverlay::Always);
        m_overlay->pastille(0)->setFreeAspect(false);
        InteractiveOverlay copy;
        copy.resize(800, 400);
        copy.setBackgroundPixmap(picture());
        // Through text, as the file would be.
        QVERIFY(copy.loadFromJson(TestSupport::json(QJsonDocument(m_overlay->toJson()).toJson())));
        QCOMPARE(copy.toJson(), m_overlay->toJson());
        QCOMPARE(copy.pastille(dual)->geometry(), m_overlay->pastille(dual)->geometry());
    }

    void rejectedDocumentChangesNothing()
    {
        m_overlay->addNode(QPointF(100, 100), InteractiveOverlay::Button);
        QSignalSpy selected(m_overlay, &InteractiveOverlay::selectedNodeChanged);
        QVERIFY(
            !m_overlay->loadFromJson(QJsonObject{{"type", "Overlay"}, {"nodes", QJsonArray{QJsonObject()}}}));
        QVERIFY(m_overlay->nodeCount() == 1 && m_overlay->selectedIndex() == 0 && selected.isEmpty());

        // A hostile but well-typed document loads and paints.
        QVERIFY(m_overlay->loadFromJson(TestSupport::json(R"({"type": "InteractiveOverlay", "version": 4,
            "overlaySize": {"w": -1, "h": 1e300},
            "nodes": [{"kind": "dualJoyCross", "geometry": {"x": -1e300, "y": 1e300, "w": 1e300, "h": -2}},
                      {"kind": "button", "geometry": {"x": 0.5, "y": 0.5, "w": 0, "h": 0}, "freeAspect": "no"},
                      {"kind": "singleJoy", "title": "   ", "sources": {"main": {"stringKey": 42}}}, 7]})")));
        QCOMPARE(m_overlay->nodeTitle(2), "Joy 4"); // counting on from the earlier node
        QVERIFY(!m_overlay->grab().isNull());
    }

    void loadingKeepsScaleModeAndClearsState()
    {
        m_overlay->setBackgroundScaleMode(OverlayLines::Cover);
        m_overlay->addNode(QPointF(100, 100), InteractiveOverlay::Button);
        QVERIFY(m_overlay->startListening(0, "main"));
        QPointer<TouchArea> old = m_overlay->pastille(0);
        QVERIFY(m_overlay->loadFromJson(TestSupport::json(
            R"({"type": "InteractiveOverlay", "version": 4, "bgMode": "Center", "nodes": [{"kind": "singleJoy"}]})")));
        QCOMPARE(m_overlay->toJson().value("bgMode").toString(), "Cover");
        QVERIFY(m_overlay->selectedIndex() == -1 && m_overlay->listeningIndex() == -1);
        QCOMPARE(m_overlay->nodeTitle(0), "Joy 2");
        QVERIFY(old && !old->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!old);
    }

    void selectionAfterRemoval_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("removed");
        QTest::addColumn<int>("expected");
        QTest::newRow("removing the selected last node selects the new last") << 3 << 2 << 2 << 1;
        QTest::newRow("removing the only node leaves no selection") << 1 << 0 << 0 << -1;
        QTest::newRow("removing an earlier node shifts the selection") << 3 << 2 << 0 << 1;
    }

    void selectionAfterRemoval()
    {
        QFETCH(int, count);
        QFETCH(int, selected);
        QFETCH(int, removed);
        QFETCH(int, expected);
        addButtons(count);
        const QString survivor =
            expected >= 0 ? m_overlay->nodeTitle(expected < removed ? expected : expected + 1) : QString();
        m_overlay->selectNode(selected);
        QSignalSpy spy(m_overlay, &InteractiveOverlay::selectedNodeChanged);
        QVERIFY(m_overlay->removeNode(removed) && !m_overlay->removeNode(count - 1));
        QVERIFY(m_overlay->nodeCount() == count - 1 && m_overlay->selectedIndex() == expected);
        QCOMPARE(QList<QVariantList>(spy), QList<QVariantList>{{expected}});
        if (expected >= 0)
            QVERIFY(m_overlay->nodeTitle(expected) == survivor &&
                    m_overlay->pastille(expected)->state() == TouchArea::Active);
    }

    void removingListeningNodeStopsListening()
    {
        addButtons(3);
        QVERIFY(m_overlay->startListening(2, "MAIN") && m_overlay->listeningSlot() == "main");
        m_overlay->removeNode(0);
        QVERIFY(m_overlay->listeningIndex() == 1 && m_overlay->pastille(1)->state() == TouchArea::Listening);
        m_overlay->removeNode(1);
        QVERIFY(m_overlay->listeningIndex() == -1 && m_overlay->listeningSlot().isEmpty());
    }

    void learnRenamesPastille_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("keys"); // one per slot, learnt in slot order
        QTest::addColumn<QString>("title");
        auto row = [](const char* name, InteractiveOverlay::ElementKind kind, QStringList keys,
                      const char* title) { QTest::newRow(name) << int(kind) << keys << QString(title); };
        row("button learns button 7", InteractiveOverlay::Button, {" but_7 "}, "but_7");
        row("two-axis stick learns axes 0 and 1", InteractiveOverlay::DualJoyCross, {"joy_0", "joy_1"},
            "Joy 0/1");
        row("two-axis stick with one button key joins the keys", InteractiveOverlay::DualJoyCross,
            {"joy_0", "but_3"}, "joy_0 / but_3");
        row("a gate key on a button", InteractiveOverlay::Button, {"gate_1"}, "gate_1");
    }

    void learnRenamesPastille()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, keys);
        m_overlay->addNode(QPointF(300, 200), InteractiveOverlay::ElementKind(kind));
        const QStringList slotList = m_overlay->nodeSlotNames(0);
        QSignalSpy dirty(m_overlay, &InteractiveOverlay::dirty);
        for (int i = 0; i < keys.size(); ++i) {
            QVERIFY(m_overlay->startListening(0, slotList.at(i)) && m_overlay->assignLearntKey(keys.at(i)));
            QCOMPARE(m_overlay->listeningIndex(), -1);
        }
        QTEST(m_overlay->nodeTitle(0), "title");
        QCOMPARE(m_overlay->nodeSource(0, slotList.first()).stringKey, keys.first().trimmed());
        QVERIFY(m_overlay->pastille(0)->isBound() && m_overlay->pastille(0)->state() == TouchArea::Active);
        QVERIFY(dirty.size() >= 2 * keys.size());
    }

    void learnNeedsAListeningSlot()
    {
        m_overlay->addNode(QPointF(300, 200), InteractiveOverlay::SingleJoy);
        QSignalSpy dirty(m_overlay, &InteractiveOverlay::dirty);
        QVERIFY(!m_overlay->assignLearntKey("joy_1"));
        QVERIFY(!m_overlay->startListening(0, "x") && !m_overlay->startListening(4, "main"));
        QVERIFY(dirty.isEmpty() && m_overlay->nodeTitle(0) == "Joy 1");
    }

    void splitSwitchCopiesBinding()
    {
        const int dual = m_overlay->addNode(QPointF(300, 200), InteractiveOverlay::DualJoyCross);
        QVERIFY(m_overlay->setSplit(dual, true));
        m_overlay->setBinding(dual, "y", binding("tilt"));
        QCOMPARE(m_overlay->node(dual).bindings.at(0), QJsonObject());
        QSignalSpy dirty(m_overlay, &InteractiveOverlay::dirty);
        QVERIFY(m_overlay->setSplit(dual, false) && !m_overlay->setSplit(dual, false)); // then unchanged
        QCOMPARE(m_overlay->node(dual).bindings, (QVector<QJsonObject>{binding("tilt"), binding("tilt")}));
        QCOMPARE(dirty.size(), 1);
        // Combined: one binding goes to both axes.
        m_overlay->setBinding(dual, "x", binding("look"));
        QVERIFY(m_overlay->setSplit(dual, true));
        QCOMPARE(m_overlay->node(dual).bindings, (QVector<QJsonObject>{binding("look"), binding("look")}));
        QVERIFY(
            !m_overlay->setSplit(m_overlay->addNode(QPointF(100, 100), InteractiveOverlay::Button), true));
    }

    void clickSelectsInEditModeAndActivatesInMapping()
    {
        m_overlay->addNode(QPointF(100, 100), InteractiveOverlay::Button, "Feu");
        m_overlay->addNode(QPointF(400, 200), InteractiveOverlay::Button);
        m_overlay->selectNode(1);
        QSignalSpy activated(m_overlay, &InteractiveOverlay::pastilleActivated);
        QSignalSpy clicked(m_overlay->pastille(0), &TouchArea::clicked);
        QTest::mouseClick(m_overlay->pastille(0), Qt::LeftButton, {}, QPoint(36, 36));
        QVERIFY(m_overlay->selectedIndex() == 0 && m_overlay->pastille(1)->state() == TouchArea::Normal);
        QCOMPARE(activated.size(), 0);

        m_overlay->setMode(InteractiveOverlay::Mapping);
        QVERIFY(!m_overlay->pastille(0)->isEditable());
        const QPoint before = m_overlay->pastille(0)->pos();
        QTest::mousePress(m_overlay->pastille(0), Qt::LeftButton, {}, QPoint(36, 36));
        QTest::mouseMove(m_overlay->pastille(0), QPoint(136, 136));
        QTest::mouseRelease(m_overlay->pastille(0), Qt::LeftButton, {}, QPoint(136, 136));
        QTest::mouseClick(m_overlay->pastille(0), Qt::RightButton, {}, QPoint(36, 36)); // ignored
        QCOMPARE(clicked.size(), 2);
        QCOMPARE(QList<QVariantList>(activated),
                 (QList<QVariantList>{{m_overlay->pastille(0)->id(), "Feu"}}));
        QCOMPARE(m_overlay->pastille(0)->pos(), before); // not movable outside Edit
    }

    void dragIsClampedInsideTheOverlay_data()
    {
        QTest::addColumn<QPoint>("drag");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("past the right edge is flush right") << QPoint(2000, 56) << QPoint(800 - 72, 156);
        QTest::newRow("past the bottom edge is flush bottom") << QPoint(0, 900) << QPoint(100, 400 - 72);
        QTest::newRow("past the top left corner is flush top left") << QPoint(-500, -500) << QPoint(0, 0);
    }

    void dragIsClampedInsideTheOverlay()
    {
        QFETCH(QPoint, drag);
        QFETCH(QPoint, expected);
        m_overlay->addNode(QPointF(136, 136), InteractiveOverlay::Button);
        QSignalSpy dirty(m_overlay, &InteractiveOverlay::dirty);
        TouchArea* area = m_overlay->pastille(0);
        QTest::mousePress(area, Qt::LeftButton, {}, QPoint(30, 30));
        QTest::mouseMove(area, QPoint(30, 30) + drag);
        QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(30, 30));
        QCOMPARE(area->geometry(), QRect(expected, QSize(72, 72)));
        QCOMPARE(m_overlay->node(0).rect, QRectF(expected.x() / 800.0, expected.y() / 400.0, 0.09, 0.18));
        QCOMPARE(dirty.size(), 1);
    }

    void bindActionToKey()
    {
        const int button = m_overlay->addNode(QPointF(100, 100), InteractiveOverlay::Button);
        const int dual = m_overlay->addNode(QPointF(300, 200), InteractiveOverlay::DualJoyCross);
        const int titled = m_overlay->addNode(QPointF(600, 100), InteractiveOverlay::SingleJoy, "but_2");
        m_overlay->setSource(button, "main", false, "but_2");
        m_overlay->setSource(dual, "y", true, "JOY_1");
        QSignalSpy dirty(m_overlay, &InteractiveOverlay::dirty);
        QVERIFY(!m_overlay->bindActionToKey(" ", "fire") && !m_overlay->bindActionToKey("but_2", " "));
        QVERIFY(!m_overlay->bindActionToKey("but_9", "fire") && dirty.isEmpty());

        QVERIFY(m_overlay->bindActionToKey(" BUT_2 ", " fire "));
        QCOMPARE(m_overlay->nodeBinding(button, "main"), binding("fire"));
        // A pastille without a slot on that key but titled like it is bound on its first slot.
        QCOMPARE(m_overlay->nodeBinding(titled, "main"), binding("fire"));
        QVERIFY(m_overlay->bindActionToKey("joy_1", "look"));
        QCOMPARE(m_overlay->node(dual).bindings, (QVector<QJsonObject>{binding("look"), binding("look")}));
        m_overlay->setSource(button, "main", false, "but_3");
        QVERIFY(m_overlay->bindActionToKey("but_2", "jump")); // now only the title matches
        QCOMPARE(m_overlay->nodeBinding(titled, "main"), binding("jump"));
        QVERIFY(m_overlay->nodeBinding(button, "main") == binding("fire") && dirty.size() == 4);
    }

    void gateNames()
    {
        const int dual = m_overlay->addNode(QPointF(300, 200), InteractiveOverlay::DualJoyCross);
        QVERIFY(m_overlay->setGateNames(dual, {" north ", "", "south", "north"}));
        QCOMPARE(m_overlay->nodeGateNames(dual), (QStringList{"north", "south"}));
        QVERIFY(m_overlay->setGateBinding(dual, "SOUTH", binding("dash")));
        QVERIFY(m_overlay->setGateNames(dual, {"east", "south"}));
        QCOMPARE(m_overlay->nodeGateBinding(dual, "south"), binding("dash"));
        QCOMPARE(m_overlay->nodeGateBinding(dual, "east"), QJsonObject());
        QVERIFY(!m_overlay->setGateNames(m_overlay->addNode(QPointF(100, 100), InteractiveOverlay::Button),
                                         {"x"}));
    }

    void serviceReferencesUnlessLocked()
    {
        m_overlay->addNode(QPointF(100, 100), InteractiveOverlay::Button);
        m_overlay->setSource(0, "main", false, "but_1");
        const QJsonObject mapping{
            {"ref", QJsonArray{"Camera"}},
            {"bridges",
             QJsonArray{QJsonObject{{"src", QJsonObject{{"stringKey", "but_1"}}}, {"action", "snap"}}}}};
        m_overlay->setServicesLocked(true);
        QSignalSpy services(m_overlay, &InteractiveOverlay::externalServicesChanged);
        QVERIFY(m_overlay->applyMapping(mapping) && services.isEmpty());
        QCOMPARE(m_overlay->nodeBinding(0, "main"), binding("snap"));

        m_overlay->setServicesLocked(false);
        QVERIFY(m_overlay->applyMapping(mapping) && m_overlay->applyMapping(mapping)); // changes once
        QCOMPARE(services.size(), 1);
        QCOMPARE(m_overlay->externalServices(), QJsonArray{"Camera"});
        QCOMPARE(m_overlay->actionCatalog(), QJsonArray{"Camera"});
        QVERIFY(!m_overlay->applyMapping(QJsonObject()));
    }

    void materializeUsesPastilleIdentifier()
    {
        const int dual = m_overlay->addNode(QPointF(300, 200), InteractiveOverlay::DualJoyCross);
        m_overlay->setSource(dual, "x", true, "joy_0");
        m_overlay->setSource(dual, "y", true, "joy_1");
        m_overlay->setBinding(dual, "x", binding("look"));
        const QJsonArray bridges = m_overlay->materializeMapping().value("bridges").toArray();
        QVERIFY(bridges.size() == 2 && !m_overlay->nodeId(dual).startsWith('{'));
        QCOMPARE(bridges.at(0).toObject().value("publishGroupKey").toString(), m_overlay->nodeId(dual));
    }

    // The overlay's menu adds, renames, duplicates (sources, bindings, split and aspect with it) and
    // removes.
    void overlayContextMenu()
    {
        QString askedWith;
        m_overlay->setTitlePrompt([&askedWith](QWidget*, const QString& current, QString* answer) {
            askedWith = current;
            *answer = " Gâchette ";
            return true;
        });
        const QStringList adding{"Ajouter un joy", "Ajouter un double joy X/Y", "Ajouter un bouton"};
        std::unique_ptr<QMenu> empty(m_overlay->createContextMenu(QPoint(700, 300)));
        QCOMPARE(texts(empty.get()), adding);
        empty->actions().at(1)->trigger();
        QVERIFY(m_overlay->nodeCount() == 1 && m_overlay->nodeKind(0) == InteractiveOverlay::DualJoyCross);
        QCOMPARE(m_overlay->pastille(0)->geometry().center(), QPoint(700, 300) - QPoint(1, 1));

        m_overlay->selectNode(-1);
        std::unique_ptr<QMenu> onPastille(m_overlay->createContextMenu(QPoint(700, 300)));
        const QList<QAction*> actions = onPastille->actions();
        QCOMPARE(texts(onPastille.get()),
                 adding + QStringList({"", "Renommer...", "Dupliquer", "Supprimer"}));
        QVERIFY(m_overlay->selectedIndex() == 0 && actions.at(3)->isSeparator());
        QSignalSpy dirty(m_overlay, &InteractiveOverlay::dirty);
        actions.at(4)->trigger();
        QVERIFY(m_overlay->nodeTitle(0) == "Gâchette" && dirty.size() == 1);
        m_overlay->selectNode(-1);
        QCOMPARE(m_overlay->duplicateSelected(), -1);
        m_overlay->selectNode(0);
        m_overlay->setSource(0, "x", true, "joy_0");
        m_overlay->setSplit(0, true);
        m_overlay->setBinding(0, "x", binding("pan"));
        m_overlay->pastille(0)->setFreeAspect(false);
        actions.at(5)->trigger();
        QVERIFY(m_overlay->nodeCount() == 2 && m_overlay->selectedIndex() == 1);
        QCOMPARE(m_overlay->nodeTitle(1), "Gâchette copie");
        QCOMPARE(m_overlay->pastille(1)->geometry(), m_overlay->pastille(0)->geometry().translated(28, 28));
        QVERIFY(m_overlay->nodeSplit(1) && !m_overlay->pastille(1)->freeAspect() &&
                m_overlay->nodeId(1) != m_overlay->nodeId(0));
        QCOMPARE(m_overlay->node(1).sources, m_overlay->node(0).sources);
        QCOMPARE(m_overlay->node(1).bindings, m_overlay->node(0).bindings);
        m_overlay->selectNode(0);
        actions.at(6)->trigger();
        QVERIFY(m_overlay->nodeCount() == 1 && m_overlay->nodeTitle(0) == "Gâchette copie");

        // The pastille's own menu renames through the same prompt, duplicates and deletes.
        dirty.clear();
        std::unique_ptr<QMenu> menu(m_overlay->pastille(0)->createContextMenu());
        QCOMPARE(texts(menu.get()), (QStringList{"Renommer...", "Dupliquer", "Supprimer"}));
        menu->actions().at(0)->trigger();
        QVERIFY(askedWith == "Gâchette copie" && m_overlay->nodeTitle(0) == "Gâchette" && dirty.size() == 1);
        menu->actions().at(1)->trigger();
        QVERIFY(m_overlay->nodeCount() == 2 && m_overlay->nodeTitle(1) == "Gâchette copie");
        menu->actions().at(2)->trigger();
        QVERIFY(m_overlay->nodeTitle(0) == "Gâchette copie" && dirty.size() == 3);
    }

    void paintingColoursFollowState()
    {
        QPalette palette = m_overlay->palette();
        palette.setColor(QPalette::Window, Qt::black);
        m_overlay->setPalette(palette);
        m_overlay->setAutoFillBackground(true);
        for (int i = 0; i < 4; ++i)
            m_overlay->addNode(QPointF(100 + 180 * i, 150), InteractiveOverlay::SingleJoy);
        const int dual = m_overlay->addNode(QPointF(400, 300), InteractiveOverlay::DualJoyCross);
        m_overlay->setSource(0, "main", true, "joy_0"); // bound
        m_overlay->setSource(2, "main", true, "joy_2"); // bound and selected
        QVERIFY(m_overlay->startListening(3, "main"));
        m_overlay->selectNode(2);

        // Inside the body, between the rim and the knob, clear of the title: blue when bound, orange
        // when not, lighter blue when selected, green while listening.
        const QImage image = m_overlay->grab().toImage();
        QList<QColor> body;
        for (int i = 0; i < 4; ++i) {
            const QRect area = m_overlay->pastille(i)->geometry();
            body << image.pixelColor(area.center().x(), area.top() + 14);
        }
        QVERIFY2(body[0].blue() > body[0].red() + 70 && body[0].red() < 105, qPrintable(body[0].name()));
        QVERIFY2(body[1].red() > body[1].blue() + 70 && body[1].red() > body[1].green(),
                 qPrintable(body[1].name()));
        QVERIFY2(body[2].blue() > body[2].red() + 30 && body[2].red() > body[0].red() + 20,
                 qPrintable(body[2].name()));
        QVERIFY2(body[3].green() > body[3].red() + 50 && body[3].green() > body[3].blue() + 30,
                 qPrintable(body[3].name()));

        // The two-axis stick is a cross: its bar ends are painted, its corners are not.
        const QRect cross = m_overlay->pastille(dual)->geometry();
        const QColor barEnd = image.pixelColor(cross.center().x(), cross.top() + 8);
        const QColor corner = image.pixelColor(cross.left() + 10, cross.top() + 10);
        QVERIFY2(barEnd.red() > 150, qPrintable(barEnd.name()));
        QCOMPARE(corner, QColor(Qt::black));

        // A pastille drawn once is drawn again when its state changes: unbound, orange again.
        m_overlay->stopListening();
        const QRect listened = m_overlay->pastille(3)->geometry();
        const QColor after =
            m_overlay->grab().toImage().pixelColor(listened.center().x(), listened.top() + 14);
        QCOMPARE(after, body[1]);
    }

    // Blanks are trimmed; an empty or unchanged title is ignored.
    void titleIsTrimmedAndEditedOnce()
    {
        TouchArea area;
        QSignalSpy spy(&area, &TouchArea::titleEdited);
        area.setTitle("   ");
        area.setTitle("Element");
        QVERIFY(area.title() == "Element" && spy.isEmpty());
        area.setTitle("  Start ");
        QVERIFY(area.title() == "Start" && spy.size() == 1);
    }

    void stateChangesReportNewAndOld()
    {
        TouchArea area;
        QSignalSpy spy(&area, &TouchArea::stateChanged);
        area.startListening("x");
        QVERIFY(area.state() == TouchArea::Listening && area.listeningText() == "x");
        area.setActive(false); // listening ends and its text goes
        QCOMPARE(area.listeningText(), QString());
        area.setActive(true);
        area.setActive(true);
        area.stopListening(); // not listening: stays active
        QList<int> changes;   // new and old state of each change
        for (const QList<QVariant>& change : spy)
            changes << int(change.at(0).value<TouchArea::State>())
                    << int(change.at(1).value<TouchArea::State>());
        QCOMPARE(changes, (QList<int>{TouchArea::Listening, TouchArea::Normal, TouchArea::Normal,
                                      TouchArea::Listening, TouchArea::Active, TouchArea::Normal}));
    }

    void kindEnlargesToItsMinimum()
    {
        TouchArea area;
        area.setElementKind(TouchArea::Button);
        area.setFixedSize(50, 60);
        QSignalSpy spy(&area, &TouchArea::elementKindChanged);
        area.setElementKind(TouchArea::DualJoyCross);
        area.setElementKind(TouchArea::DualJoyCross);
        QVERIFY(area.size() == QSize(90, 90) && spy.size() == 1);
        QCOMPARE(spy.first().first().value<TouchArea::ElementKind>(), TouchArea::DualJoyCross);
        area.setElementKind(TouchArea::Button); // larger than the minimum: unchanged
        QCOMPARE(area.size(), QSize(90, 90));
    }

    void resizeRules_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("freeAspect");
        QTest::addColumn<QSize>("start");
        QTest::addColumn<QPoint>("drag");
        QTest::addColumn<QSize>("expected");
        auto row = [](const char* name, TouchArea::ElementKind kind, bool free, QSize start, QPoint drag,
                      QSize expected) {
            QTest::newRow(name) << int(kind) << free << start << drag << expected;
        };
        row("button without free aspect becomes a square", TouchArea::Button, false, {72, 72}, {30, 5},
            {102, 102});
        row("button never goes below 44", TouchArea::Button, false, {72, 72}, {-60, -50}, {44, 44});
        row("dual cross keeps its aspect ratio", TouchArea::DualJoyCross, true, {180, 120}, {30, 0},
            {315, 210});
        row("dual cross never narrower than 90", TouchArea::DualJoyCross, true, {120, 180}, {-100, -100},
            {90, 135});
        row("free aspect joystick takes the dragged size", TouchArea::SingleJoy, true, {122, 122}, {40, -30},
            {162, 92});
        row("joystick without free aspect is square", TouchArea::SingleJoy, false, {122, 122}, {40, -30},
            {162, 162});
    }

    void resizeRules()
    {
        QFETCH(int, kind);
        QFETCH(bool, freeAspect);
        QFETCH(QSize, start);
        QFETCH(QPoint, drag);
        auto* area = new TouchArea(m_overlay);
        area->setElementKind(TouchArea::ElementKind(kind));
        area->setFixedSize(start);
        area->move(20, 20);
        area->setFreeAspect(freeAspect);
        area->show();
        QSignalSpy resized(area, &TouchArea::resized);
        QSignalSpy moved(area, &TouchArea::moved);
        const QPoint grip = area->resizeHandleRect().center();
        QTest::mousePress(area, Qt::LeftButton, {}, grip);
        QTest::mouseMove(area, grip + drag);
        QTest::mouseRelease(area, Qt::LeftButton, {}, grip + drag);
        QTEST(area->size(), "expected");
        QVERIFY(area->pos() == QPoint(20, 20) && resized.size() == 1 && moved.isEmpty());
    }

private:
    void addButtons(int count)
    {
        for (int i = 0; i < count; ++i)
            m_overlay->addNode(QPointF(80 + 100 * i, 100), InteractiveOverlay::Button);
    }

    static QStringList texts(const QMenu* menu)
    {
        QStringList texts;
        for (const QAction* action : menu->actions())
            texts << action->text();
        return texts;
    }

    InteractiveOverlay* m_overlay = nullptr;
};

QTEST_MAIN(tst_InteractiveOverlay)
#include "tst_interactiveoverlay.moc"

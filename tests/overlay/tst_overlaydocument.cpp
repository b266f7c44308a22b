#include "overlaydocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Overlay;

namespace {

QJsonObject parse(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

// Reads with an 800 x 400 overlay showing a 400 x 400 picture in Contain mode.
DocumentContents read(const QJsonObject& document, bool* ok = nullptr, const QSize& picture = QSize(400, 400))
{
    DocumentContext context;
    context.currentSize = QSize(800, 400);
    context.pictureSize = picture;
    context.currentScaleMode = Contain;
    DocumentContents contents;
    const bool accepted = readDocument(document, context, &contents);
    if (ok)
        *ok = accepted;
    return contents;
}

QJsonObject withNodes(int version, const QJsonArray& nodes)
{
    return QJsonObject{{"type", "InteractiveOverlay"}, {"version", version}, {"nodes", nodes}};
}

DocumentNode sampleNode(Kind kind, const QString& title, const QRectF& rect)
{
    DocumentNode entry;
    entry.node = OverlayNode::create(kind);
    entry.node.rect = rect;
    entry.id = QUuid::createUuid();
    entry.title = title;
    entry.freeAspect = kind != Kind::Button;
    return entry;
}

} // namespace

class tst_OverlayDocument : public QObject
{
    Q_OBJECT
private slots:
    void roundTripKeepsPastilles()
    {
        QVector<DocumentNode> nodes;
        nodes.append(sampleNode(Kind::SingleJoy, "Stick gauche", QRectF(0.1, 0.2, 0.3, 0.25)));
        nodes.last().node.sources[0].stringKey = "joy_0";
        nodes.last().node.publishMode = PublishMode::Always;
        nodes.append(sampleNode(Kind::DualJoyCross, "Croix", QRectF(0.5, 0.5, 0.45, 0.4)));
        nodes.last().node.split = true;
        nodes.last().node.sources[0] = InputSource{true, "gamepade", 2, 3, "joy_6"};
        nodes.last().node.sources[1].stringKey = "joy_7";
        nodes.append(sampleNode(Kind::Button, "A", QRectF(0.8, 0.1, 0.09, 0.09)));
        nodes.last().node.sources[0] = InputSource{false, "other", 0, 1, "but_3"};

        const QJsonObject document = writeDocument(nodes, QSize(800, 400), Cover);
        // Through text, as the file would be.
        const QJsonObject reread = QJsonDocument::fromJson(QJsonDocument(document).toJson()).object();
        bool ok = false;
        const DocumentContents contents = read(reread, &ok);
        QVERIFY(ok);
        QCOMPARE(contents.nodes.size(), nodes.size());
        for (int i = 0; i < nodes.size(); ++i) {
            const DocumentNode& in = nodes.at(i);
            const DocumentNode& out = contents.nodes.at(i);
            QCOMPARE(out.node.kind, in.node.kind);
            QCOMPARE(out.title, in.title);
            QCOMPARE(out.id, in.id);
            QCOMPARE(out.freeAspect, in.freeAspect);
            QCOMPARE(out.node.rect, in.node.rect);
            QCOMPARE(out.node.split, in.node.split);
            QCOMPARE(out.node.publishMode, in.node.publishMode);
            QCOMPARE(out.node.slotNames, in.node.slotNames);
            QVERIFY(out.node.sources == in.node.sources);
        }
    }

    void writesFixedMembers()
    {
        QVector<DocumentNode> nodes{sampleNode(Kind::Button, "B", QRectF(0, 0, 0.1, 0.1)),
                                    sampleNode(Kind::DualJoyCross, "D", QRectF(0, 0, 0.2, 0.2))};
        const QJsonObject document = writeDocument(nodes, QSize(640, 360), Center);
        QCOMPARE(document.value("type").toString(), "InteractiveOverlay");
        QCOMPARE(document.value("version").toInt(), 4);
        QCOMPARE(document.value("coordSpace").toString(), "background");
        QCOMPARE(document.value("bgMode").toString(), "Center");
        QCOMPARE(document.value("overlaySize").toObject(), (QJsonObject{{"w", 640}, {"h", 360}}));
        const QJsonArray array = document.value("nodes").toArray();
        QCOMPARE(array.size(), 2);
        const QJsonObject button = array.at(0).toObject();
        QCOMPARE(button.value("kind").toString(), "button");
        QCOMPARE(button.value("state").toString(), "Normal");
        QCOMPARE(button.value("publishMode").toString(), "onChange");
        QVERIFY(!button.contains("split"));
        QVERIFY(!button.value("id").toString().startsWith('{'));
        QCOMPARE(button.value("sources").toObject().keys(), QStringList{"main"});
        const QJsonObject dual = array.at(1).toObject();
        QCOMPARE(dual.value("kind").toString(), "dualJoyCross");
        QCOMPARE(dual.value("split").toBool(true), false);
        QCOMPARE(dual.value("publishMode").toString(), "activeOnly");
        QCOMPARE(dual.value("sources").toObject().keys(), (QStringList{"x", "y"}));
    }

    void rejectsForeignType_data()
    {
        QTest::addColumn<QJsonObject>("document");
        QTest::newRow("type in other case") << QJsonObject{{"type", "interactiveoverlay"}};
        QTest::newRow("type is a number") << QJsonObject{{"type", 4}};
    }

    void rejectsForeignType()
    {
        QFETCH(QJsonObject, document);
        DocumentContext context;
        DocumentContents contents;
        contents.nextTitleNumber = 42;
        contents.nodes.append(DocumentNode());
        QVERIFY(!readDocument(document, context, &contents));
        QCOMPARE(contents.nextTitleNumber, 42);
        QCOMPARE(contents.nodes.size(), 1);
    }

    void legacyFractionsOfTheOverlay()
    {
        const QJsonObject document =
            parse(R"({"type": "InteractiveOverlay", "overlaySize": {"w": 800, "h": 400},
            "bgMode": "Contain", "nodes": [{"kind": "button", "geometry": {"x": 0.25, "y": 0.5, "w": 0.1, "h": 0.1}}]})");
        const DocumentContents contents = read(document);
        QCOMPARE(contents.nodes.size(), 1);
        const QRectF rect = contents.nodes.first().node.rect;
        // Pixel (200, 200, 80, 40) against the saved background (200, 0, 400, 400).
        QCOMPARE(rect.x(), 0.0);
        QCOMPARE(rect.width(), 0.2);
        QCOMPARE(rect.y(), 0.5);
        QCOMPARE(rect.height(), 0.1);
    }

    void legacyDocumentWithBackgroundCoordSpace()
    {
        // In capitals, or with blanks around it, "coordSpace" still names background space.
        for (const char* space : {"BACKGROUND", " background "}) {
            QJsonObject document = parse(R"({"type": "InteractiveOverlay", "version": 1,
            "overlaySize": {"w": 800, "h": 400}, "nodes": [{"geometry": {"x": 0.25, "y": 0.5, "w": 0.1, "h": 0.1}}]})");
            document.insert("coordSpace", space);
            QCOMPARE(read(document).nodes.first().node.rect, QRectF(0.25, 0.5, 0.1, 0.1));
        }
    }

    void kindInference_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<int>("kind");
        QTest::newRow("dual cross in mixed case")
            << R"({"kind": " DuAlJoYcRoSs "})" << int(Kind::DualJoyCross);
        QTest::newRow("unknown kind with a button key")
            << R"({"kind": "pad", "src": {"stringKey": "but_4"}})" << int(Kind::Button);
        QTest::newRow("no kind with an axis key and isJoy false")
            << R"({"src": {"stringKey": "joy_1", "isJoy": false}})" << int(Kind::SingleJoy);
        QTest::newRow("unparsable key and isJoy false")
            << R"({"src": {"stringKey": "gate_1", "isJoy": false}})" << int(Kind::Button);
        QTest::newRow("src that is not an object") << R"({"kind": 3, "src": [1, 2]})" << int(Kind::SingleJoy);
        QTest::newRow("nothing to go by") << R"({})" << int(Kind::SingleJoy);
    }

    void kindInference()
    {
        QFETCH(QString, node);
        QFETCH(int, kind);
        const QJsonObject object = QJsonDocument::fromJson(node.toUtf8()).object();
        const DocumentContents contents = read(withNodes(1, {object}));
        QCOMPARE(contents.nodes.size(), 1);
        QCOMPARE(int(contents.nodes.first().node.kind), kind);
        QCOMPARE(contents.nodes.first().node.slotNames.size(), kind == int(Kind::DualJoyCross) ? 2 : 1);
    }

    void missingGeometryTakesDefaults()
    {
        const QJsonObject document = withNodes(4, {QJsonObject{{"kind", "singleJoy"}}});
        QCOMPARE(read(document).nodes.first().node.rect, QRectF(0.1, 0.1, 0.08, 0.08));
    }

    void pastilleReadWhenGeometryEmpty()
    {
        const QJsonObject node =
            parse(R"({"geometry": {}, "pastille": {"x": 0.4, "y": 0.3, "w": 0.2, "h": 0.1}})");
        QCOMPARE(read(withNodes(2, {node})).nodes.first().node.rect, QRectF(0.4, 0.3, 0.2, 0.1));
        const QJsonObject both =
            parse(R"({"geometry": {"x": 0.5}, "pastille": {"x": 0.4, "y": 0.3, "w": 0.2, "h": 0.1}})");
        QCOMPARE(read(withNodes(2, {both})).nodes.first().node.rect, QRectF(0.5, 0.1, 0.08, 0.08));
    }

    void runningTitles()
    {
        const QJsonObject document = parse(R"({"type": "InteractiveOverlay", "version": 4, "nodes": [
            {"kind": "button", "title": "Start"}, {"kind": "button"}, {"kind": "dualJoyCross"}, {"kind": "singleJoy", "title": ""}]})");
        DocumentContext context;
        context.currentSize = QSize(100, 100);
        context.nextTitleNumber = 5;
        DocumentContents contents;
        QVERIFY(readDocument(document, context, &contents));
        QCOMPARE(contents.nodes.at(0).title, "Start");
        QCOMPARE(contents.nodes.at(1).title, "Bouton 6");
        QCOMPARE(contents.nodes.at(2).title, "Double Joy 7");
        QCOMPARE(contents.nodes.at(3).title, "Joy 8");
        QCOMPARE(contents.nextTitleNumber, 9);
    }

    void publishModeDefaultsAndSpellings()
    {
        const QJsonObject document = parse(R"({"type": "InteractiveOverlay", "version": 4, "nodes": [
            {"kind": "button"}, {"kind": "singleJoy"}, {"kind": "button", "publishMode": " ACTIVE_ONLY "},
            {"kind": "singleJoy", "publishMode": "sometimes"}, {"kind": "dualJoyCross", "publishMode": "always"}]})");
        const DocumentContents contents = read(document);
        QCOMPARE(contents.nodes.at(0).node.publishMode, PublishMode::OnChange);
        QCOMPARE(contents.nodes.at(1).node.publishMode, PublishMode::ActiveOnly);
        QCOMPARE(contents.nodes.at(2).node.publishMode, PublishMode::ActiveOnly);
        QCOMPARE(contents.nodes.at(3).node.publishMode, PublishMode::OnChange);
        QCOMPARE(contents.nodes.at(4).node.publishMode, PublishMode::Always);
    }

    void sourcesByVersion()
    {
        const QJsonObject node = parse(R"({"kind": "dualJoyCross", "src": {"stringKey": "joy_5"},
            "sources": {"y": {"stringKey": "joy_1", "deviceType": "other"}, "x": {}}})");
        const OverlayNode v2 = read(withNodes(2, {node})).nodes.first().node;
        QCOMPARE(v2.sources.at(0).stringKey, "joy_5");
        QCOMPARE(v2.sources.at(1).stringKey, QString());
        const OverlayNode v3 = read(withNodes(3, {node})).nodes.first().node;
        QCOMPARE(v3.sources.at(0), InputSource());
        QCOMPARE(v3.sources.at(1).stringKey, "joy_1");
        QCOMPARE(v3.sources.at(1).deviceType, "other");
    }

    void axisKeyForcesIsJoy()
    {
        const QJsonObject node =
            parse(R"({"kind": "button", "sources": {"main": {"stringKey": "joy_2", "isJoy": false}}})");
        QCOMPARE(read(withNodes(4, {node})).nodes.first().node.sources.first().isJoy, true);
        const QJsonObject gate =
            parse(R"({"kind": "singleJoy", "sources": {"main": {"stringKey": "gate_1", "isJoy": false}}})");
        QCOMPARE(read(withNodes(4, {gate})).nodes.first().node.sources.first().isJoy, false);
    }

    void lenientSourceIntegers_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("integer") << "7" << 7;
        QTest::newRow("fraction truncated toward zero") << "-3.9" << -3;
        QTest::newRow("text that is not a number keeps the default") << R"("twelve")" << 0;
        QTest::newRow("out of range keeps the default") << "1e20" << 0;
    }

    void lenientSourceIntegers()
    {
        QFETCH(QString, value);
        QFETCH(int, expected);
        const QByteArray json =
            R"({"kind": "button", "sources": {"main": {"deviceId": )" + value.toUtf8() + "}}}";
        const QJsonObject node = QJsonDocument::fromJson(json).object();
        QVERIFY(!node.isEmpty());
        QCOMPARE(read(withNodes(4, {node})).nodes.first().node.sources.first().deviceId, expected);
    }

    void badDocumentsDoNotCrash_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<int>("nodeCount");
        QTest::newRow("non-object elements are skipped")
            << R"({"type": "InteractiveOverlay", "nodes": [1, "x", null, [], {"kind": "button"}]})" << 1;
        QTest::newRow("wrong member types")
            << R"({"type": "InteractiveOverlay", "version": "4", "coordSpace": 1, "overlaySize": "big", "bgMode": [],
                  "nodes": [{"kind": [], "title": 5, "id": "not-a-uuid", "geometry": "here", "split": "yes",
                             "freeAspect": 1, "sources": [], "src": "joy_1"}]})"
            << 1;
        QTest::newRow("huge and negative sizes")
            << R"({"type": "InteractiveOverlay", "version": 1, "overlaySize": {"w": 1e300, "h": -5},
                  "nodes": [{"geometry": {"x": 1e300, "y": -1e300, "w": -4, "h": 1e308}}]})"
            << 1;
        QTest::newRow("sources members that are not objects")
            << R"({"type": "InteractiveOverlay", "version": 4,
                  "nodes": [{"kind": "dualJoyCross", "sources": {"x": "joy_1", "y": 3}}]})"
            << 1;
    }

    void badDocumentsDoNotCrash()
    {
        QFETCH(QString, json);
        QFETCH(int, nodeCount);
        const QJsonObject document = QJsonDocument::fromJson(json.toUtf8()).object();
        QVERIFY(!document.isEmpty());
        bool ok = false;
        const DocumentContents contents = read(document, &ok);
        QVERIFY(ok);
        QCOMPARE(contents.nodes.size(), nodeCount);
        for (const DocumentNode& entry : contents.nodes) {
            QCOMPARE(entry.node.sources.size(), entry.node.slotNames.size());
            QVERIFY(qIsFinite(entry.node.rect.x()) && qIsFinite(entry.node.rect.width()));
        }
    }
};

QTEST_GUILESS_MAIN(tst_OverlayDocument)
#include "tst_overlaydocument.moc"

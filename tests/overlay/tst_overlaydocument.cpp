// The overlay document: what is written, what every version reads back, and the defaults that
// stand in for missing or mistyped members.
#include "overlaydocument.h"
#include "overlaymapping.h"
#include "support/testsupport.h"

using namespace Overlay;
using TestSupport::json;

namespace {

// Reads with an 800 x 400 overlay showing a 400 x 400 picture in Contain mode.
DocumentContents read(const QJsonObject& document)
{
    DocumentContext context;
    context.currentSize = QSize(800, 400);
    context.pictureSize = QSize(400, 400);
    context.currentScaleMode = Contain;
    DocumentContents contents;
    [&] { QVERIFY(readDocument(document, context, &contents)); }();
    return contents;
}

// "<kind> x,y,w,h <publish mode> <title>" (no x,y,w,h for the default 0.1,0.1,0.08,0.08), then
// " <slot>:<key>:<axis|button>:<device id>:<device type>" for each source that differs from a new
// pastille's.
QString describe(const DocumentNode& entry)
{
    const char* kinds[] = {"singleJoy", "dualJoyCross", "button"};
    const OverlayNode& node = entry.node;
    const QRectF& r = node.rect;
    QString text = kinds[int(node.kind)];
    if (r != QRectF(0.1, 0.1, 0.08, 0.08))
        text += QStringLiteral(" %1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    text += QStringLiteral(" %1 %2").arg(publishModeToString(node.publishMode), entry.title);
    for (int i = 0; i < node.sources.size(); ++i) {
        const InputSource& s = node.sources.at(i);
        if (s != InputSource::forKind(node.kind))
            text += QStringLiteral(" %1:%2:%3:%4:%5")
                        .arg(node.slotNames.at(i), s.stringKey, s.isJoy ? "axis" : "button")
                        .arg(s.deviceId)
                        .arg(s.deviceType);
    }
    return text;
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

        // Through text, as the file would be.
        const QJsonObject document = writeDocument(nodes, QSize(800, 400), Cover);
        const DocumentContents contents = read(json(QJsonDocument(document).toJson()));
        QCOMPARE(contents.nodes.size(), nodes.size());
        for (int i = 0; i < nodes.size(); ++i) {
            const DocumentNode& out = contents.nodes.at(i);
            QCOMPARE(describe(out), describe(nodes.at(i)));
            QVERIFY(out.id == nodes.at(i).id && out.freeAspect == nodes.at(i).freeAspect);
            QVERIFY(out.node.split == nodes.at(i).node.split &&
                    out.node.sources.value(0).packetId == nodes.at(i).node.sources.value(0).packetId);
        }
    }

    void writesFixedMembers()
    {
        QVector<DocumentNode> nodes{sampleNode(Kind::Button, "B", QRectF(0, 0, 0.1, 0.1)),
                                    sampleNode(Kind::DualJoyCross, "D", QRectF(0, 0, 0.2, 0.2))};
        nodes.first().node.publishMode = PublishMode::Always; // "state" is Normal whatever the pastille
        QJsonObject document = writeDocument(nodes, QSize(640, 360), Center);
        const QJsonArray written = document.take("nodes").toArray();
        QCOMPARE(document, json(R"({"type": "InteractiveOverlay", "version": 4, "coordSpace": "background",
                                   "bgMode": "Center", "overlaySize": {"w": 640, "h": 360}})"));
        const QJsonObject button = written.at(0).toObject();
        const QJsonObject dual = written.at(1).toObject();
        QCOMPARE(button.value("state").toString(), "Normal");
        QVERIFY(!button.contains("split") && !button.value("id").toString().startsWith('{'));
        QCOMPARE(button.value("sources").toObject().keys(), QStringList{"main"});
        QCOMPARE(dual.value("split").toBool(true), false);
        QCOMPARE(dual.value("sources").toObject().keys(), (QStringList{"x", "y"}));
    }

    void rejectsForeignType()
    {
        DocumentContents contents;
        contents.nextTitleNumber = 42;
        contents.nodes.append(DocumentNode());
        for (const QJsonValue& type : {QJsonValue("interactiveoverlay"), QJsonValue(4)})
            QVERIFY(!readDocument(QJsonObject{{"type", type}}, DocumentContext(), &contents));
        QCOMPARE(contents.nextTitleNumber, 42);
        QCOMPARE(contents.nodes.size(), 1);
    }

    void readsNodes_data()
    {
        QTest::addColumn<QByteArray>("document"); // members besides "type"
        QTest::addColumn<QStringList>("nodes");   // describe() of each node read
        QTest::newRow("a version 1 document in fractions of the saved overlay lands on the picture")
            << QByteArray(R"("overlaySize": {"w": 800, "h": 400}, "bgMode": "Contain",
                "nodes": [{"kind": "button", "geometry": {"x": 0.25, "y": 0.5, "w": 0.1, "h": 0.1}}])")
            << QStringList{"button 0,0.5,0.2,0.1 onChange Bouton 1"};
        QTest::newRow("coordSpace background in capitals keeps version 1 in background space")
            << QByteArray(R"("version": 1, "coordSpace": "BACKGROUND", "overlaySize": {"w": 800, "h": 400},
                "nodes": [{"geometry": {"x": 0.25, "y": 0.5, "w": 0.1, "h": 0.1}}])")
            << QStringList{"singleJoy 0.25,0.5,0.1,0.1 activeOnly Joy 1"};
        QTest::newRow("the kind comes from kind, else from the key, else from isJoy; non-objects are skipped")
            << QByteArray(R"("version": 2, "nodes": [1, "x", null, [], {"kind": " DuAlJoYcRoSs "},
                {"kind": "pad", "src": {"stringKey": "but_4"}}, {"src": {"stringKey": "joy_1", "isJoy": false}},
                {"src": {"stringKey": "gate_1", "isJoy": false}}, {"kind": 3, "src": [1, 2]}, {}])")
            << QStringList{"dualJoyCross activeOnly Double Joy 1",
                           "button onChange Bouton 2 main:but_4:button:0:gamepade",
                           "singleJoy activeOnly Joy 3 main:joy_1:axis:0:gamepade",
                           "button onChange Bouton 4 main:gate_1:button:0:gamepade",
                           "singleJoy activeOnly Joy 5",
                           "singleJoy activeOnly Joy 6"};
        QTest::newRow("without geometry the pastille rectangle is read, else the defaults")
            << QByteArray(R"("version": 2, "nodes": [{"geometry": {},
                "pastille": {"x": 0.4, "y": 0.3, "w": 0.2, "h": 0.1}},
                {"geometry": {"x": 0.5}, "pastille": {"x": 0.4, "y": 0.3, "w": 0.2, "h": 0.1}}])")
            << QStringList{"singleJoy 0.4,0.3,0.2,0.1 activeOnly Joy 1",
                           "singleJoy 0.5,0.1,0.08,0.08 activeOnly Joy 2"};
        QTest::newRow("publish modes default by kind and are read in any spelling; blank titles count on")
            << QByteArray(
                   R"("version": 4, "nodes": [{"kind": "button", "title": "Start"}, {"kind": "singleJoy"},
                {"kind": "button", "publishMode": " ACTIVE_ONLY "}, {"kind": "singleJoy", "publishMode": "x"},
                {"kind": "dualJoyCross", "publishMode": "always", "title": " "}])")
            << QStringList{"button onChange Start", "singleJoy activeOnly Joy 2",
                           "button activeOnly Bouton 3", "singleJoy onChange Joy 4",
                           "dualJoyCross always Double Joy 5"};
        const QByteArray both = R"({"kind": "dualJoyCross", "src": {"stringKey": "joy_5"},
            "sources": {"y": {"stringKey": "joy_1", "deviceType": "other"}, "x": {}}})";
        QTest::newRow("version 2 reads the legacy src")
            << QByteArray(R"("version": 2, "nodes": [)" + both + "]")
            << QStringList{"dualJoyCross activeOnly Double Joy 1 x:joy_5:axis:0:gamepade"};
        QTest::newRow("version 3 reads the sources by slot")
            << QByteArray(R"("version": 3, "nodes": [)" + both + "]")
            << QStringList{"dualJoyCross activeOnly Double Joy 1 y:joy_1:axis:0:other"};
        QTest::newRow("an axis key makes an axis source and device numbers are read leniently")
            << QByteArray(R"("version": 4, "nodes": [
                {"kind": "button", "sources": {"main": {"stringKey": "joy_2", "isJoy": false}}},
                {"kind": "singleJoy", "sources": {"main": {"stringKey": "gate_1", "isJoy": false}}},
                {"kind": "button", "sources": {"main": {"deviceId": -3.9}}},
                {"kind": "button", "sources": {"main": {"deviceId": "twelve"}}},
                {"kind": "button", "sources": {"main": {"deviceId": 1e20}}},
                {"kind": "dualJoyCross", "sources": {"x": "joy_1", "y": 3}}])")
            << QStringList{"button onChange Bouton 1 main:joy_2:axis:0:gamepade",
                           "singleJoy activeOnly Joy 2 main:gate_1:button:0:gamepade",
                           "button onChange Bouton 3 main::button:-3:gamepade",
                           "button onChange Bouton 4",
                           "button onChange Bouton 5",
                           "dualJoyCross activeOnly Double Joy 6"};
        QTest::newRow("mistyped members take their defaults, here as a version 1 document")
            << QByteArray(R"("version": "4", "coordSpace": 1, "overlaySize": "big", "bgMode": [],
                "nodes": [{"kind": [], "title": 5, "id": "not-a-uuid", "geometry": "here", "split": "yes",
                           "freeAspect": 1, "sources": [], "src": "joy_1"}])")
            << QStringList{"singleJoy -0.3,0.1,0.16,0.08 activeOnly Joy 1"};
    }

    void readsNodes()
    {
        QFETCH(QByteArray, document);
        QStringList nodes;
        for (const DocumentNode& entry :
             read(json(R"({"type": "InteractiveOverlay", )" + document + "}")).nodes)
            nodes << describe(entry);
        QTEST(nodes, "nodes");
    }
};

QTEST_GUILESS_MAIN(tst_OverlayDocument)
#include "tst_overlaydocument.moc"

// The action catalog's reading, typing and texts, and the binding box built on it.
#include "actioncatalog.h"
#include "actiontoolbox.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QFormLayout>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace ActionCatalog;

namespace {

QJsonValue json(const QString& text)
{
    return QJsonDocument::fromJson(("[" + text + "]").toUtf8()).array().at(0);
}

QStringList names(const QVector<ActionDescriptor>& actions)
{
    QStringList out;
    for (const ActionDescriptor& a : actions)
        out.append(a.name);
    return out;
}

QJsonArray hostCatalog()
{
    return TestSupport::readJson(JOYRELAY_HOST_DIR "/actioncatalog.json")
        .value("sharedActionCatalog")
        .toArray();
}

void sendMouse(QWidget* target, QEvent::Type type, const QPoint& globalPos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, target->mapFromGlobal(globalPos), globalPos, Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace

class tst_ActionToolBox : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void parameterTyping_data()
    {
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("defaultText");
        const auto row = [](const char* name, const char* parameter, const char* type, const char* text) {
            QTest::newRow(name) << QString(parameter) << QString(type) << QString(text);
        };
        row("preferedType integer gives int", R"({"name":"n","preferedType":"integer"})", "int", "0");
        row("preferredType wins over preferedType", R"({"preferredType":" Bool ","preferedType":"int"})",
            "bool", "false");
        row("no type is a string without default", "{}", "string", "");
        row("an unknown type is kept lower-cased", R"({"preferredType":"Colour"})", "colour", "");
        row("an int default is rounded", R"({"preferredType":"int64","default":3.6})", "int", "4");
        row("a double default keeps 6 digits", R"({"preferredType":"float","default":3.14159265})", "double",
            "3.14159");
        row("a boolean default", R"({"preferredType":"boolean","default":true})", "bool", "true");
        row("a null double default is 0.0", R"({"preferredType":"number","default":null})", "double", "0.0");
        row("an object default gives no text", R"({"default":{"a":1}})", "string", "");
        row("a string default is kept", R"({"preferredType":"int32","default":"arg_0"})", "int", "arg_0");
    }
    void parameterTyping()
    {
        QFETCH(QString, parameter);
        const ParameterDescriptor p = readParameter(json(parameter).toObject());
        QTEST(p.type, "type");
        QTEST(p.defaultText, "defaultText");
    }

    void argumentTyping_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("defaultText");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QJsonValue>("expected");
        QTest::addColumn<bool>("marked"); // the field says the text does not fit the type
        // expected: the argument as JSON text
        const auto row = [](const char* name, const char* type, const char* text, const char* field,
                            const char* expected, bool marked = false) {
            QTest::newRow(name) << QString(type) << QString(text) << QString(field) << json(expected)
                                << marked;
        };
        row("an empty bool field takes the default false", "bool", "false", "", "false");
        row("TRUE in capitals is true", "bool", "false", "TRUE", "true");
        row("0 is false", "bool", "true", "0", "false");
        row("another word in a bool field stays a string, marked", "bool", "false", "yes", "\"yes\"", true);
        row("12 in an int field is the number 12", "int", "0", " 12 ", "12");
        row("12.5 in an int field stays a string, marked", "int", "0", "12.5", "\"12.5\"", true);
        row("a double field reads exponents", "double", "0.0", "2.5e1", "25");
        row("a word in a double field stays a string, marked", "double", "0.0", "fast", "\"fast\"", true);
        row("arg_0 stays a string in an int field", "int", "0", "arg_0", "\"arg_0\"");
        row("an arg_0 default stays a string", "double", "arg_0", "", "\"arg_0\"");
        row("an unknown type gives the text", "colour", "", "#fff", "\"#fff\"");
        row("an escaped transform is unquoted", "double", "0.0", R"(transform(\"x\"))",
            "\"transform(\\\"x\\\")\"");
        row("a state expression stays a string, double escapes too", "int", "0", R"(1+state(\\"a\"))",
            "\"1+state(\\\"a\\\")\"");
    }
    void argumentTyping()
    {
        QFETCH(QString, type);
        QFETCH(QString, defaultText);
        QFETCH(QString, field);
        ActionDescriptor action{QStringLiteral("a"), {}, {}, {}, {{QStringLiteral("p"), type, defaultText}}};
        QFETCH(QJsonValue, expected);
        QCOMPARE(makeBinding(action, {field}),
                 (QJsonObject{{"ref", "a"}, {"action", "a"}, {"args", QJsonObject{{"p", expected}}}}));
        QTEST(!ActionCatalog::argumentProblem(field, type).isEmpty(), "marked");
    }

    void argumentText_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("a boolean") << QJsonValue(true) << "true";
        QTest::newRow("a whole number has no decimals") << QJsonValue(12.0) << "12";
        QTest::newRow("a fraction is shortest") << QJsonValue(0.1) << "0.1";
        QTest::newRow("an escaped expression is unquoted")
            << json("\"state(\\\\\\\"a\\\\\\\")\"") << R"(state("a"))";
        QTest::newRow("escapes outside an expression stay")
            << json("\"say \\\\\\\"hi\\\\\\\"\"") << "say \\\"hi\\\"";
        QTest::newRow("an array cannot be shown") << json("[1]") << "";
    }
    void argumentText()
    {
        QFETCH(QJsonValue, value);
        QTEST(ActionCatalog::argumentText(value), "text");
    }

    void malformedCatalogKeepsTheUsableEntries()
    {
        const QJsonArray catalog = json(R"([
            7, {"label":"no name"}, {"name":"  "}, {"name":"hid","hidden":true},
            {"name":" a ","params":{"name":"x"}},
            {"name":"A","label":"duplicate"},
            {"name":"b","params":[3, {"preferredType":"int"}, {"name":"p"}, {"name":"p","preferredType":"int"}]}
        ])")
                                       .toArray();
        const QVector<ActionDescriptor> actions = readCatalog(catalog);
        QCOMPARE(names(actions), QStringList({"a", "b"}));
        QVERIFY(actions.at(0).parameters.isEmpty());
        QCOMPARE(actions.at(1).parameters.size(), 1);
        QCOMPARE(actions.at(1).parameters.at(0).type, "string");
    }

    void sortIsByGroupThenTitleAndStable()
    {
        QVector<ActionDescriptor> actions = readCatalog(json(R"([
            {"name":"z1","label":"Zoom","group":"Carte"},
            {"name":"n","label":"Aucune"},
            {"name":"c2","label":"Tilt","group":"Caméra"},
            {"name":"z2","label":"Zoom","group":"Carte"},
            {"name":"c1","label":"Pan","group":" Caméra "},
            {"name":"s","label":"Arrêt","group":"Sans groupe"},
            {"name":"e","label":"Élan","group":"Carte"}
        ])")
                                                            .toArray());
        sortByGroupAndTitle(&actions);
        // "é" sorts with "e", not after "z"; equal titles keep their catalog order; no group is "Sans
        // groupe".
        QCOMPARE(names(actions), QStringList({"c1", "c2", "e", "z1", "z2", "s", "n"}));
    }

    void displayText_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("text");
        QTest::newRow("no group, no parameter: the title") << R"({"name":"x","label":"X"})"
                                                           << "X";
        QTest::newRow("no label: the name after the group") << R"({"name":"x","group":"G"})"
                                                            << "G / x";
        QTest::newRow("parameters: strings quoted, no default shows type and name")
            << R"({"name":"x","label":"T","group":"G","params":[{"name":"q","default":"high"},
                 {"name":"n","preferedType":"int"},{"name":"c","preferredType":"colour"}]})"
            << R"(G / T(string q = "high", int n = 0, colour c))";
    }
    void displayText()
    {
        QFETCH(QString, entry);
        const QVector<ActionDescriptor> actions = readCatalog(json("[" + entry + "]").toArray());
        QCOMPARE(actions.size(), 1);
        QTEST(ActionCatalog::displayText(actions.at(0)), "text");
    }

    void choiceFollowsTheCatalog()
    {
        ActionToolBox box;
        box.setCatalog(hostCatalog());
        QComboBox* choice = box.actionChoice();
        QCOMPARE(choice->count(), 11);
        QCOMPARE(choice->itemData(0).toInt(), -1);
        QCOMPARE(choice->itemText(1), "Caméra / Orienter la caméra(double yawRate = param:joy_0, double "
                                      "pitchRate = param:joy_1)");
        QCOMPARE(choice->itemData(1).toString(), "camera.pan");
        // A fresh box starts on the catalog's own "none" action; a new catalog keeps the choice.
        QCOMPARE(box.currentActionName(), "none");
        box.loadBinding(json(R"({"ref":"map.zoom"})").toObject());
        box.setCatalog(hostCatalog());
        QCOMPARE(box.currentActionName(), "map.zoom");
        // An action the catalog lacks is shown in orange at the end until a known one replaces it.
        box.loadBinding(json(R"({"ref":"lights.dim"})").toObject());
        QCOMPARE(choice->count(), 12);
        QCOMPARE(choice->currentIndex(), 11);
        QCOMPARE(choice->currentText(), "lights.dim");
        QCOMPARE(choice->itemData(11, Qt::ForegroundRole).value<QColor>(), QColor(255, 165, 0));
        QVERIFY(choice->property("unknownAction").toBool());
        box.loadBinding(json(R"({"ref":"lights.dim"})").toObject());
        QCOMPARE(choice->count(), 12);
        box.loadBinding(json(R"({"ref":"camera.center"})").toObject());
        QCOMPARE(choice->count(), 11);
        QCOMPARE(box.currentActionName(), "camera.center");
        QVERIFY(!choice->property("unknownAction").toBool());
        // No action comes back as the catalog's own "none", as it started.
        box.loadBinding(QJsonObject());
        QCOMPARE(box.currentActionName(), "none");
        box.setCatalog(QJsonArray());
        QCOMPARE(choice->count(), 1);
        QCOMPARE(box.binding(), QJsonObject());
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("typed arguments come back typed")
            << R"({"ref":"photo.capture","args":{"count":3,"hdr":true}})"
            << R"({"ref":"photo.capture","action":"photo.capture","args":{"count":3,"hdr":true}})";
        QTest::newRow("missing arguments take the defaults")
            << R"({"ref":" ","action":"photo.capture"})"
            << R"({"ref":"photo.capture","action":"photo.capture","args":{"count":1,"hdr":false}})";
        QTest::newRow("an escaped expression comes back unquoted")
            << "{\"ref\":\"camera.zoom\",\"args\":{\"rate\":\"transform(\\\\\\\"arg_0\\\\\\\")\"}}"
            << "{\"ref\":\"camera.zoom\",\"action\":\"camera.zoom\",\"args\":{\"rate\":\"transform(\\\"arg_"
               "0\\\")\"}}";
        QTest::newRow("a joystick reference default stays a string")
            << R"({"ref":"camera.pan"})"
            << R"({"ref":"camera.pan","action":"camera.pan",
                    "args":{"yawRate":"param:joy_0","pitchRate":"param:joy_1"}})";
        QTest::newRow("an unknown action keeps its name without arguments")
            << R"({"ref":"lights.dim","args":{"level":2}})"
            << R"({"ref":"lights.dim","action":"lights.dim","args":{}})";
        QTest::newRow("none in capitals is no action") << R"({"ref":"NONE","args":{"x":1}})"
                                                       << "{}";
    }
    void roundTrip()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        ActionToolBox box;
        box.setCatalog(hostCatalog());
        QSignalSpy durty(&box, &ActionToolBox::durty);
        box.loadBinding(json(in).toObject());
        QCOMPARE(box.binding(), json(out).toObject());
        QCOMPARE(durty.count(), 0);
    }

    void editingThroughThePopupAndDragging()
    {
        QWidget window;
        window.resize(400, 200);
        auto* box = new ActionToolBox(&window);
        box->setCatalog(hostCatalog());
        box->loadBinding(json(R"({"ref":"map.marker","args":{"label":"Base"}})").toObject());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy durty(box, &ActionToolBox::durty);

        QTest::mouseClick(box->parameterButton(), Qt::LeftButton);
        ActionParameterPopup* popup = box->parameterPopup();
        QVERIFY(popup->isVisible());
        QComboBox* choice = box->actionChoice();
        QCOMPARE(popup->pos(), choice->mapToGlobal(QPoint(0, choice->height())));
        auto* form = popup->findChild<QFormLayout*>();
        QCOMPARE(qobject_cast<QLabel*>(form->itemAt(1, QFormLayout::LabelRole)->widget())->text(), "colour:");
        auto* label = qobject_cast<QLineEdit*>(form->itemAt(0, QFormLayout::FieldRole)->widget());
        auto* colour = qobject_cast<QLineEdit*>(form->itemAt(1, QFormLayout::FieldRole)->widget());
        QCOMPARE(label->text(), "Base");
        QCOMPARE(colour->placeholderText(), "#6ec8d7");
        QTRY_VERIFY(label->hasFocus());
        QTest::keyClicks(label, "!");
        QCOMPARE(durty.count(), 1);
        QTest::keyClick(label, Qt::Key_Escape);
        QVERIFY(!popup->isVisible());
        QCOMPARE(box->binding().value("args").toObject(),
                 json(R"({"label":"Base!","colour":"#6ec8d7"})").toObject());

        // Choosing another action from the keyboard rebuilds the fields and reports the change.
        choice->setFocus();
        QTest::keyClick(choice, Qt::Key_Down);
        QCOMPARE(durty.count(), 2);
        QCOMPARE(box->currentActionName(), "map.zoom");
        box->openParameterPopup();
        QCOMPARE(popup->findChildren<QLineEdit*>().size(), 1);
        QTest::keyClick(popup->findChild<QLineEdit*>(), Qt::Key_Return);
        QVERIFY(!popup->isVisible());

        // Dragged when movable: the box follows the mouse, double-clicked it opens the popup.
        box->setGeometry(10, 10, 300, 30);
        QSignalSpy moved(box, &ActionToolBox::moved);
        const QPoint start = box->mapToGlobal(QPoint(5, 15));
        sendMouse(box, QEvent::MouseButtonPress, start);
        QCOMPARE(box->cursor().shape(), Qt::ClosedHandCursor);
        sendMouse(box, QEvent::MouseMove, start + QPoint(30, 40));
        sendMouse(box, QEvent::MouseButtonRelease, start + QPoint(30, 40));
        QCOMPARE(box->pos(), QPoint(40, 50));
        QCOMPARE(moved.count(), 1);
        QCOMPARE(box->cursor().shape(), Qt::OpenHandCursor);

        sendMouse(box, QEvent::MouseButtonDblClick, box->mapToGlobal(QPoint(5, 15)));
        QVERIFY(box->parameterPopup()->isVisible());
        box->parameterPopup()->close();

        box->setMovable(false);
        sendMouse(box, QEvent::MouseButtonPress, start);
        sendMouse(box, QEvent::MouseMove, start + QPoint(50, 0));
        QCOMPARE(box->pos(), QPoint(40, 50));
        QCOMPARE(moved.count(), 1);
    }
};

QTEST_MAIN(tst_ActionToolBox)
#include "tst_actiontoolbox.moc"

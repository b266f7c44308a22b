#include "actiontoolbox.h"

#include <QComboBox>
#include <QFile>
#include <QFormLayout>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

QJsonArray hostCatalog()
{
    QFile file(QStringLiteral(JOYRELAY_HOST_DIR "/actioncatalog.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object().value("sharedActionCatalog").toArray();
}

QJsonObject object(const QString& text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
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
        box.loadBinding(object(R"({"ref":"map.zoom"})"));
        box.setCatalog(hostCatalog());
        QCOMPARE(box.currentActionName(), "map.zoom");
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
        box.loadBinding(object(in));
        QCOMPARE(box.binding(), object(out));
        QCOMPARE(durty.count(), 0);
    }

    void unknownActionIsShownInOrangeUntilReplaced()
    {
        ActionToolBox box;
        box.setCatalog(hostCatalog());
        box.loadBinding(object(R"({"ref":"lights.dim"})"));
        QComboBox* choice = box.actionChoice();
        QCOMPARE(choice->count(), 12);
        QCOMPARE(choice->currentIndex(), 11);
        QCOMPARE(choice->currentText(), "lights.dim");
        QCOMPARE(choice->itemData(11, Qt::ForegroundRole).value<QColor>(), QColor(255, 165, 0));
        QVERIFY(choice->property("unknownAction").toBool());
        box.loadBinding(object(R"({"ref":"lights.dim"})"));
        QCOMPARE(choice->count(), 12);
        box.loadBinding(object(R"({"ref":"camera.center"})"));
        QCOMPARE(choice->count(), 11);
        QCOMPARE(box.currentActionName(), "camera.center");
        QVERIFY(!choice->property("unknownAction").toBool());
    }

    void editingThroughThePopupWithTheKeyboard()
    {
        QWidget window;
        auto* box = new ActionToolBox(&window);
        box->setCatalog(hostCatalog());
        box->loadBinding(object(R"({"ref":"map.marker","args":{"label":"Base"}})"));
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
        QCOMPARE(box->binding().value("args").toObject(), object(R"({"label":"Base!","colour":"#6ec8d7"})"));

        // Choosing another action from the keyboard rebuilds the fields and reports the change.
        choice->setFocus();
        QTest::keyClick(choice, Qt::Key_Down);
        QCOMPARE(durty.count(), 2);
        QCOMPARE(box->currentActionName(), "map.zoom");
        box->openParameterPopup();
        QCOMPARE(popup->findChildren<QLineEdit*>().size(), 1);
        QTest::keyClick(popup->findChild<QLineEdit*>(), Qt::Key_Return);
        QVERIFY(!popup->isVisible());
    }

    void draggingMovesTheBoxWhenMovable()
    {
        QWidget window;
        window.resize(400, 200);
        auto* box = new ActionToolBox(&window);
        box->setGeometry(10, 10, 300, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
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

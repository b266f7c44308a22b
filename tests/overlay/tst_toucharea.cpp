// One pastille: title, state, kind, presses, resizing and dragging rules, and its menu.
#include "toucharea.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class tst_TouchArea : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_parent = new QWidget;
        m_parent->resize(600, 400);
        m_parent->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_parent));
    }

    void cleanup()
    {
        delete m_parent;
        m_parent = nullptr;
    }

    void titleIsTrimmedAndEditedOnce_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("edits");
        QTest::newRow("blanks are trimmed") << QString("  Start ") << QString("Start") << 1;
        QTest::newRow("empty title is ignored") << QString("   ") << QString("Element") << 0;
        QTest::newRow("unchanged title is ignored") << QString("Element") << QString("Element") << 0;
    }

    void titleIsTrimmedAndEditedOnce()
    {
        QFETCH(QString, title);
        TouchArea area;
        QSignalSpy spy(&area, &TouchArea::titleEdited);
        area.setTitle(title);
        QTEST(area.title(), "expected");
        QTEST(int(spy.size()), "edits");
    }

    void stateChangesReportNewAndOld()
    {
        TouchArea area;
        QSignalSpy spy(&area, &TouchArea::stateChanged);
        area.startListening("x");
        QCOMPARE(area.state(), TouchArea::Listening);
        QCOMPARE(area.listeningText(), "x");
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
        TouchArea* area = makeArea(TouchArea::Button, QSize(50, 60), QPoint(0, 0), false);
        QSignalSpy spy(area, &TouchArea::elementKindChanged);
        area->setElementKind(TouchArea::DualJoyCross);
        QCOMPARE(area->size(), QSize(90, 90));
        area->setElementKind(TouchArea::DualJoyCross);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().first().value<TouchArea::ElementKind>(), TouchArea::DualJoyCross);
        area->setElementKind(TouchArea::Button); // larger than the minimum: unchanged
        QCOMPARE(area->size(), QSize(90, 90));
    }

    void pressActivatesOnlyOutsideEditing()
    {
        TouchArea* area = makeArea(TouchArea::Button, QSize(72, 72), QPoint(10, 10), false);
        area->setTitle("A");
        QStringList order;
        connect(area, &TouchArea::clicked, this, [&order] { order << "clicked"; });
        connect(area, &TouchArea::activated, this, [&order, area](const QUuid& id, const QString& title) {
            QCOMPARE(id, area->id());
            order << "activated " + title;
        });
        QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(36, 36));
        QCOMPARE(order, QStringList{"clicked"});
        area->setEditable(false);
        QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(36, 36));
        QTest::mouseClick(area, Qt::RightButton, {}, QPoint(36, 36)); // ignored
        QCOMPARE(order, (QStringList{"clicked", "clicked", "activated A"}));
        QCOMPARE(area->pos(), QPoint(10, 10));
    }

    void resizeRules_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("freeAspect");
        QTest::addColumn<QSize>("start");
        QTest::addColumn<QPoint>("drag");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("button without free aspect becomes a square")
            << int(TouchArea::Button) << false << QSize(72, 72) << QPoint(30, 5) << QSize(102, 102);
        QTest::newRow("button never goes below 44")
            << int(TouchArea::Button) << false << QSize(72, 72) << QPoint(-60, -50) << QSize(44, 44);
        QTest::newRow("dual cross keeps its aspect ratio")
            << int(TouchArea::DualJoyCross) << true << QSize(180, 120) << QPoint(30, 0) << QSize(315, 210);
        QTest::newRow("dual cross never narrower than 90")
            << int(TouchArea::DualJoyCross) << true << QSize(120, 180) << QPoint(-100, -100)
            << QSize(90, 135);
        QTest::newRow("free aspect joystick takes the dragged size")
            << int(TouchArea::SingleJoy) << true << QSize(122, 122) << QPoint(40, -30) << QSize(162, 92);
        QTest::newRow("joystick without free aspect is square")
            << int(TouchArea::SingleJoy) << false << QSize(122, 122) << QPoint(40, -30) << QSize(162, 162);
    }

    void resizeRules()
    {
        QFETCH(int, kind);
        QFETCH(bool, freeAspect);
        QFETCH(QSize, start);
        QFETCH(QPoint, drag);
        TouchArea* area = makeArea(TouchArea::ElementKind(kind), start, QPoint(20, 20), freeAspect);
        QSignalSpy resized(area, &TouchArea::resized);
        QSignalSpy moved(area, &TouchArea::moved);
        const QPoint grip = area->resizeHandleRect().center();
        QTest::mousePress(area, Qt::LeftButton, {}, grip);
        QTest::mouseMove(area, grip + drag);
        QTest::mouseRelease(area, Qt::LeftButton, {}, grip + drag);
        QTEST(area->size(), "expected");
        QCOMPARE(area->pos(), QPoint(20, 20));
        QCOMPARE(resized.size(), 1);
        QCOMPARE(moved.size(), 0);
    }

    void dragIsClampedInsideParent_data()
    {
        QTest::addColumn<QPoint>("drag");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("past the right edge is flush right") << QPoint(900, 0) << QPoint(600 - 72, 100);
        QTest::newRow("past the bottom edge is flush bottom") << QPoint(0, 900) << QPoint(100, 400 - 72);
        QTest::newRow("past the top left corner is flush top left") << QPoint(-500, -500) << QPoint(0, 0);
    }

    void dragIsClampedInsideParent()
    {
        QFETCH(QPoint, drag);
        TouchArea* area = makeArea(TouchArea::Button, QSize(72, 72), QPoint(100, 100), false);
        QSignalSpy moved(area, &TouchArea::moved);
        QTest::mousePress(area, Qt::LeftButton, {}, QPoint(30, 30));
        QTest::mouseMove(area, QPoint(30, 30) + drag);
        QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(30, 30));
        QTEST(area->pos(), "expected");
        QCOMPARE(area->size(), QSize(72, 72));
        QCOMPARE(moved.size(), 1);
    }

    void contextMenuActions()
    {
        TouchArea* area = makeArea(TouchArea::Button, QSize(72, 72), QPoint(0, 0), false);
        QString askedWith;
        area->setTitlePrompt([&askedWith](QWidget*, const QString& current, QString* answer) {
            askedWith = current;
            *answer = "  Tir ";
            return true;
        });
        QSignalSpy duplicate(area, &TouchArea::requestDuplicate);
        QSignalSpy remove(area, &TouchArea::requestDelete);
        QSignalSpy edited(area, &TouchArea::titleEdited);
        std::unique_ptr<QMenu> menu(area->createContextMenu());
        const QList<QAction*> actions = menu->actions();
        QStringList texts;
        for (QAction* action : actions)
            texts << action->text();
        QCOMPARE(texts, (QStringList{"Renommer...", "Dupliquer", "Supprimer"}));
        actions.at(0)->trigger();
        QCOMPARE(askedWith, "Element");
        QCOMPARE(area->title(), "Tir");
        QCOMPARE(edited.size(), 1);
        actions.at(1)->trigger();
        actions.at(2)->trigger();
        QCOMPARE(duplicate.size(), 1);
        QCOMPARE(duplicate.first().first().value<TouchArea*>(), area);
        QCOMPARE(remove.size(), 1);
    }

private:
    TouchArea* makeArea(TouchArea::ElementKind kind, const QSize& size, const QPoint& pos, bool freeAspect)
    {
        auto* area = new TouchArea(m_parent);
        area->setElementKind(kind);
        area->setFixedSize(size);
        area->move(pos);
        area->setFreeAspect(freeAspect);
        area->show();
        return area;
    }

    QWidget* m_parent = nullptr;
};

QTEST_MAIN(tst_TouchArea)
#include "tst_toucharea.moc"

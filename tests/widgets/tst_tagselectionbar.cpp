#include "flowlayout.h"
#include "tagselectionbar.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTest>
#include <QToolButton>

namespace {

const QStringList kPads{"Joyrelay Demo Pad", "Arcade Stick", "Xbox Controller",   "DualSense",
                        "Flight Stick",      "Racing Wheel", "Throttle Quadrant", "Saitek Panel"};

struct Bar
{
    QWidget window;
    TagSelectionBar* bar = new TagSelectionBar(&window);
    explicit Bar(const QStringList& selected = {}, int width = 600)
    {
        bar->setAvailableTags(kPads);
        bar->setConnectedTags({"Joyrelay Demo Pad", "DualSense"});
        bar->setSelectedTags(selected);
        bar->setGeometry(0, 0, width, bar->heightForWidth(width));
        window.resize(width, 300);
        window.show();
    }
    QList<QFrame*> chips() const { return bar->findChildren<QFrame*>("tagSelectionChip"); }
    QStringList offered() const
    {
        return qobject_cast<QStringListModel*>(bar->completer()->model())->stringList();
    }
};

} // namespace

class tst_TagSelectionBar : public QObject
{
    Q_OBJECT
private slots:
    void returnCommitsOnlyAvailableNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QString>("left");
        QTest::newRow("an unknown name stays in the input") << "Nope" << QStringList() << "Nope";
        QTest::newRow("other letter case adds the available spelling")
            << "arcade STICK" << QStringList{"Arcade Stick"} << "";
        QTest::newRow("blanks around the name are ignored")
            << "  DualSense " << QStringList{"DualSense"} << "";
    }
    void returnCommitsOnlyAvailableNames()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, selected);
        Bar f;
        QSignalSpy changed(f.bar, &TagSelectionBar::selectedTagsChanged);
        QTest::keyClicks(f.bar->input(), typed);
        QTest::keyClick(f.bar->input(), Qt::Key_Return);
        QCOMPARE(f.bar->selectedTags(), selected);
        QTEST(f.bar->input()->text(), "left");
        QCOMPARE(changed, selected.isEmpty() ? QList<QVariantList>() : QList<QVariantList>{{selected}});
        QVERIFY(!f.offered().contains(selected.value(0)));
    }

    void backspace()
    {
        Bar f({"DualSense", "Arcade Stick"});
        QLineEdit* input = f.bar->input();
        QSignalSpy changed(f.bar, &TagSelectionBar::selectedTagsChanged);
        input->setText("ab");
        QTest::keyClick(input, Qt::Key_Backspace);
        QCOMPARE(input->text(), "a");
        QCOMPARE(changed.count(), 0);
        input->clear();
        QTest::keyClick(input, Qt::Key_Backspace);
        QCOMPARE(f.bar->selectedTags(), QStringList{"DualSense"});
        QCOMPARE(changed.count(), 1);
        // With the completion popup open the keys reach the popup first.
        input->setFocus();
        f.bar->completer()->complete();
        QVERIFY(f.bar->completer()->popup()->isVisible());
        QTest::keyClick(f.bar->completer()->popup(), Qt::Key_Backspace);
        QCOMPARE(f.bar->selectedTags(), QStringList());
    }

    void settingTheSameListEmitsNothing_data()
    {
        QTest::addColumn<QStringList>("again");
        QTest::addColumn<int>("emitted");
        QTest::newRow("the same list") << QStringList{"DualSense", "Arcade Stick"} << 0;
        QTest::newRow("other letter case") << QStringList{"dualsense", "ARCADE STICK"} << 0;
        QTest::newRow("blanks, empty entries and duplicates")
            << QStringList{" DualSense ", "", "dualSense", "Arcade Stick "} << 0;
        QTest::newRow("another order is a change") << QStringList{"Arcade Stick", "DualSense"} << 1;
    }
    // Nor rebuilds the chips (a row switch sets every list again), offered names included.
    void settingTheSameListEmitsNothing()
    {
        QFETCH(QStringList, again);
        QFETCH(int, emitted);
        Bar f({"DualSense", "Arcade Stick"});
        const QFrame* first = f.chips().value(0);
        QSignalSpy changed(f.bar, &TagSelectionBar::selectedTagsChanged);
        f.bar->setAvailableTags(kPads + QStringList{"New Pad"});
        f.bar->setSelectedTags(again);
        QCOMPARE(int(changed.count()), emitted);
        QCOMPARE(f.chips().contains(first), emitted == 0);
    }

    void disconnectedNamesAreAmberChips()
    {
        Bar f({"DualSense", "Flight Stick"});
        // "<connected>:<tip>" of each chip, in order.
        const auto looks = [&f] {
            QStringList out;
            for (const QFrame* chip : f.chips())
                out << QString::number(chip->property("connected").toInt()) + ':' +
                           chip->findChild<QLabel*>("tagSelectionChipLabel")->toolTip();
            return out;
        };
        QCOMPARE(looks(), (QStringList{"1:", "0:Manette non connectee"}));
        // Connecting the controller turns its chip back to normal.
        f.bar->setConnectedTags({"DualSense", "flight stick"});
        QCOMPARE(looks(), (QStringList{"1:", "1:"}));
    }

    void popupNeverOffersASelectedName()
    {
        Bar f({"Arcade Stick"});
        QCOMPARE(f.offered().size(), kPads.size() - 1);
        QVERIFY(!f.offered().contains("Arcade Stick"));
        QTest::keyClicks(f.bar->input(), "stick");
        QAbstractItemView* popup = f.bar->completer()->popup();
        QTRY_VERIFY(popup->isVisible());
        QCOMPARE(popup->model()->rowCount(), 1); // "Flight Stick" only
        QCOMPARE(popup->sizeHintForRow(0), 34);
        const QRect row = popup->visualRect(popup->model()->index(0, 0));
        QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(f.bar->selectedTags(), QStringList({"Arcade Stick", "Flight Stick"}));
        QTRY_COMPARE(f.bar->input()->text(), QString());
        QVERIFY(!f.offered().contains("Flight Stick"));
    }

    void removeButtonsComeBeforeTheInputInTabOrder()
    {
        Bar f({"DualSense", "Arcade Stick"});
        const QList<QToolButton*> buttons = f.bar->findChildren<QToolButton*>("tagSelectionChipRemove");
        QCOMPARE(buttons.size(), 2);
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        // Entering the input opens the popup; Escape closes it and it does not come back.
        QAbstractItemView* popup = f.bar->completer()->popup();
        f.window.setFocus(); // the input took the focus with the window, which opens nothing
        f.bar->input()->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(popup->isVisible());
        QTest::keyClick(popup, Qt::Key_Escape);
        QVERIFY(!popup->isVisible());
        QCoreApplication::processEvents();
        QVERIFY(!popup->isVisible());
        QVERIFY(f.bar->input()->hasFocus());
        // As the eye reads: the chips, then the input after them.
        QTest::keyClick(f.bar->input(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), buttons.at(1));
        QTest::keyClick(buttons.at(1), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), buttons.at(0));
        QTest::keyClick(buttons.at(0), Qt::Key_Tab);
        QTest::keyClick(buttons.at(1), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.bar->input());
        QTest::keyClick(f.bar->input(), Qt::Key_Backtab);
        QTest::keyClick(buttons.at(1), Qt::Key_Backtab);
        QTest::keyClick(buttons.at(0), Qt::Key_Space);
        QCOMPARE(f.bar->selectedTags(), QStringList{"Arcade Stick"});
        QVERIFY(f.bar->findChildren<QToolButton*>("tagSelectionChipRemove").at(0)->hasFocus());
    }

    void chipsWrapOnANarrowBar()
    {
        Bar f(kPads.mid(0, 6), 300);
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const QList<QFrame*> chips = f.chips();
        QCOMPARE(chips.size(), 6);
        QSet<int> lines;
        for (const QFrame* chip : chips) {
            lines.insert(chip->y());
            QVERIFY(chip->geometry().right() < f.bar->width());
        }
        QVERIFY(lines.size() >= 3);
        const QRect input = f.bar->input()->geometry();
        QCOMPARE(input.right(), f.bar->input()->parentWidget()->width() - 1);
        QVERIFY(input.top() >= chips.last()->y());
        QVERIFY(f.bar->height() > 3 * chips.first()->height());
    }
};

QTEST_MAIN(tst_TagSelectionBar)
#include "tst_tagselectionbar.moc"

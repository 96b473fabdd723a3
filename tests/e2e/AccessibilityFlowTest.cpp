// The window app through a screen reader's and a keyboard's eyes: every
// control named and reachable, in English and in German.

#include "tests/e2e/Flows.h"

using e2e::Flows;
using e2e::click;
using e2e::textsFor;
using testsupport::processEventsUntil;

namespace {

// What a screen reader and a keyboard user get along the first flow: every
// control named, rows that say whether they are ticked, the alert's text,
// the progress as a value, table rows by their text, and focus that reaches
// the controls in order and presses them.
TEST_P(Flows, ScreenReaderAndKeyboardReachEveryControl)
{
    window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window()));
    ChooseSongViewController* screen = delegate_->ctrl();
    EXPECT_EQ(unnamedControls(), QStringList());
    EXPECT_EQ(accessible(screen->fileManagerButton())->text(QAccessible::Name), t().fileManager);

    // The picker: its controls named, a row says whether it is ticked.
    ASSERT_TRUE(press(t().selectSongs));
    ASSERT_TRUE(processEventsUntil([&] { return pickerList() && delegate_->library()->loadedLibrary(); }));
    processEventsUntil([] { return false; }, 30);
    EXPECT_EQ(unnamedControls(), QStringList());
    QListView* list = pickerList();
    const auto rowState = [&](const QString& title) {
        QAccessibleInterface* table = accessible(list);
        for (int i = 0; table && i < table->childCount(); ++i)
            if (QAccessibleInterface* cell = table->child(i); cell && cell->text(QAccessible::Name) == title)
                return std::optional<QAccessible::State>(cell->state());
        return std::optional<QAccessible::State>();
    };
    const songgen::Song& mp3 = song(0);
    ASSERT_TRUE(rowState(mp3.title).has_value());
    EXPECT_TRUE(rowState(mp3.title)->checkable);
    EXPECT_FALSE(rowState(mp3.title)->checked);
    // By keyboard: Tab reaches the list on its first row, Space ticks and
    // unticks the row, Down moves on.
    list->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), list);
    ASSERT_EQ(list->currentIndex().row(), 0);
    const QString first = list->model()->index(0, 0).data().toString();
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_TRUE(rowState(first)->checked);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(rowState(first)->checked);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentIndex().row(), 1);
    const QModelIndex mp3Row = [&] {
        for (int r = 0; r < list->model()->rowCount(); ++r)
            if (list->model()->index(r, 0).data().toString() == mp3.title)
                return list->model()->index(r, 0);
        return QModelIndex();
    }();
    const QModelIndex lockedRow = list->model()->index(mp3Row.row() + 2, 0);
    ASSERT_EQ(lockedRow.data().toString(), song(2).title);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(mp3Row).center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(lockedRow).center());
    EXPECT_TRUE(rowState(mp3.title)->checked);
    ASSERT_TRUE(press(t().done));
    ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));

    // The alert: its box reads the message; the keyboard is on its button.
    ASSERT_TRUE(waitForAlert());
    QAccessibleInterface* alert = nullptr;
    for (QWidget* w : window()->findChildren<QWidget*>())
        if (w->isVisible() && accessible(w) && accessible(w)->role() == QAccessible::AlertMessage)
            alert = accessible(w);
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->text(QAccessible::Description).endsWith(L("Skipped files") + ": 1"));
    EXPECT_EQ(unnamedControls(), QStringList());
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(qobject_cast<QAbstractButton*>(QApplication::focusWidget())->text(), t().ok);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    ASSERT_TRUE(processEventsUntil([&] { return alertText().isEmpty(); }));

    // Tab walks the main screen's controls: select, convert, where the files
    // go, file manager.
    screen->selectButton()->setFocus(Qt::TabFocusReason);
    QStringList order{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(order, QStringList({"selectButton", "convButton", "destinationButton", "fileManagerButton", "selectButton"}));

    // Convert by keyboard; the progress is a value, 100 at the end.
    screen->convButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(screen->convButton(), Qt::Key_Space);
    ASSERT_TRUE(runEnds());
    auto* activity = window()->findChild<QWidget*>("activityView");
    ASSERT_NE(activity, nullptr);
    QAccessibleInterface* bar = accessible(activity);
    EXPECT_EQ(bar->role(), QAccessible::ProgressBar);
    EXPECT_EQ(bar->text(QAccessible::Name), L("Progress"));
    ASSERT_NE(bar->valueInterface(), nullptr);
    // The value is the percentage on screen.
    const QString percent = window()->findChild<QLabel*>("progressLabel")->text();
    EXPECT_EQ(bar->valueInterface()->currentValue().toDouble(), percent.chopped(1).toDouble()) << percent.toStdString();
    EXPECT_EQ(bar->text(QAccessible::Value), percent);
    EXPECT_EQ(bar->valueInterface()->maximumValue().toDouble(), 100.0);
    // The completion menu takes the keyboard on its first button; Tab walks
    // down the menu to "File manager".
    const auto focusedText = [] {
        auto* focused = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        return focused ? focused->text() : QString();
    };
    ASSERT_TRUE(processEventsUntil([&] { return focusedText() == t().playback && still(); }));
    EXPECT_EQ(unnamedControls(), QStringList());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(focusedText(), t().email);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(focusedText(), t().fileManager);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);

    // The browser: rows named by their text, mail buttons and delete controls named.
    ASSERT_TRUE(processEventsUntil([&] { return row(mp3.artist) != nullptr; }));
    EXPECT_EQ(accessible(row(mp3.artist))->text(QAccessible::Name), mp3.artist);
    row(mp3.artist)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(row(mp3.artist), Qt::Key_Return); // a row opens by keyboard too
    ASSERT_TRUE(processEventsUntil([&] { return row(mp3.album) != nullptr && tableSettled(); }));
    ASSERT_TRUE(enter({mp3.album}));
    EXPECT_EQ(unnamedControls(), QStringList());
    QStringList mailNames;
    for (ui::TableViewCell* cell : table()->visibleCells())
        if (cell->accessoryView())
            mailNames << accessible(cell->accessoryView())->text(QAccessible::Name);
    EXPECT_EQ(mailNames, QStringList({t().mailButton}));
    ASSERT_TRUE(press(t().edit));
    ASSERT_TRUE(processEventsUntil([&] { return tableSettled(); }));
    EXPECT_EQ(unnamedControls(), QStringList());
    for (ui::TableViewCell* cell : table()->visibleCells())
        if (cell->deleteControl() && cell->deleteControl()->isVisible()) {
            EXPECT_EQ(accessible(cell->deleteControl())->text(QAccessible::Name), t().del);
        }
    ASSERT_TRUE(press(t().done));
    ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));
}

} // namespace

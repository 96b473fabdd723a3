// The window app on a desktop: a window of any size whose screens lay
// themselves out for it, and a picker that ticks many songs at once.

#include "tests/e2e/Flows.h"

#include <QLineEdit>

using e2e::Flows;
using e2e::click;
using testsupport::processEventsUntil;

namespace {

TEST_P(Flows, EveryScreenFitsTheWindowAtEverySizeAndResizingLeavesARunAlone)
{
    walkEveryScreenAtEverySize();

    // A run while the window is resized again and again converts every song
    // as a run left alone does.
    const std::vector<songgen::Song> twelve = playable(12);
    ASSERT_TRUE(pick(titles(twelve)));
    ASSERT_TRUE(press(t().convert));
    int resizes = 0;
    ASSERT_TRUE(processEventsUntil([&] {
        window()->resize(++resizes % 2 ? QSize(1280, 800) : QSize(320, 480));
        return button(t().next) || !alertText().isEmpty();
    }, 60000));
    EXPECT_GT(resizes, 1);
    EXPECT_EQ(alertText().toStdString(), "");
    for (const songgen::Song& s : twelve)
        EXPECT_FALSE(outputOf(s).isEmpty()) << s.title.toStdString();
    ASSERT_TRUE(processEventsUntil([&] { return still(); }));
    EXPECT_EQ(testsupport::layoutProblems(window()).join("\n").toStdString(), "");
    ASSERT_TRUE(press(t().next));
}

// A search for an artist, Tick all: exactly the songs found that can be
// converted, never a left-out one; Shift+click, Space and Shift+Space; Ctrl+A
// in the search field; Done and Convert: exactly those songs on disk.
TEST_P(Flows, ManySongsAtOnceTickExactlyTheConvertibleSongsShown)
{
    window()->resize(1280, 800);
    medialibrary::MediaPickerController* picker = openPicker();
    ASSERT_NE(picker, nullptr);
    QListView* list = pickerList();
    const QString artist = song(0).artist;
    QTest::keyClicks(picker->searchField(), artist);
    ASSERT_TRUE(processEventsUntil([&] { return still(); }));

    const int rows = list->model()->rowCount();
    const auto convertible = [&](int r) { return medialibrary::MediaPickerController::isConvertible(picker->itemAtRow(r)); };
    const auto ticked = [&](int r) { return list->model()->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked; };
    const auto tickedRows = [&] {
        QList<int> out;
        for (int r = 0; r < rows; ++r)
            if (ticked(r))
                out << r;
        return out;
    };
    QList<int> wanted, leftOut;
    for (int r = 0; r < rows; ++r)
        (convertible(r) ? wanted : leftOut) << r;
    ASSERT_GE(wanted.size(), 4);
    ASSERT_FALSE(leftOut.isEmpty()) << "the artist's songs hold copy-protected ones";
    for (int r = 0; r < rows; ++r)
        ASSERT_EQ(picker->itemAtRow(r).artist(), artist);

    QLabel* count = picker->tickedLabel();
    EXPECT_EQ(count->text(), L("%1 ticked").arg(0));
    ASSERT_TRUE(press(t().tickAll));
    EXPECT_EQ(tickedRows(), wanted);
    EXPECT_EQ(count->text(), L("%1 ticked").arg(wanted.size()));
    EXPECT_EQ(picker->numberOfRows(), rows) << "the search stays";

    // Shift+click: from the row last tapped to the one clicked, that row's tick.
    ASSERT_TRUE(press(t().untickAll));
    EXPECT_EQ(tickedRows(), QList<int>());
    const int from = wanted[0];
    const int to = leftOut.back() > from ? leftOut.back() : wanted.back();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(from, 0)).center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      list->visualRect(list->model()->index(to, 0)).center());
    QList<int> range;
    for (int r = from; r <= to; ++r)
        if (convertible(r))
            range << r;
    EXPECT_EQ(tickedRows(), range);

    // Space on the focused row ticks it alone and unticks it again; Shift
    // with End carries the tick of the row last ticked down to the end.
    ASSERT_TRUE(press(t().untickAll));
    list->setFocus(Qt::TabFocusReason);
    list->setCurrentIndex(list->model()->index(wanted[1], 0));
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(tickedRows(), QList<int>({wanted[1]}));
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(tickedRows(), QList<int>());
    list->setCurrentIndex(list->model()->index(wanted[0], 0));
    QTest::keyClick(list, Qt::Key_Space);
    QTest::keyClick(list, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(list->currentIndex().row(), rows - 1);
    EXPECT_EQ(tickedRows(), wanted);

    // Ctrl+A from the search field: the songs found, not the words typed.
    ASSERT_TRUE(press(t().untickAll));
    QTest::mouseClick(picker->searchField(), Qt::LeftButton, {}, QPoint(20, 10));
    QTest::keyClick(picker->searchField(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(tickedRows(), wanted);
    EXPECT_EQ(picker->searchField()->text(), artist);
    EXPECT_FALSE(picker->searchField()->hasSelectedText());

    // Done, Convert: the songs ticked, each in its own file, and no other.
    std::vector<songgen::Song> expected;
    for (int r : wanted)
        for (const songgen::Song& s : library_->songs())
            if (s.title == picker->itemAtRow(r).title())
                expected.push_back(s);
    ASSERT_EQ(expected.size(), std::size_t(wanted.size()));
    ASSERT_TRUE(press(t().done));
    ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));
    EXPECT_EQ(alertText().toStdString(), "") << "no left-out song was handed over";
    EXPECT_EQ(delegate_->ctrl()->bottomLabel()->text(), t().selectedItems + ": " + QString::number(wanted.size()));
    ASSERT_TRUE(press(t().convert));
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(alertText().toStdString(), "");
    EXPECT_EQ(filesIn(documents()).size(), wanted.size());
    for (const songgen::Song& s : expected)
        EXPECT_FALSE(outputOf(s).isEmpty()) << s.title.toStdString();
    ASSERT_TRUE(press(t().next));
}

} // namespace

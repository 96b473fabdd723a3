#include "platform/foundation/Timing.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TableView.h"
#include "tests/support/TestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

using ui::IndexPath;
using ui::TableView;
using ui::TableViewCell;

namespace {

// A list of names; row i shows names[i]. Rows whose name starts with "!"
// cannot be edited. Removal drops the name and tells the table.
struct Names : ui::TableViewDataSource, ui::TableViewDelegate {
    QStringList names;
    std::vector<int> selected;
    std::vector<int> committed;
    std::set<int> asked; // rows a cell was asked for
    bool dropOnCommit = true;

    int numberOfRowsInSection(TableView*, int) override { return int(names.size()); }
    TableViewCell* cellForRowAtIndexPath(TableView* table, const IndexPath& ip) override
    {
        asked.insert(ip.row);
        TableViewCell* cell = table->dequeueReusableCellWithIdentifier("Cell");
        if (!cell)
            cell = new TableViewCell(ui::TableViewCellStyle::Default, "Cell");
        cell->textLabel()->setText(names.at(ip.row));
        if (ip.row == 0) {
            QImage image(20, 20, QImage::Format_ARGB32);
            image.fill(Qt::red);
            cell->setImage(image);
            cell->setAccessoryView(new QWidget);
        }
        return cell;
    }
    bool canEditRowAtIndexPath(TableView*, const IndexPath& ip) override { return !names.at(ip.row).startsWith('!'); }
    void commitEditingStyle(TableView* table, ui::TableViewCellEditingStyle, const IndexPath& ip) override
    {
        committed.push_back(ip.row);
        if (dropOnCommit) {
            names.removeAt(ip.row);
            table->deleteRowsAtIndexPaths({ip}, ui::TableViewRowAnimation::Fade);
        }
    }
    void didSelectRowAtIndexPath(TableView*, const IndexPath& ip) override { selected.push_back(ip.row); }
};

class TableViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        timing::setScale(0.02);
        table_.resize(320, 440); // ten rows of 44 points
        for (int i = 0; i < 1000; ++i)
            data_.names << QStringLiteral("row %1").arg(i);
        table_.setDelegate(&data_);
        table_.setDataSource(&data_);
        table_.show();
    }
    void TearDown() override { timing::setScale(1.0); }

    QString textAt(int row) const
    {
        TableViewCell* cell = table_.cellForRowAtIndexPath(IndexPath::forRow(row));
        return cell ? cell->textLabel()->text() : QStringLiteral("<no cell>");
    }
    // Rows on screen show their own names, each cell where its row is.
    void expectConsistent()
    {
        for (TableViewCell* cell : table_.visibleCells()) {
            const int row = table_.indexPathForCell(cell)->row;
            EXPECT_EQ(cell->textLabel()->text(), data_.names.at(row));
            EXPECT_EQ(cell->geometry().top(), row * 44 - table_.contentOffset()) << row;
        }
    }
    bool settled()
    {
        return testsupport::processEventsUntil([&] {
            for (TableViewCell* cell : table_.visibleCells())
                if (ui::isAnimating(cell))
                    return false;
            return table_.numberOfCellWidgets() <= 12;
        }, 2000);
    }

    Names data_;
    TableView table_;
};

TEST_F(TableViewTest, OnlyRowsInSightHaveCellsAndScrollingReusesThem)
{
    EXPECT_EQ(table_.numberOfRowsInSection(0), 1000);
    EXPECT_EQ(table_.visibleCells().size(), 10u);
    EXPECT_LE(data_.asked.size(), 11u); // a row of slack for the first layout
    expectConsistent();
    for (int y = 0; y <= table_.verticalScrollBar()->maximum(); y += 97)
        table_.setContentOffset(y);
    table_.setContentOffset(table_.verticalScrollBar()->maximum());
    EXPECT_EQ(textAt(999), "row 999");
    EXPECT_LE(table_.numberOfCellWidgets(), 12);
    expectConsistent();

    // A reused cell comes back without row 0's image.
    table_.setContentOffset(0);
    table_.setContentOffset(44 * 20);
    for (TableViewCell* cell : table_.visibleCells())
        EXPECT_TRUE(cell->imageView()->image().isNull());
}

TEST_F(TableViewTest, ATapSelectsTheRowUntilTheTableIsReloaded)
{
    QTest::mouseClick(table_.cellForRowAtIndexPath(IndexPath::forRow(3)), Qt::LeftButton);
    EXPECT_EQ(data_.selected, std::vector<int>{3});
    EXPECT_EQ(table_.indexPathForSelectedRow(), IndexPath::forRow(3));
    EXPECT_TRUE(table_.cellForRowAtIndexPath(IndexPath::forRow(3))->isSelected());
    // Scrolled away and back, the row is still shown selected.
    table_.setContentOffset(44 * 50);
    table_.setContentOffset(0);
    EXPECT_TRUE(table_.cellForRowAtIndexPath(IndexPath::forRow(3))->isSelected());
    table_.reloadData();
    EXPECT_FALSE(table_.indexPathForSelectedRow().has_value());
    for (TableViewCell* cell : table_.visibleCells())
        EXPECT_FALSE(cell->isSelected());
}

TEST_F(TableViewTest, RowUnderAPointCountsTheScrollOffset)
{
    EXPECT_EQ(table_.indexPathForRowAtPoint({10, 0}), IndexPath::forRow(0));
    EXPECT_EQ(table_.indexPathForRowAtPoint({10, 44 * 7 + 43}), IndexPath::forRow(7));
    EXPECT_FALSE(table_.indexPathForRowAtPoint({10, 44 * 1000}).has_value());
    EXPECT_FALSE(table_.indexPathForRowAtPoint({10, -1}).has_value());
    EXPECT_FALSE(table_.indexPathForRowAtPoint({-1, 10}).has_value());

    // A button in a row, clicked: its touch lands in that row in the table's terms.
    table_.setContentOffset(44 * 100 + 10);
    TableViewCell* cell = table_.cellForRowAtIndexPath(IndexPath::forRow(102));
    ASSERT_NE(cell, nullptr);
    auto* button = new ui::Button;
    button->resize(30, 30);
    cell->setAccessoryView(button);
    std::optional<IndexPath> hit;
    button->addTouchUpInsideAction(&table_, [&](ui::Button*, const ui::Event& event) {
        hit = table_.indexPathForRowAtPoint(event.anyTouch()->locationInView(&table_));
    });
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(3, 27));
    EXPECT_EQ(hit, IndexPath::forRow(102));
    hit.reset();
    button->click(); // pressed by code: a touch at its centre
    EXPECT_EQ(hit, IndexPath::forRow(102));
}

TEST_F(TableViewTest, EditingOffersDeleteOnEditableRowsAndCommitsThroughTheButton)
{
    data_.names = {"a", "!locked", "b", "c"};
    table_.reloadData();
    table_.setEditing(true, true);
    ASSERT_TRUE(testsupport::processEventsUntil([&] {
        return table_.cellForRowAtIndexPath(IndexPath::forRow(0))->deleteControl()->x() > 0;
    }));
    EXPECT_TRUE(table_.cellForRowAtIndexPath(IndexPath::forRow(0))->deleteControl()->isVisible());
    EXPECT_FALSE(table_.cellForRowAtIndexPath(IndexPath::forRow(1))->deleteControl()->isVisible());
    // While editing, a tap on a row selects nothing.
    QTest::mouseClick(table_.cellForRowAtIndexPath(IndexPath::forRow(2)), Qt::LeftButton);
    EXPECT_TRUE(data_.selected.empty());

    TableViewCell* b = table_.cellForRowAtIndexPath(IndexPath::forRow(2));
    QTest::mouseClick(b->deleteControl(), Qt::LeftButton);
    ASSERT_TRUE(b->showingDeleteConfirmation());
    EXPECT_TRUE(b->deleteConfirmationButton()->isVisible());
    // Only one Delete button at a time.
    TableViewCell* a = table_.cellForRowAtIndexPath(IndexPath::forRow(0));
    QTest::mouseClick(a->deleteControl(), Qt::LeftButton);
    EXPECT_FALSE(b->showingDeleteConfirmation());
    EXPECT_TRUE(a->showingDeleteConfirmation());
    QTest::mouseClick(a->deleteControl(), Qt::LeftButton); // the control turns back
    EXPECT_FALSE(a->showingDeleteConfirmation());

    QTest::mouseClick(b->deleteControl(), Qt::LeftButton);
    QTest::mouseClick(b->deleteConfirmationButton(), Qt::LeftButton);
    EXPECT_EQ(data_.committed, std::vector<int>{2});
    EXPECT_EQ(table_.numberOfRowsInSection(0), 3);
    ASSERT_TRUE(settled());
    EXPECT_EQ(textAt(2), "c");
    expectConsistent();
    EXPECT_EQ(table_.visibleCells().size(), 3u);
}

TEST_F(TableViewTest, DeletingMovesTheRowsBelowAndTheSelectionUp)
{
    QTest::mouseClick(table_.cellForRowAtIndexPath(IndexPath::forRow(5)), Qt::LeftButton);
    data_.names.removeAt(2);
    table_.deleteRowsAtIndexPaths({IndexPath::forRow(2)}, ui::TableViewRowAnimation::Fade);
    EXPECT_EQ(table_.indexPathForSelectedRow(), IndexPath::forRow(4));
    ASSERT_TRUE(settled());
    expectConsistent();
    EXPECT_EQ(textAt(9), "row 10"); // the row that came into sight from below
    EXPECT_TRUE(table_.cellForRowAtIndexPath(IndexPath::forRow(4))->isSelected());

    data_.names.removeAt(4);
    table_.deleteRowsAtIndexPaths({IndexPath::forRow(4)}, ui::TableViewRowAnimation::None);
    EXPECT_FALSE(table_.indexPathForSelectedRow().has_value());
    expectConsistent();
}

TEST_F(TableViewTest, ADeletionTheDataSourceDoesNotMatchReloadsEverything)
{
    // The data source lost two entries but reports one deletion.
    data_.names.removeAt(0);
    data_.names.removeAt(0);
    table_.deleteRowsAtIndexPaths({IndexPath::forRow(0)}, ui::TableViewRowAnimation::Fade);
    EXPECT_EQ(table_.numberOfRowsInSection(0), 998);
    expectConsistent();
    EXPECT_EQ(textAt(0), "row 2");

    // A row that does not exist.
    data_.names.removeLast();
    table_.deleteRowsAtIndexPaths({IndexPath::forRow(5000)}, ui::TableViewRowAnimation::Fade);
    EXPECT_EQ(table_.numberOfRowsInSection(0), 997);
    expectConsistent();
}

} // namespace

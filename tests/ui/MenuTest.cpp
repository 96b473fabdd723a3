#include "platform/foundation/Timing.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

#include <QAbstractButton>
#include <QPointer>
#include <gtest/gtest.h>

namespace {

struct Recorder : ui::ActionSheetDelegate, ui::AlertViewDelegate {
    std::vector<std::pair<QObject*, int>> calls;
    std::function<void(QObject*, int)> then;
    void actionSheet(ui::ActionSheet* s, int index) override { record(s, index); }
    void alertView(ui::AlertView* a, int index) override { record(a, index); }
    void record(QObject* o, int index)
    {
        calls.emplace_back(o, index);
        if (then)
            then(o, index);
    }
};

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        timing::setScale(0.02);
        window_.makeKeyAndVisible();
    }
    void TearDown() override { timing::setScale(1.0); }
    ui::Window window_;
    Recorder recorder_;
};

TEST_F(MenuTest, ActionSheetReportsThePressedIndex)
{
    ui::ActionSheet sheet("Conversion completed", &recorder_, QString(), QString(),
                          {"Playback media file", "E-Mail media file", "File manager", "Transfer to computer", "Next"});
    ASSERT_EQ(sheet.numberOfButtons(), 5);
    EXPECT_EQ(sheet.cancelButtonIndex(), -1);
    for (int index : {0, 3, 4}) {
        sheet.showInView(&window_);
        ASSERT_TRUE(sheet.isVisible());
        ASSERT_NE(sheet.buttonAtIndex(index), nullptr);
        EXPECT_EQ(sheet.buttonAtIndex(index)->text(), sheet.buttonTitleAtIndex(index));
        sheet.buttonAtIndex(index)->click();
        EXPECT_FALSE(sheet.isVisible());
    }
    ASSERT_EQ(recorder_.calls.size(), 3u);
    EXPECT_EQ(recorder_.calls[0], std::make_pair(static_cast<QObject*>(&sheet), 0));
    EXPECT_EQ(recorder_.calls[1].second, 3);
    EXPECT_EQ(recorder_.calls[2].second, 4);
}

TEST_F(MenuTest, ActionSheetIndexesDestructiveFirstAndCancelLast)
{
    ui::ActionSheet sheet(QString(), &recorder_, "Cancel", "Delete", {"One", "Two"});
    EXPECT_EQ(sheet.destructiveButtonIndex(), 0);
    EXPECT_EQ(sheet.cancelButtonIndex(), 3);
    EXPECT_EQ(sheet.buttonTitleAtIndex(1), "One");
    sheet.showInView(&window_);
    sheet.buttonAtIndex(3)->click();
    ASSERT_EQ(recorder_.calls.size(), 1u);
    EXPECT_EQ(recorder_.calls[0].second, 3);
}

// The playback menu's one button reopens the completion menu from inside the call.
TEST_F(MenuTest, TheDelegateMayShowASheetAgainFromItsCall)
{
    ui::ActionSheet playback(QString(), &recorder_, QString(), QString(), {"Stop playback"});
    ui::ActionSheet menu("Conversion completed", &recorder_, QString(), QString(), {"Next"});
    recorder_.then = [&](QObject* o, int) {
        if (o == &playback)
            menu.showInView(&window_);
    };
    playback.showInView(&window_);
    QAbstractButton* button = playback.buttonAtIndex(0);
    button->click();
    button->click(); // a second press of the same menu counts for nothing
    EXPECT_TRUE(menu.isVisible());
    EXPECT_FALSE(playback.isVisible());
    ASSERT_EQ(recorder_.calls.size(), 1u);
    menu.buttonAtIndex(0)->click();
    ASSERT_EQ(recorder_.calls.size(), 2u);
    EXPECT_EQ(recorder_.calls[1].first, &menu);
}

TEST_F(MenuTest, AlertCancelIsIndexZeroAndOthersFollow)
{
    ui::AlertView alert(QString(), "Connect this iPhone…", &recorder_, "OK", {"WWW"});
    EXPECT_EQ(alert.cancelButtonIndex(), 0);
    EXPECT_EQ(alert.buttonTitleAtIndex(1), "WWW");
    for (int index : {1, 0}) {
        alert.show();
        ASSERT_TRUE(alert.isVisible());
        alert.buttonAtIndex(index)->click();
        EXPECT_FALSE(alert.isVisible());
    }
    ASSERT_EQ(recorder_.calls.size(), 2u);
    EXPECT_EQ(recorder_.calls[0], std::make_pair(static_cast<QObject*>(&alert), 1));
    EXPECT_EQ(recorder_.calls[1].second, 0);
}

TEST_F(MenuTest, AnAlertWithoutDelegateOutlivesItsObject)
{
    QPointer<QAbstractButton> ok;
    {
        ui::AlertView alert(QString(), "Skipped files: 2", nullptr, "OK", {});
        alert.show();
        ok = alert.buttonAtIndex(0);
    }
    ASSERT_FALSE(ok.isNull()); // still on screen
    ok->click();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return ok.isNull(); }));
}

TEST_F(MenuTest, DismissingInCodeTellsNoDelegate)
{
    ui::AlertView alert("Title", "Message", &recorder_, "Cancel", {"OK", "Later"});
    alert.show();
    alert.dismissWithClickedButtonIndex(0, false);
    EXPECT_FALSE(alert.isVisible());
    ui::ActionSheet sheet("Title", &recorder_, QString(), QString(), {"A"});
    sheet.showInView(&window_);
    sheet.dismissWithClickedButtonIndex(0, true);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_TRUE(recorder_.calls.empty());
}

} // namespace

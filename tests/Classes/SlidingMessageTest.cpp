#include "Classes/SlidingMessageViewController.h"
#include "platform/foundation/Timing.h"
#include "platform/ui/Style.h"
#include "tests/support/TestSupport.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace {

// Follows a panel: whether its view came to rest in the middle (sampled
// while the test waits) and where the view stood when the panel ended.
class PanelWatch : public QObject {
public:
    explicit PanelWatch(SlidingMessageViewController* panel) : view_(panel->view()) { panel->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::DeferredDelete && view_)
            endX = view_->x();
        return false;
    }
    // For processEventsUntil: notes the view's place on every turn.
    std::function<bool()> until(std::function<bool()> done)
    {
        return [this, done] {
            if (view_ && view_->x() == 30)
                restedInMiddle = true;
            return done();
        };
    }
    bool restedInMiddle = false;
    int endX = 0;

private:
    QPointer<QWidget> view_;
};

class SlidingMessageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        timing::setScale(0.05); // 4 s become 200 ms
        host_ = std::make_unique<QWidget>();
        host_->resize(320, 460);
        host_->show();
    }
    void TearDown() override
    {
        host_.reset();
        timing::setScale(1.0);
    }

    SlidingMessageViewController* show(qint32 delay)
    {
        auto* panel = SlidingMessageViewController::showMessageWithTitle(
            "Welcome to Ripwell", "Synchronize the extracted media files with iTunes File Sharing.", delay,
            trigger_.get());
        ui::addSubview(host_.get(), panel->view());
        return panel;
    }

    std::unique_ptr<QWidget> host_;
    std::unique_ptr<qint8> trigger_ = std::make_unique<qint8>(0);
};

TEST_F(SlidingMessageTest, SlidesInToTheMiddleRestsAndSlidesOutThenEnds)
{
    QElapsedTimer clock;
    clock.start();
    QPointer<SlidingMessageViewController> panel = show(4);
    QPointer<QWidget> view = panel->view();
    EXPECT_EQ(view->geometry(), QRect(320, 140, 260, 160)); // just beyond the right edge
    EXPECT_EQ(view->parentWidget(), host_.get());
    EXPECT_EQ(panel->titleLabel()->geometry(), QRect(20, 5, 220, 30));
    EXPECT_EQ(panel->messageLabel()->geometry(), QRect(20, 40, 220, 80));
    EXPECT_TRUE(panel->messageLabel()->wordWrap());
    EXPECT_EQ(panel->titleLabel()->text(), "Welcome to Ripwell");
    PanelWatch watch(panel);

    ASSERT_TRUE(testsupport::processEventsUntil(watch.until([&] { return view->x() == 30; })));
    EXPECT_TRUE(view->isVisible());
    EXPECT_FALSE(panel.isNull());

    // At rest: the accent-coloured title and the dim message are drawn over the grey box.
    const QImage shot = view->grab().toImage();
    bool accent = false;
    for (int y = 5; y < 35 && !accent; ++y)
        for (int x = 20; x < 240 && !accent; ++x) {
            const QColor c = shot.pixelColor(x, y);
            accent = c.blue() > 200 && c.green() > 140 && c.red() < 130;
        }
    EXPECT_TRUE(accent) << "title not drawn in the accent colour";
    EXPECT_EQ(shot.pixelColor(130, 0).lightness(), 255) << "no white border along the top";

    ASSERT_TRUE(testsupport::processEventsUntil(watch.until([&] { return panel.isNull(); })));
    EXPECT_GE(clock.elapsed(), timing::scaledMilliseconds(4)); // never before its delay has run out
    EXPECT_EQ(watch.endX, -260); // slid out past the left edge
    EXPECT_TRUE(view.isNull()); // the view goes with the panel
    EXPECT_TRUE(host_->findChildren<QWidget*>().isEmpty());
}

TEST_F(SlidingMessageTest, TriggerDuringSlideInHidesAtOnceAndThePanelStillEndsOnTime)
{
    QElapsedTimer clock;
    clock.start();
    QPointer<SlidingMessageViewController> panel = show(4);
    QPointer<QWidget> view = panel->view();
    PanelWatch watch(panel);
    ASSERT_NE(panel->timer(), nullptr);
    *trigger_ = 1; // still sliding in
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return view->isHidden(); }));
    EXPECT_EQ(panel->timer(), nullptr); // the poll has stopped
    EXPECT_GT(view->x(), 0);            // not sliding out yet

    // Unseen, it still finishes its slide-in, slides out at its time and ends.
    ASSERT_TRUE(testsupport::processEventsUntil(watch.until([&] { return panel.isNull(); })));
    EXPECT_GE(clock.elapsed(), timing::scaledMilliseconds(4));
    EXPECT_TRUE(watch.restedInMiddle);
    EXPECT_EQ(watch.endX, -260);
    EXPECT_TRUE(view.isNull());
}

TEST_F(SlidingMessageTest, TriggerAlreadySetHidesThePanelAtTheFirstPoll)
{
    // With every timer fifty times as slow, a poll 0.2 s after creation would
    // come only after 10 s: a hidden panel within 5 s shows the first poll
    // runs at once.
    timing::setScale(50);
    *trigger_ = 1;
    QPointer<SlidingMessageViewController> panel = show(4);
    QPointer<QWidget> view = panel->view();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return view->isHidden(); }, 5000));
    EXPECT_FALSE(panel.isNull());

    // The holder of the view goes away first (a window closing): the panel
    // ends with it, and no step of it runs once the trigger is gone.
    host_.reset();
    trigger_.reset();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return panel.isNull(); }, 5000));
}

} // namespace

#include "platform/foundation/Timing.h"
#include "tests/support/TestSupport.h"

#include <QPointer>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

class Timing : public ::testing::Test {
protected:
    void SetUp() override { timing::setScale(0.01); }
    void TearDown() override { timing::setScale(1.0); }
};

TEST_F(Timing, ScaleAppliesToEveryInterval)
{
    EXPECT_EQ(timing::scaledMilliseconds(5.0), 50);
    EXPECT_EQ(timing::scaledMilliseconds(0.1), 1);
    EXPECT_EQ(timing::scaledMilliseconds(-1.0), 0);
    timing::setScale(1.0);
    EXPECT_EQ(timing::scaledMilliseconds(0.1), 100);
}

TEST_F(Timing, RepeatingTimerStopsFromItsOwnTickAndReleasesItsCapture)
{
    QObject context;
    auto held = std::make_shared<int>(0);
    std::weak_ptr<int> watch = held;
    int ticks = 0;
    QPointer<timing::Timer> timer = timing::Timer::scheduledRepeating(0.5, &context, [&ticks, held](timing::Timer* t) {
        if (++ticks == 3)
            t->invalidate();
    });
    held.reset();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return timer.isNull(); }, 5000));
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(watch.expired()) << "invalidate lets go of what the callback captured";
}

TEST_F(Timing, DelayedCallRunsOnceAndNotAfterItsContextIsGone)
{
    int calls = 0;
    timing::afterDelay(0.5, nullptr, [&calls] { ++calls; });
    auto context = std::make_unique<QObject>();
    bool lateCall = false;
    timing::afterDelay(0.5, context.get(), [&lateCall] { lateCall = true; });
    context.reset();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return calls == 1; }, 5000));
    testsupport::processEventsUntil([] { return false; }, 50);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(lateCall);
}

TEST_F(Timing, OnMainThreadHopsFromAWorkerAndNeverRunsOnTheCallersStack)
{
    QObject context;
    Qt::HANDLE ranOn = nullptr;
    std::thread worker([&] { timing::onMainThread(&context, [&] { ranOn = QThread::currentThreadId(); }); });
    worker.join();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return ranOn != nullptr; }));
    EXPECT_EQ(ranOn, QThread::currentThreadId());

    bool ran = false;
    timing::onMainThread(&context, [&] { ran = true; });
    EXPECT_FALSE(ran) << "queued, not called directly";
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return ran; }));
}

} // namespace

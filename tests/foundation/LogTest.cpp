#include "platform/foundation/Log.h"
#include "tests/support/TestSupport.h"

#include <QThread>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

TEST(Log, FormatsLevelOperationAndMessage)
{
    testsupport::LogCapture log;
    applog::error("conversionLoop", "Import has failed: Café");
    applog::debug("importAsset:toURL:completionBlock:", "Deleted existing file: file:///a/b.mp3");
    EXPECT_EQ(log.lines(), (QStringList{"[ERROR] [conversionLoop] Import has failed: Café",
                                        "[DEBUG] [importAsset:toURL:completionBlock:] Deleted existing file: file:///a/b.mp3"}));
}

TEST(Log, LinesFromManyThreadsStayWhole)
{
    testsupport::LogCapture log;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                applog::debug("worker", QStringLiteral("thread %1 line %2").arg(t).arg(i));
        });
    for (auto& th : threads)
        th.join();
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 800);
    for (const QString& l : lines)
        EXPECT_TRUE(l.startsWith("[DEBUG] [worker] thread ")) << l.toStdString();
}

TEST(Log, NestedCapturesBothSeeTheirLinesAndTheOuterOutlivesTheInner)
{
    testsupport::LogCapture outer;
    applog::error("op", "before");
    {
        testsupport::LogCapture inner;
        applog::error("op", "during");
        EXPECT_EQ(inner.lines(), QStringList{"[ERROR] [op] during"});
    }
    applog::error("op", "after");
    EXPECT_EQ(outer.lines(), (QStringList{"[ERROR] [op] before", "[ERROR] [op] during", "[ERROR] [op] after"}));
}

} // namespace

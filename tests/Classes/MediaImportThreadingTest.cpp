// The worker across threads: the owner polls from the main thread while the
// export handler releases the session on the service's thread, drops its last
// reference inside the completion block, and starts the next import from
// there. Run under AddressSanitizer and ThreadSanitizer in CI.
#include "Classes/MediaImport.h"
#include "platform/foundation/Log.h"
#include "tests/Classes/ImportHarness.h"
#include "tests/support/TestSupport.h"
#include "tests/support/GeneratedLibrary.h"

#include <QFile>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

using importharness::drainExportService;
using testsupport::LogCapture;
using testsupport::TempDir;

namespace {

class Threading : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        songgen::Options o;
        o.seconds = 1.0;
        o.broken = true;
        o.formats = {songgen::Format::Mp3Cbr, songgen::Format::Alac, songgen::Format::WavInfo, songgen::Format::Aiff};
        library = new testsupport::GeneratedLibrary(o);
        for (const auto& s : library->songs())
            sources.push_back(Url::fileURLWithPath(s.path));
        ASSERT_EQ(sources.size(), 8u); // four songs, four broken files
    }
    static void TearDownTestSuite()
    {
        delete library;
        sources.clear();
    }

    static testsupport::GeneratedLibrary* library;
    static std::vector<Url> sources;
    TempDir out;
    LogCapture expectedErrors; // the broken songs' error lines, kept off the output
};
testsupport::GeneratedLibrary* Threading::library = nullptr;
std::vector<Url> Threading::sources;

// What the conversion run keeps: the current worker, read by its progress poll.
struct Owner {
    std::mutex mutex;
    std::shared_ptr<MediaImport> current;
    std::shared_ptr<MediaImport> get()
    {
        std::lock_guard lock(mutex);
        return current;
    }
    void set(std::shared_ptr<MediaImport> w)
    {
        std::lock_guard lock(mutex);
        current = std::move(w);
    }
};

TEST_F(Threading, CompletionBlockMayDropTheLastReference)
{
    // A failing direct export and a failing MP3 export log after the block; a
    // good MP3 extracts before it. Each worker must outlive its handler and
    // then go.
    const Url cases[] = {Url::fileURLWithPath(library->file("Broken/Truncated.m4a")), Url::fileURLWithPath(library->file("Broken/Not Audio.mp3")), sources[0]};
    for (const Url& source : cases) {
        LogCapture log;
        Owner owner;
        owner.set(MediaImport::create());
        std::weak_ptr<MediaImport> watch = owner.current;
        std::promise<void> done;
        owner.get()->importAsset(source, Url::fileURLWithPath(out.file("x." + source.pathExtension())),
                                 [&](const std::shared_ptr<MediaImport>& w) {
                                     EXPECT_EQ(w.get(), watch.lock().get());
                                     owner.set(nullptr); // the owner lets go here
                                     done.set_value();
                                 });
        done.get_future().wait();
        drainExportService();
        EXPECT_TRUE(watch.expired()) << "the handler let go of the worker";
        if (source != sources[0]) {
            EXPECT_EQ(log.lines().size(), 1) << "the handler's ERROR line on a live worker";
        }
    }
}

TEST_F(Threading, MainThreadPollsWhileImportsChainOnTheServiceThread)
{
    // Twenty-four imports, each started from the previous one's completion
    // block, while this thread reads the current worker without pause.
    constexpr int kItems = 24;
    Owner owner;
    std::atomic<int> completed{0};
    std::atomic<int> succeeded{0};
    std::atomic<bool> finished{false};
    std::function<void(int)> start = [&](int i) {
        auto worker = MediaImport::create();
        owner.set(worker);
        const Url& source = sources[static_cast<std::size_t>(i) % sources.size()];
        worker->importAsset(source, Url::fileURLWithPath(out.file(QStringLiteral("%1.%2").arg(i).arg(source.pathExtension()))),
                            [&, i](const std::shared_ptr<MediaImport>& w) {
                                completed++;
                                if (w->status() == 3)
                                    succeeded++;
                                owner.set(nullptr);
                                if (i + 1 < kItems)
                                    start(i + 1);
                                else
                                    finished = true;
                            });
    };
    start(0);
    int polls = 0;
    bool sawRunning = false;
    while (!finished) {
        if (auto w = owner.get()) {
            const float p = w->progress();
            const std::int32_t s = w->status();
            auto e = w->error();
            EXPECT_GE(p, 0.0f);
            EXPECT_LE(p, 1.0f);
            EXPECT_GE(s, 0);
            EXPECT_LE(s, 5);
            if (e) {
                EXPECT_FALSE(e->localizedDescription().isEmpty());
            }
            sawRunning = sawRunning || s == 1 || s == 2;
            ++polls;
        }
    }
    drainExportService();
    EXPECT_EQ(completed.load(), kItems);
    EXPECT_EQ(succeeded.load(), kItems / 2);
    EXPECT_GT(polls, 0);
    (void)sawRunning; // timing-dependent; the reads above are what matter
}

TEST_F(Threading, ChainedEarlyFailuresDoNotGrowTheStack)
{
    applog::setSink([](const applog::Entry&) {}, false);
    constexpr int kItems = 3000;
    std::atomic<int> done{0};
    std::uintptr_t lowest = UINTPTR_MAX, highest = 0;
    std::promise<void> all;
    std::function<void()> next = [&] {
        MediaImport::create()->importAsset(Url::fileURLWithPath(out.file("missing.mp3")), Url::fileURLWithPath(out.file("m.mp3")),
                                           [&](const std::shared_ptr<MediaImport>&) {
                                               int marker = 0;
                                               const auto here = reinterpret_cast<std::uintptr_t>(&marker);
                                               lowest = std::min(lowest, here);
                                               highest = std::max(highest, here);
                                               if (++done < kItems)
                                                   next();
                                               else
                                                   all.set_value();
                                           });
    };
    next();
    all.get_future().wait();
    drainExportService();
    applog::setSink(nullptr);
    EXPECT_EQ(done.load(), kItems);
    EXPECT_LT(highest - lowest, 4096u) << "each block runs on a fresh stack frame of the service's loop";
}

} // namespace

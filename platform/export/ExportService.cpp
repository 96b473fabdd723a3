#include "platform/export/ExportService.h"

extern "C" {
#include <libavutil/log.h>
}

#include <atomic>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace exportservice {

namespace {

std::atomic<bool> g_stopping{false};

class Worker {
public:
    Worker() : thread_([this] { run(); })
    {
        // Failures reach the application as export errors; FFmpeg's own
        // warnings about the files it reads would only clutter the log.
        av_log_set_level(AV_LOG_FATAL);
#ifdef __GLIBC__
        // The demuxers allocate and free a buffer per packet. On this thread's
        // malloc arena glibc would give the top of the heap back to the system
        // after such a free and take it again for the next packet, which costs
        // an import a fifth of its time. Freed memory up to 8 MB stays.
        mallopt(M_TRIM_THRESHOLD, 8 * 1024 * 1024);
        // Setting the trim threshold also fixes glibc's mmap threshold at
        // 128 kB, so every I/O buffer of a song (256 kB each) and every grown
        // sample table would be a fresh mapping, unmapped again at its free
        // and faulted in page by page for the next song. Blocks up to 4 MB
        // come from the heap instead and are reused from song to song.
        mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
        // A packet's buffer (1 to 4 kB and more) is a "large" request to
        // glibc, and each such request first merges every small block freed
        // into the fast bins since the last one: with a packet every few
        // hundred bytes of a song that merging and the frees feeding it took
        // a sixth of an MP3 import. Without fast bins small frees go to the
        // per-thread cache or straight back into the ordinary bins.
        mallopt(M_MXFAST, 0);
#endif
    }

    // At exit: the job that is running finishes (an export stops at its next
    // packet), queued jobs are dropped unrun.
    ~Worker()
    {
        {
            std::lock_guard lock(mutex_);
            g_stopping.store(true);
        }
        wake_.notify_all();
        thread_.join();
    }

    void enqueue(std::function<void()> job)
    {
        {
            std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
    }

    bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    void run()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return g_stopping.load() || !jobs_.empty(); });
                if (g_stopping.load())
                    break;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
            // `job` and everything it captured go here, on this thread, before
            // the next one starts.
        }
        std::deque<std::function<void()>> dropped;
        std::lock_guard lock(mutex_);
        dropped.swap(jobs_);
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::thread thread_; // last: starts once the rest is ready
};

Worker& worker()
{
    static Worker w;
    return w;
}

} // namespace

void enqueue(std::function<void()> job)
{
    worker().enqueue(std::move(job));
}

void drain()
{
    std::promise<void> drained;
    enqueue([&drained] { drained.set_value(); });
    drained.get_future().wait();
}

bool isServiceThread()
{
    return worker().isCurrent();
}

bool isStopping()
{
    return g_stopping.load();
}

} // namespace exportservice

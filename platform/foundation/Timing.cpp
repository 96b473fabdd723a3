#include "platform/foundation/Timing.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <cmath>
#include <deque>
#include <mutex>
#include <utility>

namespace timing {

namespace {
std::atomic<double> g_scale{1.0};
}

void setScale(double factor)
{
    g_scale.store(factor > 0.0 ? factor : 1.0);
}

double scale()
{
    return g_scale.load();
}

int scaledMilliseconds(double seconds)
{
    const double ms = std::round(seconds * 1000.0 * scale());
    if (!(ms > 0.0))
        return 0;
    return ms > 2.0e9 ? 2000000000 : static_cast<int>(ms);
}

Timer::Timer(double seconds, bool repeats, QObject* context, Callback callback)
    : QObject(context), timer_(new QTimer(this)), callback_(std::move(callback)), repeats_(repeats)
{
    timer_->setSingleShot(!repeats);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &Timer::fire);
    timer_->start(scaledMilliseconds(seconds));
}

Timer* Timer::scheduledRepeating(double seconds, QObject* context, Callback callback)
{
    return new Timer(seconds, true, context, std::move(callback));
}

Timer* Timer::scheduledOnce(double seconds, QObject* context, Callback callback)
{
    return new Timer(seconds, false, context, std::move(callback));
}

void Timer::fire()
{
    if (!valid_)
        return;
    firing_ = true;
    callback_(this);
    firing_ = false;
    if (!repeats_)
        valid_ = false;
    if (!valid_) // spent, or invalidated by its own tick
        release();
}

void Timer::invalidate()
{
    if (!valid_)
        return;
    valid_ = false;
    timer_->stop();
    if (!firing_)
        release(); // otherwise fire() releases once the callback has returned
}

void Timer::release()
{
    Callback dropped = std::move(callback_);
    callback_ = nullptr;
    deleteLater();
    // `dropped` goes out of scope here, with whatever the callback captured.
}

void afterDelay(double seconds, QObject* context, std::function<void()> fn)
{
    Timer::scheduledOnce(seconds, context ? context : QCoreApplication::instance(),
                         [fn = std::move(fn)](Timer*) { fn(); });
}

namespace {

// The hand-over to the main thread. The callables pass through a queue under
// our own mutex, and Qt is only asked to post an event that makes the main
// thread take the next one: what crosses threads is then ordered by a lock
// that ThreadSanitizer sees, not by Qt's event queue, which it cannot. The
// wake-up event itself is made under that lock and only looked at under it,
// for the same reason. The lock and the queue are static, not members: the
// queue object may be made on a worker thread, by the first hand-over. Like
// that object they last as long as the process: what is still queued at exit
// is never run nor destroyed after Qt has gone.
std::mutex queueMutex;
auto& queue = *new std::deque<std::pair<QPointer<QObject>, std::function<void()>>>;

class MainThreadQueue : public QObject {
public:
    MainThreadQueue() { moveToThread(QCoreApplication::instance()->thread()); }

    void push(QObject* context, std::function<void()> fn)
    {
        QEvent* wake = nullptr;
        {
            std::lock_guard lock(queueMutex);
            queue.emplace_back(QPointer<QObject>(context), std::move(fn));
            wake = new QEvent(QEvent::User);
        }
        QCoreApplication::postEvent(this, wake);
    }

protected:
    bool event(QEvent* e) override
    {
        std::pair<QPointer<QObject>, std::function<void()>> next;
        {
            std::unique_lock lock(queueMutex);
            if (e->type() != QEvent::User) {
                lock.unlock();
                return QObject::event(e);
            }
            if (queue.empty())
                return true;
            next = std::move(queue.front());
            queue.pop_front();
        }
        if (next.first && next.second)
            next.second();
        return true;
    }
};

MainThreadQueue* mainThreadQueue()
{
    static MainThreadQueue* object = new MainThreadQueue; // lives as long as the process
    return object;
}

} // namespace

void onMainThread(QObject* context, std::function<void()> fn)
{
    QObject* target = context ? context : QCoreApplication::instance();
    mainThreadQueue()->push(target, std::move(fn));
}

} // namespace timing

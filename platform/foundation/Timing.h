#pragma once
// Timers, delayed calls and the hop to the main thread.
//
// Every interval, delay and animation duration in the application goes through
// scaledMilliseconds(), so a test can run a 5 s cycle in a fraction of a second
// by setting one factor.

#include <QObject>
#include <QPointer>
#include <functional>

class QTimer;

namespace timing {

// Factor applied to every interval, delay and animation duration (default 1.0).
void setScale(double factor);
double scale();
// `seconds` scaled by the factor, in whole milliseconds (never negative).
int scaledMilliseconds(double seconds);

// A timer on the event loop of the thread that made it (the main thread in
// this application). The callback receives the timer, so a tick can stop it.
// invalidate() stops it for good and lets go of the callback and everything
// the callback captured; the object deletes itself later. A timer also goes
// away with its context object.
class Timer : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(Timer*)>;

    // First tick one interval after the call.
    static Timer* scheduledRepeating(double seconds, QObject* context, Callback callback);
    static Timer* scheduledOnce(double seconds, QObject* context, Callback callback);

    void invalidate();
    bool isValid() const { return valid_; }

private:
    Timer(double seconds, bool repeats, QObject* context, Callback callback);
    void fire();
    void release();

    QTimer* timer_;
    Callback callback_;
    bool repeats_;
    bool valid_ = true;
    bool firing_ = false;
};

// Calls `fn` once after `seconds` (scaled), on the context's thread, unless the
// context has been destroyed by then.
void afterDelay(double seconds, QObject* context, std::function<void()> fn);

// Queues `fn` onto the main thread, to run there unless `context` has been
// destroyed by then (with no context, the application object is used). Never
// runs it on the caller's stack, even when the caller is already on the main
// thread. Calls run in the order they were queued.
void onMainThread(QObject* context, std::function<void()> fn);

} // namespace timing

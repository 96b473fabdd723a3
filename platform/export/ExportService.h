#pragma once
// The export service's thread: one long-lived worker that runs queued jobs one
// after another, in the order queued. Every export runs there, and so does
// every export handler.

#include <functional>

namespace exportservice {

// Queues `job` to run on the service's thread. Never runs it on the caller's
// stack, even when called from that thread. Thread-safe.
void enqueue(std::function<void()> job);

// Waits until every job queued before the call has run (an export that ends
// queues its handler before it is done, so the handlers of ended exports have
// run too). Not on the service's thread.
void drain();

// True on the service's thread.
bool isServiceThread();

// True once the process has begun to shut the service down; running exports
// stop at the next packet.
bool isStopping();

} // namespace exportservice

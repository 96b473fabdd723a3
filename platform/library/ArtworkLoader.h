#pragma once
// Small pictures of songs for a list: read and scaled on threads of their own
// (at most two at a time), only for rows still on screen when their turn
// comes, and kept in a small cache. Lives on the main thread.

#include "platform/library/MediaItem.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace medialibrary {

class ArtworkLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxLoadsInFlight = 2;
    static constexpr int kMaxThumbnails = 800;

    // Pictures `side` points square, at `devicePixelRatio()` pixels a point.
    // `isOnScreen(id)` tells whether the song's row is still to be seen when
    // its load comes up; `loaded(id)` hears of each picture that arrived.
    ArtworkLoader(int side, std::function<bool(quint64)> isOnScreen, std::function<qreal()> devicePixelRatio,
                  std::function<void(quint64)> loaded, QObject* parent = nullptr);
    // Stops the threads; no load reports back afterwards.
    ~ArtworkLoader() override;

    // The song's picture, "noArtwork.png" when it has none; a null image while
    // it is being loaded (the load is asked for then).
    QImage thumbnailFor(const MediaItem& item);

    // Starts the waiting loads of rows on screen (after a scroll, say).
    void pump();

    int loadsStarted() const { return loadsStarted_; }
    bool isLoading() const { return inFlight_ > 0 || !pending_.empty(); }

private:
    void work();
    Q_INVOKABLE void takeLoaded();

    const int side_;
    const std::function<bool(quint64)> isOnScreen_;
    const std::function<qreal()> devicePixelRatio_;
    const std::function<void(quint64)> loaded_;

    QHash<quint64, QImage> thumbnails_;
    std::vector<quint64> thumbnailOrder_; // oldest first, for trimming the cache
    std::vector<MediaItem> pending_;      // newest request last
    QSet<quint64> requested_;
    int inFlight_ = 0;
    int loadsStarted_ = 0;

    // Jobs go out and pictures come back through these, under mutex_; the
    // main thread is woken by a queued call.
    struct Job {
        MediaItem item;
        qreal devicePixelRatio;
    };
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::vector<std::pair<quint64, QImage>> done_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace medialibrary

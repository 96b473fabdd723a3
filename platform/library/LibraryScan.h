#pragma once
// A scan of a library folder under way on a thread of its own.

#include "platform/library/MediaItem.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace medialibrary {

class MediaLibrary;

// A scan under way on a thread of its own. Readers on any thread see the songs
// read so far; cancel() (or destroying the scan) stops it within milliseconds.
class LibraryScan {
public:
    struct State;
    using Finished = std::function<void(const std::shared_ptr<const MediaLibrary>&)>;

    // Starts scanning `root`. `finished` runs on the scan's thread with the
    // finished library; it does not run for a cancelled scan. With
    // `indexPath`, songs unchanged since the index there was written are not
    // read again, and the index is brought up to date.
    static std::shared_ptr<LibraryScan> start(const QString& root, const QStringList& excludedDirectories = {},
                                              Finished finished = nullptr, const QString& indexPath = QString());
    ~LibraryScan();
    LibraryScan(const LibraryScan&) = delete;
    LibraryScan& operator=(const LibraryScan&) = delete;

    // Number of songs read so far, and those from position `from` on, in the
    // order read (not the library's order).
    std::size_t count() const;
    std::vector<MediaItem> itemsFrom(std::size_t from) const;
    MediaItem itemWithPersistentID(quint64 id) const;
    QString fileForAssetURL(const Url& url) const;

    bool isFinished() const; // finished or cancelled
    // The finished library; nullptr while running and after a cancel.
    std::shared_ptr<const MediaLibrary> library() const;
    std::shared_ptr<const MediaLibrary> wait() const;
    // Stops the scan and waits for its thread. Safe to call more than once.
    void cancel();

private:
    LibraryScan() = default;
    std::shared_ptr<State> state_;
    std::mutex joinMutex_;
    std::thread thread_;
};

} // namespace medialibrary

#pragma once
// The music folder the window app lists and converts from: a library that
// answers from its index at once and rescans the folder behind it, on a
// thread of its own, replacing what it shows when the rescan is done. Without
// an index, the songs read so far are there while the scan runs. The window
// app makes one for the user's music folder (documents::musicLibraryRoot()
// without documents::documentsDirectory()) and hands it to its screens, which
// hand it to the conversion run and the player.
//
// Thread-safe: the scan finishes on its own thread, readers may be anywhere.

#include "platform/library/Library.h"
#include "platform/library/LibraryScan.h"
#include "platform/library/MediaLibrary.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace medialibrary {

class MusicFolder : public Library {
public:
    // The folder `root` without the folders `excludedDirectories`, with its
    // index at `indexPath` (none when empty). Nothing is read before
    // startScan() or library().
    MusicFolder(QString root, QStringList excludedDirectories, QString indexPath);
    // Stops a scan under way; quitting does not wait for the library.
    ~MusicFolder() override;
    MusicFolder(const MusicFolder&) = delete;
    MusicFolder& operator=(const MusicFolder&) = delete;

    // The user's music folder, its index in the cache folder.
    static std::shared_ptr<MusicFolder> usersMusicFolder();
    // One that shows `library` as it is, and never scans.
    static std::shared_ptr<MusicFolder> holding(std::shared_ptr<const MediaLibrary> library);

    // Starts the scan in the background unless the library is known or being
    // scanned already.
    void startScan();
    // The scan while it runs (started when neither scan nor library exist
    // yet); nullptr once the library is known.
    std::shared_ptr<LibraryScan> runningScan();
    // Stops a running scan and waits for its thread.
    void stopScan();
    // The library shown; waits for the scan.
    std::shared_ptr<const MediaLibrary> library();
    // The library if it has been scanned or set; nothing otherwise (never
    // starts a scan).
    std::shared_ptr<const MediaLibrary> loadedLibrary() const;
    // Replaces what is shown (a scan under way stops).
    void setLibrary(std::shared_ptr<const MediaLibrary> library);
    // Calls `changed` on the main thread (where `context` lives), later,
    // whenever what is shown is replaced (a rescan behind the index has
    // finished, or a library was set), for as long as `context` lives.
    void notifyWhenChanged(QObject* context, std::function<void()> changed);
    // Whether what is shown is the index's while a rescan runs.
    bool isRescanning() const;

    QString root() const override { return root_; }

    // Library, over what is shown now.
    std::vector<MediaItem> songs() const override;
    std::vector<Playlist> playlists() const override;
    QString fileForAssetURL(const Url& url) const override;
    bool holdsFile(quint64 device, quint64 inode) const override;
    std::optional<OutputTags> outputTags(const Url& url) const override;
    bool isAvailable() const override;

private:
    struct Listener {
        QPointer<QObject> context;
        std::function<void()> changed;
    };
    static void tell(std::vector<Listener> listeners);
    void scanFinished(const std::shared_ptr<const MediaLibrary>& library);

    const QString root_;
    const QStringList excluded_;
    const QString indexPath_;
    mutable std::mutex mutex_; // guards everything below
    std::shared_ptr<const MediaLibrary> shown_;
    bool shownFromIndex_ = false; // shown_ is the index's, until the rescan has looked
    std::shared_ptr<LibraryScan> scan_;
    std::vector<Listener> listeners_;
};

} // namespace medialibrary

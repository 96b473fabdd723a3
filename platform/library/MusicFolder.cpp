#include "platform/library/MusicFolder.h"

#include "platform/foundation/Documents.h"
#include "platform/foundation/Timing.h"
#include "platform/library/LibraryIndex.h"

#include <algorithm>

namespace medialibrary {

MusicFolder::MusicFolder(QString root, QStringList excludedDirectories, QString indexPath)
    : root_(std::move(root)), excluded_(std::move(excludedDirectories)), indexPath_(std::move(indexPath))
{
}

MusicFolder::~MusicFolder()
{
    stopScan();
}

std::shared_ptr<MusicFolder> MusicFolder::usersMusicFolder()
{
    const QString root = documents::musicLibraryRoot();
    return std::make_shared<MusicFolder>(root, QStringList{documents::documentsDirectory()},
                                         LibraryIndex::defaultPath(root));
}

std::shared_ptr<MusicFolder> MusicFolder::holding(std::shared_ptr<const MediaLibrary> library)
{
    auto folder = std::make_shared<MusicFolder>(library ? library->root() : QString(), QStringList(), QString());
    folder->shown_ = std::move(library);
    return folder;
}

void MusicFolder::startScan()
{
    std::lock_guard lock(mutex_);
    if ((shown_ && !shownFromIndex_) || (scan_ && !scan_->isFinished()))
        return;
    // The index answers at once; the rescan brings it up to date behind it.
    if (!shown_) {
        if (std::shared_ptr<const MediaLibrary> indexed = MediaLibrary::fromIndex(root_, indexPath_)) {
            shown_ = std::move(indexed);
            shownFromIndex_ = true;
        }
    }
    // The scan's thread is joined (stopScan()) before this object goes.
    scan_ = LibraryScan::start(
        root_, excluded_, [this](const std::shared_ptr<const MediaLibrary>& library) { scanFinished(library); },
        indexPath_);
}

// Tells every listener still there, on the main thread, later: through the
// queue that ThreadSanitizer sees (a functor posted with invokeMethod is
// handed over inside Qt, which it does not see). Whether a listener is still
// there is asked on the main thread, where it goes.
void MusicFolder::tell(std::vector<Listener> listeners)
{
    for (Listener& l : listeners)
        timing::onMainThread(nullptr, [context = l.context, changed = std::move(l.changed)] {
            if (context)
                changed();
        });
}

void MusicFolder::scanFinished(const std::shared_ptr<const MediaLibrary>& library)
{
    std::vector<Listener> listeners;
    {
        std::lock_guard lock(mutex_);
        if (shown_ && !shownFromIndex_)
            return; // set by hand meanwhile
        shown_ = library;
        shownFromIndex_ = false;
        listeners = listeners_;
    }
    tell(std::move(listeners));
}

void MusicFolder::notifyWhenChanged(QObject* context, std::function<void()> changed)
{
    std::lock_guard lock(mutex_);
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(), [](const Listener& l) { return !l.context; }),
                     listeners_.end());
    listeners_.push_back({context, std::move(changed)});
}

bool MusicFolder::isRescanning() const
{
    std::lock_guard lock(mutex_);
    return shownFromIndex_ && scan_ && !scan_->isFinished();
}

std::shared_ptr<LibraryScan> MusicFolder::runningScan()
{
    startScan();
    std::lock_guard lock(mutex_);
    return shown_ ? nullptr : scan_;
}

void MusicFolder::stopScan()
{
    std::shared_ptr<LibraryScan> scan;
    {
        std::lock_guard lock(mutex_);
        scan = std::move(scan_);
    }
    if (scan)
        scan->cancel();
}

std::shared_ptr<const MediaLibrary> MusicFolder::library()
{
    std::shared_ptr<LibraryScan> scan = runningScan();
    const std::shared_ptr<const MediaLibrary> scanned = scan ? scan->wait() : nullptr;
    std::lock_guard lock(mutex_);
    if (shown_)
        return shown_;
    return scanned ? scanned : std::make_shared<const MediaLibrary>(); // stopped while scanning
}

std::shared_ptr<const MediaLibrary> MusicFolder::loadedLibrary() const
{
    std::lock_guard lock(mutex_);
    return shown_;
}

void MusicFolder::setLibrary(std::shared_ptr<const MediaLibrary> library)
{
    stopScan();
    std::vector<Listener> listeners;
    {
        std::lock_guard lock(mutex_);
        shown_ = std::move(library);
        shownFromIndex_ = false;
        listeners = listeners_;
    }
    tell(std::move(listeners));
}

std::vector<MediaItem> MusicFolder::songs() const
{
    const std::shared_ptr<const MediaLibrary> shown = loadedLibrary();
    return shown ? shown->items() : std::vector<MediaItem>();
}

std::vector<Playlist> MusicFolder::playlists() const
{
    const std::shared_ptr<const MediaLibrary> shown = loadedLibrary();
    return shown ? shown->playlists() : std::vector<Playlist>();
}

QString MusicFolder::fileForAssetURL(const Url& url) const
{
    std::shared_ptr<const MediaLibrary> shown;
    std::shared_ptr<LibraryScan> scan;
    {
        std::lock_guard lock(mutex_);
        shown = shown_;
        scan = scan_;
    }
    if (shown)
        return shown->fileForAssetURL(url);
    // Songs already read can be played while the scan goes on.
    return scan ? scan->fileForAssetURL(url) : QString();
}

bool MusicFolder::holdsFile(quint64 device, quint64 inode) const
{
    const std::shared_ptr<const MediaLibrary> shown = loadedLibrary();
    return shown && shown->holdsFile(device, inode);
}

std::optional<OutputTags> MusicFolder::outputTags(const Url& url) const
{
    const std::shared_ptr<const MediaLibrary> shown = loadedLibrary();
    return shown ? shown->outputTags(url) : std::nullopt;
}

bool MusicFolder::isAvailable() const
{
    const std::shared_ptr<const MediaLibrary> shown = loadedLibrary();
    return shown ? shown->isAvailable() : Library::isAvailable();
}

} // namespace medialibrary

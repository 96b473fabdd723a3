// The library the application shows: scanned once in the background, or set,
// and installed as the resolver of asset URLs.
#include "platform/library/MediaLibrary.h"

#include "platform/foundation/Documents.h"
#include "platform/foundation/Timing.h"
#include "platform/library/AssetURL.h"
#include "platform/library/LibraryIndex.h"
#include "platform/library/LibraryScan.h"

#include <QPointer>
#include <algorithm>
#include <mutex>
#include <vector>

namespace medialibrary {

namespace {

std::mutex g_defaultMutex; // guards everything below
std::shared_ptr<const MediaLibrary> g_default;
bool g_defaultFromIndex = false; // g_default is the index's, until the rescan has looked
std::shared_ptr<LibraryScan> g_scan;
struct Listener {
    QPointer<QObject> context;
    std::function<void()> changed;
};
std::vector<Listener> g_listeners;

void installResolver(const std::shared_ptr<const MediaLibrary>& library)
{
    if (library)
        setAssetResolver([library](const Url& url) { return library->fileForAssetURL(url); });
    else
        setAssetResolver(nullptr);
}

// Tells every listener still there, on the main thread, later: through the
// queue that ThreadSanitizer sees (a functor posted with invokeMethod is
// handed over inside Qt, which it does not see). Whether a listener is still
// there is asked on the main thread, where it goes.
void notifyListeners(std::vector<Listener> listeners)
{
    for (Listener& l : listeners)
        timing::onMainThread(nullptr, [context = l.context, changed = std::move(l.changed)] {
            if (context)
                changed();
        });
}

} // namespace

void MediaLibrary::startDefaultScan()
{
    std::lock_guard lock(g_defaultMutex);
    if ((g_default && !g_defaultFromIndex) || (g_scan && !g_scan->isFinished()))
        return;
    const QString root = documents::musicLibraryRoot();
    const QString indexPath = LibraryIndex::defaultPath(root);
    // The index answers at once; the rescan brings it up to date behind it.
    if (!g_default) {
        if (std::shared_ptr<const MediaLibrary> indexed = fromIndex(root, indexPath)) {
            g_default = std::move(indexed);
            g_defaultFromIndex = true;
            installResolver(g_default);
        }
    }
    g_scan = LibraryScan::start(
        root, {documents::documentsDirectory()},
        [](const std::shared_ptr<const MediaLibrary>& library) {
            std::vector<Listener> listeners;
            {
                std::lock_guard finishedLock(g_defaultMutex);
                if (g_default && !g_defaultFromIndex)
                    return; // set by hand meanwhile
                g_default = library;
                g_defaultFromIndex = false;
                installResolver(library);
                listeners = g_listeners;
            }
            notifyListeners(std::move(listeners));
        },
        indexPath);
    if (g_default)
        return;
    // Songs already read can be played while the scan goes on.
    std::weak_ptr<LibraryScan> weak = g_scan;
    setAssetResolver([weak](const Url& url) {
        const auto scan = weak.lock();
        return scan ? scan->fileForAssetURL(url) : QString();
    });
}

void MediaLibrary::notifyWhenDefaultChanges(QObject* context, std::function<void()> changed)
{
    std::lock_guard lock(g_defaultMutex);
    g_listeners.erase(std::remove_if(g_listeners.begin(), g_listeners.end(), [](const Listener& l) { return !l.context; }),
                      g_listeners.end());
    g_listeners.push_back({context, std::move(changed)});
}

bool MediaLibrary::isRescanningDefault()
{
    std::lock_guard lock(g_defaultMutex);
    return g_defaultFromIndex && g_scan && !g_scan->isFinished();
}

std::shared_ptr<LibraryScan> MediaLibrary::defaultLibraryScan()
{
    startDefaultScan();
    std::lock_guard lock(g_defaultMutex);
    return g_default ? nullptr : g_scan;
}

void MediaLibrary::stopDefaultScan()
{
    std::shared_ptr<LibraryScan> scan;
    {
        std::lock_guard lock(g_defaultMutex);
        scan = std::move(g_scan);
    }
    if (scan)
        scan->cancel();
}

std::shared_ptr<const MediaLibrary> MediaLibrary::defaultMediaLibrary()
{
    std::shared_ptr<LibraryScan> scan = defaultLibraryScan();
    const std::shared_ptr<const MediaLibrary> scanned = scan ? scan->wait() : nullptr;
    std::lock_guard lock(g_defaultMutex);
    if (g_default)
        return g_default;
    return scanned ? scanned : std::make_shared<const MediaLibrary>(); // stopped while scanning
}

std::shared_ptr<const MediaLibrary> MediaLibrary::loadedDefaultMediaLibrary()
{
    std::lock_guard lock(g_defaultMutex);
    return g_default;
}

void MediaLibrary::setDefaultMediaLibrary(std::shared_ptr<const MediaLibrary> library)
{
    stopDefaultScan();
    std::vector<Listener> listeners;
    {
        std::lock_guard lock(g_defaultMutex);
        g_default = library;
        g_defaultFromIndex = false;
        installResolver(library);
        listeners = g_listeners;
    }
    notifyListeners(std::move(listeners));
}

} // namespace medialibrary

// The library the application shows: scanned once in the background, or set,
// and installed as the resolver of asset URLs.
#include "platform/library/MediaLibrary.h"

#include "platform/foundation/Documents.h"
#include "platform/library/AssetURL.h"
#include "platform/library/LibraryScan.h"

#include <mutex>

namespace medialibrary {

namespace {

std::mutex g_defaultMutex; // guards g_default and g_scan
std::shared_ptr<const MediaLibrary> g_default;
std::shared_ptr<LibraryScan> g_scan;

void installResolver(const std::shared_ptr<const MediaLibrary>& library)
{
    if (library)
        setAssetResolver([library](const Url& url) { return library->fileForAssetURL(url); });
    else
        setAssetResolver(nullptr);
}

} // namespace

void MediaLibrary::startDefaultScan()
{
    std::lock_guard lock(g_defaultMutex);
    if (g_default || (g_scan && !g_scan->isFinished()))
        return;
    g_scan = LibraryScan::start(documents::musicLibraryRoot(), {documents::documentsDirectory()},
                                [](const std::shared_ptr<const MediaLibrary>& library) {
                                    std::lock_guard finishedLock(g_defaultMutex);
                                    if (!g_default) {
                                        g_default = library;
                                        installResolver(library);
                                    }
                                });
    // Songs already read can be played while the scan goes on.
    std::weak_ptr<LibraryScan> weak = g_scan;
    setAssetResolver([weak](const Url& url) {
        const auto scan = weak.lock();
        return scan ? scan->fileForAssetURL(url) : QString();
    });
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
    std::lock_guard lock(g_defaultMutex);
    g_default = library;
    installResolver(library);
}

} // namespace medialibrary

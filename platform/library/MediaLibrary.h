#pragma once
// The music library: an index of every audio file under a root folder, read
// with TagLib. Hidden files and folders and the excluded folders (the
// documents directory) are left out. The index is immutable once built and
// may be read from any thread.
//
// Each song gets a persistent id derived from its path relative to the root,
// so the same file has the same id, and the same asset URL, in every run.
//
// The application uses the default library: the folder
// documents::musicLibraryRoot() without documents::documentsDirectory(),
// scanned on first use. Making a library the default installs it as the
// resolver of asset URLs (medialibrary::fileForAssetURL).

#include "platform/library/MediaItem.h"

#include <QHash>
#include <QStringList>
#include <memory>

namespace medialibrary {

class MediaLibrary {
public:
    // Indexes `root`. Folders in `excludedDirectories` (and everything in
    // them) are skipped. A missing root gives an empty library.
    static std::shared_ptr<const MediaLibrary> scan(const QString& root, const QStringList& excludedDirectories = {});

    // Reads one file as the index does. `root` is the folder the id is taken
    // relative to.
    static MediaItem readItem(const QString& filePath, const QString& root);

    // The library the application shows; scanned on the first call.
    static std::shared_ptr<const MediaLibrary> defaultMediaLibrary();
    // The default library if it has been scanned or set; nothing otherwise
    // (never starts a scan).
    static std::shared_ptr<const MediaLibrary> loadedDefaultMediaLibrary();
    // Replaces the default library (and the asset URL resolver).
    static void setDefaultMediaLibrary(std::shared_ptr<const MediaLibrary> library);

    QString root() const { return root_; }
    // Sorted by artist, album title, track number, title; absent values last.
    const std::vector<MediaItem>& items() const { return items_; }

    MediaItem itemWithPersistentID(quint64 id) const;
    MediaItem itemForAssetURL(const Url& url) const;
    // The file behind an asset URL of this library, empty when unknown.
    QString fileForAssetURL(const Url& url) const;

    // Whether `fileName` has the extension of an audio file the index reads.
    static bool isAudioFileName(const QString& fileName);

private:
    QString root_;
    std::vector<MediaItem> items_;
    QHash<quint64, std::size_t> byId_;
};

} // namespace medialibrary

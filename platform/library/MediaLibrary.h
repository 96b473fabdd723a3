#pragma once
// The music library: an index of every audio file under a root folder, read
// with TagLib, and of the playlist files there. Hidden files and folders and the excluded folders (the
// documents directory) are left out, and so is anything that is not a regular
// file once links are followed (devices, FIFOs, sockets, broken links). The
// index is immutable once built and may be read from any thread.
//
// Each song gets a persistent id derived from its path relative to the root,
// so the same file has the same id, and the same asset URL, in every run.
// A song whose file name is not valid UTF-8 is listed as unreadable, under
// its name with the undecodable bytes escaped ("bad\xFFname"), so that it is
// counted among what is left out instead of vanishing.
//
// A MediaLibrary is a Library: a MusicFolder keeps one up to date for the
// window app; the command line scans one and hands it to its run.

#include "platform/library/Library.h"
#include "platform/library/LibraryScan.h"
#include "platform/library/MediaItem.h"

#include <QHash>
#include <QPair>
#include <QSet>
#include <QStringList>
#include <memory>
#include <mutex>

namespace medialibrary {

class MediaLibrary : public Library {
public:
    // Indexes `root`. Folders in `excludedDirectories` (and everything in
    // them) are skipped. A missing root gives an empty library. With
    // `indexPath` (see LibraryIndex), a song whose file has the size and time
    // the index knows is taken from there instead of read (unless not
    // `readIndex`), and the index is brought up to date.
    static std::shared_ptr<const MediaLibrary> scan(const QString& root, const QStringList& excludedDirectories = {},
                                                    const QString& indexPath = QString(), bool readIndex = true);

    // The library as the index at `indexPath` last saw `root`, read at once,
    // without looking at the folder; nothing when there is no such index.
    static std::shared_ptr<const MediaLibrary> fromIndex(const QString& root, const QString& indexPath);

    // Reads one file as the index does. `root` is the folder the id is taken
    // relative to.
    static MediaItem readItem(const QString& filePath, const QString& root);

    QString root() const override { return root_; }
    // Sorted by artist, album title, track number, title; absent values last.
    const std::vector<MediaItem>& items() const { return items_; }
    // The order of items(): whether `a` comes before `b`.
    static bool inLibraryOrder(const MediaItem& a, const MediaItem& b);

    MediaItem itemWithPersistentID(quint64 id) const;
    MediaItem itemForAssetURL(const Url& url) const;

    // Library: the songs are items(); the playlists are the folder's playlist
    // files (PlaylistFile.h), by name.
    std::vector<MediaItem> songs() const override { return items_; }
    std::vector<Playlist> playlists() const override { return playlists_; }
    // The file behind an asset URL of this library, empty when unknown.
    QString fileForAssetURL(const Url& url) const override;

    // Whether `fileName` has the extension of an audio file the index reads.
    static bool isAudioFileName(const QString& fileName);

    // Whether the file with device `device` and inode `inode` is one of the
    // library's songs (links followed): nothing may overwrite it. The songs'
    // identities are read once, on the first call. Any thread.
    bool holdsFile(quint64 device, quint64 inode) const override;

protected:
    // Takes `items` as the library's songs, in the library's order.
    void setItems(std::vector<MediaItem> items);
    void setRoot(QString root) { root_ = std::move(root); }

private:
    friend class LibraryScan;
    // The scan itself; every item read goes to `state` at once. nullptr when cancelled.
    static std::shared_ptr<MediaLibrary> runScan(const QString& root, const QStringList& excludedDirectories,
                                                 LibraryScan::State& state, const QString& indexPath = QString(),
                                                 bool readIndex = true);
    QString root_;
    std::vector<MediaItem> items_;
    std::vector<Playlist> playlists_;
    QHash<quint64, std::size_t> byId_;
    mutable std::once_flag filesRead_;
    mutable QSet<QPair<quint64, quint64>> files_; // device and inode of each song
};

} // namespace medialibrary

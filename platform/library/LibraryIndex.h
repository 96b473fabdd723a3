#pragma once
// The music library's index on disk: what a scan read of each song (its
// tags, length, format, whether it is protected or readable, why it is left
// out, whether it has a picture) and of each playlist file (the locations it
// lists), with the file's size and modification time, so
// that the next start answers at once and a rescan rereads only the songs
// that changed. A cache, not a setting: it lives in the user's cache folder
// ($XDG_CACHE_HOME/ripwell/, one SQLite file a library folder), and anything
// wrong with it (missing, corrupt, locked, of another version or of another
// folder) only costs a full scan, with a line in the log.
//
// Several processes may use one index at once (SQLite in WAL mode); each
// object is used by one thread at a time.

#include "platform/library/MediaItem.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

namespace medialibrary {

class LibraryIndex {
    struct Token {};

public:
    // One song as the index keeps it.
    struct Entry {
        QByteArray relativePath; // to the library's root, the bytes as stored
        std::int64_t size = 0;
        std::int64_t modified = 0; // nanoseconds since 1970
        MediaItem::Data data;      // the song as read (no id, no asset URL, no path)
    };

    // Where the index of the library at `root` lives: a file of its own in
    // the cache folder; empty when there is no cache folder (no HOME).
    static QString defaultPath(const QString& root);

    // One playlist file as the index keeps it.
    struct PlaylistEntry {
        QByteArray relativePath; // to the library's root, the bytes as stored
        std::int64_t size = 0;
        std::int64_t modified = 0; // nanoseconds since 1970
        QStringList locations;     // as the file lists them (playlistfile::readEntries)
    };

    // Opens (or creates) the index at `path` for the library at `root`. An
    // index that cannot be used as it is is made afresh, empty; one that
    // cannot be made at all gives nothing. Either way a line says why.
    static std::unique_ptr<LibraryIndex> open(const QString& path, const QString& root);

    LibraryIndex(Token, sqlite3* db, QString path);
    ~LibraryIndex();
    LibraryIndex(const LibraryIndex&) = delete;
    LibraryIndex& operator=(const LibraryIndex&) = delete;

    // Every entry, in no particular order; nothing when it cannot be read.
    std::vector<Entry> entries();
    // Every playlist file, in no particular order; nothing when it cannot be read.
    std::vector<PlaylistEntry> playlists();

    // Writes what a rescan found, in one transaction: `changed` entries put
    // in (new or replacing those of their path), the `removed` paths taken
    // out, and the same for playlist files. False (and a line) when it could
    // not be written, or `cancelled` was set meanwhile; the index is then as
    // it was.
    bool update(const std::vector<Entry>& changed, const std::vector<QByteArray>& removed,
                const std::atomic<bool>* cancelled = nullptr, const std::vector<PlaylistEntry>& changedPlaylists = {},
                const std::vector<QByteArray>& removedPlaylists = {});

    // A library that lists its songs in a catalogue of its own (an iPod's
    // database) is kept whole under the catalogue's stamp: read back at once
    // while the catalogue has that stamp, written anew when it has another.
    struct CataloguePlaylist {
        QString name;
        std::vector<quint64> songs; // persistent ids, in the playlist's order
    };
    struct Catalogue {
        QString stamp; // of the catalogue the songs were read from
        QString name;  // the catalogue's name for its library (an iPod's name)
        // In the catalogue's order. Each song's file relative to the
        // library's root (empty when it has none) and all it was read as,
        // its persistent id included; size and time are not kept.
        std::vector<Entry> songs;
        std::vector<CataloguePlaylist> playlists;
    };
    // The catalogue kept here; nothing when there is none (or it cannot be read).
    std::optional<Catalogue> catalogue();
    // Keeps `catalogue` in place of the one before, in one transaction; false
    // (and a line) when it could not be written.
    bool setCatalogue(const Catalogue& catalogue);

    const QString& path() const { return path_; }

private:
    sqlite3* db_;
    QString path_;
};

} // namespace medialibrary

#pragma once
// A library that songs are converted from: what the engine (the conversion
// run, the import worker, the export service) and the player are handed by
// whoever made them. It lists its songs and playlists, resolves a song's
// asset URL to the file behind it, and says whether a file is one of its
// songs (such a file is never overwritten).
//
// Kinds: a music folder (MediaLibrary, and MusicFolder that keeps one up to
// date for the window app); an iPod's own database and the playlists such
// libraries hold fit the same contract. Every operation may be called from
// any thread.

#include "platform/foundation/Url.h"
#include "platform/library/MediaItem.h"

#include <QString>
#include <optional>
#include <vector>

namespace medialibrary {

// What an output is tagged with where the library, not the song's file, says
// what the song is: an iPod's songs as its database names them. Texts are
// empty and numbers 0 where the library holds none: the output has none
// either (but for the title, where the file's own stands).
struct OutputTags {
    QString title, artist, album, albumArtist, genre;
    int track = 0, disc = 0, year = 0;
    bool compilation = false;

    static OutputTags of(const MediaItem& item);
};


// Why an entry of a playlist is no song of its library.
enum class PlaylistProblem : quint8 {
    Outside,  // a file outside the library
    Missing,  // nothing there (for a Windows path: no one file that matches)
    Stream,   // the URL of a stream ("http://…")
    NotASong, // a file of the library that is none of its songs
};

// An entry of a playlist that is no song of its library: the location as the
// playlist writes it, and why.
struct UnresolvedEntry {
    QString location;
    PlaylistProblem problem = PlaylistProblem::Missing;
};

// A playlist a library holds: its name and its songs, in the playlist's order
// (a song listed twice is there twice). Songs the library does not hand over
// are among them, as in songs(); entries that are none of its songs are in
// `unresolved`. Playlists are told apart by their names.
struct Playlist {
    QString name;
    std::vector<MediaItem> items;
    // Where it lies, for people: a playlist file's path below the library's
    // top; empty for one the library's own database holds.
    QString place;
    std::vector<UnresolvedEntry> unresolved;
};

class Library {
public:
    virtual ~Library() = default;

    // Every song, those it does not hand over included, in the library's order.
    virtual std::vector<MediaItem> songs() const = 0;
    // The playlists it holds, in its order; empty for one that holds none.
    virtual std::vector<Playlist> playlists() const = 0;
    // The file behind the asset URL of one of its songs; empty for a URL that
    // names none of them.
    virtual QString fileForAssetURL(const Url& url) const = 0;
    // Whether the file with device `device` and inode `inode` is one of its
    // songs (links followed).
    virtual bool holdsFile(quint64 device, quint64 inode) const = 0;
    // The folder its songs lie below (a music folder, an iPod's mount point).
    // A song's place, its path below it, is the same wherever the library is
    // mounted: the documents folder's record knows songs by it.
    virtual QString root() const = 0;

    // The tags an output of the song at `url` carries in place of those of
    // its file; nothing where the song's file says what it is (a folder's).
    virtual std::optional<OutputTags> outputTags(const Url& url) const
    {
        (void)url;
        return std::nullopt;
    }
    // Whether its songs can still be reached: false once the disk it lies on
    // has gone (an iPod unplugged, a stick pulled out).
    virtual bool isAvailable() const;
};

// The file that `url` stands for: a file URL's own path, a library asset
// URL's file in `library`; empty when it resolves to nothing (an asset URL
// without a library among them).
QString fileForURL(const Url& url, const Library* library);

} // namespace medialibrary

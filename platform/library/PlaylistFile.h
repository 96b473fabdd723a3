#pragma once
// Playlist files as the players of Linux write them, and the songs of a
// library they name.
//
// Reading: M3U and M3U8 (one location a line, "#" lines are directives or
// comments), PLS ("FileN=" keys, in the order of N) and XSPF (the <location>
// of each <track>). Text is UTF-8; an ".m3u" or ".pls" file that is not valid
// UTF-8 is read as Latin-1; a byte-order mark and CR LF line ends are fine.
//
// Resolving: a location is a path relative to the playlist's own folder, an
// absolute path, or a URL: "file://" names a file, any other scheme a stream.
// A path with "\" separators (a playlist made on Windows) is matched without
// regard to case where that finds exactly one song; one with a drive letter
// ("D:\Music\…") by the longest tail of it that names one song of the library.

#include "platform/library/Library.h"
#include "platform/library/MediaItem.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace medialibrary {

namespace playlistfile {

// The largest playlist file read (a list of a million songs is smaller).
constexpr qint64 kMaxSize = 64 * 1024 * 1024;

// Whether `fileName` is a playlist file's: ".m3u", ".m3u8", ".pls" or ".xspf",
// case ignored.
bool isPlaylistFileName(const QString& fileName);

// The locations the playlist file named `fileName` (its extension says how it
// is written) lists in `content`, in its order, as text. An XSPF location
// that is a relative URI comes back as the path it encodes.
QStringList readEntries(const QByteArray& content, const QString& fileName);

// The file a location of a playlist whose folder is `folder` names, as an
// absolute clean path: a relative path from that folder, an absolute path or
// a "file://" URL ("\" separators taken as "/"); empty for a stream, a
// Windows drive path or another machine's file. Nothing is looked at.
QString filePathOf(const QString& location, const QString& folder);

// The bytes of the playlist file at `path`: only a regular file (links
// followed), opened so that nothing blocks; empty when it cannot be read or
// is larger than kMaxSize.
QByteArray readFile(const QString& path);

} // namespace playlistfile

// Turns the locations of a playlist into songs of one library. Made once for
// a library's songs and used for each of its playlists; one thread at a time.
class PlaylistResolver {
public:
    // `songs` of the library whose top is `root` (a clean absolute path, as
    // the songs' paths begin); `otherRoots` are other spellings of that top
    // (the path it was given by, through a link) that playlists may use.
    PlaylistResolver(const std::vector<MediaItem>& songs, const QString& root, const QStringList& otherRoots = {});

    // The playlist `name` whose file lies at `place` (below the top; its
    // relative locations start from that file's folder) and lists `locations`.
    Playlist resolve(const QString& name, const QString& place, const QStringList& locations) const;

private:
    // The index of the song at `relative` (below the top); -1 for none.
    int exactSong(const QString& relative) const;
    // The index of the one song whose path below the top is `relative` with
    // case folded; -1 for none or several.
    int foldedSong(const QString& relative) const;
    // Below the top: the path relative to it; a null string otherwise.
    QString relativeToTop(const QString& absolute) const;
    // The song an entry names, or why none.
    int songFor(const QString& location, const QString& folder, PlaylistProblem* problem) const;

    const std::vector<MediaItem>& songs_;
    QString root_;
    QStringList roots_; // root_ first, then the other spellings
    QHash<QString, int> byPath_;
    mutable QHash<QString, int> byFoldedPath_; // made on first need; -1 where several share one
    mutable bool foldedMade_ = false;
};

} // namespace medialibrary

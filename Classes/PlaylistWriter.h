#pragma once
// The playlists a conversion run writes beside the songs: for each playlist
// picked, "Playlists/NAME.m3u8" in the documents folder, listing the files of
// its songs, in its order, by paths relative to itself, so that a player on a
// stick, a card or a phone finds them wherever the folder is copied.
//
// A playlist's file is written as a song's is: under a temporary name in its
// folder (reached without following links), put on the disk, noted in the
// documents folder's record, then renamed into place. A later run replaces
// the file only while the record says Ripwell wrote it and it is unchanged;
// a file of the user's at that name is kept, and the playlist takes the next
// free name ("NAME (2).m3u8").

#include "Classes/OutputRecord.h"
#include "platform/foundation/FolderWalk.h"
#include "platform/foundation/Url.h"
#include "platform/library/Library.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <memory>
#include <vector>

// One song of a playlist as its file lists it.
struct PlaylistSong {
    QString output; // relative to the documents folder
    int durationMs = 0; // 0 when not known
    QString artist;     // empty when absent
    QString title;      // what a list shows (MediaItem::displayTitle())
};

// The text of an M3U8 playlist whose file is `playlistOutput` (relative to
// the documents folder) listing `songs`: "#EXTM3U", then for each song
// "#EXTINF:" with its length in whole seconds (-1 when not known) and
// "Artist - Title", and the path of its file relative to the playlist's
// folder ("../Artist/Album/Title.mp3"), "/" separated. UTF-8, LF line ends.
QByteArray m3u8Text(const QString& playlistOutput, const std::vector<PlaylistSong>& songs);

// How one playlist of a run came out.
struct WrittenPlaylist {
    QString name;          // the playlist's
    QString output;        // its file, relative to the documents folder; empty when not written
    std::size_t listed = 0;  // songs its file lists
    std::size_t leftOut = 0; // entries not listed because they are no song the run converted or found up to date
    std::size_t failed = 0;  // entries not listed because their song failed
    QString error;         // why its file could not be written; empty when it was
};

class PlaylistWriter {
public:
    // Writes into `documentsDirectory`, walked as `walk`, noting each file in
    // `record` (prepared for a run: its run file open). The caller holds the
    // documents lock.
    PlaylistWriter(OutputRecord& record, std::shared_ptr<FolderWalk> walk, QString documentsDirectory);

    // Writes the file of `playlist`, whose songs the run put at `outputs`
    // (by asset URL: converted, or found up to date) or failed (`failed`).
    // Two playlists of one name written by one writer take a name each.
    WrittenPlaylist write(const medialibrary::Playlist& playlist, const QHash<Url, QString>& outputs,
                          const QSet<Url>& failed);

private:
    // The file for the playlist `name` with `text` (made for `output`); the
    // output written, or empty and `why`.
    bool writeFile(const QString& name, const QString& output, const QByteArray& text, QString* why);

    OutputRecord& record_;
    std::shared_ptr<FolderWalk> walk_;
    QString documentsDirectory_;
    QSet<QString> taken_; // comparable forms of the names taken so far
};

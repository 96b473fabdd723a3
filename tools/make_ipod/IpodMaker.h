#pragma once
// Makes a real iPod disk in a folder with libgpod itself: the iPod's folders
// and SysInfo for a model (itdb_init_ipod), generated songs (the generator of
// ripwell-make-library) copied on as the iPod keeps them
// (itdb_cp_track_to_ipod: iPod_Control/Music/Fnn/ under names that mean
// nothing), their database fields, playlists, and the database written by
// itdb_write. The demo, the tests and the benchmarks use it.

#include "tools/make_library/SongGenerator.h"

#include <QString>
#include <vector>

namespace ipodmaker {

// What the database lists a track as.
enum class Kind { Song, Podcast, Audiobook, Video };

// What the song's file itself says, beside the database.
enum class FileTags {
    None,      // no title, artist or album at all
    Different, // "Wrong Title", "Wrong Artist", "Wrong Album": the database is right
};

struct Track {
    songgen::Format format = songgen::Format::Mp3Cbr;
    Kind kind = Kind::Song;
    QString title, artist, album, albumArtist, genre;
    int trackNumber = 0, trackCount = 0, discNumber = 0, discCount = 0, year = 0;
    bool compilation = false;
    FileTags fileTags = FileTags::None;
    bool missing = false;  // listed, but its file is removed from the disk afterwards
    bool chapters = false; // the database keeps a list of chapters for it
};

struct Playlist {
    QString name;
    std::vector<int> tracks; // positions in Options::tracks, in the playlist's order
};

struct Options {
    QString model = QStringLiteral("MA147"); // an iPod Video (5th generation), 60 GB
    QString name = QStringLiteral("Ripwell iPod");
    std::vector<Track> tracks;
    std::vector<Playlist> playlists;
    bool compressed = false; // the database as iTunesCDB, compressed, as later nanos keep it
    double seconds = 2.0;    // length of each generated song
    // Above 0: only this many files are generated for each format, and the
    // other tracks of that format share their bytes (hard links): for
    // databases of many thousand songs.
    int distinctFiles = 0;
};

// One track as written: its ids in the database and where its file lies (or
// lay, for a missing one).
struct MadeTrack {
    quint32 id = 0;
    quint64 dbid = 0;
    QString filePath;
};

struct Made {
    std::vector<MadeTrack> tracks; // in the order of Options::tracks
    QString error;                 // empty when the disk was made
};

// One song of each format the generator writes, each file untagged or tagged
// differently from the database, with album artists, disc numbers, years,
// genres and a compilation; then a podcast, an audiobook with chapters, a
// protected song, a song whose file is missing and a video; and two playlists.
Options standardIpod();

// `count` songs in albums of 12 with an artist for every two albums, the
// formats in turn: a large library (the benchmark's).
std::vector<Track> manySongs(int count, const std::vector<songgen::Format>& formats);

// Writes the iPod into `folder` (made when missing). The same options give
// the same database fields, but not the same file names or ids: libgpod
// draws those.
Made makeIpod(const QString& folder, const Options& options);

} // namespace ipodmaker

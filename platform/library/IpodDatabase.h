#pragma once
// An iPod's own music database, as libgpod reads it: the songs it lists
// (title, artist, album and the rest of what the database knows of each, and
// the file the song lies in on the disk), its playlists, and a stamp of the
// database file. An iPod mounted as a disk keeps its songs under names that
// mean nothing (iPod_Control/Music/F12/ABCD.mp3); only the database knows
// what they are.
//
// Reading never writes to the iPod: not a byte, no lock, no temporary file.
// The database is read by a helper program of ours (ripwell-read-ipod) in a
// process of its own, so that a database libgpod cannot cope with costs an
// error message, never the program: see readDatabase().

#include <QString>
#include <QtGlobal>
#include <chrono>
#include <optional>
#include <vector>

namespace medialibrary::ipod {

// What the database says a track is (its media type).
enum class MediaKind : quint8 {
    Song,
    Podcast,
    Audiobook,
    VoiceMemo,
    Video,      // a movie, a music video, a TV show or a video podcast
    Book,       // an e-book or a PDF
};

// One track as the database lists it. Texts are null where the database has
// none; numbers are 0 where it has none.
struct Track {
    quint32 id = 0;   // the track's number within this database; playlists refer to it
    quint64 dbid = 0; // the database's own 64-bit id of the song, the same in every copy of the database
    QString title, artist, album, albumArtist, genre;
    QString fileType; // the database's description of the file ("MPEG audio file", "Protected AAC audio file" …)
    int trackNumber = 0, trackCount = 0, discNumber = 0, discCount = 0, year = 0;
    bool compilation = false;
    MediaKind kind = MediaKind::Song;
    quint32 mediaType = 0; // the database's media type bits, as stored
    bool isProtected = false; // the database names an account that may play it (store-protected)
    qint64 size = 0;          // of the file, as the database says
    qint64 lengthMs = 0;
    // Where the file lies: relative to the iPod's folder with "/" between the
    // parts ("iPod_Control/Music/F12/ABCD.mp3"), as the database says it.
    QString ipodPath;
    // The file on the disk, absolute: as libgpod finds it (whatever the case
    // of its letters), else where the database says it is.
    QString filePath;
};

struct Playlist {
    enum class Kind : quint8 { Library, Podcasts, Smart, Plain };
    QString name;
    Kind kind = Kind::Plain;
    quint64 id = 0;
    std::vector<quint32> trackIds; // Track::id, in the playlist's order
};

// The state of the database file: equal stamps, the same database, wherever
// the iPod is mounted. Whatever writes the database (iTunes, libgpod) writes
// the whole file anew, so a changed database has a new time. An index of the
// database is kept under its stamp.
struct Stamp {
    QString fileName;   // "iTunesDB", or "iTunesCDB" for the compressed database of later nanos
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds since the epoch
    friend bool operator==(const Stamp&, const Stamp&) = default;
};

struct Database {
    QString folder;     // the iPod's folder, absolute, as given
    Stamp stamp;
    quint64 id = 0;     // the database's own id: the same for every copy of it, and after libgpod writes it
    QString model;      // the iPod's generation as libgpod names it ("iPod Video (1st Gen.)"), empty when unknown
    std::vector<Track> tracks;       // in the database's order
    std::vector<Playlist> playlists; // in the database's order: the library playlist first
};

// The database file in `folder` as libgpod looks for it:
// "iPod_Control/iTunes/iTunesCDB", else ".../iTunesDB"; empty when there is
// none. Looks, reads nothing.
QString databaseFile(const QString& folder);
inline bool holdsDatabase(const QString& folder) { return !databaseFile(folder).isEmpty(); }

// The stamp of the database in `folder`, from its file's size and time (no
// byte of it read, no libgpod); nothing when there is none.
std::optional<Stamp> readStamp(const QString& folder);

// Why a database could not be read.
enum class ReadFailure : quint8 {
    None,
    NoDatabase, // the folder holds none
    Damaged,    // libgpod refused it, or stopped the reader on it (a crash)
    Unreadable, // its file could not be read
    TimedOut,   // libgpod had not read it when the time allowed was up
    NoReader,   // ripwell-read-ipod could not be started
};

struct ReadResult {
    std::optional<Database> database;
    ReadFailure failure = ReadFailure::None;
    QString error; // for people, set with the failure
};

// Reads the database in `folder` in a process of its own (ripwell-read-ipod,
// see readerProgram()). A folder without a database, a database libgpod
// refuses, one it crashes on and one it has not read within `timeout` each
// give a failure and an error that says so.
ReadResult readDatabase(const QString& folder, std::chrono::milliseconds timeout = std::chrono::seconds(60));

// The helper program: $RIPWELL_READ_IPOD when set, else ripwell-read-ipod in
// the installed programs' libexec folder (../libexec/ripwell beside this
// program's folder), else the one of the build tree.
QString readerProgram();

} // namespace medialibrary::ipod

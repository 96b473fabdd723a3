#pragma once
// Writes a library of generated, tagged songs: the demo library, the test
// fixtures and the benchmark input all come from here. The same options give
// the same files, byte for byte.

#include <QString>
#include <QStringList>
#include <vector>

namespace songgen {

// One kind of song file the generator can write.
enum class Format {
    Mp3Cbr,   // MP3, constant bit rate, Info frame first
    Mp3Vbr,   // MP3, variable bit rate, Xing frame first
    Aac,      // AAC in an .m4a
    Alac,     // Apple Lossless in an .m4a
    WavInfo,  // WAV, tags in a LIST/INFO chunk (its ID3 chunk holds only the cover)
    WavId3,   // WAV, tags in an ID3 chunk
    Aiff,     // AIFF named ".aif", tags in an ID3 chunk
    Flac,     // FLAC with Vorbis comments and a picture block
    Protected, // AAC in an ".m4p" whose sample entry is encrypted ("drms")
    OggVorbis, // Vorbis in an ".ogg", with Vorbis comments and a picture
    Opus,      // Opus in an ".opus", at 48 kHz, with Vorbis comments and a picture
    WavPack,   // WavPack in a ".wv", with an APEv2 tag and its cover item
};

// Names accepted by --formats, in the order of the enum.
const QStringList& formatNames();
bool formatFromName(const QString& name, Format* out);
QString fileExtension(Format f);

struct Options {
    int songs = -1;          // -1: one song of each chosen format
    double seconds = 6.0;    // length of each song
    std::vector<Format> formats; // empty: every format
    bool broken = false;     // add the broken files as well
    int mp3BitRate = 128000; // CBR MP3 bit rate
};

struct Song {
    QString path;     // absolute path of the file written
    Format format;
    QString artist, album, title;
    int track = 0;
    bool broken = false; // one of the broken files (no tags)
    bool tagged = true;  // false: the file carries no tags and no cover at all
};

// Writes the library into `dir` (created when missing). Returns the songs in
// the order written; on failure, fills `error` and returns what was written.
std::vector<Song> makeLibrary(const QString& dir, const Options& options, QString* error = nullptr);

// Writes one song. `seed` picks the tune and the cover.
bool writeSong(const Song& song, unsigned seed, double seconds, int mp3BitRate, QString* error);

} // namespace songgen

#pragma once
// Reading one song file with TagLib: its format, tags, protection and where
// its cover picture lives. Used by the library index and the artwork.

#include "platform/library/AudioFormat.h"
#include "platform/library/MediaItem.h"

#include <QByteArray>
#include <QString>

namespace medialibrary::tagreading {

struct FileInfo {
    bool readable = false;   // opened as audio
    bool isProtected = false;
    // By the content; nothing when the bytes are none of the table's (or the
    // file could not be opened).
    std::optional<AudioFormat> format;
    QString title, artist, albumTitle; // null when absent; an empty tag is present and empty
    int track = 0;
    int durationMs = 0; // the audio's length, as TagLib reckons it quickly; 0 when not known
    PictureSource pictureSource = PictureSource::None;
};

// Reads the file at `path`. Only a regular file (after following links) is
// read, opened so that nothing can block; anything else is unreadable.
FileInfo readFile(const QString& path);

// Reads a song held in memory; `fileName` is its name (for the one case the
// content leaves open, see recogniseFormat()).
FileInfo readData(const QByteArray& data, const QString& fileName);

// The format of the file at `path` by its first bytes; nothing when it is
// none of the table's or cannot be read.
std::optional<AudioFormat> recogniseFile(const QString& path);

// Whether the Ogg file at `path` ends with the last page of its stream: a
// file cut short ends with a page that is not.
bool oggEndsWhole(const QString& path);

// The encoded front cover (or, lacking one, the first picture) of the file.
QByteArray frontCover(const QString& path, PictureSource source);

} // namespace medialibrary::tagreading

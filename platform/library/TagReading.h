#pragma once
// Reading one song file with TagLib: its format, tags, protection and where
// its cover picture lives. Used by the library index and the artwork.

#include "platform/library/MediaItem.h"

#include <QByteArray>
#include <QString>

namespace medialibrary::tagreading {

struct FileInfo {
    bool readable = false;   // opened as audio
    bool isProtected = false;
    QString formatExtension; // "mp3", "m4a", "wav", "aif", or the file's own lower-case extension
    QString title, artist, albumTitle; // null when absent; an empty tag is present and empty
    int track = 0;
    PictureSource pictureSource = PictureSource::None;
};

// Reads the file at `path`. Only a regular file (after following links) is
// read, opened so that nothing can block; anything else is unreadable.
FileInfo readFile(const QString& path);

// Reads a song held in memory; `extension` is its lower-case file extension.
FileInfo readData(const QByteArray& data, const QString& extension);

// The encoded front cover (or, lacking one, the first picture) of the file.
QByteArray frontCover(const QString& path, PictureSource source);

} // namespace medialibrary::tagreading

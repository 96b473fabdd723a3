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
    QString title, artist, albumTitle; // null when absent or empty
    int track = 0;
    PictureSource pictureSource = PictureSource::None;
};

FileInfo readFile(const QString& path);

// The encoded front cover (or, lacking one, the first picture) of the file.
QByteArray frontCover(const QString& path, PictureSource source);

} // namespace medialibrary::tagreading

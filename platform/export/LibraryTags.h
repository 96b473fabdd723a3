#pragma once
// The tags a library gives a song, written into its output once the output is
// whole and still under its temporary name: an iPod's songs are tagged as its
// database names them, whatever their files say. The library's fields
// (title, artist, album, album artist, genre, track and disc numbers, year,
// compilation) are as it says, an empty one left out; the song file's other
// tags and its cover stay as they were.

#include "platform/foundation/Error.h"
#include "platform/library/AudioFormat.h"
#include "platform/library/Library.h"

#include <QString>
#include <optional>

namespace mediaexport {

// Writes `tags` into the file of format `format` at `path`, in the tags that
// format's readers look at first (ID3v2, MP4 atoms, Vorbis comments, APE; a
// WAV's ID3 chunk and its LIST/INFO both). Nothing when done.
std::optional<Error> writeLibraryTags(const QString& path, medialibrary::AudioFormat format,
                                      const medialibrary::OutputTags& tags);

} // namespace mediaexport

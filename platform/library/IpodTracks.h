#pragma once
// What Ripwell makes of the tracks of an iPod's database: which are songs it
// converts, why the others are left out, and the media item each one is.

#include "platform/library/AudioFormat.h"
#include "platform/library/IpodDatabase.h"
#include "platform/library/MediaItem.h"

namespace medialibrary::ipod {

// What a look at a track's file finds, read only.
struct TrackFile {
    // Why the track is no song Ripwell converts: Protected (".m4p", an
    // Audible book, or the database names an account), Missing (its file is
    // not on the disk), Video, NotAudio (a book or a document), NotAFile,
    // UnsupportedFormat (a file of a format Ripwell does not convert, or of
    // none it knows); None for a song.
    LeftOutReason leftOut = LeftOutReason::None;
    std::optional<AudioFormat> format; // by the file's name (its extension)
    qint64 size = 0;                   // of the file on the disk
};

// Looks at `track`'s file (its name and its state on the disk; none of its
// bytes) and says whether and why it is left out.
TrackFile examineTrack(const Track& track);

// The media item a track is: the database's fields, the file, and why it is
// left out. `id` becomes the item's persistent id and asset URL id. Where the
// file would keep a cover, the item's artwork looks there.
MediaItem::Data itemData(const Track& track, const TrackFile& file, quint64 id);

} // namespace medialibrary::ipod

#pragma once
// What Ripwell makes of the tracks of an iPod's database: which are songs it
// converts, why the others are left out, and the media item each one is.

#include "platform/library/AudioFormat.h"
#include "platform/library/IpodDatabase.h"
#include "platform/library/MediaItem.h"

namespace medialibrary::ipod {

// Why a track is not a song Ripwell converts.
enum class LeftOut : quint8 {
    None,
    Protected,   // store-protected (".m4p", an Audible book, or the database says so)
    Missing,     // its file is not on the disk
    Video,       // the database lists it as a video
    NotAudio,    // an e-book, or a file whose name is none of the audio formats Ripwell reads
    UnsupportedFormat, // audio of a format Ripwell does not convert
};

// What a look at a track's file finds, read only.
struct TrackFile {
    LeftOut leftOut = LeftOut::None;
    std::optional<AudioFormat> format; // by the file's name (its extension)
    qint64 size = 0;                   // of the file on the disk
};

// Looks at `track`'s file (its name and its state on the disk; none of its
// bytes) and says whether and why it is left out.
TrackFile examineTrack(const Track& track);

// The media item a track is: the database's fields, the file, and the reason
// it is left out mapped onto the library's reasons. `id` becomes the item's
// persistent id and asset URL id.
MediaItem::Data itemData(const Track& track, const TrackFile& file, quint64 id);

// The library's reason for an iPod's: a missing file counts as unreadable, a
// video as a format not converted.
LeftOutReason leftOutReason(LeftOut leftOut);

} // namespace medialibrary::ipod

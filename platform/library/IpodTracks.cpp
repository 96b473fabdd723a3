#include "platform/library/IpodTracks.h"

#include "platform/foundation/PathString.h"
#include "platform/library/AssetURL.h"

#include <sys/stat.h>

namespace medialibrary::ipod {

namespace {

// Store-protected files by their names: protected AAC, and Audible's books.
bool isProtectedName(const QString& filePath)
{
    const QString ext = path::extension(filePath).toLower();
    return ext == u"m4p" || ext == u"aa" || ext == u"aax";
}

} // namespace

TrackFile examineTrack(const Track& track)
{
    TrackFile file;
    // What the database says comes first: a video stays a video whatever its
    // file holds.
    if (track.kind == MediaKind::Video) {
        file.leftOut = LeftOut::Video;
        return file;
    }
    if (track.kind == MediaKind::Book) {
        file.leftOut = LeftOut::NotAudio;
        return file;
    }
    struct stat st {};
    if (track.filePath.isEmpty() || ::stat(path::native(track.filePath).constData(), &st) != 0) {
        file.leftOut = LeftOut::Missing;
        return file;
    }
    file.size = st.st_size;
    if (!S_ISREG(st.st_mode)) {
        file.leftOut = LeftOut::NotAudio;
        return file;
    }
    if (track.isProtected || isProtectedName(track.filePath)) {
        file.leftOut = LeftOut::Protected;
        return file;
    }
    // By the name the database gives the file, as iTunes names them: on an
    // iPod with a disk, opening each of thousands of files to look inside
    // would cost a seek each. What is inside shows when the song is converted.
    file.format = formatForFileName(track.filePath);
    if (!file.format)
        file.leftOut = LeftOut::NotAudio;
    else if (!formatInfo(*file.format).converted)
        file.leftOut = LeftOut::UnsupportedFormat;
    return file;
}

LeftOutReason leftOutReason(LeftOut leftOut)
{
    switch (leftOut) {
    case LeftOut::None: return LeftOutReason::None;
    case LeftOut::Protected: return LeftOutReason::Protected;
    case LeftOut::Missing: return LeftOutReason::Unreadable;
    case LeftOut::Video: return LeftOutReason::UnsupportedFormat;
    case LeftOut::NotAudio: return LeftOutReason::Unreadable;
    case LeftOut::UnsupportedFormat: return LeftOutReason::UnsupportedFormat;
    }
    return LeftOutReason::Unreadable;
}

MediaItem::Data itemData(const Track& track, const TrackFile& file, quint64 id)
{
    MediaItem::Data d;
    d.persistentID = id;
    d.filePath = track.filePath;
    d.title = track.title;
    d.artist = track.artist;
    d.albumTitle = track.album;
    d.albumTrackNumber = track.trackNumber;
    d.albumArtist = track.albumArtist;
    d.genre = track.genre;
    d.discNumber = track.discNumber;
    d.year = track.year;
    d.isCompilation = track.compilation;
    d.format = file.format;
    d.isProtected = file.leftOut == LeftOut::Protected;
    d.isReadable = file.format.has_value();
    d.leftOut = leftOutReason(file.leftOut);
    if (file.leftOut == LeftOut::None)
        d.assetURL = makeAssetURL(QString::fromLatin1(formatInfo(*file.format).outputExtension), id);
    return d;
}

} // namespace medialibrary::ipod

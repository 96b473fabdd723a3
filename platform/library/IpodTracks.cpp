#include "platform/library/IpodTracks.h"

#include "platform/foundation/PathString.h"

#include <algorithm>
#include <limits>
#include <sys/stat.h>

namespace medialibrary::ipod {

namespace {

// Store-protected files by their names: protected AAC, and Audible's books.
bool isProtectedName(const QString& filePath)
{
    const QString ext = path::extension(filePath).toLower();
    return ext == u"m4p" || ext == u"aa" || ext == u"aax";
}

// Where a file of the format keeps its cover, when it has one.
PictureSource coverPlace(AudioFormat format)
{
    switch (formatInfo(format).tagFile) {
    case TagFile::Mpeg:
    case TagFile::RiffWave:
    case TagFile::RiffAiff: return PictureSource::Id3v2;
    case TagFile::Mp4: return PictureSource::Mp4;
    case TagFile::Flac: return PictureSource::Flac;
    case TagFile::OggVorbis:
    case TagFile::OggOpus: return PictureSource::XiphComment;
    case TagFile::WavPack: return PictureSource::ApeItem;
    case TagFile::Any: break;
    }
    return PictureSource::None;
}

} // namespace

TrackFile examineTrack(const Track& track)
{
    TrackFile file;
    // What the database says comes first: a video stays a video whatever its
    // file holds.
    if (track.kind == MediaKind::Video) {
        file.leftOut = LeftOutReason::Video;
        return file;
    }
    if (track.kind == MediaKind::Book) {
        file.leftOut = LeftOutReason::NotAudio;
        return file;
    }
    struct stat st {};
    if (track.filePath.isEmpty() || ::stat(path::native(track.filePath).constData(), &st) != 0) {
        file.leftOut = LeftOutReason::Missing;
        return file;
    }
    file.size = st.st_size;
    if (!S_ISREG(st.st_mode)) {
        file.leftOut = LeftOutReason::NotAFile;
        return file;
    }
    if (track.isProtected || isProtectedName(track.filePath)) {
        file.leftOut = LeftOutReason::Protected;
        return file;
    }
    // By the name the database gives the file, as iTunes names them: on an
    // iPod with a disk, opening each of thousands of files to look inside
    // would cost a seek each. What is inside shows when the song is converted.
    file.format = formatForFileName(track.filePath);
    if (!file.format || !formatInfo(*file.format).converted())
        file.leftOut = LeftOutReason::UnsupportedFormat;
    return file;
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
    d.durationMs = int(std::clamp<qint64>(track.lengthMs, 0, std::numeric_limits<int>::max()));
    d.albumArtist = track.albumArtist;
    d.genre = track.genre;
    d.discNumber = track.discNumber;
    d.year = track.year;
    d.isCompilation = track.compilation;
    d.format = file.format;
    d.isProtected = file.leftOut == LeftOutReason::Protected;
    d.isReadable = file.format.has_value();
    d.leftOut = file.leftOut;
    if (file.format)
        d.pictureSource = coverPlace(*file.format);
    if (file.leftOut == LeftOutReason::None)
        d.handedOver = true;
    return d;
}

} // namespace medialibrary::ipod

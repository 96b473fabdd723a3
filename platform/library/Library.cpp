#include "platform/library/Library.h"

#include "platform/foundation/PathString.h"

#include <sys/stat.h>

namespace medialibrary {

OutputTags OutputTags::of(const MediaItem& item)
{
    OutputTags t;
    t.title = item.title();
    t.artist = item.artist();
    t.album = item.albumTitle();
    t.albumArtist = item.albumArtist();
    t.genre = item.genre();
    t.track = item.albumTrackNumber();
    t.disc = item.discNumber();
    t.year = item.year();
    t.compilation = item.isCompilation();
    return t;
}

bool Library::isAvailable() const
{
    struct stat info {};
    return ::stat(path::native(root()).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString fileForURL(const Url& url, const Library* library)
{
    if (url.isFileURL())
        return url.path();
    return library ? library->fileForAssetURL(url) : QString();
}

} // namespace medialibrary

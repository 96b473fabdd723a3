#include "platform/foundation/Error.h"

#include "platform/foundation/Localization.h"

QString Error::plainWords() const
{
    const auto subject = [this](qsizetype i) { return subjects_.value(i); };
    switch (kind_) {
    case Kind::Other:
    case Kind::FolderNotMade:
        return detail_;
    case Kind::SongNotInLibrary:
        return L("the song is no longer in the music library");
    case Kind::FileGone:
        return L("the song's file is no longer there");
    case Kind::Truncated:
        return L("the song's file ends before its audio does");
    case Kind::Damaged:
        return L("the song's file is damaged, or holds audio that cannot be copied as it is");
    case Kind::FormatChanged:
        return L("the song's file is no longer %1 but %2").arg(subject(0), subject(1));
    case Kind::NoLongerAudio:
        return L("the song's file is no longer %1, nor any audio Ripwell knows").arg(subject(0));
    case Kind::DiskFull:
        return L("the disk is full");
    case Kind::PermissionDenied:
        return L("permission to read the song or to write its file was denied");
    case Kind::Protected:
        return L("the song is copy-protected");
    case Kind::LibraryGone:
        return L("the iPod or disk that holds the music library is no longer there");
    case Kind::Cancelled:
    case Kind::Unfinished:
        return L("the conversion did not finish");
    }
    return detail_;
}

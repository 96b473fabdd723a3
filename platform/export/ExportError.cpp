#include "platform/export/ExportError.h"

#include "platform/foundation/Localization.h"

extern "C" {
#include <libavutil/error.h>
}

#include <cerrno>

QString ExportError::plainWords() const
{
    if (plain_)
        return reason_;
    const auto says = [this](const char* text) { return reason_.contains(QLatin1String(text), Qt::CaseInsensitive); };
    if (code_ == -1) {
        // The service's and the import's own checks: sentences already, but
        // for the few that name their internals.
        if (reason_.startsWith(QLatin1String("no readable song at")))
            return L("the song is no longer in the music library");
        if (says("Truncated"))
            return L("the song's file ends before its audio does");
        if (says("No space left"))
            return L("the disk is full");
        return reason_;
    }
    if (code_ == AVERROR(ENOSPC) || code_ == AVERROR(EDQUOT))
        return L("the disk is full");
    if (code_ == AVERROR(EACCES) || code_ == AVERROR(EROFS))
        return L("permission to read the song or to write its file was denied");
    if (code_ == AVERROR(ENOENT) && (failingCall_ == QLatin1String("open") || failingCall_ == QLatin1String("avformat_open_input")))
        return L("the song's file is no longer there");
    if (code_ == AVERROR_EOF || says("End of file"))
        return L("the song's file ends before its audio does");
    // What the reader makes of a file that is no whole song (a tag cut off
    // inside, say, reads as an invalid argument).
    const bool reading = failingCall_.startsWith(QLatin1String("avformat_")) || failingCall_.startsWith(QLatin1String("av_read"));
    if (code_ == AVERROR_INVALIDDATA || code_ == AVERROR_DECODER_NOT_FOUND || code_ == AVERROR_DEMUXER_NOT_FOUND ||
        code_ == AVERROR_STREAM_NOT_FOUND || code_ == AVERROR_PATCHWELCOME || (reading && code_ == AVERROR(EINVAL)))
        return L("the song's file is damaged, or holds audio that cannot be copied as it is");
    return reason_;
}

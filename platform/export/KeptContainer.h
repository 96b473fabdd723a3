#pragma once
// Internal to the remux: the songs that keep their container (FLAC, Ogg
// Vorbis, Opus, WavPack). Such a song's file is already what a rewrap would
// write (its frames or packets, granule positions, tags and pictures), so once
// it has shown itself whole it is copied as it is.

#include "platform/export/Remux.h"
#include "platform/foundation/Error.h"

#include <optional>

struct AVFormatContext;

namespace mediaexport {

// Checks the song opened as `input` (its audio the stream `audioIndex`, its
// file open as `sourceFd`) and copies its file to the job's destination,
// which it creates (then `*createdOutput` is true). Nothing when done, else
// why not; the caller removes what was created.
std::optional<Error> copyKeptContainer(AVFormatContext* input, int audioIndex, int sourceFd, const RemuxJob& job,
                                       bool* createdOutput);

// Shared with Remux.cpp: the error of a failed FFmpeg call, its kind told by
// the code and the call, its detail FFmpeg's words (and `more` after them) ...
Error ffmpegError(const char* call, int code, const QString& more = QString());
// ... or with a detail of our own.
Error ffmpegErrorSaying(const char* call, int code, const QString& detail);
// A copy that was stopped.
Error cancelled();

} // namespace mediaexport

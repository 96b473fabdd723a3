#pragma once
// Internal to the remux: the songs that keep their container, FLAC, Ogg
// Vorbis and Opus. Such a song's file is already what a rewrap would write
// (its frames or packets, granule positions, comments and pictures), so once
// it has shown itself whole it is copied as it is.

#include "platform/export/ExportError.h"
#include "platform/export/Remux.h"

#include <optional>

struct AVFormatContext;

namespace mediaexport {

bool isOgg(Container c);
bool keepsContainer(Container c);

// Checks the song opened as `input` (its audio the stream `audioIndex`, its
// file open as `sourceFd`) and copies its file to the job's destination,
// which it creates (then `*createdOutput` is true). On failure `*error` says
// why; the caller removes what was created.
RemuxResult copyKeptContainer(AVFormatContext* input, int audioIndex, int sourceFd, const RemuxJob& job,
                              bool* createdOutput, std::optional<ExportError>* error);

// Shared with Remux.cpp: the error of a failed FFmpeg call in FFmpeg's
// words, and the muxer a container is written with.
ExportError ffmpegError(const char* call, int code);
const char* muxerName(Container c);

} // namespace mediaexport

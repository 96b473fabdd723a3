#pragma once
// Stream copy of a song's audio into another container with libavformat: the
// samples are rewrapped, never decoded. Runs synchronously on the caller's
// thread; the export session runs it on the export service's thread.

#include "platform/export/ExportError.h"
#include "platform/library/AudioFormat.h"

#include <QString>
#include <functional>
#include <optional>

namespace mediaexport {

enum class Container {
    QuickTimeMovie, // "mov": the audio alone, so that "mdat" holds just the samples
    M4A,            // "ipod": tags and cover picture kept
    Wave,           // "wav": tags and cover picture written with TagLib afterwards
    Aiff,           // "aiff": tags and cover picture in an ID3 chunk
    // A song that keeps its container is checked whole and copied as it is:
    // its frames or packets, granule positions, comments and pictures.
    Flac,           // "flac"
    OggVorbis,      // "ogg"
    Opus,           // "opus"
};

struct RemuxJob {
    QString source;      // file to read
    // The format the source is expected to be in: the export fails when its
    // content says otherwise (nothing: not checked).
    std::optional<medialibrary::AudioFormat> sourceFormat;
    QString destination; // file to write; must not exist yet
    Container container = Container::M4A;
    // Asked between packets; true stops the copy.
    std::function<bool()> cancelled;
    // Called with the fraction done, 0.0 to 1.0, never falling.
    std::function<void(float)> progress;
};

enum class RemuxResult { Completed, Failed, Cancelled };

// Copies the source's audio stream into the destination. On failure `error`
// says which call failed and why; after a failure or a cancellation no file is
// left at the destination.
RemuxResult remux(const RemuxJob& job, std::optional<ExportError>* error);

} // namespace mediaexport

#pragma once
// Stream copy of a song's audio into another container with libavformat: the
// samples are rewrapped, never decoded. Runs synchronously on the caller's
// thread; the export session runs it on the export service's thread.

#include "platform/foundation/Error.h"
#include "platform/library/AudioFormat.h"

#include <QString>
#include <functional>
#include <optional>

namespace mediaexport {

struct RemuxJob {
    QString source;      // file to read
    // The format the source is expected to be in: the export fails when its
    // content says otherwise (nothing: not checked).
    std::optional<medialibrary::AudioFormat> sourceFormat;
    QString destination; // file to write; must not exist yet
    // The format of the file to write. Its row says how it is written: by its
    // muxer (for MP3, the QuickTime movie that holds the audio alone), or, for a
    // song that keeps its container, checked whole and copied as it is.
    medialibrary::AudioFormat output = medialibrary::AudioFormat::Mp4;
    // Asked between packets; true stops the copy.
    std::function<bool()> cancelled;
    // Called with the fraction done, 0.0 to 1.0, never falling.
    std::function<void(float)> progress;
};

// Copies the source's audio stream into the destination. Nothing when done;
// otherwise why not, an error of kind Cancelled when the copy was stopped.
// After a failure or a cancellation no file is left at the destination.
std::optional<Error> remux(const RemuxJob& job);

} // namespace mediaexport

#pragma once
// MediaImport: turns one song of the music library into one audio file.

#include "platform/foundation/Url.h"

#include <cstddef>

class MediaImport {
public:
    // Size of the one buffer through which a movie's audio payload is copied.
    static constexpr std::size_t kCopyBlockSize = 102400;

    // Copies the payload of the first top-level "mdat" atom of the QuickTime
    // movie at `movieURL`, byte for byte, into the file at `destinationURL`.
    // Returns true only when the destination received the whole payload.
    // Failures are logged under "extractQTMovie:toFile:". The destination is
    // created or emptied only once an "mdat" atom has been found.
    static bool extractQTMovie(const Url& movieURL, const Url& destinationURL);
};

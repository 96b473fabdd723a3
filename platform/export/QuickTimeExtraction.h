#pragma once
// The audio payload of a QuickTime movie: the first top-level "mdat" atom's
// payload, copied byte for byte into a file of its own. The MP3 path of the
// import writes the song's MPEG frames unchanged into a movie and takes them
// out again with this. Only the atoms at the top level are walked; none is
// entered, nothing past the first "mdat" is read, no other type is known.

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <optional>

namespace mediaexport {

// Size of the one buffer through which the payload is copied.
constexpr std::size_t kPayloadCopyBlockSize = 102400;

// Copies the payload of the movie at `moviePath`, after `prefix`, into
// `destinationPath`, which is opened with O_CREAT, O_NOFOLLOW and
// `createFlags` (O_TRUNC to empty a file there, O_EXCL for a fresh one) only
// once an "mdat" atom has been found. Nothing when the whole payload arrived;
// otherwise why not, its detail one of the texts "Could not open source
// file", "Did not find mdat chunk", "Could not open destination file",
// "Truncated mdat chunk" and "Could not write destination file".
std::optional<Error> extractMoviePayload(const QString& moviePath, const QString& destinationPath,
                                         const QByteArray& prefix, int createFlags);

} // namespace mediaexport

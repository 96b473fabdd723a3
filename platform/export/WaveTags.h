#pragma once
// Internal to the remux: a song's tags and cover as the remux carries them,
// and how they go into a WAV. The wav muxer takes a single stream, so a WAV's
// tags and cover go in after the copy: a LIST/INFO chunk and an ID3 chunk,
// both appended behind the audio.

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace mediaexport {

struct Tags {
    QString title, artist, album;
    QByteArray cover;
    QString coverMime;
};

// Writes the tags and cover into the WAV at `path` (nothing when there are none).
std::optional<Error> tagWave(const QString& path, const Tags& tags);

} // namespace mediaexport

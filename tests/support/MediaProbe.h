#pragma once
// Reads songs back for the tests: audio packets, tags, covers, atoms.

#include <QByteArray>
#include <cstdint>
#include <QString>
#include <vector>

namespace mediaprobe {

struct Probe {
    bool opened = false;
    QString container;               // libavformat's demuxer name
    QString codec;                   // the audio stream's codec
    std::vector<QByteArray> packets; // the audio stream's packets, in order
    QByteArray audio() const;        // the packets joined
    QString title, artist, album;    // the file's tags, else the audio stream's (Ogg)
    QByteArray cover;                // the attached picture's bytes
    double seconds = 0.0;            // the length libavformat states
    // With `decode`: the samples the packets decode to (every channel, as
    // the decoder gives them, trimmed as the stream says), and how many.
    QByteArray decoded;
    std::int64_t decodedSamples = 0;
};

// Opens `path` with libavformat and reads it whole; decodes it too when asked.
Probe probe(const QString& path, bool decode = false);

// The payload of the first top-level "mdat" atom, or an empty array.
QByteArray mdatPayload(const QString& path);

// The file's bytes after its leading ID3v2 tag.
QByteArray afterId3v2(const QString& path);

} // namespace mediaprobe

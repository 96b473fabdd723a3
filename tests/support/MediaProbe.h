#pragma once
// Reads songs back for the tests: audio packets, tags, covers, atoms.

#include <QByteArray>
#include <QString>
#include <vector>

namespace mediaprobe {

struct Probe {
    bool opened = false;
    QString container;               // libavformat's demuxer name
    QString codec;                   // the audio stream's codec
    std::vector<QByteArray> packets; // the audio stream's packets, in order
    QByteArray audio() const;        // the packets joined
    QString title, artist, album;
    QByteArray cover;                // the attached picture's bytes
};

// Opens `path` with libavformat and reads it whole.
Probe probe(const QString& path);

// The payload of the first top-level "mdat" atom, or an empty array.
QByteArray mdatPayload(const QString& path);

// The file's bytes after its leading ID3v2 tag.
QByteArray afterId3v2(const QString& path);

} // namespace mediaprobe

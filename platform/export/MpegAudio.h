#pragma once
// MPEG audio frame headers, as far as the export needs them: the length of a
// frame, and whether a frame is the Xing/Info/VBRI frame that encoders put
// before the audio to carry the song's length and gapless information; and
// the ID3v2 tag an MP3 output starts with.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace mpegaudio {

struct FrameHeader {
    int version = 0;         // 1 (MPEG-1), 2 (MPEG-2) or 25 (MPEG-2.5)
    int layer = 0;           // 1, 2 or 3
    int bitRate = 0;         // bits per second
    int sampleRate = 0;      // Hz
    bool mono = false;
    int frameLength = 0;     // bytes, header included
    int samplesPerFrame = 0;
};

// Decodes the 4-byte header at `p`. False for anything that is not the header
// of a frame of known length (free-format frames included).
bool parseHeader(const std::uint8_t* p, std::size_t available, FrameHeader* out);

// True when the frame at `frame` (of `length` bytes, header `h`) carries a
// "Xing", "Info" or "VBRI" tag.
bool isVbrInfoFrame(const std::uint8_t* frame, std::size_t length, const FrameHeader& h);

// Looks for a Xing/Info/VBRI frame that ends exactly at the end of `data`, the
// bytes just before the first frame that a demuxer returned. Gives its offset
// in `data`, or -1.
std::ptrdiff_t findVbrInfoFrameEndingAt(const std::uint8_t* data, std::size_t size);

// The ID3v2 tag an MP3 output starts with: the tag of the MP3 file at
// `sourcePath` (title, artist, album, cover and the rest), or one made of its
// other tags (ID3v1, APE). Empty when the source has none.
QByteArray id3v2TagFor(const QString& sourcePath);

} // namespace mpegaudio

#include "platform/export/MpegAudio.h"

#include "platform/foundation/PathString.h"

#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tfilestream.h>
#include <taglib/tag.h>

#include <cstring>

namespace mpegaudio {

namespace {

// Kilobits per second by [MPEG-1 ? 0 : 1][layer - 1][index].
constexpr int kBitRates[2][3][15] = {
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    },
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    },
};
constexpr int kSampleRates[3] = {44100, 48000, 32000};

// The longest frame of any version and layer (layer II, 384 kbit/s, 32 kHz,
// padded) with room to spare.
constexpr std::size_t kMaxFrameLength = 2048;

} // namespace

bool parseHeader(const std::uint8_t* p, std::size_t available, FrameHeader* out)
{
    if (available < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitRateIndex = (p[2] >> 4) & 15;
    const int sampleRateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15 || sampleRateIndex == 3)
        return false;

    FrameHeader h;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.layer = 4 - layerBits;
    h.bitRate = kBitRates[h.version == 1 ? 0 : 1][h.layer - 1][bitRateIndex] * 1000;
    h.sampleRate = kSampleRates[sampleRateIndex] / (h.version == 1 ? 1 : h.version == 2 ? 2 : 4);
    const int padding = (p[2] >> 1) & 1;
    h.mono = ((p[3] >> 6) & 3) == 3;
    if (h.layer == 1) {
        h.samplesPerFrame = 384;
        h.frameLength = (12 * h.bitRate / h.sampleRate + padding) * 4;
    } else if (h.layer == 2 || h.version == 1) {
        h.samplesPerFrame = 1152;
        h.frameLength = 144 * h.bitRate / h.sampleRate + padding;
    } else {
        h.samplesPerFrame = 576;
        h.frameLength = 72 * h.bitRate / h.sampleRate + padding;
    }
    *out = h;
    return true;
}

bool isVbrInfoFrame(const std::uint8_t* frame, std::size_t length, const FrameHeader& h)
{
    // Xing and Info sit right after the side information of a layer III frame.
    const std::size_t sideInfo = h.version == 1 ? (h.mono ? 17 : 32) : (h.mono ? 9 : 17);
    const std::size_t xing = 4 + sideInfo;
    if (length >= xing + 4 &&
        (std::memcmp(frame + xing, "Xing", 4) == 0 || std::memcmp(frame + xing, "Info", 4) == 0))
        return true;
    // VBRI (Fraunhofer) always sits 32 bytes after the header.
    return length >= 36 + 4 && std::memcmp(frame + 36, "VBRI", 4) == 0;
}

std::ptrdiff_t findVbrInfoFrameEndingAt(const std::uint8_t* data, std::size_t size)
{
    const std::size_t first = size > kMaxFrameLength ? size - kMaxFrameLength : 0;
    for (std::size_t i = first; i + 4 <= size; ++i) {
        FrameHeader h;
        if (!parseHeader(data + i, size - i, &h))
            continue;
        if (static_cast<std::size_t>(h.frameLength) == size - i && isVbrInfoFrame(data + i, size - i, h))
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

QByteArray id3v2TagFor(const QString& sourcePath)
{
    // Opened for reading only: by its name alone TagLib would open the song
    // for writing too.
    TagLib::FileStream stream(path::native(sourcePath).constData(), true);
    if (!stream.isOpen())
        return {};
    TagLib::MPEG::File source(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!source.isValid())
        return {};
    TagLib::ByteVector rendered;
    if (source.hasID3v2Tag() && !source.ID3v2Tag()->isEmpty()) {
        rendered = source.ID3v2Tag()->render();
    } else {
        const TagLib::Tag* tags = source.tag();
        if (!tags || tags->isEmpty())
            return {};
        TagLib::ID3v2::Tag made;
        TagLib::Tag::duplicate(tags, &made, true);
        rendered = made.render();
    }
    return QByteArray(rendered.data(), static_cast<qsizetype>(rendered.size()));
}

} // namespace mpegaudio

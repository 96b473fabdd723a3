// MPEG audio frame headers and the Xing/Info/VBRI frame search on arbitrary
// bytes. The input is copied to a buffer of its exact size, so that a read
// past its end is caught.
#include "platform/export/MpegAudio.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    const std::uint8_t* p = bytes.data();
    for (std::size_t at = 0; at < size; ++at) {
        mpegaudio::FrameHeader h;
        if (!mpegaudio::parseHeader(p + at, size - at, &h))
            continue;
        if (h.frameLength < 4 || h.samplesPerFrame <= 0 || h.sampleRate <= 0 || h.bitRate <= 0)
            std::abort();
        if (std::size_t(h.frameLength) <= size - at)
            mpegaudio::isVbrInfoFrame(p + at, std::size_t(h.frameLength), h);
    }
    const std::ptrdiff_t found = mpegaudio::findVbrInfoFrameEndingAt(p, size);
    if (found < -1 || found >= std::ptrdiff_t(size) + (size == 0 ? 1 : 0))
        std::abort();
    return 0;
}

#include "platform/export/MpegAudio.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using mpegaudio::FrameHeader;

TEST(MpegAudio, FrameLengths)
{
    struct Row {
        std::uint8_t b[4];
        int version, layer, bitRate, sampleRate, length, samples;
    } rows[] = {
        {{0xFF, 0xFB, 0x90, 0x44}, 1, 3, 128000, 44100, 417, 1152},  // the usual MP3
        {{0xFF, 0xFB, 0x92, 0x44}, 1, 3, 128000, 44100, 418, 1152},  // padded
        {{0xFF, 0xF3, 0x84, 0xC4}, 2, 3, 64000, 24000, 192, 576},    // MPEG-2, mono
        {{0xFF, 0xE3, 0x44, 0xC4}, 25, 3, 32000, 12000, 192, 576},   // MPEG-2.5
        {{0xFF, 0xFD, 0xE4, 0x00}, 1, 2, 384000, 48000, 1152, 1152},  // layer II
        {{0xFF, 0xFF, 0x10, 0x00}, 1, 1, 32000, 44100, 32, 384},     // layer I
    };
    for (const Row& r : rows) {
        FrameHeader h;
        ASSERT_TRUE(mpegaudio::parseHeader(r.b, 4, &h));
        EXPECT_EQ(h.version, r.version);
        EXPECT_EQ(h.layer, r.layer);
        EXPECT_EQ(h.bitRate, r.bitRate);
        EXPECT_EQ(h.sampleRate, r.sampleRate);
        EXPECT_EQ(h.frameLength, r.length);
        EXPECT_EQ(h.samplesPerFrame, r.samples);
    }
    const std::uint8_t bad[][4] = {
        {0xFF, 0xFB, 0x00, 0x44}, // free format
        {0xFF, 0xFB, 0xF0, 0x44}, // bit rate index 15
        {0xFF, 0xFB, 0x9C, 0x44}, // sample rate index 3
        {0xFF, 0xEB, 0x90, 0x44}, // reserved version
        {0xFF, 0xF9, 0x90, 0x44}, // reserved layer
        {0xFE, 0xFB, 0x90, 0x44}, // no sync
    };
    FrameHeader h;
    for (const auto& b : bad)
        EXPECT_FALSE(mpegaudio::parseHeader(b, 4, &h));
    EXPECT_FALSE(mpegaudio::parseHeader(rows[0].b, 3, &h));
}

TEST(MpegAudio, FindsTheInfoFrameThatEndsWhereTheAudioBegins)
{
    // ID3 padding, then a 417-byte "Info" frame, then the point where the
    // demuxer's first packet starts.
    std::vector<std::uint8_t> bytes(300, 0);
    std::vector<std::uint8_t> frame(417, 0);
    const std::uint8_t header[] = {0xFF, 0xFB, 0x90, 0x44};
    std::memcpy(frame.data(), header, 4);
    std::memcpy(frame.data() + 36, "Info", 4);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    EXPECT_EQ(mpegaudio::findVbrInfoFrameEndingAt(bytes.data(), bytes.size()), 300);

    // A mono MPEG-1 frame carries "Xing" 21 bytes in; Fraunhofer's "VBRI" sits at 36.
    std::memcpy(frame.data() + 36, "\0\0\0\0", 4);
    frame[3] = 0xC4;
    std::memcpy(frame.data() + 21, "Xing", 4);
    EXPECT_EQ(mpegaudio::findVbrInfoFrameEndingAt(frame.data(), frame.size()), 0);
    std::memcpy(frame.data() + 21, "\0\0\0\0", 4);
    std::memcpy(frame.data() + 36, "VBRI", 4);
    EXPECT_EQ(mpegaudio::findVbrInfoFrameEndingAt(frame.data(), frame.size()), 0);

    // An ordinary audio frame, or an Info frame that does not end at the end, is not it.
    std::memcpy(frame.data() + 36, "\0\0\0\0", 4);
    EXPECT_EQ(mpegaudio::findVbrInfoFrameEndingAt(frame.data(), frame.size()), -1);
    std::memcpy(frame.data() + 36, "Info", 4);
    frame.push_back(0);
    EXPECT_EQ(mpegaudio::findVbrInfoFrameEndingAt(frame.data(), frame.size()), -1);
    EXPECT_EQ(mpegaudio::findVbrInfoFrameEndingAt(frame.data(), 0), -1);
}

} // namespace

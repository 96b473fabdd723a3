#pragma once
// Encodes generated PCM into an audio file with libavcodec and libavformat.

#include <QString>
#include <cstdint>
#include <vector>

namespace songgen {

// Interleaved stereo 16-bit samples, at 44.1 kHz unless the format wants another rate.
constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;

struct EncodeSpec {
    const char* muxer;        // libavformat muxer name: "mp3", "ipod", "wav", "aiff", "flac", "ogg", "opus", "wv"
    const char* encoder;      // libavcodec encoder name: "libmp3lame", "aac", "alac", "pcm_s16le", "libopus", …
    std::int64_t bitRate = 0; // 0: the encoder's default (or VBR where vbrQuality is set)
    int vbrQuality = -1;      // LAME VBR quality 0..9; -1 for constant bit rate
    int sampleRate = kSampleRate; // Opus takes 48 kHz
};

// Writes `pcm` (at spec.sampleRate) to `path` as `spec` says. Returns an
// empty string on success, else what went wrong.
QString encode(const QString& path, const EncodeSpec& spec, const std::vector<std::int16_t>& pcm);

// A short tune, the same for the same seed, length and sample rate.
std::vector<std::int16_t> synthesize(std::uint32_t seed, double seconds, int sampleRate = kSampleRate);

} // namespace songgen

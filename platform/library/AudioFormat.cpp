#include "platform/library/AudioFormat.h"

#include "platform/foundation/PathString.h"

#include <cstring>

namespace medialibrary {

const std::vector<AudioFormatInfo>& audioFormats()
{
    // The export file types of the first four are those of the phone's export
    // service; the MIME types are what a mail program plays the attachment by.
    static const std::vector<AudioFormatInfo> table = {
        {AudioFormat::Mp3, "MP3", {"mp3"}, "mp3", "com.apple.quicktime-movie", "audio/mpeg", TagCarrier::Id3v2, true},
        {AudioFormat::Mp4, "M4A", {"m4a", "m4p", "m4b", "mp4"}, "m4a", "com.apple.m4a-audio", "audio/aac",
         TagCarrier::Mp4Atoms, true},
        {AudioFormat::Wave, "WAV", {"wav", "wave"}, "wav", "com.microsoft.waveform-audio", "audio/wav",
         TagCarrier::RiffInfo, true},
        {AudioFormat::Aiff, "AIFF", {"aif", "aiff", "aifc"}, "aif", "public.aiff-audio", "audio/aiff",
         TagCarrier::Id3v2, true},
        {AudioFormat::Flac, "FLAC", {"flac"}, "flac", "org.xiph.flac", "audio/flac", TagCarrier::VorbisComment, true},
        {AudioFormat::OggVorbis, "Ogg Vorbis", {"ogg", "oga"}, "ogg", "org.xiph.ogg-vorbis", "audio/ogg",
         TagCarrier::VorbisComment, true},
        {AudioFormat::Opus, "Opus", {"opus"}, "opus", "org.xiph.opus", "audio/opus", TagCarrier::VorbisComment, true},
        {AudioFormat::OggOther, "Ogg", {}, "ogg", nullptr, "audio/ogg", TagCarrier::VorbisComment, false},
        {AudioFormat::Wma, "WMA", {"wma"}, "wma", nullptr, "audio/x-ms-wma", TagCarrier::None, false},
        {AudioFormat::Ape, "Monkey's Audio", {"ape"}, "ape", nullptr, "audio/x-ape", TagCarrier::None, false},
        {AudioFormat::WavPack, "WavPack", {"wv"}, "wv", nullptr, "audio/x-wavpack", TagCarrier::None, false},
        {AudioFormat::Musepack, "Musepack", {"mpc"}, "mpc", nullptr, "audio/x-musepack", TagCarrier::None, false},
        {AudioFormat::AacAdts, "AAC", {"aac"}, "aac", nullptr, "audio/aac", TagCarrier::None, false},
    };
    return table;
}

const AudioFormatInfo& formatInfo(AudioFormat format)
{
    return audioFormats()[static_cast<std::size_t>(format)];
}

std::optional<AudioFormat> formatForFileName(const QString& fileName)
{
    const QString extension = path::extension(fileName).toLower();
    if (extension.isEmpty())
        return std::nullopt;
    for (const AudioFormatInfo& info : audioFormats())
        if (info.extensions.contains(extension))
            return info.format;
    return std::nullopt;
}

std::optional<AudioFormat> formatForOutputExtension(const QString& extension)
{
    for (const AudioFormatInfo& info : audioFormats())
        if (info.converted && extension.compare(QLatin1String(info.outputExtension), Qt::CaseInsensitive) == 0)
            return info.format;
    return std::nullopt;
}

namespace {

// The length of an ID3v2 tag at the start of `head`, its header (and footer)
// included; 0 when there is none.
qint64 id3v2Length(const QByteArray& head)
{
    if (head.size() < 10 || !head.startsWith("ID3"))
        return 0;
    const auto b = [&](int i) { return static_cast<unsigned char>(head[i]); };
    for (int i = 6; i < 10; ++i)
        if (b(i) & 0x80)
            return 0; // not a syncsafe size: no tag
    const qint64 size = (qint64(b(6)) << 21) | (qint64(b(7)) << 14) | (qint64(b(8)) << 7) | b(9);
    return 10 + size + ((b(5) & 0x10) ? 10 : 0);
}

// The format the bytes at a file's start (or just after its ID3v2 tag) name.
std::optional<AudioFormat> recogniseHead(const QByteArray& head)
{
    const auto n = static_cast<std::size_t>(head.size());
    const auto is = [&](std::size_t at, const char* text, std::size_t len) {
        return n >= at + len && std::memcmp(head.constData() + at, text, len) == 0;
    };
    const auto starts = [&](std::size_t at, const char* text) { return is(at, text, std::strlen(text)); };
    const auto byte = [&](std::size_t at) { return at < n ? static_cast<unsigned char>(head[qsizetype(at)]) : 0u; };

    if (starts(0, "RIFF") && starts(8, "WAVE"))
        return AudioFormat::Wave;
    if (starts(0, "FORM") && (starts(8, "AIFF") || starts(8, "AIFC")))
        return AudioFormat::Aiff;
    if (starts(0, "fLaC"))
        return AudioFormat::Flac;
    if (starts(4, "ftyp"))
        return AudioFormat::Mp4;
    if (starts(0, "OggS") && n >= 27) {
        // The first page holds the first packet, which names the codec.
        const std::size_t packet = 27 + byte(26);
        if (is(packet, "\x01vorbis", 7))
            return AudioFormat::OggVorbis;
        if (starts(packet, "OpusHead"))
            return AudioFormat::Opus;
        return AudioFormat::OggOther;
    }
    if (is(0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8))
        return AudioFormat::Wma;
    if (starts(0, "MAC "))
        return AudioFormat::Ape;
    if (starts(0, "wvpk"))
        return AudioFormat::WavPack;
    if (starts(0, "MPCK") || starts(0, "MP+"))
        return AudioFormat::Musepack;
    if (byte(0) == 0xFF && (byte(1) & 0xF6) == 0xF0)
        return AudioFormat::AacAdts; // an ADTS header: the MPEG sync with layer 0
    if (byte(0) == 0xFF && (byte(1) & 0xE0) == 0xE0)
        return AudioFormat::Mp3;
    return std::nullopt;
}

constexpr qint64 kHeadLength = 64;

} // namespace

std::optional<AudioFormat> recogniseFormat(const ByteReader& read, const QString& fileName)
{
    const QByteArray head = read(0, kHeadLength);
    const qint64 tag = id3v2Length(head);
    if (tag == 0)
        return recogniseHead(head);
    // An ID3v2 tag: what follows it decides, a FLAC stream or MPEG frames.
    const QByteArray after = read(tag, kHeadLength);
    if (std::optional<AudioFormat> format = recogniseHead(after))
        return format;
    return formatForFileName(fileName) == AudioFormat::Flac ? AudioFormat::Flac : AudioFormat::Mp3;
}

std::optional<AudioFormat> recogniseFormat(const QByteArray& file, const QString& fileName)
{
    return recogniseFormat([&file](qint64 at, qint64 length) { return file.mid(at, length); }, fileName);
}

} // namespace medialibrary

#include "platform/library/AudioFormat.h"

#include "platform/foundation/PathString.h"

#include <cstring>

namespace medialibrary {

namespace {

// ---- Recognition by the first bytes -----------------------------------------

bool holds(const QByteArray& head, qsizetype at, const char* text, qsizetype length)
{
    return head.size() >= at + length && std::memcmp(head.constData() + at, text, std::size_t(length)) == 0;
}

bool startsWith(const QByteArray& head, qsizetype at, const char* text)
{
    return holds(head, at, text, qsizetype(std::strlen(text)));
}

unsigned byteAt(const QByteArray& head, qsizetype at)
{
    return at < head.size() ? static_cast<unsigned char>(head[at]) : 0u;
}

// Where an Ogg stream's first packet begins (it names the codec); -1 for no Ogg.
qsizetype firstOggPacket(const QByteArray& head)
{
    return startsWith(head, 0, "OggS") && head.size() >= 27 ? 27 + qsizetype(byteAt(head, 26)) : -1;
}

bool isWave(const QByteArray& h) { return startsWith(h, 0, "RIFF") && startsWith(h, 8, "WAVE"); }
bool isAiff(const QByteArray& h) { return startsWith(h, 0, "FORM") && (startsWith(h, 8, "AIFF") || startsWith(h, 8, "AIFC")); }
bool isFlac(const QByteArray& h) { return startsWith(h, 0, "fLaC"); }
bool isMp4(const QByteArray& h) { return startsWith(h, 4, "ftyp"); }
bool isOggVorbis(const QByteArray& h)
{
    const qsizetype packet = firstOggPacket(h);
    return packet >= 0 && holds(h, packet, "\x01vorbis", 7);
}
bool isOpus(const QByteArray& h)
{
    const qsizetype packet = firstOggPacket(h);
    return packet >= 0 && startsWith(h, packet, "OpusHead");
}
bool isOggOther(const QByteArray& h) { return firstOggPacket(h) >= 0 && !isOggVorbis(h) && !isOpus(h); }
bool isWma(const QByteArray& h) { return holds(h, 0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8); }
bool isApe(const QByteArray& h) { return startsWith(h, 0, "MAC "); }
bool isWavPack(const QByteArray& h) { return startsWith(h, 0, "wvpk"); }
bool isMusepack(const QByteArray& h) { return startsWith(h, 0, "MPCK") || startsWith(h, 0, "MP+"); }
// An ADTS header: the MPEG sync with layer 0.
bool isAacAdts(const QByteArray& h) { return byteAt(h, 0) == 0xFF && (byteAt(h, 1) & 0xF6) == 0xF0; }
bool isMp3(const QByteArray& h) { return byteAt(h, 0) == 0xFF && (byteAt(h, 1) & 0xE0) == 0xE0 && !isAacAdts(h); }

// A row of a format that is listed, never converted.
AudioFormatInfo listedOnly(AudioFormat format, const char* key, const char* name, QStringList extensions,
                           bool (*recognises)(const QByteArray&), const char* outputExtension, const char* mimeType)
{
    return {.format = format,
            .key = key,
            .name = name,
            .extensions = std::move(extensions),
            .recognises = recognises,
            .outputExtension = outputExtension,
            .mimeType = mimeType,
            .tagFile = TagFile::Any,
            .method = ExportMethod::None,
            .exportFileType = nullptr,
            .demuxer = nullptr,
            .muxer = nullptr,
            .muxerOptions = nullptr,
            .keptCodec = nullptr,
            .whole = WholeCheck::None,
            .headersSuffice = false,
            .tagCopy = TagCopy::None};
}

// ---- The table ---------------------------------------------------------------

std::vector<AudioFormatInfo> makeTable()
{
    // The export file types of the first four are those of the phone's export
    // service; the MIME types are what a mail program plays the attachment by.
    std::vector<AudioFormatInfo> table = {
        {.format = AudioFormat::Mp3, .key = "mp3", .name = "MP3", .extensions = {"mp3"}, .recognises = isMp3,
         .outputExtension = "mp3", .mimeType = "audio/mpeg", .tagFile = TagFile::Mpeg,
         .method = ExportMethod::ThroughMovie, .exportFileType = "com.apple.quicktime-movie", .demuxer = "mp3",
         .muxer = "mov", .muxerOptions = nullptr, .keptCodec = nullptr, .whole = WholeCheck::None,
         .headersSuffice = false, .tagCopy = TagCopy::Id3v2Prefix},
        {.format = AudioFormat::Mp4, .key = "mp4", .name = "M4A", .extensions = {"m4a", "m4p", "m4b", "mp4"},
         .recognises = isMp4, .outputExtension = "m4a", .mimeType = "audio/aac", .tagFile = TagFile::Mp4,
         .method = ExportMethod::Remux, .exportFileType = "com.apple.m4a-audio", .demuxer = "mov", .muxer = "ipod",
         .muxerOptions = nullptr, .keptCodec = nullptr, .whole = WholeCheck::None, .headersSuffice = false,
         .tagCopy = TagCopy::Muxer},
        {.format = AudioFormat::Wave, .key = "wave", .name = "WAV", .extensions = {"wav", "wave"},
         .recognises = isWave, .outputExtension = "wav", .mimeType = "audio/wav", .tagFile = TagFile::RiffWave,
         .method = ExportMethod::Remux, .exportFileType = "com.microsoft.waveform-audio", .demuxer = "wav",
         .muxer = "wav", .muxerOptions = nullptr, .keptCodec = nullptr, .whole = WholeCheck::None,
         .headersSuffice = false, .tagCopy = TagCopy::AfterCopy},
        {.format = AudioFormat::Aiff, .key = "aiff", .name = "AIFF", .extensions = {"aif", "aiff", "aifc"},
         .recognises = isAiff, .outputExtension = "aif", .mimeType = "audio/aiff", .tagFile = TagFile::RiffAiff,
         .method = ExportMethod::Remux, .exportFileType = "public.aiff-audio", .demuxer = "aiff", .muxer = "aiff",
         .muxerOptions = "write_id3v2=1", .keptCodec = nullptr, .whole = WholeCheck::None, .headersSuffice = false,
         .tagCopy = TagCopy::Muxer},
        {.format = AudioFormat::Flac, .key = "flac", .name = "FLAC", .extensions = {"flac"}, .recognises = isFlac,
         .outputExtension = "flac", .mimeType = "audio/flac", .tagFile = TagFile::Flac,
         .method = ExportMethod::KeepContainer, .exportFileType = "org.xiph.flac", .demuxer = "flac",
         .muxer = "flac", .muxerOptions = nullptr, .keptCodec = "flac", .whole = WholeCheck::StatedLength,
         .headersSuffice = false, .tagCopy = TagCopy::InFile},
        {.format = AudioFormat::OggVorbis, .key = "ogg-vorbis", .name = "Ogg Vorbis", .extensions = {"ogg", "oga"},
         .recognises = isOggVorbis, .outputExtension = "ogg", .mimeType = "audio/ogg", .tagFile = TagFile::OggVorbis,
         .method = ExportMethod::KeepContainer, .exportFileType = "org.xiph.ogg-vorbis", .demuxer = "ogg",
         .muxer = "ogg", .muxerOptions = nullptr, .keptCodec = "vorbis", .whole = WholeCheck::LastPage,
         .headersSuffice = true, .tagCopy = TagCopy::InFile},
        {.format = AudioFormat::Opus, .key = "opus", .name = "Opus", .extensions = {"opus"}, .recognises = isOpus,
         .outputExtension = "opus", .mimeType = "audio/opus", .tagFile = TagFile::OggOpus,
         .method = ExportMethod::KeepContainer, .exportFileType = "org.xiph.opus", .demuxer = "ogg", .muxer = "opus",
         .muxerOptions = nullptr, .keptCodec = "opus", .whole = WholeCheck::LastPage, .headersSuffice = true,
         .tagCopy = TagCopy::InFile},
        {.format = AudioFormat::WavPack, .key = "wavpack", .name = "WavPack", .extensions = {"wv"},
         .recognises = isWavPack, .outputExtension = "wv", .mimeType = "audio/x-wavpack", .tagFile = TagFile::WavPack,
         .method = ExportMethod::KeepContainer, .exportFileType = "com.wavpack.wv", .demuxer = "wv", .muxer = "wv",
         .muxerOptions = nullptr, .keptCodec = "wavpack", .whole = WholeCheck::StatedLength,
         .headersSuffice = false, .tagCopy = TagCopy::InFile},
        listedOnly(AudioFormat::OggOther, "ogg", "Ogg", {}, isOggOther, "ogg", "audio/ogg"),
        listedOnly(AudioFormat::Wma, "wma", "WMA", {"wma"}, isWma, "wma", "audio/x-ms-wma"),
        listedOnly(AudioFormat::Ape, "ape", "Monkey's Audio", {"ape"}, isApe, "ape", "audio/x-ape"),
        listedOnly(AudioFormat::Musepack, "musepack", "Musepack", {"mpc"}, isMusepack, "mpc", "audio/x-musepack"),
        listedOnly(AudioFormat::AacAdts, "aac-adts", "AAC", {"aac"}, isAacAdts, "aac", "audio/aac"),
    };
    for (std::size_t i = 0; i < table.size(); ++i)
        Q_ASSERT(static_cast<std::size_t>(table[i].format) == i);
    return table;
}

} // namespace

const std::vector<AudioFormatInfo>& audioFormats()
{
    static const std::vector<AudioFormatInfo> table = makeTable();
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
        if (info.converted() && extension.compare(QLatin1String(info.outputExtension), Qt::CaseInsensitive) == 0)
            return info.format;
    return std::nullopt;
}

std::optional<AudioFormat> formatForExportFileType(const QString& fileType)
{
    for (const AudioFormatInfo& info : audioFormats())
        if (info.converted() && fileType == QLatin1String(info.exportFileType))
            return info.format;
    return std::nullopt;
}

std::optional<AudioFormat> formatForKey(const QString& key)
{
    for (const AudioFormatInfo& info : audioFormats())
        if (key == QLatin1String(info.key))
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
    for (const AudioFormatInfo& info : audioFormats())
        if (info.recognises(head))
            return info.format;
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

#pragma once
// The audio formats a music library holds, in one table. A row holds all a
// format needs: its file extensions, how its files are recognised by their
// first bytes, the file a converted song becomes (extension, MIME type), how
// the export writes it, how its tags and cover are read and carried over, and
// the name the library's index stores it under. The library, the export
// service, the command line, the mail helper, the index and the fuzz targets
// all ask here; nothing else knows a format by its extension or its place in
// the enum. Adding a format is adding its row.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace medialibrary {

enum class AudioFormat : quint8 {
    Mp3,
    Mp4,       // AAC or Apple Lossless in an MPEG-4 file (".m4a", the protected ".m4p")
    Wave,
    Aiff,
    Flac,
    OggVorbis,
    Opus,      // Opus in Ogg
    WavPack,
    // Read so that they are listed and counted, never converted:
    OggOther,  // FLAC, Speex or another codec in Ogg
    Wma,
    Ape,       // Monkey's Audio
    Musepack,
    AacAdts,   // AAC without a container
};

// How the export writes a song of the format.
enum class ExportMethod : quint8 {
    None,          // not converted: listed and counted only
    Remux,         // its audio rewrapped packet by packet by the format's muxer
    KeepContainer, // its file is already what a rewrap would write: shown whole, then copied as it is
    ThroughMovie,  // its audio into a QuickTime movie, whose payload then becomes the file
};

// How a song that keeps its container shows that it is whole.
enum class WholeCheck : quint8 {
    None,         // no check before the copy (a remux sees the end as it reads)
    LastPage,     // its Ogg stream ends with the stream's last page
    StatedLength, // its last frames reach the length its header states
};

// The TagLib file that reads the format's tags and finds its cover.
enum class TagFile : quint8 {
    Mpeg,      // ID3v2, then APE, then ID3v1; the cover in the ID3v2 tag
    Mp4,       // "ilst" atoms, the cover in "covr"
    RiffWave,  // the "id3 " chunk, then LIST/INFO; the cover in the former
    RiffAiff,  // the "ID3 " chunk
    Flac,      // Vorbis comment, ID3v2, ID3v1; PICTURE blocks, else an ID3v2 picture
    OggVorbis, // the comment header, the cover as METADATA_BLOCK_PICTURE
    OggOpus,   // the same in OpusTags
    WavPack,   // an APEv2 tag, the cover in its "Cover Art (Front)" item
    Any,       // whatever TagLib makes of the file: tags only, no cover
};

// How the export carries a song's tags and cover into its output.
enum class TagCopy : quint8 {
    None,         // not converted
    InFile,       // the file is copied as it is, tags and cover with it
    Muxer,        // title, artist and album by the muxer, the cover as an attached picture stream
    AfterCopy,    // a LIST/INFO and an ID3 chunk appended after the samples (the wav muxer takes one stream)
    Id3v2Prefix,  // an ID3v2 tag made from the song's, before the frames taken out of the movie
};

struct AudioFormatInfo {
    AudioFormat format;
    // The stable name the library's index stores the format under; never changes.
    const char* key;
    const char* name;        // for people: "MP3", "FLAC", "Ogg Vorbis" …
    QStringList extensions;  // lower case, without the dot; the first is the format's own
    // Whether a file's first 64 bytes (after an ID3v2 tag, where one comes
    // first) are of this format. No two rows take the same bytes.
    bool (*recognises)(const QByteArray& head);
    // What a converted song becomes: its file's extension (and the asset
    // URL's) and the MIME type a mail attachment is sent with.
    const char* outputExtension;
    const char* mimeType;
    TagFile tagFile;
    // The export: how it writes the song, under which output file type it is
    // asked for, the libavformat demuxer that reads such a song and the muxer
    // that writes such a file (for ThroughMovie: the movie's), options for that
    // muxer ("key=value" pairs joined by ':'), the codec its audio must be in to
    // keep its container, and how it is shown whole first.
    ExportMethod method;
    const char* exportFileType; // nullptr for formats that are not converted
    const char* demuxer;
    const char* muxer;
    const char* muxerOptions;
    const char* keptCodec;
    WholeCheck whole;
    // The stream headers tell all the export needs (codec, pictures): no
    // packet is looked into before the copy.
    bool headersSuffice;
    TagCopy tagCopy;

    bool converted() const { return method != ExportMethod::None; }
};

// Every row, in the order of the enum.
const std::vector<AudioFormatInfo>& audioFormats();
const AudioFormatInfo& formatInfo(AudioFormat format);

// The format a file name's extension names (case is ignored); nothing for a
// name no row lists.
std::optional<AudioFormat> formatForFileName(const QString& fileName);
// The converted format whose output extension `extension` is (an asset URL's,
// or a stored file's); nothing otherwise.
std::optional<AudioFormat> formatForOutputExtension(const QString& extension);
// The converted format whose export file type `fileType` is; nothing otherwise.
std::optional<AudioFormat> formatForExportFileType(const QString& fileType);
// The format stored under `key`; nothing for a key no row has.
std::optional<AudioFormat> formatForKey(const QString& key);

// Reads `length` bytes at offset `at` of a file (fewer at its end, none past it).
using ByteReader = std::function<QByteArray(qint64 at, qint64 length)>;

// The format of a file by its first bytes (after an ID3v2 tag, when one comes
// first); nothing when they are none of the table's. `fileName` breaks the
// one tie the bytes can leave: an ID3v2 tag before a FLAC stream, in a file
// that ends within the tag.
std::optional<AudioFormat> recogniseFormat(const ByteReader& read, const QString& fileName = QString());
// The same for a file held in memory.
std::optional<AudioFormat> recogniseFormat(const QByteArray& file, const QString& fileName = QString());

} // namespace medialibrary

#pragma once
// The audio formats a music library holds, in one table: per format its file
// extensions, how its files are recognised by their first bytes, the file it
// becomes (extension, container, export file type), its MIME type, how it
// carries tags and the cover, and whether Ripwell converts it. The library,
// the export service, the command line, the mail helper and the fuzz targets
// all ask here; nothing else compares extensions. Adding a format is one row
// here plus its tag policy in the export.

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
    // Read so that they are listed and counted, never converted:
    OggOther,  // FLAC, Speex or another codec in Ogg
    Wma,
    Ape,       // Monkey's Audio
    WavPack,
    Musepack,
    AacAdts,   // AAC without a container
};

// How a format carries its tags and cover picture.
enum class TagCarrier : quint8 {
    Id3v2,         // an ID3v2 tag (MP3 before the frames; AIFF in its "ID3 " chunk)
    Mp4Atoms,      // "ilst" atoms, the cover in "covr"
    RiffInfo,      // a LIST/INFO chunk or an "id3 " chunk, the cover in the latter
    VorbisComment, // Vorbis comments, the cover as a FLAC PICTURE block (in Ogg: METADATA_BLOCK_PICTURE)
    None,
};

struct AudioFormatInfo {
    AudioFormat format;
    const char* name;           // for people: "MP3", "FLAC", "Ogg Vorbis" …
    QStringList extensions;     // lower case, without the dot; the first is the format's own
    // What a converted song becomes: its file's extension (and the asset
    // URL's), the export file type and the MIME type of a mail attachment.
    const char* outputExtension;
    const char* exportFileType; // nullptr for formats that are not converted
    const char* mimeType;
    TagCarrier tags;
    bool converted;
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

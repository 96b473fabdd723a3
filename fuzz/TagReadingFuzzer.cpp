// The library's format recognition and tag reading on arbitrary song files.
// The first byte picks the row of the table of formats whose extension the
// file's name has; the rest is the file.
#include "platform/library/AudioFormat.h"
#include "platform/library/TagReading.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto& formats = medialibrary::audioFormats();
    if (size < 1)
        return 0;
    const medialibrary::AudioFormatInfo& named = formats[data[0] % formats.size()];
    const QString name = QStringLiteral("song.") + QLatin1String(named.outputExtension);
    const QByteArray song(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const auto info = medialibrary::tagreading::readData(song, name);
    // What the index promises of a song it read.
    if (!info.readable && (info.isProtected || !info.title.isNull() || !info.artist.isNull()))
        std::abort();
    // The format is the content's, whatever the name says (but for an ID3v2
    // tag that the file ends inside, where the name decides).
    if (info.format && medialibrary::recogniseFormat(song, name) != info.format)
        std::abort();
    // A converted song's asset URL names its format again.
    if (info.readable && info.format && medialibrary::formatInfo(*info.format).converted() &&
        medialibrary::formatForOutputExtension(QLatin1String(medialibrary::formatInfo(*info.format).outputExtension)) !=
            info.format)
        std::abort();
    return 0;
}

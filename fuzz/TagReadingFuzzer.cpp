// The library's format sniffing and tag reading on arbitrary song files. The
// first byte picks the file extension the reader is told, the rest is the file.
#include "platform/library/TagReading.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const char* const extensions[] = {"mp3", "m4a", "wav", "aif", "flac", "ogg", "opus", "m4p"};
    if (size < 1)
        return 0;
    const QString ext = QString::fromLatin1(extensions[data[0] % (sizeof extensions / sizeof *extensions)]);
    const QByteArray song(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const auto info = medialibrary::tagreading::readData(song, ext);
    // What the index promises of a song it read.
    if (!info.readable && (info.isProtected || !info.title.isNull() || !info.artist.isNull()))
        std::abort();
    if (info.formatExtension.isEmpty())
        std::abort();
    return 0;
}

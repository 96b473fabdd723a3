#include "platform/export/QuickTimeExtraction.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/PathString.h"

#include <cstdint>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace mediaexport {

namespace {

std::uint64_t bigEndian(const unsigned char* p, int bytes)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

struct MdatPayload {
    bool found = false;
    std::uint64_t length = 0; // bytes after the header; the file position is at its start
};

// Walks the top-level atoms from the file's start to the first "mdat".
// Every step moves forward, and a size that cannot describe an atom ends the
// walk, so the walk always ends.
MdatPayload findMdat(int movie, std::uint64_t fileSize)
{
    std::uint64_t atomStart = 0;
    for (;;) {
        unsigned char header[8];
        if (!fileio::readFully(movie, header, sizeof header))
            return {};
        const std::uint64_t size32 = bigEndian(header, 4);
        const bool isMdat = std::memcmp(header + 4, "mdat", 4) == 0;

        std::uint64_t size = size32;
        std::uint64_t headerLength = 8;
        if (size32 == 1) {
            unsigned char extended[8];
            if (!fileio::readFully(movie, extended, sizeof extended))
                return {};
            size = bigEndian(extended, 8);
            headerLength = 16;
            if (size < 16)
                return {};
        } else if (size32 == 0) {
            // Runs to the end of the file; only meaningful for "mdat".
            if (!isMdat)
                return {};
            const std::uint64_t payloadStart = atomStart + headerLength;
            return {true, fileSize > payloadStart ? fileSize - payloadStart : 0};
        } else if (size32 < 8) {
            return {};
        }

        if (isMdat)
            return {true, size - headerLength};

        // The next atom starts `size` bytes after this one. One that would
        // start past the end of the file means there is no next header.
        if (size > fileSize - atomStart)
            return {};
        atomStart += size;
        if (::lseek(movie, static_cast<off_t>(atomStart), SEEK_SET) < 0)
            return {};
    }
}

} // namespace

std::optional<Error> extractMoviePayload(const QString& moviePath, const QString& destinationPath,
                                         const QByteArray& prefix, int createFlags)
{
    const auto fail = [](const char* why, Error::Kind kind = Error::Kind::Other) {
        return Error(kind, QStringLiteral("extractQTMovie"), QString::fromLatin1(why));
    };
    // Plain descriptors: the payload goes from one to the other in the
    // kernel, or else a block at a time, one read() and one write() each.
    FileDescriptor movie(::open(path::native(moviePath).constData(), O_RDONLY | O_CLOEXEC));
    if (!movie)
        return fail("Could not open source file");

    struct stat info {};
    const std::uint64_t fileSize =
        ::fstat(movie.get(), &info) == 0 && info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;

    const MdatPayload mdat = findMdat(movie.get(), fileSize);
    if (!mdat.found)
        return fail("Did not find mdat chunk");

    FileDescriptor destination(::open(path::native(destinationPath).constData(),
                                      O_WRONLY | O_CREAT | O_NOFOLLOW | createFlags | O_CLOEXEC, 0666));
    if (!destination)
        return fail("Could not open destination file");

    bool writeFailed =
        !prefix.isEmpty() && !fileio::writeFully(destination.get(), prefix.constData(), static_cast<std::size_t>(prefix.size()));
    // A payload that runs past the end of the file is truncated: its whole
    // blocks are copied, then the copy fails.
    const off_t start = ::lseek(movie.get(), 0, SEEK_CUR);
    const std::uint64_t available = start >= 0 && fileSize > std::uint64_t(start) ? fileSize - std::uint64_t(start) : 0;
    bool truncated = available < mdat.length;
    const std::uint64_t length = truncated ? available / kPayloadCopyBlockSize * kPayloadCopyBlockSize : mdat.length;
    std::uint64_t copied = 0;
    if (!writeFailed) {
        fileio::Writeback writeback(destination.get());
        const bool whole =
            fileio::copyRange(movie.get(), destination.get(), length, kPayloadCopyBlockSize, &copied, &writeFailed, &writeback);
        truncated = writeFailed ? false : truncated || !whole; // a write that failed comes first
    }
    if (!destination.close())
        writeFailed = true;
    if (truncated)
        return fail("Truncated mdat chunk", Error::Kind::Truncated);
    if (writeFailed)
        return fail("Could not write destination file");
    return std::nullopt;
}

} // namespace mediaexport

#include "Classes/MediaImport.h"

#include "platform/foundation/Log.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr const char* kExtractOp = "extractQTMovie:toFile:";

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

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
MdatPayload findMdat(std::FILE* movie, std::uint64_t fileSize)
{
    std::uint64_t atomStart = 0;
    for (;;) {
        unsigned char header[8];
        if (std::fread(header, 1, sizeof header, movie) != sizeof header)
            return {};
        const std::uint64_t size32 = bigEndian(header, 4);
        const bool isMdat = std::memcmp(header + 4, "mdat", 4) == 0;

        std::uint64_t size = size32;
        std::uint64_t headerLength = 8;
        if (size32 == 1) {
            unsigned char extended[8];
            if (std::fread(extended, 1, sizeof extended, movie) != sizeof extended)
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
        if (::fseeko(movie, static_cast<off_t>(atomStart), SEEK_SET) != 0)
            return {};
    }
}

} // namespace

bool MediaImport::extractQTMovie(const Url& movieURL, const Url& destinationURL)
{
    const QByteArray moviePath = movieURL.path().toUtf8();
    FilePtr movie(std::fopen(moviePath.constData(), "rb"));
    if (!movie) {
        applog::error(kExtractOp, QStringLiteral("Could not open source file"));
        return false;
    }

    struct stat info {};
    const std::uint64_t fileSize =
        ::fstat(::fileno(movie.get()), &info) == 0 && info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;

    const MdatPayload mdat = findMdat(movie.get(), fileSize);
    if (!mdat.found) {
        movie.reset();
        applog::error(kExtractOp, QStringLiteral("Did not find mdat chunk"));
        return false;
    }

    const QByteArray destinationPath = destinationURL.path().toUtf8();
    FilePtr destination(std::fopen(destinationPath.constData(), "wb"));
    if (!destination) {
        movie.reset();
        applog::error(kExtractOp, QStringLiteral("Could not open destination file"));
        return false;
    }

    auto buffer = std::make_unique<unsigned char[]>(kCopyBlockSize);
    std::uint64_t remaining = mdat.length;
    bool truncated = false;
    bool writeFailed = false;
    while (remaining != 0) {
        const std::size_t block = remaining > kCopyBlockSize ? kCopyBlockSize : static_cast<std::size_t>(remaining);
        if (std::fread(buffer.get(), 1, block, movie.get()) != block) {
            truncated = true;
            break;
        }
        if (std::fwrite(buffer.get(), 1, block, destination.get()) != block) {
            writeFailed = true;
            break;
        }
        remaining -= block;
    }

    if (std::fclose(destination.release()) != 0)
        writeFailed = true;
    movie.reset();

    if (truncated) {
        applog::error(kExtractOp, QStringLiteral("Truncated mdat chunk"));
        return false;
    }
    if (writeFailed) {
        applog::error(kExtractOp, QStringLiteral("Could not write destination file"));
        return false;
    }
    return true;
}

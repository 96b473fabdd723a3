#include "platform/foundation/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

void FileDescriptor::reset(int fd)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

bool FileDescriptor::close()
{
    return fd_ < 0 || ::close(release()) == 0;
}

namespace fileio {

bool readFully(int fd, void* into, std::size_t size)
{
    auto* at = static_cast<unsigned char*>(into);
    while (size != 0) {
        const ssize_t n = ::read(fd, at, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeFully(int fd, const void* from, std::size_t size)
{
    const auto* at = static_cast<const unsigned char*>(from);
    while (size != 0) {
        const ssize_t n = ::write(fd, at, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool copyRange(int from, int to, std::uint64_t length, std::size_t blockSize, std::uint64_t* copied, bool* writeFailed,
               Writeback* writeback)
{
    bool inKernel = true;
    std::unique_ptr<unsigned char[]> buffer;
    const std::uint64_t step = writeback ? Writeback::kWritebackStep : std::uint64_t(1) << 30;
    while (*copied < length) {
        const std::uint64_t left = length - *copied;
        if (inKernel) {
            const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, std::size_t(std::min(left, step)), 0);
            if (n > 0) {
                *copied += std::uint64_t(n);
                if (writeback)
                    writeback->wrote(std::uint64_t(n));
                continue;
            }
            if (n == 0)
                return false; // `from` ended early
            if (errno == EINTR)
                continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EBADF &&
                errno != ETXTBSY && errno != EPERM) {
                *writeFailed = true;
                return true;
            }
            inKernel = false; // not between these two: through a buffer
            buffer = std::make_unique<unsigned char[]>(blockSize);
        }
        const std::size_t block = left > blockSize ? blockSize : std::size_t(left);
        if (!readFully(from, buffer.get(), block))
            return false;
        if (!writeFully(to, buffer.get(), block)) {
            *writeFailed = true;
            return true;
        }
        *copied += block;
        if (writeback)
            writeback->wrote(block);
    }
    return true;
}

void Writeback::wrote(std::uint64_t bytes)
{
    pending_ += bytes;
    if (pending_ < kWritebackStep || fd_ < 0)
        return;
    pending_ = 0;
    ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
}

} // namespace fileio

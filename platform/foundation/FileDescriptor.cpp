#include "platform/foundation/FileDescriptor.h"

#include <cerrno>
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

} // namespace fileio

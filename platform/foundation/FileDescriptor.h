#pragma once
// The one owner of a POSIX file descriptor, and the loops that read and write
// whole blocks through one. Everything that opens a file by descriptor keeps
// it in a FileDescriptor, so that no path closes it twice or not at all.

#include <cstddef>
#include <cstdint>
#include <utility>

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes the descriptor held (if any) and holds `fd` instead.
    void reset(int fd = -1);
    // Gives the descriptor up without closing it.
    int release() { return std::exchange(fd_, -1); }
    // Closes it now; false when close() reports an error (a write that did
    // not reach the disk, on some file systems).
    bool close();

private:
    int fd_ = -1;
};

namespace fileio {

// Reads `size` bytes at the file position; a signal or a short read does not
// end it early, only the end of the file or an error.
bool readFully(int fd, void* into, std::size_t size);

// Writes all `size` bytes; false on an error (or a write that writes nothing,
// as a full disk can).
bool writeFully(int fd, const void* from, std::size_t size);

// Copies from the position of `from` to that of `to` until `*copied`
// reaches `length`: in the kernel (copy_file_range), page cache to page
// cache, where the file systems allow it, and otherwise through a buffer,
// `blockSize` bytes at a time. False when `from` ends early; a failed write
// sets `*writeFailed` (errno says why) and returns true. With `writeback`,
// the copy goes a writeback step at a time and tells it each one.
class Writeback;
bool copyRange(int from, int to, std::uint64_t length, std::size_t blockSize, std::uint64_t* copied, bool* writeFailed,
               Writeback* writeback = nullptr);

// Counts what a writer wrote to `fd`, and every `kWritebackStep` bytes asks
// the kernel to start writing the file's pages to the device without
// waiting for them (sync_file_range): the device writes while the song is
// still being made, and the flush before the file takes its name waits only
// for the last of it. The step is small against a song (a few MB): a
// larger one leaves the device idle while most of a song is made, then the
// maker idle while the flush writes it. No flush by itself; where the file
// system has no such thing, nothing happens.
class Writeback {
public:
    static constexpr std::uint64_t kWritebackStep = 1024 * 1024;
    explicit Writeback(int fd = -1) : fd_(fd) {}
    void wrote(std::uint64_t bytes);

private:
    int fd_;
    std::uint64_t pending_ = 0;
};

} // namespace fileio

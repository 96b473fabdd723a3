// ripwell-plain-copy SRC DST: the floor every conversion is measured against.
// Every file under SRC is read once and written once, under a temporary name
// beside its place in DST, then renamed into place; no byte is parsed.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Copies in the kernel, page cache to page cache, where the file systems
// allow it (as cp does, and as the engine copies a FLAC, Ogg or Opus song);
// else through `buffer`, a page-aligned block, so that the floor is the best
// a plain copy in user space does.
bool copyFile(const fs::path& from, const fs::path& to, char* buffer, std::size_t size)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const fs::path temporary = to.parent_path() / ("." + to.filename().string() + ".copy");
    const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    bool ok = out >= 0;
    bool inKernel = true;
    while (ok) {
        ssize_t n = inKernel ? ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0) : -1;
        if (n < 0 && inKernel && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            inKernel = false;
            continue;
        }
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (inKernel) {
            ok = n > 0;
            continue;
        }
        n = ::read(in, buffer, size);
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = n < 0 ? -1 : ::write(out, buffer + done, static_cast<size_t>(n - done));
            ok = w > 0;
            done += w;
        }
    }
    ::close(in);
    if (out >= 0 && ::close(out) != 0)
        ok = false;
    return ok && ::rename(temporary.c_str(), to.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("Usage: ripwell-plain-copy SRC DST\n", stderr);
        return 2;
    }
    const fs::path source = argv[1];
    const fs::path destination = argv[2];
    // 256 kB blocks: the cheapest size here, where 1 MB writes now and then
    // cost several times the system time.
    constexpr std::size_t kBlock = 256 * 1024;
    char* buffer = static_cast<char*>(std::aligned_alloc(4096, kBlock));
    std::error_code error;
    int files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(source, error)) {
        if (!entry.is_regular_file() || entry.path().filename().string().front() == '.')
            continue;
        const fs::path to = destination / fs::relative(entry.path(), source);
        fs::create_directories(to.parent_path(), error);
        if (!copyFile(entry.path(), to, buffer, kBlock)) {
            std::fprintf(stderr, "ripwell-plain-copy: %s: %s\n", entry.path().c_str(), std::strerror(errno));
            return 1;
        }
        ++files;
    }
    std::free(buffer);
    std::printf("%d files\n", files);
    return 0;
}

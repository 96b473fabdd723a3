// ripwell-plain-copy SRC DST: the floor every conversion is measured against.
// Every file under SRC is read once and written once, under a temporary name
// beside its place in DST, then renamed into place; no byte is parsed.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool copyFile(const fs::path& from, const fs::path& to, std::vector<char>& buffer)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const fs::path temporary = to.parent_path() / ("." + to.filename().string() + ".copy");
    const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    bool ok = out >= 0;
    while (ok) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = n < 0 ? -1 : ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
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
    std::vector<char> buffer(256 * 1024);
    std::error_code error;
    int files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(source, error)) {
        if (!entry.is_regular_file() || entry.path().filename().string().front() == '.')
            continue;
        const fs::path to = destination / fs::relative(entry.path(), source);
        fs::create_directories(to.parent_path(), error);
        if (!copyFile(entry.path(), to, buffer)) {
            std::fprintf(stderr, "ripwell-plain-copy: %s: %s\n", entry.path().c_str(), std::strerror(errno));
            return 1;
        }
        ++files;
    }
    std::printf("%d files\n", files);
    return 0;
}

// ripwell-bench-extract MOVIE DEST: copies a QuickTime movie's audio payload
// into DEST, exactly as the import does for MP3 songs, and prints how long the
// copy took in milliseconds (the program's own start-up, loading the media
// libraries, is not part of it). Exit status 0 on success.
#include "Classes/MediaImport.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: ripwell-bench-extract MOVIE DEST\n");
        return 2;
    }
    const Url movie = Url::fileURLWithPath(QString::fromLocal8Bit(argv[1]));
    const Url destination = Url::fileURLWithPath(QString::fromLocal8Bit(argv[2]));
    const auto start = std::chrono::steady_clock::now();
    const bool ok = MediaImport::extractQTMovie(movie, destination);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("%.3f\n", took.count());
    return ok ? 0 : 1;
}

// ripwell-bench-extract MOVIE DEST: copies a QuickTime movie's audio payload
// into DEST, exactly as the import does for MP3 songs. Exit status 0 on success.
#include "Classes/MediaImport.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: ripwell-bench-extract MOVIE DEST\n");
        return 2;
    }
    const bool ok = MediaImport::extractQTMovie(Url::fileURLWithPath(QString::fromLocal8Bit(argv[1])),
                                                Url::fileURLWithPath(QString::fromLocal8Bit(argv[2])));
    return ok ? 0 : 1;
}

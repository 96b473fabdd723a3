// ripwell-bench-import: the import engine's benchmark driver.
//
//   ripwell-bench-import make DIR COUNT      writes COUNT songs of about 5 MB, mixed formats
//   ripwell-bench-import import SRC OUT      imports every song under SRC into OUT, one at a time
//
// "import" prints the number of songs, the failures and the seconds taken.
#include "Classes/MediaImport.h"
#include "platform/foundation/Log.h"
#include "tools/make_library/SongGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <future>

namespace {

struct Kind {
    songgen::Format format;
    double seconds; // about 5 MB of this format
};

// 16-bit stereo PCM takes 176.4 kB/s; MP3 at 320 kbit/s 40 kB/s; the ALAC of
// the generated tunes about 60 kB/s.
constexpr Kind kKinds[] = {
    {songgen::Format::Mp3Cbr, 125.0},
    {songgen::Format::Alac, 85.0},
    {songgen::Format::WavId3, 29.0},
    {songgen::Format::Aiff, 29.0},
};

int make(const QString& dir, int count)
{
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) {
        const Kind& k = kKinds[static_cast<std::size_t>(i) % std::size(kKinds)];
        songgen::Song s;
        s.format = k.format;
        s.artist = QStringLiteral("Bench Artist %1").arg(i % 7);
        s.album = QStringLiteral("Bench Album %1").arg(i % 5);
        s.title = QStringLiteral("Song %1").arg(i, 3, 10, QLatin1Char('0'));
        s.track = i % 12 + 1;
        s.path = QStringLiteral("%1/%2.%3").arg(dir, s.title, songgen::fileExtension(s.format));
        if (QFileInfo::exists(s.path))
            continue;
        QString error;
        if (!songgen::writeSong(s, static_cast<unsigned>(i), k.seconds, 320000, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    return 0;
}

int import(const QString& source, const QString& out)
{
    QStringList songs;
    QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        songs << it.next();
    songs.sort();
    QDir().mkpath(out);
    applog::setStderrEnabled(false);

    int failures = 0;
    QElapsedTimer timer;
    timer.start();
    for (const QString& song : songs) {
        std::promise<std::int32_t> done;
        MediaImport::create()->importAsset(Url::fileURLWithPath(song),
                                           Url::fileURLWithPath(out + QLatin1Char('/') + QFileInfo(song).fileName()),
                                           [&done](const std::shared_ptr<MediaImport>& w) { done.set_value(w->status()); });
        if (done.get_future().get() != 3)
            ++failures;
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::printf("songs %lld failures %d seconds %.3f\n", static_cast<long long>(songs.size()), failures, seconds);
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == u"make")
        return make(args[2], args[3].toInt());
    if (args.size() == 4 && args[1] == u"import")
        return import(args[2], args[3]);
    std::fprintf(stderr, "usage: ripwell-bench-import make DIR COUNT | import SRC OUT\n");
    return 2;
}

// ripwell-bench-ipod DIR [--songs N] [--rounds R]: how fast an iPod's songs
// are listed, from nothing (its database read by ripwell-read-ipod, every
// track's file looked at and made a media item, the index written) and from
// the index kept in the cache while the database is unchanged. Against libgpod's own
// itdb_parse of the same database in this process (the least any listing
// costs), in the same rounds.
//
// The iPod (N songs of four formats in albums of 12, a few distinct files of
// each format hard-linked under every track) is made once with libgpod into
// DIR/ipod and kept for later runs.

#include "platform/foundation/Log.h"
#include "platform/library/IpodDatabase.h"
#include "platform/library/IpodLibrary.h"
#include "platform/library/IpodTracks.h"
#include "tools/make_ipod/IpodMaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <gpod/itdb.h>
#include <sys/resource.h>

namespace {

double seconds(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e9;
}

// CPU seconds of this process and of its waited-for children so far.
double cpuSeconds()
{
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage use{};
        getrusage(who, &use);
        total += double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) + double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args[0].startsWith(u'-')) {
        std::fputs("usage: ripwell-bench-ipod DIR [--songs N] [--rounds R]\n", stderr);
        return 2;
    }
    int songs = 20000, rounds = 5;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--songs")
            songs = args[i + 1].toInt();
        else if (args[i] == "--rounds")
            rounds = std::max(1, args[i + 1].toInt());
    }
    const QString dir = QDir(args[0]).absolutePath();
    const QString ipod = dir + QStringLiteral("/ipod");
    const QString madeMark = dir + QStringLiteral("/made-%1").arg(songs);
    if (!QFile::exists(madeMark)) {
        QDir(dir).removeRecursively();
        std::printf("making an iPod of %d songs in %s (once)\n", songs, qPrintable(ipod));
        std::fflush(stdout);
        ipodmaker::Options options;
        using F = songgen::Format;
        options.tracks = ipodmaker::manySongs(songs, {F::Mp3Cbr, F::Aac, F::Alac, F::Flac});
        options.playlists = {{QStringLiteral("Favourites"), {0, 5, 10, 15, 20}}};
        options.distinctFiles = 10;
        options.seconds = 1;
        const ipodmaker::Made made = ipodmaker::makeIpod(ipod, options);
        if (!made.error.isEmpty()) {
            std::fprintf(stderr, "ripwell-bench-ipod: %s\n", qPrintable(made.error));
            return 1;
        }
        QFile mark(madeMark);
        mark.open(QIODevice::WriteOnly);
    }
    applog::setStderrEnabled(false); // the library's notes on each read
    g_log_set_default_handler(quiet, nullptr);
    g_set_print_handler([](const gchar*) {});

    std::vector<double> bare, read, examine, total, fromIndex, cpu, stamp;
    const QString index = dir + QStringLiteral("/index.sqlite");
    std::size_t listed = 0, leftOut = 0;
    const QByteArray mountPoint = QFile::encodeName(ipod);
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        Itdb_iTunesDB* db = itdb_parse(mountPoint.constData(), nullptr);
        const guint32 parsed = db ? itdb_tracks_number(db) : 0;
        itdb_free(db);
        bare.push_back(seconds(clock));
        if (int(parsed) != songs) {
            std::fprintf(stderr, "ripwell-bench-ipod: libgpod read %u tracks of %d\n", parsed, songs);
            return 1;
        }

        const double cpuBefore = cpuSeconds();
        clock.restart();
        const medialibrary::ipod::ReadResult result = medialibrary::ipod::readDatabase(ipod);
        read.push_back(seconds(clock));
        if (!result.database) {
            std::fprintf(stderr, "ripwell-bench-ipod: %s\n", qPrintable(result.error));
            return 1;
        }
        QElapsedTimer look;
        look.start();
        std::vector<medialibrary::MediaItem> items;
        items.reserve(result.database->tracks.size());
        leftOut = 0;
        for (const medialibrary::ipod::Track& t : result.database->tracks) {
            const medialibrary::ipod::TrackFile file = medialibrary::ipod::examineTrack(t);
            leftOut += file.leftOut != medialibrary::LeftOutReason::None;
            items.emplace_back(medialibrary::ipod::itemData(t, file, t.dbid));
        }
        examine.push_back(seconds(look));
        cpu.push_back(cpuSeconds() - cpuBefore);

        // The library as the programs open it: from nothing (the index made
        // anew), then from the index while the database is unchanged.
        QFile::remove(index);
        clock.restart();
        const auto fresh = medialibrary::IpodLibrary::open(ipod, index);
        total.push_back(seconds(clock));
        clock.restart();
        const auto kept = medialibrary::IpodLibrary::open(ipod, index);
        fromIndex.push_back(seconds(clock));
        if (!fresh.library || !kept.library || !kept.fromIndex || kept.library->items().size() != items.size()) {
            std::fprintf(stderr, "ripwell-bench-ipod: the library was not opened from its index\n");
            return 1;
        }
        listed = kept.library->items().size();

        clock.restart();
        if (!medialibrary::ipod::readStamp(ipod))
            return 1;
        stamp.push_back(seconds(clock));
    }
    QFile::remove(index);
    std::printf("listing %zu songs of an iPod from nothing: %.3f s (median of %d; target < 2 s), "
                "from its index: %.3f s (target < 0.5 s)\n",
                listed, median(total), rounds, median(fromIndex));
    std::printf("  the database read by ripwell-read-ipod: %.3f s; every file looked at, items made: %.3f s "
                "(%zu left out); %.3f s of CPU in both processes\n",
                median(read), median(examine), leftOut, median(cpu));
    std::printf("  libgpod's itdb_parse alone, in this process: %.3f s; the listing takes %.2fx that\n", median(bare),
                median(total) / median(bare));
    std::printf("  the database's stamp (the size and time of its %.1f MB file), as an index would check it: %.3f s\n",
                double(QFileInfo(medialibrary::ipod::databaseFile(ipod)).size()) / 1e6, median(stamp));
    return 0;
}

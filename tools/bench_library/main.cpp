// ripwell-bench-library DIR [--songs N]: how fast the music library is indexed
// and how fast the picker opens and scrolls over it.
// ripwell-bench-library DIR --during-scan [--songs N]: the picker opened while
// a large library is still being scanned, its search, stopping the scan, and
// the peak memory of it all.
// ripwell-bench-library DIR --make-distinct N: only writes a library of N
// short songs of the four first formats and FLAC as distinct files with
// titles of their own (once; kept for later runs), for the benchmarks of
// ripwell-cli.
// ripwell-bench-library DIR --index [--songs N]: the library's index over N
// distinct songs of every format: the first scan without an index (warm, and
// cold where the file cache can be dropped), the first start that writes the
// index, the rescan of an unchanged library and one with 100 changed songs.
// The index is the one ripwell-cli and the window app use for DIR (in
// $XDG_CACHE_HOME/ripwell/), left as the last rescan made it.
//
// Generates N short songs into DIR once (kept for later runs), indexes them
// once to warm the file cache, then reports the best of three timed scans,
// the time from creating the picker to its first painted screen, and how many
// pictures it loaded on opening and while scrolling through the whole list.

#include "platform/library/LibraryIndex.h"
#include "platform/library/MediaLibrary.h"
#include "platform/library/MediaPickerController.h"
#include "platform/ui/Window.h"
#include "tools/make_library/SongGenerator.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListView>
#include <QScrollBar>
#include <QThread>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

void spin(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

// `count` generated songs of a tenth of a second into DIR/0, of the
// `formats` in turn; none after saying why.
std::vector<songgen::Song> baseSongs(const QString& dir, int count, std::vector<songgen::Format> formats)
{
    songgen::Options options;
    options.songs = count;
    options.seconds = 0.1;
    options.formats = std::move(formats);
    QString error;
    std::vector<songgen::Song> made = songgen::makeLibrary(dir + QStringLiteral("/0"), options, &error);
    if (!error.isEmpty() || made.empty()) {
        std::fprintf(stderr, "ripwell-bench-library: %s\n", qPrintable(error));
        return {};
    }
    return made;
}

// A library of `songs` files: a few hundred generated songs, hard-linked
// under many folders (the tags repeat, the paths and ids do not).
bool makeLargeLibrary(const QString& dir, int songs)
{
    const QString marker = dir + QStringLiteral("/.linked-%1").arg(songs);
    if (QFile::exists(marker))
        return true;
    const int base = std::min(songs, 500);
    std::printf("generating %d songs, linked to %d files, into %s (once)...\n", base, songs, qPrintable(dir));
    std::fflush(stdout);
    const std::vector<songgen::Song> made =
        baseSongs(dir, base, {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::WavId3});
    if (made.empty())
        return false;
    for (int i = int(made.size()), copy = 1; i < songs; ++copy) {
        const QString folder = dir + QStringLiteral("/%1").arg(copy);
        QDir().mkpath(folder);
        for (std::size_t k = 0; k < made.size() && i < songs; ++k, ++i) {
            const QString link = folder + QStringLiteral("/%1-%2").arg(k).arg(QFileInfo(made[k].path).fileName());
            if (!QFile::exists(link) && ::link(QFile::encodeName(made[k].path).constData(), QFile::encodeName(link).constData()) != 0)
                return false;
        }
    }
    QFile(marker).open(QIODevice::WriteOnly);
    return true;
}

// A library of `songs` distinct files: a hundred generated songs of every
// format, copied with a title of their own each ("Morning Tide #37").
bool makeDistinctLibrary(const QString& dir, int songs,
                         std::vector<songgen::Format> formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac,
                                                                 songgen::Format::WavId3, songgen::Format::Aiff,
                                                                 songgen::Format::Flac})
{
    const QString marker = dir + QStringLiteral("/.distinct-%1").arg(songs);
    if (QFile::exists(marker))
        return true;
    std::printf("generating %d distinct songs into %s (once)...\n", songs, qPrintable(dir));
    std::fflush(stdout);
    const std::vector<songgen::Song> made = baseSongs(dir, std::min(songs, 100), std::move(formats));
    if (made.empty())
        return false;
    for (int i = int(made.size()), copy = 1; i < songs; ++copy) {
        const QString folder = dir + QStringLiteral("/%1").arg(copy);
        QDir().mkpath(folder);
        for (std::size_t k = 0; k < made.size() && i < songs; ++k, ++i) {
            const QString file = folder + u'/' + QFileInfo(made[k].path).fileName();
            if (!QFile::exists(file) && !QFile::copy(made[k].path, file))
                return false;
            TagLib::FileRef song(QFile::encodeName(file).constData(), false);
            if (song.isNull())
                return false;
            song.tag()->setTitle(TagLib::String((made[k].title + QStringLiteral(" #%1").arg(copy)).toStdString(),
                                                TagLib::String::UTF8));
            if (!song.save())
                return false;
        }
    }
    QFile(marker).open(QIODevice::WriteOnly);
    return true;
}

double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

int benchDuringScan(const QString& dir, int songs)
{
    if (!makeLargeLibrary(dir, songs))
        return 1;
    ui::Window window;
    window.makeKeyAndVisible();

    auto scan = medialibrary::LibraryScan::start(dir);
    while (scan->count() == 0 && !scan->isFinished())
        QThread::msleep(1);
    QElapsedTimer t;
    t.start();
    auto* picker = new medialibrary::MediaPickerController(medialibrary::MediaTypeAnyAudio, scan);
    picker->setAllowsPickingMultipleItems(true);
    window.addSubview(picker->view());
    window.grab();
    const double openMs = t.nsecsElapsed() / 1e6;
    std::printf("during scan: picker opened in %.1f ms with %d songs listed, scan %s (target < 300 ms)\n", openMs,
                picker->numberOfRows(), scan->isFinished() ? "already finished" : "still running");

    const QString word = picker->itemAtRow(0).artist().section(u' ', 0, 0);
    double worstSearchDuringScan = 0;
    int searches = 0;
    while (picker->isFillingIn()) {
        spin(50);
        t.restart();
        picker->setSearchText(searches % 2 ? QString() : word);
        worstSearchDuringScan = std::max(worstSearchDuringScan, t.nsecsElapsed() / 1e6);
        ++searches;
    }
    picker->setSearchText(QString());
    t.restart();
    picker->setSearchText(word);
    window.grab();
    const double searchMs = t.nsecsElapsed() / 1e6;
    std::printf("search: \"%s\" over %zu songs in %.1f ms, worst of %d searches during the scan %.1f ms "
                "(target < 100 ms)\n",
                qPrintable(word), scan->count(), searchMs, searches, worstSearchDuringScan);
    delete picker;

    // Quitting during a scan: from the request to the scan's end.
    auto again = medialibrary::LibraryScan::start(dir);
    while (again->count() < std::size_t(songs) / 10 && !again->isFinished())
        QThread::msleep(1);
    t.restart();
    again->cancel();
    std::printf("stop: scan stopped after %zu of %d songs in %.1f ms (target < 100 ms)\n", again->count(), songs,
                t.nsecsElapsed() / 1e6);
    std::printf("memory: peak %.0f MB (target < 250 MB)\n", peakMegabytes());
    return 0;
}

double secondsOf(const std::function<void()>& work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

// Drops the kernel's file cache; false where this machine does not let us.
bool dropFileCache()
{
    ::sync();
    QFile control(QStringLiteral("/proc/sys/vm/drop_caches"));
    return control.open(QIODevice::WriteOnly) && control.write("3\n") == 2 && control.flush();
}

int benchIndex(const QString& dir, int songs)
{
    using medialibrary::MediaLibrary;
    if (!makeDistinctLibrary(dir, songs,
                             {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::WavId3,
                              songgen::Format::Aiff, songgen::Format::Flac, songgen::Format::OggVorbis,
                              songgen::Format::Opus, songgen::Format::Protected}))
        return 1;
    const QString index = medialibrary::LibraryIndex::defaultPath(dir);
    if (index.isEmpty()) {
        std::fputs("ripwell-bench-library: no cache folder for the index (HOME unset)\n", stderr);
        return 1;
    }
    const auto rate = [](std::size_t n, double s) { return double(n) / s; };

    std::shared_ptr<const MediaLibrary> library = MediaLibrary::scan(dir); // warms the file cache
    const double warm = secondsOf([&] { library = MediaLibrary::scan(dir); });
    const std::size_t count = library->items().size();
    std::printf("first scan, no index, warm cache: %zu songs in %.3f s = %.0f songs/s (target >= 10000 songs/s)\n",
                count, warm, rate(count, warm));
    if (dropFileCache()) {
        const double cold = secondsOf([&] { library = MediaLibrary::scan(dir); });
        std::printf("first scan, no index, cold cache: %.3f s = %.0f songs/s\n", cold, rate(count, cold));
    } else {
        std::printf("first scan, no index, cold cache: not measured (the file cache cannot be dropped here)\n");
    }

    QFile::remove(index);
    const double writing = secondsOf([&] { library = MediaLibrary::scan(dir, {}, index); });
    std::printf("first start, writing the index: %.3f s = %.0f songs/s; index %.1f MB\n", writing,
                rate(count, writing), double(QFileInfo(index).size()) / 1e6);
    std::shared_ptr<const MediaLibrary> indexed;
    const double answer = secondsOf([&] { indexed = MediaLibrary::fromIndex(dir, index); });
    std::printf("next start, the library from its index: %zu songs in %.3f s\n", indexed ? indexed->items().size() : 0,
                answer);
    const double unchanged = secondsOf([&] { library = MediaLibrary::scan(dir, {}, index); });
    std::printf("rescan, nothing changed: %.3f s\n", unchanged);

    // 100 songs touched, spread over the library, as a tagger's batch leaves them.
    const std::vector<medialibrary::MediaItem>& items = library->items();
    const timespec now[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
    int touched = 0;
    for (std::size_t i = 0; i < items.size() && touched < 100; i += std::max<std::size_t>(1, items.size() / 100), ++touched)
        ::utimensat(AT_FDCWD, QFile::encodeName(items[i].filePath()).constData(), now, 0);
    const double changed = secondsOf([&] { library = MediaLibrary::scan(dir, {}, index); });
    std::printf("rescan, %d songs changed: %.3f s (target < 2 s)\n", touched, changed);
    return library->items().size() == count ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("Usage: ripwell-bench-library DIR [--songs N]\n", stderr);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    int songs = 10000;
    bool duringScan = false;
    for (int i = 2; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--songs" && i + 1 < argc)
            songs = QByteArray(argv[++i]).toInt();
        else if (QByteArray(argv[i]) == "--during-scan")
            duringScan = true;
    }
    if (duringScan)
        return benchDuringScan(dir, songs);
    for (int i = 2; i < argc; ++i)
        if (QByteArray(argv[i]) == "--index")
            return benchIndex(dir, songs);
    for (int i = 2; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--make-distinct")
            return makeDistinctLibrary(dir, QByteArray(argv[i + 1]).toInt()) ? 0 : 1;

    const QString marker = dir + QStringLiteral("/.generated-%1").arg(songs);
    if (!QFile::exists(marker)) {
        std::printf("generating %d songs into %s (once)...\n", songs, qPrintable(dir));
        std::fflush(stdout);
        songgen::Options options;
        options.songs = songs;
        options.seconds = 0.2;
        options.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::WavId3,
                           songgen::Format::Aiff, songgen::Format::Flac};
        QString error;
        songgen::makeLibrary(dir, options, &error);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "ripwell-bench-library: %s\n", qPrintable(error));
            return 1;
        }
        QFile(marker).open(QIODevice::WriteOnly);
    }

    // Index: one warming scan, then the best of three.
    auto library = medialibrary::MediaLibrary::scan(dir);
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        library = medialibrary::MediaLibrary::scan(dir);
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    const auto count = library->items().size();
    std::printf("index: %zu songs in %.3f s = %.0f songs/s (target >= 5000 songs/s)\n", count, best,
                double(count) / best);

    // Picker: creation to first painted screen.
    ui::Window window;
    window.makeKeyAndVisible();
    QElapsedTimer t;
    t.start();
    auto* picker = new medialibrary::MediaPickerController(medialibrary::MediaTypeAnyAudio, library);
    picker->setAllowsPickingMultipleItems(true);
    window.addSubview(picker->view());
    window.grab();
    const double openMs = t.nsecsElapsed() / 1e6;
    spin(300);
    const int loadsOnOpen = picker->artworkLoadsStarted();
    std::printf("picker: opened over %d songs in %.1f ms (target < 1000 ms); pictures loaded on opening: %d\n",
                picker->numberOfRows(), openMs, loadsOnOpen);

    // Scroll through the whole list, a screen at a time, painting each.
    QScrollBar* bar = picker->listView()->verticalScrollBar();
    const int page = picker->listView()->viewport()->height();
    int pages = 0;
    QElapsedTimer scroll;
    scroll.start();
    for (int v = 0; v <= bar->maximum(); v += page) {
        bar->setValue(v);
        window.grab();
        QCoreApplication::processEvents();
        ++pages;
    }
    const double perPage = scroll.nsecsElapsed() / 1e6 / std::max(pages, 1);
    spin(300);
    std::printf("picker: scrolled %d screens at %.2f ms each; pictures loaded: %d of %d songs\n", pages, perPage,
                picker->artworkLoadsStarted(), picker->numberOfRows());
    delete picker;
    return 0;
}

// ripwell-bench-library DIR [--songs N]: how fast the music library is indexed
// and how fast the picker opens and scrolls over it.
//
// Generates N short songs into DIR once (kept for later runs), indexes them
// once to warm the file cache, then reports the best of three timed scans,
// the time from creating the picker to its first painted screen, and how many
// pictures it loaded on opening and while scrolling through the whole list.

#include "platform/library/MediaLibrary.h"
#include "platform/library/MediaPickerController.h"
#include "platform/ui/Window.h"
#include "tools/make_library/SongGenerator.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QThread>
#include <cstdio>

namespace {

void spin(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
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
    if (argc >= 4 && QByteArray(argv[2]) == "--songs")
        songs = QByteArray(argv[3]).toInt();

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

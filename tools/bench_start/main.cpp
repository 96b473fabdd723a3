// ripwell-bench-start LIBRARY SONGS [--quit-during-rescan]: the window app's
// start over a library whose index an earlier start left, as a user meets it:
// the main window comes up, Select opens the picker at once, and the picker
// lists the library's songs. Prints, in seconds since the process started,
// when the picker listed all SONGS songs and when the rescan behind them (or,
// without an index, the scan) was done, and the peak memory of the process by then. With
// --quit-during-rescan the app quits as soon as the picker lists the songs,
// and the line says how long stopping the rescan took.
#include "Classes/ChooseSongViewController.h"
#include "Classes/RipwellAppDelegate.h"
#include "platform/foundation/Log.h"
#include "platform/library/MusicFolder.h"
#include "platform/library/MediaPickerController.h"
#include "platform/ui/Application.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cstdio>
#include <sys/resource.h>

namespace {

double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: ripwell-bench-start LIBRARY SONGS [--quit-during-rescan]\n");
        return 2;
    }
    const int songs = args[2].toInt();
    const bool quitEarly = args.contains(QStringLiteral("--quit-during-rescan"));
    qputenv("RIPWELL_LIBRARY", QFile::encodeName(args[1]));
    if (qEnvironmentVariableIsEmpty("RIPWELL_DOCUMENTS"))
        qputenv("RIPWELL_DOCUMENTS", QFile::encodeName(args[1] + QStringLiteral("-documents")));
    applog::setStderrEnabled(false);

    auto delegate = std::make_unique<RipwellAppDelegate>();
    ui::Application::sharedApplication()->setDelegate(delegate.get());
    delegate->application(ui::Application::sharedApplication(), {});
    delegate->ctrl()->selectMedia(nullptr); // the Select button
    auto* picker = dynamic_cast<medialibrary::MediaPickerController*>(delegate->ctrl()->modalViewController());
    if (!picker) {
        std::fprintf(stderr, "ripwell-bench-start: the picker did not open\n");
        return 1;
    }
    const auto seconds = [&] { return double(sinceStart.nsecsElapsed()) / 1e9; };
    while (picker->numberOfRows() < songs && seconds() < 60) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    picker->view()->grab(); // painted as the user sees it
    const double listed = seconds();
    const std::shared_ptr<medialibrary::MusicFolder> library = delegate->library();
    const bool rescanning = library->isRescanning();
    if (quitEarly) {
        QElapsedTimer stop;
        stop.start();
        ui::Application::sharedApplication()->setDelegate(nullptr);
        delegate.reset(); // quitting: the window goes, the rescan stops
        std::printf("listed %d songs at %.3f s; quit %s the rescan, stopped in %.1f ms\n", picker ? songs : 0, listed,
                    rescanning ? "during" : "after", double(stop.nsecsElapsed()) / 1e6);
        return 0;
    }
    // Done: the library read (and the index written) by the scan, not the index's.
    while ((library->isRescanning() || !library->loadedLibrary()) && seconds() < 60) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    QCoreApplication::processEvents();
    std::printf("listed %d songs at %.3f s; %s done at %.3f s with %d songs listed; peak %.0f MB\n", songs, listed,
                rescanning ? "rescan" : "scan", seconds(), picker->numberOfRows(), peakMegabytes());
    ui::Application::sharedApplication()->setDelegate(nullptr);
    delegate.reset();
    return 0;
}

// ripwell-bench-window LIBRARY DOCUMENTS: the window app's conversion of a
// whole library, as the user starts it: the main window with the main screen,
// the conversion screen presented over it and handed every song of LIBRARY.
// A 10 ms probe timer on the main loop measures how late the main thread
// answers while the run lasts.
//
// Prints one line: songs, failures, the seconds of the run (from the hand-over
// to the completion menu), the total seconds of the process up to then (less a
// pause that lets the window come up first, as it has when a user starts a
// run), and the probe's worst and 99th-percentile lateness in milliseconds.
// BENCH_DEBUG=1 also lists every probe that came more than 5 ms late.
#include "Classes/ChooseSongViewController.h"
#include "Classes/CompletedWorkViewController.h"
#include "Classes/RipwellAppDelegate.h"
#include "platform/foundation/Log.h"
#include "platform/library/MusicFolder.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/Application.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Tells the bench when the completion menu opens.
class BenchScreen : public CompletedWorkViewController {
public:
    using CompletedWorkViewController::CompletedWorkViewController;
    std::function<void()> offered;
    void completionOffered(std::uint32_t failedItemCount) override
    {
        CompletedWorkViewController::completionOffered(failedItemCount);
        if (offered)
            offered();
    }
};

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer processTime; // from start to the end of the run, less the settling pause
    processTime.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: ripwell-bench-window LIBRARY DOCUMENTS\n");
        return 2;
    }
    qputenv("RIPWELL_DOCUMENTS", QFile::encodeName(args[2]));
    qputenv("RIPWELL_LIBRARY", QFile::encodeName(args[1]));
    applog::setStderrEnabled(false);

    const auto library = medialibrary::MediaLibrary::scan(args[1], {args[2]});
    SelectionMap map;
    for (const auto& item : library->items())
        if (!item.assetURL().isEmpty())
            map.setObject(item, item.assetURL());

    auto delegate = std::make_unique<RipwellAppDelegate>(medialibrary::MusicFolder::holding(library));
    ui::Application::sharedApplication()->setDelegate(delegate.get());
    delegate->application(ui::Application::sharedApplication(), {});
    // The user starts a run from a window that is already on screen: let the
    // main screen come up and paint first.
    QElapsedTimer settling;
    settling.start();
    {
        QEventLoop settle;
        QTimer::singleShot(500, &settle, &QEventLoop::quit);
        settle.exec();
    }
    const qint64 settledNs = settling.nsecsElapsed();

    BenchScreen* screen = nullptr;
    QElapsedTimer runTime;
    // The probe: every 10 ms, how much later than asked did the main loop get to it?
    std::vector<double> lateness;
    QElapsedTimer sinceLast;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        lateness.push_back(std::max(0.0, static_cast<double>(sinceLast.nsecsElapsed()) / 1e6 - 10.0));
        if (qEnvironmentVariableIsSet("BENCH_DEBUG") && lateness.back() > 5)
            std::fprintf(stderr, "late %.1f ms at %.3f s (item %u)\n", lateness.back(), static_cast<double>(runTime.nsecsElapsed()) / 1e9, screen ? screen->currentItemIndex() : 0u);
        sinceLast.restart();
    });

    screen = new BenchScreen(delegate->library());
    double seconds = 0, total = 0;
    screen->offered = [&] {
        seconds = static_cast<double>(runTime.nsecsElapsed()) / 1e9;
        total = static_cast<double>(processTime.nsecsElapsed() - settledNs) / 1e9;
        probe.stop();
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    };
    delegate->ctrl()->presentModalViewController(screen, true);
    sinceLast.start();
    probe.start();
    runTime.start();
    screen->exportMedia(map);
    if (qEnvironmentVariableIsSet("BENCH_DEBUG"))
        std::fprintf(stderr, "exportMedia returned after %.1f ms\n", static_cast<double>(runTime.nsecsElapsed()) / 1e6);
    if (!screen->run().isFinished())
        app.exec();

    const std::uint32_t failures = screen->run().failedItemCount();
    std::sort(lateness.begin(), lateness.end());
    const double worst = lateness.empty() ? 0 : lateness.back();
    const double p99 = lateness.empty() ? 0 : lateness[lateness.size() * 99 / 100];
    std::printf("songs %lld failures %u seconds %.3f total %.3f probes %lld worst-lateness-ms %.1f p99-lateness-ms %.1f\n",
                static_cast<long long>(map.count()), failures, seconds, total, static_cast<long long>(lateness.size()),
                worst, p99);
    ui::Application::sharedApplication()->setDelegate(nullptr);
    delegate.reset();
    return failures == 0 ? 0 : 1;
}

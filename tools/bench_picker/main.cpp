// ripwell-bench-picker LIBRARY SONGS [--without-picker]: the window app's picker over a large
// library, as a user with a large library meets it, in a 1280×800 window: the
// app starts with the library's index (written first when missing), Select
// opens the picker, the user types a few search words letter by letter and
// deletes them again, scrolls through the list, and ticks and unticks every
// song. A 10 ms probe timer on the main loop measures how late the main
// thread answers meanwhile.
//
// Prints, one line each: how long the picker took from the click to a painted
// list of every song; each keystroke's filtering and repainting (median, 95th
// percentile and worst); the probe's worst lateness while typing, scrolling
// and ticking all (and when the rescan behind the index came in); how long
// ticking and unticking every song took; the process's peak memory.
#include "Classes/ChooseSongViewController.h"
#include "Classes/RipwellAppDelegate.h"
#include "platform/foundation/Log.h"
#include "platform/library/LibraryIndex.h"
#include "platform/library/MediaLibrary.h"
#include "platform/library/MediaPickerController.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <vector>

namespace {

double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double ms(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// A timer every 10 ms that notes how much later than asked each firing came.
class Probe {
public:
    Probe()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const double late = ms(sinceLast_) - 10.0;
            if (late > 40 && qEnvironmentVariableIsSet("BENCH_DEBUG"))
                std::fprintf(stderr, "probe %.1f ms late\n", late);
            worst_ = std::max(worst_, late);
            sinceLast_.restart();
        });
    }
    void start()
    {
        worst_ = 0;
        sinceLast_.start();
        timer_.start();
    }
    double stop()
    {
        timer_.stop();
        return std::max(0.0, worst_);
    }

private:
    QTimer timer_;
    QElapsedTimer sinceLast_;
    double worst_ = 0;
};

// Runs the event loop while `step` answers true, calling it every `interval` ms.
void every(int interval, const std::function<bool()>& step)
{
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!step())
            loop.quit();
    });
    timer.start(interval);
    loop.exec();
}

void spin(int milliseconds)
{
    every(milliseconds, [] { return false; });
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5))];
}

void press(QWidget* target, int key, const QString& text = {})
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &down);
    QCoreApplication::sendEvent(target, &up);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool withoutPicker = args.size() == 4 && args[3] == QStringLiteral("--without-picker");
    if (args.size() != 3 && !withoutPicker) {
        std::fprintf(stderr, "usage: ripwell-bench-picker LIBRARY SONGS [--without-picker]\n");
        return 2;
    }
    const QString library = args[1];
    const int songs = args[2].toInt();
    qputenv("RIPWELL_LIBRARY", QFile::encodeName(library));
    if (qEnvironmentVariableIsEmpty("RIPWELL_DOCUMENTS"))
        qputenv("RIPWELL_DOCUMENTS", QFile::encodeName(library + QStringLiteral("-documents")));
    applog::setStderrEnabled(false);

    const QString index = medialibrary::LibraryIndex::defaultPath(library);
    // Written once, and again after a change of its layout: an index the
    // program cannot take would have it scan from nothing, which is another
    // figure than the one measured here.
    if (!QFile::exists(index)) {
        std::printf("writing the index of %s (once)...\n", qPrintable(library));
        std::fflush(stdout);
    }
    medialibrary::MediaLibrary::scan(library, {}, index);

    // The start, as the program makes it; the window at a desktop's size.
    auto delegate = std::make_unique<RipwellAppDelegate>();
    ui::Application::sharedApplication()->setDelegate(delegate.get());
    delegate->application(ui::Application::sharedApplication(), {});
    ui::Window* window = delegate->window();
    window->resize(1280, 800);
    spin(300); // the window on screen, the welcome message in
    const bool debug = qEnvironmentVariableIsSet("BENCH_DEBUG");
    if (debug)
        std::fprintf(stderr, "memory after the start: %.0f MB\n", peakMegabytes());

    if (withoutPicker) {
        QElapsedTimer rescan;
        rescan.start();
        while (delegate->library()->isRescanning() && rescan.elapsed() < 120000)
            spin(20);
        spin(500);
        std::printf("memory without the picker: peak %.0f MB (the start over the index and its rescan)\n",
                    peakMegabytes());
        ui::Application::sharedApplication()->setDelegate(nullptr);
        delegate.reset();
        return 0;
    }

    // Select: the picker, until its list is painted with every song.
    QElapsedTimer open;
    open.start();
    delegate->ctrl()->selectButton()->click();
    auto* picker = dynamic_cast<medialibrary::MediaPickerController*>(delegate->ctrl()->modalViewController());
    if (!picker) {
        std::fprintf(stderr, "ripwell-bench-picker: the picker did not open\n");
        return 1;
    }
    const double clickMs = ms(open);
    while (picker->numberOfRows() < songs && open.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double listedMs = ms(open);
    picker->view()->repaint();
    if (debug)
        std::fprintf(stderr, "open: click %.1f ms, listed %.1f ms, painted %.1f ms; memory %.0f MB\n", clickMs, listedMs,
                     ms(open), peakMegabytes());
    const double openMs = ms(open);
    const int listed = picker->numberOfRows();

    // The rescan behind the index comes in while the picker is open.
    Probe probe;
    probe.start();
    QElapsedTimer rescan;
    rescan.start();
    while (delegate->library()->isRescanning() && rescan.elapsed() < 120000)
        spin(20);
    spin(200);
    const double rescanLate = probe.stop();
    if (debug)
        std::fprintf(stderr, "memory after the rescan: %.0f MB\n", peakMegabytes());
    spin(1200); // the slide-in long over, the first pictures loaded

    // Typing: each word letter by letter, then deleted, a key every 120 ms.
    QLineEdit* search = picker->searchField();
    search->setFocus();
    const QStringList words{QStringLiteral("okafor"), QStringLiteral("bridges 417"), QStringLiteral("train")};
    std::vector<double> keystrokes;
    int fewest = listed;
    probe.start();
    for (const QString& word : words) {
        QStringList keys;
        for (QChar c : word)
            keys << QString(c);
        for (qsizetype i = 0; i < word.size(); ++i)
            keys << QString(); // Backspace
        qsizetype next = 0;
        every(120, [&] {
            if (next == keys.size())
                return false;
            const QString key = keys[next++];
            QElapsedTimer t;
            t.start();
            press(search, key.isEmpty() ? Qt::Key_Backspace : Qt::Key_unknown, key);
            const double filtered = ms(t);
            window->repaint();
            keystrokes.push_back(ms(t));
            if (debug)
                std::fprintf(stderr, "key \"%s\" -> \"%s\": %d rows, filtered %.1f ms, painted %.1f ms\n",
                             qPrintable(key), qPrintable(search->text()), picker->numberOfRows(), filtered, ms(t));
            fewest = std::min(fewest, picker->numberOfRows());
            return true;
        });
    }
    const double typingLate = probe.stop();
    const bool searched = search->text().isEmpty() && picker->numberOfRows() == listed && fewest < listed;

    // Scrolling: three rows every 16 ms, repainting, for 2 s.
    QScrollBar* bar = picker->listView()->verticalScrollBar();
    probe.start();
    QElapsedTimer scrolling;
    scrolling.start();
    every(16, [&] {
        bar->setValue(bar->value() + 3 * medialibrary::MediaPickerController::kRowHeight);
        window->repaint();
        return scrolling.elapsed() < 2000;
    });
    const double scrollLate = probe.stop();

    // Tick all, then untick all, with the button, each until painted.
    probe.start();
    spin(50);
    QElapsedTimer tick;
    tick.start();
    picker->tickAllButton()->click();
    window->repaint();
    const double tickMs = ms(tick);
    const int ticked = picker->numberOfCheckedItems();
    spin(50);
    tick.restart();
    picker->untickAllButton()->click();
    window->repaint();
    const double untickMs = ms(tick);
    spin(50);
    const double tickLate = probe.stop();

    std::printf("picker: %d songs listed and painted %.0f ms after Select (target < 1000 ms)\n", listed, openMs);
    std::printf("typing: %zu keystrokes over \"%s\", each word typed and deleted: filter and repaint median %.1f ms, "
                "p95 %.1f ms, worst %.1f ms (target p95 < 50 ms)%s\n",
                keystrokes.size(), qPrintable(words.join(QStringLiteral("\", \""))), percentile(keystrokes, 0.5),
                percentile(keystrokes, 0.95), percentile(keystrokes, 1.0), searched ? "" : " [THE SEARCH DID NOT FILTER]");
    std::printf("main loop, worst lateness of a 10 ms probe: typing %.1f ms, scrolling %.1f ms, ticking all %.1f ms "
                "(target < 100 ms); while the rescan behind the index came in %.1f ms\n",
                typingLate, scrollLate, tickLate, rescanLate);
    std::printf("tick all: %d songs ticked in %.1f ms, unticked in %.1f ms (target < 500 ms)\n", ticked, tickMs,
                untickMs);
    std::printf("memory: peak %.0f MB (target < 350 MB)\n", peakMegabytes());
    ui::Application::sharedApplication()->setDelegate(nullptr);
    delegate.reset();
    return listed == songs && ticked > 0 && searched ? 0 : 1;
}

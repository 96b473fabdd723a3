// ripwell-bench-files DIR [--files N]: how fast the stored-files browser
// opens over a folder of N files and what scrolling through it costs.
//
// Writes N empty song files into DIR/Documents once (kept for later runs),
// then reports, for three openings, the time from creating the browser to its
// first painted screen, and for one scroll through the whole list a screen at
// a time, the time per screen and the most cell widgets the table held.

#include "Classes/FileManagerViewController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QScrollBar>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("Usage: ripwell-bench-files DIR [--files N]\n", stderr);
        return 2;
    }
    int count = 10000;
    if (argc >= 4 && QByteArray(argv[2]) == "--files")
        count = QByteArray(argv[3]).toInt();
    const QString docs = QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("Documents-%1").arg(count));
    const QString marker = docs + QStringLiteral(".done");
    if (!QFile::exists(marker)) {
        std::printf("writing %d files into %s (once)...\n", count, qPrintable(docs));
        std::fflush(stdout);
        QDir().mkpath(docs);
        for (int i = 0; i < count; ++i) {
            QFile f(QDir(docs).filePath(QStringLiteral("Track %1.mp3").arg(i, 5, 10, QLatin1Char('0'))));
            if (!f.open(QIODevice::WriteOnly)) {
                std::fprintf(stderr, "ripwell-bench-files: cannot write %s\n", qPrintable(f.fileName()));
                return 1;
            }
        }
        QFile(marker).open(QIODevice::WriteOnly);
    }
    qputenv("RIPWELL_DOCUMENTS", QFile::encodeName(docs));

    ui::Window window;
    window.makeKeyAndVisible();
    auto* host = new ui::ViewController;
    window.addSubview(host->view());
    window.grab();

    double best = 1e9;
    double worst = 0;
    FileManagerViewController* browser = nullptr;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        browser = new FileManagerViewController;
        host->presentModalViewController(browser, false);
        window.grab();
        const double ms = t.nsecsElapsed() / 1e6;
        best = std::min(best, ms);
        worst = std::max(worst, ms);
        if (run < 2) {
            host->dismissModalViewControllerAnimated(false);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    ui::TableView* table = browser->tableView();
    std::printf("files: opened over %d rows in %.1f ms best, %.1f ms worst of 3 (target < 200 ms); "
                "cell widgets: %d\n",
                table->numberOfRowsInSection(0), best, worst, table->numberOfCellWidgets());

    QScrollBar* bar = table->verticalScrollBar();
    const int page = table->viewport()->height();
    int pages = 0;
    int mostCells = 0;
    const auto widgetsBefore = QApplication::allWidgets().size();
    QElapsedTimer scroll;
    scroll.start();
    qint64 layoutNs = 0;
    for (int v = 0; v <= bar->maximum(); v += page) {
        QElapsedTimer step;
        step.start();
        bar->setValue(v);
        layoutNs += step.nsecsElapsed();
        window.grab();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        mostCells = std::max(mostCells, table->numberOfCellWidgets());
        ++pages;
    }
    std::printf("files: scrolled %d screens at %.2f ms each (%.2f ms of it building the rows); most cell widgets "
                "at once: %d for %d rows\n",
                pages, scroll.nsecsElapsed() / 1e6 / std::max(pages, 1), layoutNs / 1e6 / std::max(pages, 1),
                mostCells, table->numberOfRowsInSection(0));
    std::printf("files: widgets in the application before scrolling %lld, after %lld\n",
                static_cast<long long>(widgetsBefore), static_cast<long long>(QApplication::allWidgets().size()));
    delete host;
    return 0;
}

// ripwell-cli: converts songs of a music library from a terminal, with the
// same import and conversion run as the window app.

#include "Classes/ConversionRun.h"
#include "Classes/OutputNaming.h"
#include "Classes/OutputRecord.h"
#include "Classes/SelectionMap.h"
#include "cli/CliOptions.h"
#include "platform/export/ExportService.h"
#include "platform/foundation/Documents.h"
#include "platform/foundation/DocumentsLock.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PathString.h"
#include "platform/foundation/Timing.h"
#include "platform/library/MediaLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSocketNotifier>
#include <QTextStream>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <future>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t kConfirmFrom = 26; // batches this large are confirmed first
constexpr int kInterruptedStatus = 130;

// SIGINT and SIGTERM: the first one asks the run to stop cleanly (the song
// under way is cancelled and its temporary files removed); a second one ends
// the program at once (the next run removes what is left).
volatile std::sig_atomic_t g_interrupted = 0;
int g_signalPipe[2] = {-1, -1};

extern "C" void onInterrupt(int signal)
{
    if (g_interrupted) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_interrupted = 1;
    const char byte = 1;
    const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    (void)written;
}

void installInterruptHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a blocking read of the answer returns
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void printErr(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

int terminalWidth()
{
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 10)
        return ws.ws_col;
    return 80;
}

// Shows the run on stderr: a progress bar redrawn in place on a terminal,
// plain lines otherwise.
class TerminalDisplay : public ConversionDisplay {
public:
    TerminalDisplay(bool tty, bool verbose) : tty_(tty), verbose_(verbose) {}
    void attach(ConversionRun* run) { run_ = run; }

    void progress(float itemFraction) override
    {
        percent_ = cli::batchPercent(run_->currentItemIndex(), itemFraction,
                                     static_cast<unsigned>(run_->mediaItems().count()));
        redraw();
    }

    void currentItem() override
    {
        const std::uint32_t index = run_->currentItemIndex();
        if (index == shownIndex_)
            return;
        shownIndex_ = index;
        const auto item = run_->itemAtIndex(index);
        artist_ = cli::printable(item.artist());
        title_ = cli::printable(item.displayTitle());
        redraw();
    }

    void itemEnded(std::uint32_t index, ItemResult result) override
    {
        const auto item = run_->itemAtIndex(index);
        if (result == ItemResult::UpToDate) {
            ++upToDateCount_;
            if (verbose_) {
                clearLine();
                printErr(L("up to date: %1").arg(nameOf(item)) + u'\n');
                redraw();
            }
            return;
        }
        const bool converted = result == ItemResult::Converted;
        convertedCount_ += converted ? 1 : 0;
        if (!tty_) {
            // One line per song when the output is a file or a pipe.
            printErr(QStringLiteral("[%1/%2] %3\n")
                         .arg(QString::number(index + 1), QString::number(run_->mediaItems().count()),
                              converted ? nameOf(item) : L("failed: %1").arg(nameOf(item))));
            return;
        }
        if (converted)
            return;
        clearLine();
        printErr(L("failed: %1").arg(nameOf(item)) + u'\n');
        redraw();
    }

    void runEnded(std::uint32_t) override
    {
        percent_ = 100;
        redraw();
        if (tty_ && drawn_)
            printErr(QStringLiteral("\n"));
        drawn_ = false;
        ended_ = true;
    }

    void completionOffered(std::uint32_t) override { QCoreApplication::exit(0); }

    // A log line from the import, shown above the progress bar.
    void logLine(const QString& line)
    {
        // The run's own lines say what itemEnded() shows already.
        if (!verbose_ && (line.startsWith(QLatin1String("[DEBUG]")) ||
                          (line.startsWith(QLatin1String("[ERROR] [conversionLoop]")) &&
                           !line.contains(QLatin1String("Could not create folder")))))
            return;
        clearLine();
        printErr(cli::printable(line) + u'\n'); // lines carry titles: no raw control characters
        redraw();
    }

private:
public:
    static QString nameOf(const medialibrary::MediaItem& item)
    {
        return cli::printable(item.artist().isEmpty() ? item.displayTitle()
                                                      : QStringLiteral("%1 – %2").arg(item.artist(), item.displayTitle()));
    }

private:
    void clearLine()
    {
        if (tty_ && drawn_)
            printErr(QStringLiteral("\r\033[K"));
    }

    void redraw()
    {
        if (!tty_ || !run_ || ended_)
            return;
        const unsigned count = static_cast<unsigned>(run_->mediaItems().count());
        const unsigned number = std::min(run_->currentItemIndex() + 1, count);
        printErr(QStringLiteral("\r\033[K") + cli::progressLine(percent_, number, count, artist_, title_, terminalWidth() - 1));
        drawn_ = true;
    }

public:
    std::size_t convertedCount_ = 0;
    std::size_t upToDateCount_ = 0;

private:
    bool tty_;
    bool verbose_;
    ConversionRun* run_ = nullptr;
    int percent_ = 0;
    std::uint32_t shownIndex_ = ConversionRun::kNoItem;
    QString artist_, title_;
    bool drawn_ = false;
    bool ended_ = false;
};

// The song's format, or why it is left out.
QString formatOf(const medialibrary::MediaItem& item)
{
    // The list is tab-separated for scripts: the reason keeps its one spelling.
    const QString reason = cli::leftOutReason(item);
    return reason.isEmpty() ? item.assetURL().pathExtension() : reason;
}

// Whether the C library's rules pick English for messages: LC_ALL, else
// LC_MESSAGES, else LANG; unset, "C" and "POSIX" (with any codeset) mean the
// untranslated texts, whatever LANGUAGE says.
bool messagesInPlainC()
{
    QByteArray name;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        name = qgetenv(variable);
        if (!name.isEmpty())
            break;
    }
    QByteArray language = name;
    for (const char separator : {'.', '@'})
        if (const qsizetype at = language.indexOf(separator); at >= 0)
            language.truncate(at);
    return language.isEmpty() || language == "C" || language == "POSIX";
}

bool confirm(std::size_t count)
{
    printErr(L("You have selected %1 songs. This may take some time and needs enough disk space.\n"
               "Convert them? [y/N] ")
                 .arg(count));
    char answer[64] = {};
    if (!std::fgets(answer, sizeof answer, stdin))
        return false;
    return cli::isYes(QString::fromLocal8Bit(answer));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ripwell-cli"));
    if (!messagesInPlainC())
        localization::install(); // the user's language, from the locale

    cli::Options options;
    QString error;
    if (!cli::parseOptions(app.arguments().mid(1), &options, &error)) {
        printErr(QStringLiteral("ripwell-cli: %1\n\n%2").arg(error, cli::usageText()));
        return 2;
    }
    if (options.help) {
        QTextStream(stdout) << cli::usageText();
        return 0;
    }
    if (!options.library.isEmpty())
        qputenv("RIPWELL_LIBRARY", QFileInfo(options.library).absoluteFilePath().toUtf8());
    if (!options.documents.isEmpty())
        qputenv("RIPWELL_DOCUMENTS", QFileInfo(options.documents).absoluteFilePath().toUtf8());

    if (const QString problem = documents::locationProblem(); !problem.isEmpty()) {
        printErr(QStringLiteral("ripwell-cli: %1; %2\n").arg(problem, L("--library and --documents name the folders")));
        return 2;
    }
    const QString root = documents::musicLibraryRoot();
    const QFileInfo rootInfo(root);
    if (!rootInfo.isDir() || !rootInfo.isReadable() || !QDir(root).isReadable()) {
        printErr(QStringLiteral("ripwell-cli: %1\n").arg(L("cannot read the music library %1").arg(root)));
        return 2;
    }
    const QString docs = documents::documentsDirectory();
    if (!QFileInfo(docs).isDir() || !QFileInfo(docs).isWritable()) {
        printErr(QStringLiteral("ripwell-cli: %1\n").arg(L("cannot write to the documents folder %1").arg(docs)));
        return 2;
    }
    if (documents::isSameFolder(root, docs)) {
        printErr(QStringLiteral("ripwell-cli: %1\n")
                     .arg(L("the music library %1 is the documents folder itself; converted files would be written "
                            "among the songs: choose another documents folder with --documents")
                              .arg(root)));
        return 2;
    }

    if (documents::libraryIsInsideDocuments(root, docs))
        printErr(QStringLiteral("ripwell-cli: %1\n")
                     .arg(L("the music library %1 lies inside the documents folder %2; converted files are written "
                            "among the songs, and a song that would be overwritten fails instead")
                              .arg(root, docs)));

    const auto library = medialibrary::MediaLibrary::scan(root, {docs});
    medialibrary::MediaLibrary::setDefaultMediaLibrary(library);
    // Songs are named by their place in the library, which tells apart two
    // songs that read alike ("half.wav" and "half.m4a").
    const QDir rootDir(library->root());
    const auto placeOf = [&rootDir](const medialibrary::MediaItem& item) {
        return cli::printable(path::displayed(rootDir.relativeFilePath(item.filePath())));
    };

    // A library inside the documents folder holds the files of earlier runs:
    // they are no songs to convert again.
    const OutputRecord record = OutputRecord::load(docs);
    const QDir docsDir(docs);
    const auto isEarlierOutput = [&](const medialibrary::MediaItem& item) {
        const QString relative = docsDir.relativeFilePath(item.filePath());
        return !relative.startsWith(QLatin1String("../")) && record.contains(relative);
    };

    SelectionMap selection;
    std::vector<medialibrary::MediaItem> listed;
    std::size_t skipped = 0;
    QMap<QString, std::size_t> skippedBy; // reason -> songs
    for (const auto& item : library->items()) {
        if (!cli::matchesFilters(item.artist(), item.albumTitle(), item.displayTitle(), options.filters))
            continue;
        listed.push_back(item);
        QString reason = cli::leftOutReason(item);
        if (reason.isEmpty() && isEarlierOutput(item))
            reason = QStringLiteral("converted by Ripwell");
        if (reason.isEmpty()) {
            selection.setObject(item, item.assetURL());
            continue;
        }
        ++skipped;
        ++skippedBy[reason];
        if (options.verbose && !options.list)
            printErr(L("left out (%1): %2").arg(cli::leftOutReasonText(reason), placeOf(item)) + u'\n');
    }

    // Nothing to do is said, not only counted: the wrong folder or a filter
    // with a typo would otherwise look like a run that went well.
    if (library->items().empty())
        printErr(QStringLiteral("ripwell-cli: %1\n").arg(L("no songs in the music library %1").arg(root)));
    else if (listed.empty())
        printErr(QStringLiteral("ripwell-cli: %1\n").arg(L("no song matches %1").arg(cli::printable(options.filters.join(u' ')))));

    QTextStream out(stdout);
    const auto leftOutSummary = [&skippedBy] {
        // The three reasons always, the rarer ones where they occur.
        QStringList reasons;
        for (const char* always : {"protected", "unreadable", "unsupported format"})
            reasons << QStringLiteral("%1 %2").arg(cli::leftOutReasonText(QLatin1String(always)),
                                                   QString::number(skippedBy.value(QLatin1String(always))));
        for (auto it = skippedBy.cbegin(); it != skippedBy.cend(); ++it)
            if (it.key() != u"protected" && it.key() != u"unreadable" && it.key() != u"unsupported format")
                reasons << QStringLiteral("%1 %2").arg(cli::leftOutReasonText(it.key()), QString::number(it.value()));
        return reasons.join(QStringLiteral(", "));
    };
    if (options.list) {
        for (const auto& item : listed)
            out << cli::printable(item.artist()) << '\t' << cli::printable(item.albumTitle()) << '\t'
                << cli::printable(item.displayTitle()) << '\t' << formatOf(item) << '\t' << placeOf(item) << '\n';
        if (skipped > 0) {
            QStringList reasons;
            for (auto it = skippedBy.cbegin(); it != skippedBy.cend(); ++it)
                reasons << QStringLiteral("%1 %2").arg(cli::leftOutReasonText(it.key()), QString::number(it.value()));
            printErr(L("%1 of %2 songs would be left out: %3")
                         .arg(QString::number(skipped), QString::number(listed.size()), reasons.join(QStringLiteral(", "))) +
                     u'\n');
        }
        return 0;
    }

    // What would be converted: the songs whose files are not up to date. The
    // run checks again once it holds the folder; this count is for the question.
    std::size_t toConvert = selection.count();
    if (!options.all && !options.yes && toConvert >= kConfirmFrom) {
        for (const Url& key : selection.allKeys()) {
            const medialibrary::MediaItem item = selection.objectForKey(key);
            const QString output = record.outputFor(item.filePath(), outputRelativePathOf(item, key.pathExtension()));
            if (record.isUpToDate(output, item.filePath(), stampOf(item.filePath(), true)))
                --toConvert;
        }
    }

    installInterruptHandlers();
    if (toConvert >= kConfirmFrom && !options.yes) {
        if (!::isatty(STDIN_FILENO)) {
            printErr(QStringLiteral("ripwell-cli: %1\n")
                         .arg(L("%1 songs selected; converting 26 or more needs --yes when standard input is not a "
                                "terminal")
                                  .arg(toConvert)));
            return 2;
        }
        if (!confirm(toConvert)) {
            printErr(L("Nothing converted.") + u'\n');
            return g_interrupted ? kInterruptedStatus : 0;
        }
    }

    // One run at a time writes into a documents folder.
    std::shared_ptr<DocumentsLock> lock;
    for (bool told = false; !lock;) {
        if (g_interrupted) {
            printErr(L("Interrupted; nothing converted.") + u'\n');
            return kInterruptedStatus;
        }
        QString holder, why;
        lock = DocumentsLock::tryAcquire(docs, &holder, &why);
        if (lock)
            break;
        if (holder.isEmpty()) {
            printErr(QStringLiteral("ripwell-cli: %1\n").arg(L("cannot lock the documents folder %1: %2").arg(docs, why)));
            return 2;
        }
        if (options.noWait) {
            printErr(QStringLiteral("ripwell-cli: %1\n").arg(L("the documents folder %1 is in use by %2").arg(docs, holder)));
            return 2;
        }
        if (!told) {
            printErr(QStringLiteral("ripwell-cli: %1\n")
                         .arg(L("the documents folder %1 is in use by %2; waiting for it to finish").arg(docs, holder)));
            told = true;
        }
        QThread::msleep(200);
    }

    const bool tty = ::isatty(STDERR_FILENO);
    TerminalDisplay display(tty, options.verbose);
    // Lines logged on the export service's thread are drawn on the main
    // thread, which owns the display.
    applog::setSink([&display, &app](const QString& line) {
        if (QThread::currentThread() == app.thread())
            display.logLine(line);
        else
            timing::onMainThread(&app, [&display, line] { display.logLine(line); });
    });
    applog::setStderrEnabled(false);

    ConversionRun run(&display);
    run.setSkipsUpToDate(!options.all);
    display.attach(&run);
    QSocketNotifier interrupts(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&interrupts, &QSocketNotifier::activated, &run, [&run] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        run.cancel();
    });
    if (g_interrupted) {
        printErr(L("Interrupted; nothing converted.") + u'\n');
        return kInterruptedStatus;
    }
    run.exportMedia(selection);
    if (!run.isFinished())
        app.exec();
    // The last export handler may still be logging: let it finish, then show
    // what it handed over.
    std::promise<void> drained;
    exportservice::enqueue([&drained] { drained.set_value(); });
    drained.get_future().wait();
    QCoreApplication::sendPostedEvents();
    applog::setSink(nullptr);
    applog::setStderrEnabled(true);
    lock.reset();

    const std::uint32_t failed = run.failedItemCount();
    const std::size_t converted = display.convertedCount_;
    out << L("Files are in %1").arg(docs) << '\n';
    const auto count = [](std::size_t n) { return QString::number(n); };
    out << L("Converted: %1, up to date: %2, skipped: %3 (%4), failed: %5")
               .arg(count(converted), count(display.upToDateCount_), count(skipped), leftOutSummary(), count(failed))
        << '\n';
    if (failed > 0) {
        if (run.errorLogError().isEmpty())
            out << L("The failed songs are listed in %1").arg(path::appendingComponent(docs, QStringLiteral("error.log")))
                << '\n';
        else
            out << L("%1 The failed songs are not listed.").arg(run.errorLogError()) << '\n';
    }
    if (run.wasCancelled() || g_interrupted) {
        out << L("Interrupted: the song under way was not converted, and no further song was started.") << '\n';
        out.flush();
        return kInterruptedStatus;
    }
    out.flush();
    return failed > 0 ? 1 : 0;
}

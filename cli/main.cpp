// ripwell-cli: converts songs of a music library from a terminal, with the
// same import and conversion run as the window app.

#include "Classes/ConversionRun.h"
#include "Classes/OutputNaming.h"
#include "Classes/OutputRecord.h"
#include "cli/CliOptions.h"
#include "cli/Interrupts.h"
#include "cli/Plan.h"
#include "cli/Selection.h"
#include "cli/TerminalDisplay.h"
#include "platform/export/ExportService.h"
#include "platform/foundation/Documents.h"
#include "platform/foundation/DocumentsLock.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PathString.h"
#include "platform/foundation/Timing.h"
#include "platform/library/AudioFormat.h"
#include "platform/library/IpodLibrary.h"
#include "platform/library/LibraryIndex.h"
#include "platform/library/MediaLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <unistd.h>

using cli::printErr;

namespace {

constexpr std::size_t kConfirmFrom = 26; // batches this large are confirmed first
constexpr int kInterruptedStatus = 130;

// A message that ends the program: "ripwell-cli: …".
void fail(const QString& message)
{
    printErr(QStringLiteral("ripwell-cli: %1\n").arg(message));
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

struct Folders {
    QString library;
    QString documents;
};

// The folders the options (else the environment) name, checked; nothing
// after saying why they cannot be used.
std::optional<Folders> foldersFor(const cli::Options& options)
{
    const bool libraryGiven = !options.library.isEmpty();
    const bool documentsGiven = !options.documents.isEmpty();
    if (const QString problem = documents::locationProblem(!libraryGiven, !documentsGiven); !problem.isEmpty()) {
        fail(QStringLiteral("%1; %2").arg(problem, L("--library and --documents name the folders")));
        return std::nullopt;
    }
    Folders folders{libraryGiven ? documents::absolutePath(options.library) : documents::musicLibraryRoot(), {}};
    const QFileInfo library(folders.library);
    if (!library.isDir() || !library.isReadable() || !QDir(folders.library).isReadable()) {
        fail(L("cannot read the music library %1").arg(folders.library));
        return std::nullopt;
    }
    folders.documents = documentsGiven ? documents::absolutePath(options.documents) : documents::documentsDirectory();
    // Nothing is ever written to an iPod, not even the documents folder.
    if (medialibrary::IpodLibrary::isIpod(folders.library) &&
        documents::libraryIsInsideDocuments(folders.documents, folders.library)) {
        fail(L("the documents folder %1 lies on the iPod %2, and nothing is ever written to an iPod: choose "
               "another documents folder with --documents")
                 .arg(folders.documents, folders.library));
        return std::nullopt;
    }
    // A dry run makes nothing, not even the folder.
    if (!options.dryRun)
        QDir().mkpath(folders.documents);
    if (options.dryRun ? QFileInfo::exists(folders.documents) && !QFileInfo(folders.documents).isDir()
                       : !QFileInfo(folders.documents).isDir() || !QFileInfo(folders.documents).isWritable()) {
        fail(L("cannot write to the documents folder %1").arg(folders.documents));
        return std::nullopt;
    }
    if (documents::isSameFolder(folders.library, folders.documents)) {
        fail(L("the music library %1 is the documents folder itself; converted files would be written among the "
               "songs: choose another documents folder with --documents")
                 .arg(folders.library));
        return std::nullopt;
    }
    if (documents::libraryIsInsideDocuments(folders.library, folders.documents))
        fail(L("the music library %1 lies inside the documents folder %2; converted files are written among the "
               "songs, and a song that would be overwritten fails instead")
                 .arg(folders.library, folders.documents));
    return folders;
}

// The library in `folders.library`: the iPod's songs as its database lists
// them when the folder holds one, else the folder's songs. The index says
// what it knows (--rescan: nothing). Nothing after saying why an iPod's
// database cannot be read.
std::shared_ptr<const medialibrary::MediaLibrary> openLibrary(const Folders& folders, const cli::Options& options)
{
    const QString index = medialibrary::LibraryIndex::defaultPath(folders.library);
    if (medialibrary::IpodLibrary::isIpod(folders.library)) {
        const medialibrary::IpodLibrary::Opened ipod = medialibrary::IpodLibrary::open(folders.library, index, !options.rescan);
        if (!ipod.library)
            fail(ipod.error);
        return ipod.library;
    }
    return medialibrary::MediaLibrary::scan(folders.library, {folders.documents}, index, !options.rescan);
}

// Says when there is nothing to do: the wrong folder or a filter with a typo
// would otherwise look like a run that went well.
void sayWhenNothingMatches(const QString& root, const medialibrary::MediaLibrary& library,
                           const cli::Selection& selection, const cli::Options& options)
{
    if (library.items().empty())
        fail(L("no songs in the music library %1").arg(root));
    else if (selection.listed.empty() && !options.filters.isEmpty())
        fail(L("no song matches %1").arg(cli::printable(options.filters.join(u' '))));
    else if (selection.listed.empty() && !selection.playlists.empty())
        fail(L("the playlists asked for hold no song of the music library"));
}

// The song's place in the library: tells apart two songs that read alike
// ("half.wav" and "half.m4a").
QString placeOf(const QDir& root, const medialibrary::MediaItem& item)
{
    const QString& file = item.filePath();
    const QString& top = root.path(); // the library's root, a clean absolute path
    const bool below = file.size() > top.size() + 1 && file.startsWith(top) && file[top.size()] == u'/';
    return cli::printable(path::displayed(below ? file.mid(top.size() + 1) : root.relativeFilePath(file)));
}

QString outputExtensionOf(const medialibrary::MediaItem& item)
{
    return item.format() ? QString::fromLatin1(medialibrary::formatInfo(*item.format()).outputExtension) : QString();
}

// --list: one song a line, tab-separated for scripts (the reasons keep their
// one spelling), then what would be left out.
void printList(const medialibrary::MediaLibrary& library, const cli::Selection& selection)
{
    QTextStream out(stdout);
    const QDir root(library.root());
    for (const auto& item : selection.listed) {
        const std::optional<cli::LeftOut> reason = selection.reasonFor(item);
        out << cli::printable(item.artist()) << '\t' << cli::printable(item.albumTitle()) << '\t'
            << cli::printable(item.displayTitle()) << '\t'
            << (reason ? cli::leftOutName(*reason) : outputExtensionOf(item)) << '\t' << placeOf(root, item)
            << '\n';
    }
    out.flush();
    if (!selection.leftOut.empty())
        printErr(L("%1 of %2 songs would be left out: %3")
                     .arg(QString::number(selection.leftOut.size()), QString::number(selection.listed.size()),
                          selection.listOfLeftOut()) +
                 u'\n');
}

// --list --playlists: one playlist a line, tab-separated: its name, the
// songs of it that would be converted, its entries that would be left out
// (songs that are not converted, and entries that are no songs), its place.
void printPlaylists(const medialibrary::MediaLibrary& library, const cli::Options& options)
{
    QTextStream out(stdout);
    const std::vector<medialibrary::Playlist> playlists = cli::playlistsMatching(library, options.filters);
    for (const medialibrary::Playlist& playlist : playlists) {
        const auto converts = std::count_if(playlist.items.cbegin(), playlist.items.cend(),
                                            [](const medialibrary::MediaItem& item) { return item.hasAssetURL(); });
        const std::size_t leftOut = playlist.items.size() - std::size_t(converts) + playlist.unresolved.size();
        out << cli::printable(playlist.name) << '\t' << converts << '\t' << leftOut << '\t'
            << cli::printable(path::displayed(playlist.place)) << '\n';
    }
    out.flush();
    if (playlists.empty())
        fail(L("no playlists in the music library %1").arg(library.root()));
}

// The entries of the playlists asked for that are no songs of the library:
// each with --verbose, else how many of each kind.
void sayUnresolvedEntries(const cli::Selection& selection, bool verbose)
{
    if (verbose) {
        for (const medialibrary::Playlist& playlist : selection.playlists)
            for (const medialibrary::UnresolvedEntry& entry : playlist.unresolved)
                printErr(L("left out of %1 (%2): %3")
                             .arg(cli::printable(playlist.name), cli::problemText(entry.problem), cli::printable(entry.location)) +
                         u'\n');
    } else if (const std::size_t n = selection.unresolvedCount()) {
        printErr(L("%1 playlist entries are no songs of the music library: %2")
                     .arg(QString::number(n), selection.listOfUnresolved()) +
                 u'\n');
    }
}

// How many songs the run would convert: those whose files are not up to
// date. The run checks again once it holds the folder; this is for the question.
std::size_t songsToConvert(const cli::Selection& selection, const Folders& folders)
{
    const OutputRecord record = OutputRecord::load(folders.documents, folders.library);
    std::size_t count = 0;
    for (const Url& key : selection.toConvert.allKeys()) {
        const medialibrary::MediaItem item = selection.toConvert.objectForKey(key);
        const SongIdentity song(item.filePath(), folders.library);
        const bool fitted = record.traits().windowsNames;
        const QString output = record.outputFor(song, outputRelativePathOf(item, key.pathExtension(), fitted),
                                                fitted ? outputRelativePathOf(item, key.pathExtension()) : QString());
        if (!record.isUpToDate(output, song))
            ++count;
    }
    return count;
}

// Asks before 26 or more songs; the exit status when the run must not go on.
std::optional<int> refusedLargeBatch(const cli::Selection& selection, const Folders& folders,
                                     const cli::Options& options)
{
    if (options.yes || selection.toConvert.count() < qsizetype(kConfirmFrom))
        return std::nullopt;
    const std::size_t count = options.all ? std::size_t(selection.toConvert.count())
                                          : songsToConvert(selection, folders);
    if (count < kConfirmFrom)
        return std::nullopt;
    if (!::isatty(STDIN_FILENO)) {
        fail(L("%1 songs selected; converting 26 or more needs --yes when standard input is not a terminal").arg(count));
        return 2;
    }
    printErr(L("You have selected %1 songs. This may take some time and needs enough disk space.\n"
               "Convert them? [y/N] ")
                 .arg(count));
    char answer[64] = {};
    if (std::fgets(answer, sizeof answer, stdin) && cli::isYes(QString::fromLocal8Bit(answer)))
        return std::nullopt;
    printErr(L("Nothing converted.") + u'\n');
    return cli::interrupted() ? kInterruptedStatus : 0;
}

// One run at a time writes into a documents folder: waits for another one,
// unless told not to. Nothing after saying why not.
std::shared_ptr<DocumentsLock> lockDocuments(const QString& folder, bool wait)
{
    QString holder, why;
    const auto waiting = [&folder](const QString& heldBy) {
        fail(L("the documents folder %1 is in use by %2; waiting for it to finish").arg(folder, heldBy));
    };
    auto lock = DocumentsLock::acquire(folder, wait ? std::function<void(const QString&)>(waiting) : nullptr,
                                       cli::interrupted, &holder, &why);
    if (lock || cli::interrupted())
        return lock;
    if (holder.isEmpty())
        fail(L("cannot lock the documents folder %1: %2").arg(folder, why));
    else
        fail(L("the documents folder %1 is in use by %2").arg(folder, holder));
    return nullptr;
}

// Converts the selection of `library` into the documents folder, holding
// `lock`, then with --prune removes the files of songs that are gone; the
// exit status.
int convert(const std::shared_ptr<const medialibrary::MediaLibrary>& library, const cli::Selection& selection,
            const Folders& folders, std::shared_ptr<DocumentsLock> lock, const cli::Options& options)
{
    const QString& documents = folders.documents;
    cli::TerminalDisplay display(::isatty(STDERR_FILENO), options.verbose);
    // Lines logged on the export service's thread are drawn on the main
    // thread, which owns the display.
    QCoreApplication* app = QCoreApplication::instance();
    applog::setSink([&display, app](const applog::Entry& entry) {
        if (QThread::currentThread() == app->thread())
            display.logEntry(entry);
        else
            timing::onMainThread(app, [&display, entry] { display.logEntry(entry); });
    });
    applog::setStderrEnabled(false);

    ConversionRun run(library, &display);
    run.setDocumentsDirectory(documents, lock); // held here too, for --prune after the run
    run.setSkipsUpToDate(!options.all);
    run.setPlaylists(selection.playlists);
    display.attach(&run);
    QSocketNotifier interrupts(cli::interruptDescriptor(), QSocketNotifier::Read);
    QObject::connect(&interrupts, &QSocketNotifier::activated, &run, [&run] {
        cli::drainInterruptDescriptor();
        run.cancel();
    });
    run.exportMedia(selection.toConvert);
    if (run.wasRefused()) {
        applog::setSink(nullptr);
        applog::setStderrEnabled(true);
        fail(run.refusalReason());
        return 2;
    }
    if (!run.isFinished())
        QCoreApplication::exec();
    // The last export handler may still be logging: let it finish, then show
    // what it handed over.
    exportservice::drain();
    QCoreApplication::sendPostedEvents();
    applog::setSink(nullptr);
    applog::setStderrEnabled(true);

    QStringList pruneFailures;
    const int removed = options.prune && !run.wasCancelled() && !cli::interrupted()
                            ? cli::prune(*library, documents, options, &pruneFailures)
                            : 0;
    lock.reset();

    QTextStream out(stdout);
    const auto count = [](std::size_t n) { return QString::number(n); };
    out << L("Files are in %1").arg(documents) << '\n';
    out << L("Converted: %1, up to date: %2, skipped: %3 (%4), failed: %5")
               .arg(count(display.convertedCount()), count(display.upToDateCount()), count(selection.leftOut.size()),
                    selection.summaryOfLeftOut(), count(run.failedItemCount()))
        << '\n';
    if (run.failedItemCount() > 0) {
        if (run.errorLogError().isEmpty())
            out << L("The failed songs are listed in %1").arg(path::appendingComponent(documents, QStringLiteral("error.log")))
                << '\n';
        else
            out << L("%1 The failed songs are not listed.").arg(run.errorLogError()) << '\n';
    }
    if (options.prune) {
        out << L("Removed: %1 (their songs are no longer in the library)").arg(removed) << '\n';
        for (const QString& failure : pruneFailures)
            fail(failure);
    }
    if (run.wasCancelled() || cli::interrupted()) {
        out << L("Interrupted: the song under way was not converted, and no further song was started.") << '\n';
        return kInterruptedStatus;
    }
    bool playlistFailed = false;
    if (!selection.playlists.empty()) {
        std::size_t written = 0, leftOut = 0, failed = 0;
        for (const WrittenPlaylist& playlist : run.writtenPlaylists()) {
            leftOut += playlist.leftOut;
            failed += playlist.failed;
            if (!playlist.output.isEmpty()) {
                ++written;
            } else {
                playlistFailed = true;
                fail(L("the playlist %1 could not be written: %2").arg(cli::printable(playlist.name), playlist.error));
            }
        }
        out << L("Playlists written: %1 (in %2), entries left out: %3, failed: %4")
                   .arg(count(written), path::appendingComponent(documents, playlistsFolderName()), count(leftOut),
                        count(failed))
            << '\n';
    }
    return run.failedItemCount() > 0 || !pruneFailures.isEmpty() || playlistFailed ? 1 : 0;
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
    const std::optional<Folders> folders = foldersFor(options);
    if (!folders)
        return 2;
    // Until the run shows them, the log's lines are its errors (all of them
    // with --verbose): how the library's index fares is no news.
    applog::setSink([verbose = options.verbose](const applog::Entry& entry) {
        if (verbose || entry.level == applog::Level::Error)
            printErr(cli::printable(entry.line()) + u'\n');
    });
    applog::setStderrEnabled(false);

    const std::shared_ptr<const medialibrary::MediaLibrary> library = openLibrary(*folders, options);
    if (!library)
        return 2;
    if (options.listPlaylists) {
        printPlaylists(*library, options);
        return 0;
    }
    QString unknownPlaylist;
    const std::optional<cli::Selection> selected =
        cli::select(*library, folders->documents, options.filters, options.playlists, &unknownPlaylist);
    if (!selected) {
        fail(unknownPlaylist);
        return 2;
    }
    const cli::Selection& selection = *selected;
    if (options.verbose && !options.list) {
        const QDir root(library->root());
        for (const auto& [item, reason] : selection.leftOut)
            printErr(L("left out (%1): %2").arg(cli::leftOutText(reason), placeOf(root, item)) + u'\n');
    }
    sayWhenNothingMatches(folders->library, *library, selection, options);
    sayUnresolvedEntries(selection, options.verbose);
    if (options.list) {
        printList(*library, selection);
        return 0;
    }
    // An empty library is most likely a disk that is not mounted: pruning
    // against it would take away every file.
    if (options.prune && library->items().empty()) {
        fail(L("--prune removes nothing when the music library %1 holds no songs: is its disk mounted?")
                 .arg(folders->library));
        return 2;
    }
    if (options.dryRun)
        return cli::printPlan(selection, *library, folders->documents, options);

    cli::installInterruptHandlers();
    if (const std::optional<int> status = refusedLargeBatch(selection, *folders, options))
        return *status;
    std::shared_ptr<DocumentsLock> lock = lockDocuments(folders->documents, !options.noWait);
    if (!lock || cli::interrupted()) {
        if (cli::interrupted())
            printErr(L("Interrupted; nothing converted.") + u'\n');
        return cli::interrupted() ? kInterruptedStatus : 2;
    }
    return convert(library, selection, *folders, std::move(lock), options);
}

#include "Classes/ConversionRun.h"

#include "Classes/MediaImport.h"
#include "Classes/OutputNaming.h"
#include "platform/foundation/Documents.h"
#include "platform/foundation/DocumentsLock.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PathString.h"
#include "platform/foundation/TemporaryFiles.h"
#include "platform/foundation/Timing.h"
#include "platform/library/TagReading.h"

#include <QDateTime>
#include <optional>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kLoopOp = ConversionRun::kLogOperation;

QString titleForLog(const QString& title)
{
    return title.isNull() ? QStringLiteral("(null)") : title;
}

std::optional<QPair<quint64, quint64>> regularFileIdOf(int folder, const QString& name)
{
    struct stat info {};
    if (::fstatat(folder, path::native(name).constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return qMakePair(quint64(info.st_dev), quint64(info.st_ino));
}

} // namespace

struct ConversionRun::ItemContext {
    QString documentsDirectory; // as looked up for this item
    Url key; // the map's
    medialibrary::MediaItem item;
    Url outputURL;
    QString output;         // the same, relative to the documents directory
    SongIdentity song;      // as it was when its conversion began
    QString title; // null when the item has none
    std::uint32_t index = 0;
    QStringList createdFolders; // made for this item's output, deepest first
    // Why it failed before its import: its folder could not be made, or the
    // record could not be written.
    std::optional<Error> folderFailure;
    std::shared_ptr<const FileDescriptor> folder; // the output's folder, opened without following links
    // What the import noted in the record just before the output took its
    // name (written on the export service's thread, read after the hop back).
    std::shared_ptr<FileStamp> noted = std::make_shared<FileStamp>();
};

ConversionRun::ConversionRun(std::shared_ptr<const medialibrary::Library> library, ConversionDisplay* display,
                             QObject* parent)
    : QObject(parent), library_(std::move(library)), display_(display), self_(std::make_shared<ConversionRun*>(this))
{
}

ConversionRun::~ConversionRun()
{
    *self_ = nullptr;
    if (currentTimer_)
        currentTimer_->invalidate();
}

QString ItemOutcome::reason() const
{
    if (!error)
        return {};
    return error->kind() == Error::Kind::FolderNotMade ? error->detail() : error->localizedDescription();
}

float ConversionRun::batchFraction(std::uint32_t index, float itemFraction, qsizetype count)
{
    if (count == 0)
        return 1.0f;
    return (static_cast<float>(index) + itemFraction) / static_cast<float>(count);
}

medialibrary::MediaItem ConversionRun::itemAtIndex(std::uint32_t index) const
{
    const QList<Url>& keys = mediaItems_.allKeys();
    if (index >= static_cast<std::uint32_t>(keys.size()))
        return {};
    return mediaItems_.objectForKey(keys.at(index));
}

void ConversionRun::exportMedia(const SelectionMap& map)
{
    if (started_)
        return; // one batch per run
    started_ = true;

    if (documentsDirectory_.isEmpty())
        documentsDirectory_ = documents::documentsDirectory();
    mediaItems_ = map;
    if (!destinationGone().isEmpty()) {
        // The volume went before the run began: nothing of the folder is
        // touched, every item fails with the reason.
        if (display_)
            display_->runStarted();
        conversionLoop();
        return;
    }
    QString holder, why;
    if (documentsDirectory_.isEmpty())
        why = documents::locationProblem();
    else if (!lock_)
        lock_ = DocumentsLock::tryAcquire(documentsDirectory_, &holder, &why);
    if (!lock_) {
        refuse(holder.isEmpty()
                   ? L("The documents folder cannot be used: %1").arg(why)
                   : L("The documents folder is in use by another conversion (%1). Try again when it has finished.")
                         .arg(holder));
        return;
    }
    // Holding the lock, this run is the folder's only writer: every temporary
    // file in a folder where runs write is a leftover of a run that was killed.
    libraryRoot_ = library_ ? library_->root() : QString();
    record_ = OutputRecord::load(documentsDirectory_, libraryRoot_);
    QSet<QString> written = record_.outputFolders();
    written.insert(QString());
    for (const QString& removed : tempfiles::removeStaleTemporaries(documentsDirectory_, written))
        applog::debug(kLoopOp, QStringLiteral("Removed a temporary file left by an interrupted run: %1")
                                   .arg(path::appendingComponent(documentsDirectory_, removed)));
    // What a killed run appended is folded in; gone outputs go at the end.
    // Without a record that takes lines, every run would convert every song
    // again under new names: nothing is converted then.
    if (QString recordProblem; !record_.prepareForRun(&recordProblem)) {
        refuse(L("%1 cannot be written: %2. It keeps which song each file was made from; without it every run "
                 "would copy every song again under new names. Move it out of the way or make it writable, then "
                 "convert again.")
                   .arg(path::appendingComponent(documentsDirectory_, OutputRecord::fileName()), recordProblem));
        lock_.reset();
        return;
    }
    walk_ = std::make_shared<FolderWalk>(documentsDirectory_, record_.traits().windowsNames);

    prevItemIndex_ = kNoItem;
    currentItemIndex_ = 0;
    failedItemCount_ = 0;
    failedMediaItems_.clear();
    if (display_)
        display_->runStarted();
    conversionLoop();
}

void ConversionRun::refuse(const QString& reason)
{
    refused_ = true;
    finished_ = true;
    refusalReason_ = reason;
    applog::error(kLoopOp, reason);
    if (display_)
        display_->runRefused(reason);
}

void ConversionRun::cancel()
{
    if (!started_ || finished_ || cancelled_)
        return;
    cancelled_ = true;
    if (currentImport_)
        currentImport_->cancel();
}

void ConversionRun::conversionLoop()
{
    // Items that are up to date end at once; the loop goes on to the first
    // one that converts, or to the end of the run.
    while (currentItemIndex_ < static_cast<std::uint32_t>(mediaItems_.count())) {
        if (startItem())
            return;
        ++currentItemIndex_;
    }
    endRun();
}

// Starts the item at currentItemIndex_; false when it is up to date instead.
bool ConversionRun::startItem()
{
    const Url assetURL = mediaItems_.allKeys().at(static_cast<qsizetype>(currentItemIndex_));
    ItemContext context;
    context.key = assetURL;
    context.item = mediaItems_.objectForKey(assetURL);
    context.title = context.item.title();
    context.index = currentItemIndex_;
    context.documentsDirectory = documentsDirectory_;
    if (const QString gone = destinationGone(); !gone.isEmpty()) {
        applog::error(kLoopOp, QStringLiteral("Import has failed: %1: %2").arg(titleForLog(context.title), gone));
        failedMediaItems_.push_back(context.item);
        failureReasons_.push_back(gone);
        ++failedItemCount_;
        if (display_)
            display_->itemEnded(context.index, {ItemResult::Failed, Error(Error::Kind::Other, {}, gone)});
        return false;
    }

    // The name it had in an earlier run, else one that no other song's output
    // and no file of the user's holds. Folders that are there under another
    // spelling of the same name are taken as they are spelled.
    context.song = SongIdentity(context.item.filePath(), libraryRoot_);
    QString natural = outputRelativePathOf(context.item, assetURL.pathExtension(), record_.traits().windowsNames);
    if (QString spelled; walk_->openFolder(path::deletingLastComponent(natural), false, &spelled))
        natural = path::appendingComponent(spelled, path::lastComponent(natural));
    // An output made before names were fitted to the stick stays where it is.
    const QString unfitted = record_.traits().windowsNames ? outputRelativePathOf(context.item, assetURL.pathExtension())
                                                           : QString();
    context.output = record_.outputFor(context.song, natural, unfitted);
    context.outputURL = Url::fileURLWithPath(path::appendingComponent(documentsDirectory_, context.output));
    if (skipsUpToDate_ && record_.isUpToDate(context.output, context.song)) {
        // Found where it lies now, or as it is now: the record follows it.
        record_.follow(context.output, context.song);
        songOutputs_.insert(context.key, context.output);
        if (display_)
            display_->itemEnded(context.index, {ItemResult::UpToDate, std::nullopt});
        return false;
    }

    // Every folder on the way is opened without following a link: a link in
    // the way fails the song, and nothing is written through it.
    QStringList made;
    QString folderFailure;
    auto folder = std::make_shared<const FileDescriptor>(walk_->openFolder(
        path::deletingLastComponent(context.output), true, nullptr, &made, &folderFailure));
    for (const QString& relative : made) {
        context.createdFolders.append(path::appendingComponent(documentsDirectory_, relative));
        record_.madeFolder(relative);
    }
    currentItemURL_ = context.outputURL;
    if (!*folder) {
        applog::error(kLoopOp, folderFailure);
        context.folderFailure = Error(Error::Kind::FolderNotMade, QStringLiteral("makeOutputFolder"), folderFailure);
        itemEnded(context, AVAssetExportSessionStatusFailed, std::nullopt);
        return false;
    }
    context.folder = folder;
    // A name that is new to the record is claimed before anything is written
    // there; the song's own output as it was made proves itself already.
    const bool replaces = record_.mayReplace(context.output, context.song);
    context.song.key(); // read here, once, for the lines the record gets
    if (!(replaces && record_.isOutputAsMade(context.output, context.song)) && !record_.claim(context.output, context.song)) {
        const QString why = L("%1 could not be written, so the song was not converted")
                                .arg(path::appendingComponent(documentsDirectory_, OutputRecord::fileName()));
        applog::error(kLoopOp, why);
        context.folderFailure = Error(Error::Kind::Other, QStringLiteral("claim"), why);
        itemEnded(context, AVAssetExportSessionStatusFailed, std::nullopt);
        return false;
    }
    currentItemURL_ = context.outputURL;
    applog::debug(kLoopOp, QStringLiteral("Converting <%1> to <%2>")
                               .arg(assetURL.absoluteString(), context.outputURL.absoluteString()));

    auto worker = MediaImport::create(library_);
    // Only this song's own output, as it was made, is replaced; any other name
    // is taken only while it is free.
    worker->setReplacesExistingFile(replaces);
    worker->setDestinationFolder(folder);
    worker->setBeforeRename([runFile = record_.runFile(), output = context.output, song = context.song,
                             noted = context.noted](const FileStamp& stamp) {
        if (!runFile || !runFile->append(OutputRecord::madeLine(output, song, stamp)))
            return false;
        *noted = stamp;
        return true;
    });
    currentImport_ = worker;
    currentTimer_ = timing::Timer::scheduledRepeating(kProgressInterval, this, [this, worker](timing::Timer* t) {
        progressTimer(t, worker);
    });

    std::weak_ptr<ConversionRun*> weakSelf = self_;
    worker->importAsset(assetURL, context.outputURL, [weakSelf, context](const std::shared_ptr<MediaImport>& done) {
        // On the export service's thread: the final status can be read only
        // now. Everything else happens on the main thread.
        const AVAssetExportSessionStatus status = done->status();
        std::optional<Error> error = done->error();
        timing::onMainThread(nullptr, [weakSelf, context, status, error = std::move(error)] {
            const auto self = weakSelf.lock();
            if (self && *self)
                (*self)->itemCompleted(context, status, error);
        });
    });
    return true;
}

void ConversionRun::progressTimer(timing::Timer* timer, const std::shared_ptr<MediaImport>& worker)
{
    switch (worker->status()) {
    case AVAssetExportSessionStatusExporting:
        if (display_) {
            display_->progress(worker->progress());
            display_->currentItem();
        }
        break;
    case AVAssetExportSessionStatusCompleted:
        if (display_)
            display_->progress(1.0f);
        timer->invalidate();
        break;
    case AVAssetExportSessionStatusFailed:
    case AVAssetExportSessionStatusCancelled:
        timer->invalidate();
        break;
    case AVAssetExportSessionStatusUnknown:
    case AVAssetExportSessionStatusWaiting:
        break;
    }
}

void ConversionRun::itemCompleted(const ItemContext& context, AVAssetExportSessionStatus status,
                                  std::optional<Error> error)
{
    currentImport_.reset();
    if (currentTimer_)
        currentTimer_->invalidate();
    itemEnded(context, status, std::move(error));
    ++currentItemIndex_;
    if (cancelled_)
        endRun();
    else
        conversionLoop();
}

void ConversionRun::itemEnded(const ItemContext& context, AVAssetExportSessionStatus status, std::optional<Error> error)
{
    ItemOutcome outcome{ItemResult::Failed, std::nullopt};
    const int folder = context.folder ? context.folder->get() : -1;
    const QString outputName = path::lastComponent(context.output);
    if (status == AVAssetExportSessionStatusCompleted) {
        outcome.result = ItemResult::Converted;
        if (const auto written = regularFileIdOf(folder, outputName))
            writtenFiles_.insert(*written);
        // The import noted it just before it took its name; a file system
        // that changed its time in the rename has it noted again.
        const FileStamp stamp = walk_->find(context.output).stamp;
        if (!record_.made(context.output, context.song, stamp, stamp == *context.noted))
            applog::error(kLoopOp, QStringLiteral("%1 could not be noted in %2").arg(context.output, OutputRecord::fileName()));
        songOutputs_.insert(context.key, context.output);
    } else if (cancelled_ && status == AVAssetExportSessionStatusCancelled) {
        outcome.result = ItemResult::Cancelled; // stopped by the user: not a failure of the song
    } else {
        applog::error(kLoopOp, QStringLiteral("Import has failed: %1").arg(titleForLog(context.title)));
        // The import leaves nothing of its own behind; a file at the output
        // path goes only if this run wrote it. An earlier copy, or anything
        // else in the way, stays.
        const auto atOutput = regularFileIdOf(folder, outputName);
        if (atOutput && writtenFiles_.contains(*atOutput)) {
            if (::unlinkat(folder, path::native(outputName).constData(), 0) == 0)
                applog::debug(kLoopOp, QStringLiteral("Removed failed media file: %1").arg(context.outputURL.absoluteString()));
            else
                applog::error(kLoopOp, QStringLiteral("Could not remove failed media file: %1: %2")
                                           .arg(context.outputURL.absoluteString(), QString::fromLocal8Bit(std::strerror(errno))));
        }
        failedMediaItems_.push_back(context.item);
        failedSongs_.insert(context.key);
        ++failedItemCount_;
        // Why: the folder that could not be made (the import's own error
        // would only say that the file is missing), the library's disk gone
        // (an iPod unplugged: every song on it fails alike), or the copy protection
        // the song's file shows now (whatever the export made of it), else
        // the import's error.
        if (context.folderFailure) {
            outcome.error = context.folderFailure;
        } else if (library_ && !library_->isAvailable()) {
            outcome.error = Error(Error::Kind::LibraryGone, QStringLiteral("stat"),
                                  QStringLiteral("%1 is no longer there").arg(library_->root()));
        } else if (medialibrary::tagreading::readFile(context.item.filePath()).isProtected) {
            ++protectedFailureCount_;
            outcome.error = Error(Error::Kind::Protected, QStringLiteral("readFile"),
                                  QStringLiteral("the song's file is copy-protected"));
        } else if (error) {
            outcome.error = std::move(error);
        } else {
            outcome.error = Error(Error::Kind::Unfinished, QStringLiteral("importAsset"),
                                  QStringLiteral("the import ended without a result"));
        }
        failureReasons_.push_back(outcome.error->plainWords());
    }
    if (outcome.result != ItemResult::Converted) {
        // Folders made for this item alone and still empty go with it, so a
        // song that did not convert leaves no empty artist and album folders.
        for (const QString& made : context.createdFolders)
            ::rmdir(path::native(made).constData()); // only when empty
    }
    if (display_)
        display_->itemEnded(context.index, outcome);
}

void ConversionRun::endRun()
{
    finished_ = true;
    if (display_)
        display_->runEnded(failedItemCount_);
    if (failedItemCount_ > 0)
        writeErrorLog();
    if (lock_ && !cancelled_)
        writePlaylists();
    QString recordProblem;
    // A folder that has gone (a stick pulled out) keeps the run's lines in
    // their file, for the next run to fold in.
    if (lock_ && destinationGone().isEmpty() && !record_.finishRun(&recordProblem))
        applog::error(kLoopOp, QStringLiteral("%1 could not be written: %2").arg(OutputRecord::fileName(), recordProblem));
    // Nothing of the folder is held open once the run is over: a stick can
    // be ejected while the screen that wrote onto it is still up.
    record_ = OutputRecord();
    walk_.reset();
    lock_.reset();
    if (display_)
        display_->completionOffered(failedItemCount_);
}

QString ConversionRun::destinationGone()
{
    if (destinationGone_.isEmpty() && destinationCheck_)
        destinationGone_ = destinationCheck_();
    return destinationGone_;
}

void ConversionRun::writeErrorLog()
{
    // When the run was, so that an earlier run's log is not taken for this
    // one's; then a line for each song that failed, in the order they
    // failed: its artist, its title (or file name) and why, so that two songs
    // of one title can be told apart. UTF-8; replaces what an earlier run wrote.
    const QDateTime now = QDateTime::currentDateTime();
    QByteArray text = QStringLiteral("Ripwell conversion of %1: %2 of %3 songs failed\n")
                          .arg(now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate))
                          .arg(failedItemCount_)
                          .arg(mediaItems_.count())
                          .toUtf8();
    const auto oneLine = [](QString s) { return s.replace(u'\r', u' ').replace(u'\n', u' ').trimmed(); };
    for (std::size_t i = 0; i < failedMediaItems_.size(); ++i) {
        const medialibrary::MediaItem& item = failedMediaItems_[i];
        const QString artist = oneLine(item.artist());
        const QString song = artist.isEmpty() ? oneLine(item.displayTitle()) : artist + QStringLiteral(", ") + oneLine(item.displayTitle());
        text += (song + QStringLiteral(": ") + oneLine(failureReasons_.value(qsizetype(i)))).toUtf8() + '\n';
    }
    // Written whole or not at all: when it cannot be written, the earlier
    // error.log stays and the display is told why.
    QString why = destinationGone();
    if (!why.isEmpty()) {
        errorLogError_ = L("error.log could not be written: %1.").arg(why);
        applog::error(kLoopOp, errorLogError_);
        return;
    }
    if (!tempfiles::writeFileAtomically(path::appendingComponent(documentsDirectory_, QStringLiteral("error.log")), text, &why)) {
        errorLogError_ = L("error.log could not be written: %1.").arg(why);
        applog::error(kLoopOp, errorLogError_);
    }
}

void ConversionRun::writePlaylists()
{
    PlaylistWriter writer(record_, walk_, documentsDirectory_);
    for (const medialibrary::Playlist& playlist : playlists_)
        writtenPlaylists_.push_back(writer.write(playlist, songOutputs_, failedSongs_));
}

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
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kLoopOp = ConversionRun::kLogOperation;

QString titleForLog(const QString& title)
{
    return title.isNull() ? QStringLiteral("(null)") : title;
}

std::optional<QPair<quint64, quint64>> regularFileIdOf(const QString& path)
{
    struct stat info {};
    if (::lstat(path::native(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return qMakePair(quint64(info.st_dev), quint64(info.st_ino));
}

} // namespace

struct ConversionRun::ItemContext {
    QString documentsDirectory; // as looked up for this item
    medialibrary::MediaItem item;
    Url outputURL;
    QString output;         // the same, relative to the documents directory
    FileStamp sourceStamp;  // of the song when its conversion began
    QString title; // null when the item has none
    std::uint32_t index = 0;
    QStringList createdFolders; // made for this item's output, deepest first
    QString folderFailure;      // why its folder could not be made
};

ConversionRun::ConversionRun(ConversionDisplay* display, QObject* parent)
    : QObject(parent), display_(display), self_(std::make_shared<ConversionRun*>(this))
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
    if (!folderFailure.isEmpty())
        return folderFailure;
    return error ? error->localizedDescription() : QString();
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
        refused_ = true;
        finished_ = true;
        const QString reason =
            holder.isEmpty()
                ? L("The documents folder cannot be used: %1").arg(why)
                : L("The documents folder is in use by another conversion (%1). Try again when it has finished.").arg(holder);
        applog::error(kLoopOp, reason);
        if (display_)
            display_->runRefused(reason);
        return;
    }
    // Holding the lock, this run is the folder's only writer: every temporary
    // file there is a leftover of a run that was killed.
    tempfiles::removeStaleTemporaries(documentsDirectory_);
    record_ = OutputRecord::load(documentsDirectory_);
    QString recordProblem;
    // What a killed run appended is folded in; gone outputs go at the end.
    if (!record_.isCompact() && !record_.compact(&recordProblem))
        applog::error(kLoopOp, QStringLiteral("%1 could not be written: %2").arg(OutputRecord::fileName(), recordProblem));

    prevItemIndex_ = kNoItem;
    currentItemIndex_ = 0;
    failedItemCount_ = 0;
    failedMediaItems_.clear();
    if (display_)
        display_->runStarted();
    conversionLoop();
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
            display_->itemEnded(context.index, {ItemResult::Failed, nullptr, gone});
        return false;
    }

    // The name it had in an earlier run, else one that no other song's output
    // and no file of the user's holds.
    const QString source = context.item.filePath();
    context.sourceStamp = stampOf(source, true);
    context.output = record_.outputFor(source, outputRelativePathOf(context.item, assetURL.pathExtension()));
    context.outputURL = Url::fileURLWithPath(path::appendingComponent(documentsDirectory_, context.output));
    if (skipsUpToDate_ && record_.isUpToDate(context.output, source, context.sourceStamp)) {
        if (display_)
            display_->itemEnded(context.index, {ItemResult::UpToDate, nullptr, {}});
        return false;
    }

    // The import's own error would only say that the file is missing.
    if (!makeOutputFolder(documentsDirectory_, context.output, &context.folderFailure, &context.createdFolders))
        applog::error(kLoopOp, context.folderFailure);
    currentItemURL_ = context.outputURL;
    applog::debug(kLoopOp, QStringLiteral("Converting <%1> to <%2>")
                               .arg(assetURL.absoluteString(), context.outputURL.absoluteString()));

    auto worker = MediaImport::create();
    // Only this song's own output is replaced; any other name is taken only
    // while it is free.
    worker->setReplacesExistingFile(record_.isOutputOf(context.output, source));
    record_.claim(context.output, source, context.sourceStamp);
    currentImport_ = worker;
    currentTimer_ = timing::Timer::scheduledRepeating(kProgressInterval, this, [this, worker](timing::Timer* t) {
        progressTimer(t, worker);
    });

    std::weak_ptr<ConversionRun*> weakSelf = self_;
    worker->importAsset(assetURL, context.outputURL, [weakSelf, context](const std::shared_ptr<MediaImport>& done) {
        // On the export service's thread: the final status can be read only
        // now. Everything else happens on the main thread.
        const AVAssetExportSessionStatus status = done->status();
        std::shared_ptr<const ExportError> error = done->error();
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
                                  std::shared_ptr<const ExportError> error)
{
    currentImport_.reset();
    if (currentTimer_)
        currentTimer_->invalidate();

    ItemOutcome outcome{ItemResult::Failed, nullptr, {}};
    const QString outputPath = context.outputURL.path();
    if (status == AVAssetExportSessionStatusCompleted) {
        outcome.result = ItemResult::Converted;
        if (const auto written = regularFileIdOf(outputPath))
            writtenFiles_.insert(*written);
        record_.made(context.output, context.item.filePath(), context.sourceStamp, stampOf(outputPath, false));
    } else if (cancelled_ && status == AVAssetExportSessionStatusCancelled) {
        outcome.result = ItemResult::Cancelled; // stopped by the user: not a failure of the song
    } else {
        applog::error(kLoopOp, QStringLiteral("Import has failed: %1").arg(titleForLog(context.title)));
        // The import leaves nothing of its own behind; a file at the output
        // path goes only if this run wrote it. An earlier copy, or anything
        // else in the way, stays.
        const auto atOutput = regularFileIdOf(outputPath);
        if (atOutput && writtenFiles_.contains(*atOutput)) {
            if (::unlink(path::native(outputPath).constData()) == 0)
                applog::debug(kLoopOp, QStringLiteral("Removed failed media file: %1").arg(context.outputURL.absoluteString()));
            else
                applog::error(kLoopOp, QStringLiteral("Could not remove failed media file: %1: %2")
                                           .arg(context.outputURL.absoluteString(), QString::fromLocal8Bit(std::strerror(errno))));
        }
        failedMediaItems_.push_back(context.item);
        ++failedItemCount_;
        outcome.error = std::move(error);
        outcome.folderFailure = context.folderFailure;
        // A song whose file has become copy-protected since it was listed
        // fails for that, whatever the export made of it.
        if (!outcome.folderFailure.isEmpty()) {
            failureReasons_.push_back(outcome.folderFailure);
        } else if (medialibrary::tagreading::readFile(context.item.filePath()).isProtected) {
            ++protectedFailureCount_;
            failureReasons_.push_back(L("the song is copy-protected"));
        } else {
            failureReasons_.push_back(outcome.error ? outcome.error->plainWords() : L("the conversion did not finish"));
        }
    }
    if (outcome.result != ItemResult::Converted) {
        // Folders made for this item alone and still empty go with it, so a
        // song that did not convert leaves no empty artist and album folders.
        for (const QString& folder : context.createdFolders)
            ::rmdir(path::native(folder).constData()); // only when empty
    }
    if (display_)
        display_->itemEnded(context.index, outcome);

    ++currentItemIndex_;
    if (cancelled_)
        endRun();
    else
        conversionLoop();
}

void ConversionRun::endRun()
{
    finished_ = true;
    if (display_)
        display_->runEnded(failedItemCount_);
    if (failedItemCount_ > 0)
        writeErrorLog();
    QString recordProblem;
    if (lock_ && destinationGone().isEmpty() && !record_.compact(&recordProblem))
        applog::error(kLoopOp, QStringLiteral("%1 could not be written: %2").arg(OutputRecord::fileName(), recordProblem));
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

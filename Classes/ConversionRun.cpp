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

#include <QFile>
#include <optional>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kLoopOp = "conversionLoop";

std::optional<QString> tagValue(const QString& value)
{
    return value.isNull() ? std::nullopt : std::optional<QString>(value);
}

QString titleForLog(const QString& title)
{
    return title.isNull() ? QStringLiteral("(null)") : title;
}

std::optional<QPair<quint64, quint64>> regularFileIdOf(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return qMakePair(quint64(info.st_dev), quint64(info.st_ino));
}

} // namespace

struct ConversionRun::ItemContext {
    QString documentsDirectory; // as looked up for this item
    medialibrary::MediaItem item;
    Url outputURL;
    QString title; // null when the item has none
    std::uint32_t index = 0;
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

    const QString documentsDirectory = documents::documentsDirectory();
    QString holder, why;
    lock_ = DocumentsLock::tryAcquire(documentsDirectory, &holder, &why);
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
    tempfiles::removeStaleTemporaries(documentsDirectory);

    mediaItems_ = map;
    prevItemIndex_ = kNoItem;
    currentItemIndex_ = 0;
    failedItemCount_ = 0;
    failedMediaItems_.clear();
    if (display_)
        display_->runStarted();
    if (mediaItems_.isEmpty()) {
        endRun(documentsDirectory);
        return;
    }
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

Url ConversionRun::uniqueOutputURL(const Url& url)
{
    // A file of an earlier run at this place is replaced; one written by this
    // run is kept, and the later item gets " (2)", " (3)", … before the extension.
    int& uses = nameUses_[url.path()];
    Url candidate = url;
    while (outputPaths_.contains(candidate.path()))
        candidate = numberedOutputURL(url, ++uses + 1);
    outputPaths_.insert(candidate.path());
    return candidate;
}

void ConversionRun::conversionLoop()
{
    const Url assetURL = mediaItems_.allKeys().at(static_cast<qsizetype>(currentItemIndex_));
    ItemContext context;
    context.item = mediaItems_.objectForKey(assetURL);
    context.title = context.item.title();
    context.index = currentItemIndex_;
    context.documentsDirectory = documents::documentsDirectory();
    QString folderFailure;
    context.outputURL = uniqueOutputURL(outputURLForItem(assetURL, tagValue(context.title),
                                                         tagValue(context.item.artist()),
                                                         tagValue(context.item.albumTitle()),
                                                         context.documentsDirectory, &folderFailure));
    if (!folderFailure.isEmpty())
        applog::error(kLoopOp, folderFailure); // the import's own error would only say the file is missing
    currentItemURL_ = context.outputURL;
    applog::debug(kLoopOp, QStringLiteral("Converting <%1> to <%2>")
                               .arg(assetURL.absoluteString(), context.outputURL.absoluteString()));

    auto worker = MediaImport::create();
    currentImport_ = worker;
    currentTimer_ = timing::Timer::scheduledRepeating(kProgressInterval, this, [this, worker](timing::Timer* t) {
        progressTimer(t, worker);
    });

    std::weak_ptr<ConversionRun*> weakSelf = self_;
    worker->importAsset(assetURL, context.outputURL, [weakSelf, context](const std::shared_ptr<MediaImport>& done) {
        // On the export service's thread: the final status can be read only
        // now. Everything else happens on the main thread.
        const std::int32_t status = done->status();
        timing::onMainThread(nullptr, [weakSelf, context, status] {
            const auto self = weakSelf.lock();
            if (self && *self)
                (*self)->itemCompleted(context, status);
        });
    });
}

void ConversionRun::progressTimer(timing::Timer* timer, const std::shared_ptr<MediaImport>& worker)
{
    switch (worker->status()) {
    case 2:
        if (display_) {
            display_->progress(worker->progress());
            display_->currentItem();
        }
        break;
    case 3:
        if (display_)
            display_->progress(1.0f);
        timer->invalidate();
        break;
    case 4:
    case 5:
        timer->invalidate();
        break;
    default:
        break;
    }
}

void ConversionRun::itemCompleted(const ItemContext& context, std::int32_t status)
{
    currentImport_.reset();
    if (currentTimer_)
        currentTimer_->invalidate();

    const bool converted = status == 3;
    const QString outputPath = context.outputURL.path();
    if (converted) {
        if (const auto written = regularFileIdOf(outputPath))
            writtenFiles_.insert(*written);
    } else if (cancelled_ && status == 5) {
        // Stopped by the user: not a failure of the song.
    } else {
        applog::error(kLoopOp, QStringLiteral("Import has failed: %1").arg(titleForLog(context.title)));
        // The import leaves nothing of its own behind; a file at the output
        // path goes only if this run wrote it. An earlier copy, or anything
        // else in the way, stays.
        const auto atOutput = regularFileIdOf(outputPath);
        if (atOutput && writtenFiles_.contains(*atOutput)) {
            if (::unlink(QFile::encodeName(outputPath).constData()) == 0)
                applog::debug(kLoopOp, QStringLiteral("Removed failed media file: %1").arg(context.outputURL.absoluteString()));
            else
                applog::error(kLoopOp, QStringLiteral("Could not remove failed media file: %1: %2")
                                           .arg(context.outputURL.absoluteString(), QString::fromLocal8Bit(std::strerror(errno))));
        }
        failedMediaItems_.push_back(context.item);
        ++failedItemCount_;
    }
    if (display_)
        display_->itemEnded(context.index, converted);

    ++currentItemIndex_;
    if (!cancelled_ && currentItemIndex_ < static_cast<std::uint32_t>(mediaItems_.count())) {
        conversionLoop();
        return;
    }
    endRun(context.documentsDirectory);
}

void ConversionRun::endRun(const QString& documentsDirectory)
{
    finished_ = true;
    if (display_)
        display_->runEnded(failedItemCount_);
    if (failedItemCount_ > 0)
        writeErrorLog(documentsDirectory);
    lock_.reset();
    if (display_)
        display_->completionOffered(failedItemCount_);
}

void ConversionRun::writeErrorLog(const QString& documentsDirectory)
{
    // One title a line, in the order the items failed, replacing what an
    // earlier run wrote. An item without a title adds no line.
    QByteArray text;
    for (const auto& item : failedMediaItems_) {
        QString title = item.title();
        if (title.isNull())
            continue;
        title.replace(u'\r', u' ').replace(u'\n', u' ');
        text += title.toUtf8() + '\n';
    }
    // Written whole or not at all: when it cannot be written, the earlier
    // error.log stays and the display is told why.
    QString why;
    if (!tempfiles::writeFileAtomically(path::appendingComponent(documentsDirectory, QStringLiteral("error.log")), text, &why)) {
        errorLogError_ = L("error.log could not be written: %1.").arg(why);
        applog::error(kLoopOp, errorLogError_);
    }
}

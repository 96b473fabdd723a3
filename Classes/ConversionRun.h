#pragma once
// The conversion run: converts the items of a selection map one after another,
// each into its own file, with exactly one import under way at a time. It
// polls the running import ten times a second for the display, records the
// items that fail and removes their partial files, and at the end writes
// error.log when something failed.
//
// The run lives on the main thread: it is started there, its progress timer
// ticks there, and every item's completion is carried over to it from the
// export service's thread before anything else happens. The display (the
// conversion screen, or the command-line front end) learns what to show
// through ConversionDisplay; the run works without one.

#include "Classes/OutputRecord.h"
#include "Classes/SelectionMap.h"
#include "platform/foundation/FolderWalk.h"
#include "platform/export/AVAssetExportSession.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Url.h"
#include "platform/library/Library.h"
#include "platform/library/MediaItem.h"

#include <QObject>
#include <QPointer>
#include <QPair>
#include <QString>
#include <QSet>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class DocumentsLock;
class MediaImport;
namespace timing {
class Timer;
}

// How one item of a run ended.
enum class ItemResult {
    Converted,
    Failed,
    Cancelled, // stopped by cancel() while under way: not a failure of the song
    UpToDate,  // left as it was: its output holds this song, unchanged (setSkipsUpToDate())
};

// How one item of a run ended, and why.
struct ItemOutcome {
    ItemResult result = ItemResult::Converted;
    // For a failed item, why: the import's error as it came, or the run's
    // own when the item's folder could not be made (of kind FolderNotMade, a
    // sentence that names the folder and the cause), its output could not be
    // noted in the record, or its song's file has become copy-protected.
    // Nothing for an item that did not fail.
    std::optional<Error> error;

    // The cause in one line: the folder's sentence, else the failing call and
    // its detail; empty for an item that did not fail.
    QString reason() const;
};

// What the run tells its display. Every call comes on the main thread.
class ConversionDisplay {
public:
    virtual ~ConversionDisplay() = default;
    // Before the first item starts.
    virtual void runStarted() {}
    // In place of runStarted(), and then nothing else: the documents folder is
    // held by another run. `reason` is a sentence for the user that names the
    // holder.
    virtual void runRefused(const QString& reason) { (void)reason; }
    // A tick saw the current item exporting (its fraction done) or completed (1.0).
    virtual void progress(float itemFraction) { (void)itemFraction; }
    // A tick saw the current item exporting, right after progress().
    virtual void currentItem() {}
    // An item has ended; `index` is its position.
    virtual void itemEnded(std::uint32_t index, const ItemOutcome& outcome) { (void)index, (void)outcome; }
    // The last item has ended (first of the end-of-run steps).
    virtual void runEnded(std::uint32_t failedItemCount) { (void)failedItemCount; }
    // The run is over and error.log written: the completion menu may open.
    virtual void completionOffered(std::uint32_t failedItemCount) { (void)failedItemCount; }
};

class ConversionRun : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint32_t kNoItem = 0xFFFFFFFFu;
    // The operation the run's own log lines name.
    static constexpr const char* kLogOperation = "conversionLoop";
    static constexpr double kProgressInterval = 0.1; // seconds

    // A run over songs of `library` (nothing: file URLs only), shown on `display`.
    explicit ConversionRun(std::shared_ptr<const medialibrary::Library> library, ConversionDisplay* display = nullptr,
                           QObject* parent = nullptr);
    ~ConversionRun() override;

    // Starts the run over `map`. Once per run; returns as soon as the first
    // item's import has started. An empty map ends the run at once. The run
    // holds the lock on the documents folder until it ends; when another
    // process holds it, the run is refused (ConversionDisplay::runRefused)
    // and nothing is written. Temporary files that a killed run left in the
    // folder are removed first.
    void exportMedia(const SelectionMap& map);

    // Where the run writes: `documentsDirectory`, instead of the default
    // (documents::documentsDirectory()). With `lock`, the lock on that folder
    // that the caller holds already, the run takes no lock of its own.
    // Before exportMedia().
    void setDocumentsDirectory(const QString& documentsDirectory, std::shared_ptr<DocumentsLock> lock = nullptr)
    {
        documentsDirectory_ = documentsDirectory;
        lock_ = std::move(lock);
    }

    // A look at the destination, for a folder on a volume that may be
    // unplugged: it answers empty while the folder can be written, else why
    // not. Asked before the run takes the folder, before each item, and
    // before error.log and the record are written; once it has answered, the
    // folder is not touched again: every item from there on fails with that
    // reason. Before exportMedia().
    void setDestinationCheck(std::function<QString()> check) { destinationCheck_ = std::move(check); }

    // Whether an item whose output holds it, unchanged since it was made, is
    // left as it is (ItemResult::UpToDate) instead of converted again. Off by
    // default: what the user picks is converted. Before exportMedia().
    void setSkipsUpToDate(bool skips) { skipsUpToDate_ = skips; }

    // Stops the run: the item under way is cancelled (its temporary files go,
    // nothing replaces its output), no further item starts, and the run ends
    // as usual with the items that failed so far. Main thread.
    void cancel();

    // Run state, read by the display.
    const SelectionMap& mediaItems() const { return mediaItems_; }
    std::uint32_t currentItemIndex() const { return currentItemIndex_; }
    std::uint32_t prevItemIndex() const { return prevItemIndex_; }
    void setPrevItemIndex(std::uint32_t index) { prevItemIndex_ = index; }
    std::uint32_t failedItemCount() const { return failedItemCount_; }
    const std::vector<medialibrary::MediaItem>& failedMediaItems() const { return failedMediaItems_; }
    // Why each of failedMediaItems() failed, in the user's words, in the same order.
    const QStringList& failureReasons() const { return failureReasons_; }
    // How many of them failed because the song is copy-protected.
    std::uint32_t protectedFailureCount() const { return protectedFailureCount_; }
    // The folder the run writes into (and error.log lies in), once it started.
    const QString& documentsDirectory() const { return documentsDirectory_; }
    const Url& currentItemURL() const { return currentItemURL_; }
    bool isFinished() const { return finished_; }
    bool wasRefused() const { return refused_; }
    // Why the run was refused (a sentence for the user); empty otherwise.
    const QString& refusalReason() const { return refusalReason_; }
    bool wasCancelled() const { return cancelled_; }
    // Empty when error.log was written or not needed; otherwise a sentence
    // saying that it could not be written and why. Set before
    // completionOffered().
    QString errorLogError() const { return errorLogError_; }

    // The item at `index` in the map's key order (a null item past the end).
    medialibrary::MediaItem itemAtIndex(std::uint32_t index) const;

    // The share of the batch done, 0.0 to 1.0, when the current item is
    // `itemFraction` done: what the progress displays show. 1.0 for an empty batch.
    float batchFraction(float itemFraction) const { return batchFraction(currentItemIndex_, itemFraction, mediaItems_.count()); }
    // The same for item `index` of `count`.
    static float batchFraction(std::uint32_t index, float itemFraction, qsizetype count);

private:
    struct ItemContext; // what one item's completion carries

    void conversionLoop();
    bool startItem();
    void progressTimer(timing::Timer* timer, const std::shared_ptr<MediaImport>& worker);
    void itemCompleted(const ItemContext& item, AVAssetExportSessionStatus status, std::optional<Error> error);
    // The bookkeeping of an item that has ended; the next one is not started.
    void itemEnded(const ItemContext& item, AVAssetExportSessionStatus status, std::optional<Error> error);
    void refuse(const QString& reason);
    void endRun();
    void writeErrorLog();
    // Why the destination can no longer be written, or empty (setDestinationCheck()).
    QString destinationGone();

    const std::shared_ptr<const medialibrary::Library> library_;
    ConversionDisplay* display_;
    // Lets completions that arrive after the run is gone find nothing to call.
    std::shared_ptr<ConversionRun*> self_;

    SelectionMap mediaItems_;
    std::uint32_t currentItemIndex_ = 0;
    std::uint32_t prevItemIndex_ = kNoItem;
    std::uint32_t failedItemCount_ = 0;
    std::vector<medialibrary::MediaItem> failedMediaItems_;
    QStringList failureReasons_;
    std::uint32_t protectedFailureCount_ = 0;
    Url currentItemURL_;
    bool started_ = false;
    bool finished_ = false;
    bool refused_ = false;
    QString refusalReason_;
    bool cancelled_ = false;
    QString errorLogError_;
    bool skipsUpToDate_ = false;
    QString documentsDirectory_; // as given, or looked up when the run started
    QString libraryRoot_; // the library's root(): the record knows songs by their place below it
    std::shared_ptr<DocumentsLock> lock_;
    std::function<QString()> destinationCheck_;
    QString destinationGone_; // once the check has answered
    OutputRecord record_; // which song each output of the folder was made from
    std::shared_ptr<FolderWalk> walk_; // the documents folder, walked without following links

    std::shared_ptr<MediaImport> currentImport_; // the run's own reference to the item's worker
    QPointer<timing::Timer> currentTimer_;
    QSet<QPair<quint64, quint64>> writtenFiles_; // device and inode of each output this run wrote
};

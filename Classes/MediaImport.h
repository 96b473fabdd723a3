#pragma once
// MediaImport: turns one song of the music library into one audio file.
//
// The export service copies the song's audio, unchanged, into the container
// that matches the song's own format. MP3 songs go into a temporary QuickTime
// movie beside the destination first; the movie's audio payload is then copied
// into the MP3 file. The owner reads progress and status while the export runs
// and learns the outcome in the completion block, which is called exactly once,
// on the export service's thread, never before importAsset() has returned.

#include "platform/export/AVAssetExportSession.h"
#include "platform/export/QuickTimeExtraction.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/FolderWalk.h"
#include "platform/foundation/Url.h"
#include "platform/library/Library.h"

#include <cstddef>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class MediaImport : public std::enable_shared_from_this<MediaImport> {
    struct Token {};

public:
    using CompletionBlock = std::function<void(const std::shared_ptr<MediaImport>&)>;

    // Size of the one buffer through which a movie's audio payload is copied.
    static constexpr std::size_t kCopyBlockSize = mediaexport::kPayloadCopyBlockSize;

    // A worker for songs of `library` (nothing: file URLs only).
    static std::shared_ptr<MediaImport> create(std::shared_ptr<const medialibrary::Library> library = nullptr)
    {
        return std::make_shared<MediaImport>(Token{}, std::move(library));
    }
    MediaImport(Token, std::shared_ptr<const medialibrary::Library> library) : library_(std::move(library)) {}
    ~MediaImport();
    MediaImport(const MediaImport&) = delete;
    MediaImport& operator=(const MediaImport&) = delete;

    // Writes the song at `assetURL` (an asset URL of the worker's library, or
    // a file URL) to the file `toURL`, whose folder must exist. The file is
    // written under a temporary name in that folder and renamed to `toURL`
    // only once whole, so a file already at `toURL` stays until it is replaced
    // by a complete one, and stays for good when the import fails. A song of
    // the library (the source included, by device and inode) is never
    // replaced: such an import fails. Returns once the export has started or
    // the import has given up; in both cases `completionBlock` is called once,
    // later, on the export service's thread. One import per worker.
    void importAsset(const Url& assetURL, const Url& toURL, CompletionBlock completionBlock);

    // Whether a file at `toURL` may be replaced (the default). When not, the
    // whole file takes the name only while it is free: a file that appears
    // there during the export stays, and the import fails. Before importAsset().
    void setReplacesExistingFile(bool replaces) { replacesExisting_ = replaces; }

    // The folder that holds `toURL`, as the caller opened it without following
    // links (FolderWalk). The import then writes, flushes and renames only
    // through it, whatever the names above it come to point at meanwhile.
    // Without one, the folder is reached by its path. Before importAsset().
    void setDestinationFolder(std::shared_ptr<const FileDescriptor> folder) { folder_ = std::move(folder); }

    // Called on the export service's thread once the whole file is on the
    // disk, just before it takes its name, with the file's size and time:
    // the owner notes the output as made. When it returns false, the file does
    // not take its name and the import fails. Before importAsset().
    using BeforeRename = std::function<bool(const FileStamp&)>;
    void setBeforeRename(BeforeRename note) { beforeRename_ = std::move(note); }

    // Stops the import: a running export ends as cancelled, an MP3 whose movie
    // is done is not extracted, and no file is renamed into place. The
    // completion block is still called once. Any thread.
    void cancel();

    // Copies the payload of the first top-level "mdat" atom of the QuickTime
    // movie at `movieURL`, byte for byte, into the file at `destinationURL`.
    // Returns true only when the destination received the whole payload.
    // Failures are logged under "extractQTMovie:toFile:". The destination is
    // created or emptied only once an "mdat" atom has been found.
    static bool extractQTMovie(const Url& movieURL, const Url& destinationURL);

    // Any thread, any time. While an export session is held they forward to it
    // (progress 0.0 to 1.0, status 0 to 5, its error); with no session they
    // read 0.0, 0 and nothing. An import that gave up before its export
    // reports its own error; one that failed (or was cancelled) after its
    // export had completed, at the extraction or the rename, reads status 4
    // (or 5) and its own error, until the handler lets go of the session.
    float progress() const;
    AVAssetExportSessionStatus status() const;
    std::optional<Error> error() const;

private:
    // The MP3 path of importAsset(): export into the temporary movie, extract
    // its payload into a temporary file after an ID3v2 tag with the source's
    // title, artist, album and cover, then rename that into place. `asset` is
    // the session's asset.
    struct OutputTagging;
    void importMP3ToFile(const Url& destinationURL, const std::shared_ptr<AVURLAsset>& asset,
                         std::optional<OutputTagging> tagging, CompletionBlock completionBlock);
    // The end of both export handlers: the completion block, then the
    // session's error in the log (when `logsSessionError`) under
    // `operation`, then the session let go.
    void finishExport(const CompletionBlock& completionBlock, const char* operation, bool logsSessionError);

    struct State {
        std::shared_ptr<AVAssetExportSession> session;
        std::optional<Error> failure; // the worker's own, if any
    };
    State state() const;
    void setSession(std::shared_ptr<AVAssetExportSession> session);
    void releaseSession();
    void giveUp(Error why, CompletionBlock completionBlock);
    void fail(Error why);
    // The tags the library gives the song (an iPod's database), written into
    // the output of `format` before it takes its name.
    struct OutputTagging {
        medialibrary::AudioFormat format;
        medialibrary::OutputTags tags;
    };
    std::optional<OutputTagging> outputTagging(const Url& assetURL, medialibrary::AudioFormat format) const;
    bool publish(const QString& temporary, const Url& destinationURL, const QString& sourcePath, const char* op,
                 const std::optional<OutputTagging>& tagging = std::nullopt);
    // The folder temporaries are written into: the destination's, through the
    // folder given, else by its path.
    QString writingFolder(const Url& destinationURL) const;
    std::optional<QString> reasonNotToReplace(const QString& destination, const QString& sourcePath) const;
    bool isCancelled() const;

    // The completion block never runs before the importAsset() call that
    // started the import has returned, on whichever thread it was made.
    class CallScope;
    void awaitReturnFromImport();
    std::mutex callMutex_;
    std::condition_variable callReturned_;
    int callsInProgress_ = 0;

    const std::shared_ptr<const medialibrary::Library> library_; // the songs it converts, and never replaces
    mutable std::mutex mutex_; // guards the fields below; never held while calling out
    std::shared_ptr<AVAssetExportSession> export_; // the export session
    // The worker's own error; after a completed export it overrides the
    // session's status (Cancelled for a cancellation, else Failed).
    std::optional<Error> failure_;
    bool cancelled_ = false;
    bool replacesExisting_ = true; // set before the import starts, read by its handler
    std::shared_ptr<const FileDescriptor> folder_; // the destination's folder, when given
    BeforeRename beforeRename_;
};

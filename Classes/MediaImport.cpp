#include "Classes/MediaImport.h"

#include "platform/export/ExportService.h"
#include "platform/export/LibraryTags.h"
#include "platform/export/MpegAudio.h"
#include "platform/export/QuickTimeExtraction.h"
#include "platform/foundation/FolderWalk.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PathString.h"
#include "platform/foundation/TemporaryFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr const char* kExtractOp = "extractQTMovie:toFile:";
constexpr const char* kImportOp = "importAsset:toURL:completionBlock:";
constexpr const char* kImportMP3Op = "importMP3ToFile:asset:completionBlock:";

using tempfiles::renameIntoPlace;

void removeTemporary(const QString& path)
{
    if (!path.isEmpty())
        ::unlink(path::native(path).constData());
}

// The extraction, logged under its own name when it fails.
std::optional<Error> extract(const Url& movieURL, const QString& destinationPath, const QByteArray& prefix,
                             int createFlags)
{
    std::optional<Error> failure = mediaexport::extractMoviePayload(movieURL.path(), destinationPath, prefix, createFlags);
    if (failure)
        applog::error(kExtractOp, failure->detail());
    return failure;
}

} // namespace

bool MediaImport::extractQTMovie(const Url& movieURL, const Url& destinationURL)
{
    return !extract(movieURL, destinationURL.path(), {}, O_TRUNC);
}

MediaImport::~MediaImport() = default;

class MediaImport::CallScope {
public:
    explicit CallScope(MediaImport& worker) : worker_(worker)
    {
        std::lock_guard lock(worker_.callMutex_);
        ++worker_.callsInProgress_;
    }
    ~CallScope()
    {
        {
            std::lock_guard lock(worker_.callMutex_);
            --worker_.callsInProgress_;
        }
        worker_.callReturned_.notify_all();
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    MediaImport& worker_;
};

void MediaImport::awaitReturnFromImport()
{
    std::unique_lock lock(callMutex_);
    callReturned_.wait(lock, [this] { return callsInProgress_ == 0; });
}

MediaImport::State MediaImport::state() const
{
    std::lock_guard lock(mutex_);
    return {export_, failure_};
}

void MediaImport::setSession(std::shared_ptr<AVAssetExportSession> session)
{
    std::shared_ptr<AVAssetExportSession> previous;
    std::lock_guard lock(mutex_);
    previous = std::exchange(export_, std::move(session));
}

void MediaImport::releaseSession()
{
    std::shared_ptr<AVAssetExportSession> released;
    {
        std::lock_guard lock(mutex_);
        released = std::move(export_);
        export_.reset();
        failure_.reset();
    }
    // The session goes here, outside the lock, once no reader can reach it.
}

float MediaImport::progress() const
{
    const State s = state();
    return s.session ? s.session->progress() : 0.0f;
}

AVAssetExportSessionStatus MediaImport::status() const
{
    const State s = state();
    const AVAssetExportSessionStatus exported = s.session ? s.session->status() : AVAssetExportSessionStatusUnknown;
    if (s.failure && exported == AVAssetExportSessionStatusCompleted)
        return s.failure->kind() == Error::Kind::Cancelled ? AVAssetExportSessionStatusCancelled
                                                           : AVAssetExportSessionStatusFailed;
    return exported;
}

std::optional<Error> MediaImport::error() const
{
    const State s = state();
    if (s.failure)
        return s.failure->kind() == Error::Kind::Cancelled ? std::nullopt : s.failure; // no error, as for the session
    return s.session ? s.session->error() : std::nullopt;
}

// An import that ends before any export has started still owes its owner one
// call of the completion block. It comes from the export service's thread,
// like every other, and so never before importAsset() has returned.
void MediaImport::giveUp(Error why, CompletionBlock completionBlock)
{
    {
        std::lock_guard lock(mutex_);
        failure_ = std::move(why);
    }
    exportservice::enqueue([self = shared_from_this(), completionBlock = std::move(completionBlock)] {
        self->awaitReturnFromImport();
        if (completionBlock)
            completionBlock(self);
    });
}

void MediaImport::fail(Error why)
{
    std::lock_guard lock(mutex_);
    failure_ = std::move(why);
}

void MediaImport::cancel()
{
    std::shared_ptr<AVAssetExportSession> session;
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        session = export_;
    }
    if (session)
        session->cancelExport();
}

bool MediaImport::isCancelled() const
{
    std::lock_guard lock(mutex_);
    return cancelled_;
}

// Renames the whole file `temporary` to the destination, unless that would
// replace something that must stay. On failure the temporary is removed and
// the worker reads as failed.
// Why the file at `destination` must not be replaced by an output, or nothing
// when it may: it is the song being converted or another song of the
// library, or a folder. Looked at through the destination's folder when one
// was given, never through a link.
std::optional<QString> MediaImport::reasonNotToReplace(const QString& destination, const QString& sourcePath) const
{
    struct stat info {};
    const int folder = folder_ ? folder_->get() : AT_FDCWD;
    const QByteArray name = path::native(folder_ ? path::lastComponent(destination) : destination);
    if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("a folder is in the way of %1").arg(destination);
    if (!S_ISREG(info.st_mode))
        return std::nullopt;
    struct stat source {};
    const bool isSource = !sourcePath.isEmpty() && ::stat(path::native(sourcePath).constData(), &source) == 0 &&
                          source.st_dev == info.st_dev && source.st_ino == info.st_ino;
    if (isSource || (library_ && library_->holdsFile(info.st_dev, info.st_ino)))
        return QStringLiteral("%1 is a song of the music library and is never overwritten").arg(destination);
    return std::nullopt;
}

QString MediaImport::writingFolder(const Url& destinationURL) const
{
    const QString folder = path::deletingLastComponent(destinationURL.path());
    return folder_ ? FolderWalk::pathThrough(folder_->get(), folder) : folder;
}

std::optional<MediaImport::OutputTagging> MediaImport::outputTagging(const Url& assetURL, medialibrary::AudioFormat format) const
{
    if (!library_)
        return std::nullopt;
    std::optional<medialibrary::OutputTags> tags = library_->outputTags(assetURL);
    if (!tags)
        return std::nullopt;
    return OutputTagging{format, std::move(*tags)};
}

bool MediaImport::publish(const QString& temporary, const Url& destinationURL, const QString& sourcePath, const char* op,
                          const std::optional<OutputTagging>& tagging)
{
    const QString destination = destinationURL.path();
    QString why;
    Error::Kind kind = Error::Kind::Other;
    if (isCancelled()) {
        removeTemporary(temporary);
        fail(Error(Error::Kind::Cancelled, QStringLiteral("rename"), QStringLiteral("cancelled")));
        return false;
    }
    if (tagging) {
        if (std::optional<Error> failure = mediaexport::writeLibraryTags(temporary, tagging->format, tagging->tags)) {
            removeTemporary(temporary);
            applog::error(op, failure->localizedDescription());
            fail(std::move(*failure));
            return false;
        }
    }
    const int folder = folder_ ? folder_->get() : AT_FDCWD;
    const QByteArray from = path::native(folder_ ? path::lastComponent(temporary) : temporary);
    const QByteArray to = path::native(folder_ ? path::lastComponent(destination) : destination);
    // The whole file reaches the disk before it takes its name, and the name
    // before the song counts as converted: a stick pulled right after the run
    // holds every song it reported, and never an empty file under a song's name.
    const auto flushed = [&]() -> int {
        const FileDescriptor file(::openat(folder, from.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        return file && ::fsync(file.get()) == 0 ? 0 : errno;
    };
    const auto folderFlushed = [&]() -> int {
        const FileDescriptor opened(folder_ ? -1 : ::open(path::native(path::deletingLastComponent(destination)).constData(),
                                                          O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const int fd = folder_ ? folder : opened.get();
        if (fd < 0)
            return errno;
        // Some file systems cannot flush a folder by itself, and say so.
        return ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP ? 0 : errno;
    };
    if (const std::optional<QString> reason = reasonNotToReplace(destination, sourcePath)) {
        why = *reason;
    } else if (const int error = flushed(); error != 0) {
        why = QStringLiteral("%1 could not be written: %2").arg(destination, QString::fromLocal8Bit(std::strerror(error)));
        if (error == ENOSPC)
            kind = Error::Kind::DiskFull;
    } else if (beforeRename_ && !beforeRename_(stampAt(folder, from))) {
        why = QStringLiteral("%1 could not be noted as made, so it does not take its name").arg(destination);
    } else if (const int renamed = renameIntoPlace(folder, from, to, replacesExisting_); renamed == EEXIST) {
        why = QStringLiteral("%1 appeared while the song was converted, and is kept").arg(destination);
    } else if (renamed != 0) {
        why = QStringLiteral("%1 could not be written: %2").arg(destination, QString::fromLocal8Bit(std::strerror(renamed)));
        if (renamed == ENOSPC)
            kind = Error::Kind::DiskFull;
    } else if (const int synced = folderFlushed(); synced != 0) {
        // In place, but maybe not on the disk: the song does not count as converted.
        why = QStringLiteral("%1 could not be written: %2").arg(destination, QString::fromLocal8Bit(std::strerror(synced)));
        applog::error(op, why);
        fail(Error(synced == ENOSPC ? Error::Kind::DiskFull : Error::Kind::Other, QStringLiteral("fsync"), why));
        return false;
    } else {
        return true;
    }
    removeTemporary(temporary);
    applog::error(op, why);
    fail(Error(kind, QStringLiteral("rename"), why));
    return false;
}

void MediaImport::importAsset(const Url& assetURL, const Url& toURL, CompletionBlock completionBlock)
{
    const CallScope scope(*this);

    std::shared_ptr<AVURLAsset> asset = AVURLAsset::URLAssetWithURL(assetURL, library_.get(), {});
    if (!asset) {
        applog::error(kImportOp, QStringLiteral("AVURLAsset could not be created"));
        giveUp(Error(Error::Kind::SongNotInLibrary, QStringLiteral("AVURLAsset::URLAssetWithURL"),
                     QStringLiteral("no readable song at %1").arg(assetURL.absoluteString())),
               std::move(completionBlock));
        return;
    }
    // Checked here so that the item fails before any work, and again at the
    // rename, for what may have appeared in between.
    if (const std::optional<QString> reason = reasonNotToReplace(toURL.path(), asset->filePath())) {
        applog::error(kImportOp, *reason);
        giveUp(Error(Error::Kind::Other, QStringLiteral("importAsset"), *reason), std::move(completionBlock));
        return;
    }
    std::shared_ptr<AVAssetExportSession> session = AVAssetExportSession::initWithAsset(asset, AVAssetExportPresetPassthrough);
    if (!session) {
        applog::error(kImportOp, QStringLiteral("AVAssetExportSession could not be created"));
        giveUp(Error(Error::Kind::Other, QStringLiteral("AVAssetExportSession::initWithAsset"),
                     QStringLiteral("no passthrough export session for the song")),
               std::move(completionBlock));
        return;
    }
    setSession(session);

    // The asset URL's extension names the song's format, exactly as the table
    // spells it; the table says what it becomes. MP3 goes through the movie,
    // the others directly.
    const QString extension = assetURL.pathExtension();
    std::optional<medialibrary::AudioFormat> format = medialibrary::formatForOutputExtension(extension);
    if (format && extension != QLatin1String(medialibrary::formatInfo(*format).outputExtension))
        format.reset(); // "MP3", "Flac": not the table's spelling
    if (format && medialibrary::formatInfo(*format).method == medialibrary::ExportMethod::ThroughMovie) {
        importMP3ToFile(toURL, asset, outputTagging(assetURL, *format), std::move(completionBlock));
        return;
    }
    if (format) {
        session->setOutputFileType(QString::fromLatin1(medialibrary::formatInfo(*format).exportFileType));
    } else {
        applog::error(kImportOp, QStringLiteral("Unrecognized file extension: %1").arg(extension));
        // The idle session stays with the worker until it goes.
        giveUp(Error(Error::Kind::Other, QStringLiteral("importAsset"),
                     QStringLiteral("Unrecognized file extension: %1").arg(extension)),
               std::move(completionBlock));
        return;
    }
    const QString temporary = tempfiles::temporaryPath(writingFolder(toURL), toURL.pathExtension());
    session->setOutputURL(Url::fileURLWithPath(temporary));

    // The direct export handler.
    session->exportAsynchronouslyWithCompletionHandler(
        [self = shared_from_this(), completionBlock = std::move(completionBlock), toURL, temporary,
         source = asset->filePath(), tagging = outputTagging(assetURL, *format)] {
            self->awaitReturnFromImport();
            const std::shared_ptr<AVAssetExportSession> ended = self->state().session;
            if (ended && ended->status() == AVAssetExportSessionStatusCompleted)
                self->publish(temporary, toURL, source, kImportOp, tagging);
            else
                removeTemporary(temporary); // normally gone already
            self->finishExport(completionBlock, kImportOp, true);
        });
}

void MediaImport::finishExport(const CompletionBlock& completionBlock, const char* operation, bool logsSessionError)
{
    const std::shared_ptr<AVAssetExportSession> ended = state().session;
    if (completionBlock)
        completionBlock(shared_from_this());
    if (logsSessionError && ended) {
        if (const std::optional<Error> error = ended->error())
            applog::error(operation, error->localizedDescription());
    }
    releaseSession();
}

void MediaImport::importMP3ToFile(const Url& destinationURL, const std::shared_ptr<AVURLAsset>& asset,
                                  std::optional<OutputTagging> tagging, CompletionBlock completionBlock)
{
    const CallScope scope(*this);
    const std::shared_ptr<AVAssetExportSession> session = state().session;
    if (!session) {
        giveUp(Error(Error::Kind::Other, QStringLiteral("importMP3ToFile"), QStringLiteral("no export session")),
               std::move(completionBlock));
        return;
    }
    const QString folder = writingFolder(destinationURL);
    const Url movieURL = Url::fileURLWithPath(tempfiles::temporaryPath(folder, QStringLiteral("mov")));
    session->setOutputURL(movieURL);
    session->setOutputFileType(AVFileTypeQuickTimeMovie);

    // The MP3 export handler.
    session->exportAsynchronouslyWithCompletionHandler(
        [self = shared_from_this(), completionBlock = std::move(completionBlock), destinationURL, movieURL, folder,
         source = asset ? asset->filePath() : QString(), tagging = std::move(tagging)] {
            self->awaitReturnFromImport();
            const std::shared_ptr<AVAssetExportSession> ended = self->state().session;
            const AVAssetExportSessionStatus status = ended ? ended->status() : AVAssetExportSessionStatusUnknown;
            if (status == AVAssetExportSessionStatusFailed) {
                self->finishExport(completionBlock, kImportMP3Op, true);
                return;
            }
            if (status == AVAssetExportSessionStatusCompleted && self->isCancelled()) {
                self->fail(Error(Error::Kind::Cancelled, QStringLiteral("extractQTMovie"), QStringLiteral("cancelled")));
            } else if (status != AVAssetExportSessionStatusCancelled) {
                const QString temporary = tempfiles::temporaryPath(folder, destinationURL.pathExtension());
                if (std::optional<Error> failure = extract(movieURL, temporary, mpegaudio::id3v2TagFor(source), O_EXCL)) {
                    // The song did not reach its file: the owner sees a failure.
                    removeTemporary(temporary);
                    self->fail(std::move(*failure));
                } else {
                    self->publish(temporary, destinationURL, source, kImportMP3Op, tagging);
                }
            }
            removeTemporary(movieURL.path());
            self->finishExport(completionBlock, kImportMP3Op, false);
        });
}

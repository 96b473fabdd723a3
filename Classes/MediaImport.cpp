#include "Classes/MediaImport.h"

#include "platform/export/ExportService.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PathString.h"
#include "platform/foundation/TemporaryFiles.h"
#include "platform/library/MediaLibrary.h"

#include <QFile>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <set>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <memory>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr const char* kExtractOp = "extractQTMovie:toFile:";
constexpr const char* kImportOp = "importAsset:toURL:completionBlock:";
constexpr const char* kImportMP3Op = "importMP3ToFile:asset:completionBlock:";

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    auto operator<=>(const FileId&) const = default;
};

std::optional<FileId> fileIdOf(const QString& path, bool followLinks)
{
    struct stat info {};
    const QByteArray native = path::native(path);
    if (path.isEmpty() || (followLinks ? ::stat(native.constData(), &info) : ::lstat(native.constData(), &info)) != 0)
        return std::nullopt;
    return FileId{info.st_dev, info.st_ino};
}

// Whether the file `id` is a song of the default music library. The songs'
// identities are read once per library.
bool isLibrarySong(const FileId& id)
{
    const std::shared_ptr<const medialibrary::MediaLibrary> library =
        medialibrary::MediaLibrary::loadedDefaultMediaLibrary();
    if (!library)
        return false;
    static std::mutex mutex;
    static std::weak_ptr<const medialibrary::MediaLibrary> indexed;
    static std::set<FileId> songs;
    std::lock_guard lock(mutex);
    if (indexed.lock() != library) {
        songs.clear();
        for (const medialibrary::MediaItem& item : library->items()) {
            if (const std::optional<FileId> song = fileIdOf(item.filePath(), true))
                songs.insert(*song);
        }
        indexed = library;
    }
    return songs.count(id) != 0;
}

// Why the file at `path` must not be replaced by an output, or nothing when
// it may: it is the song being converted or another song of the library, or
// a folder.
std::optional<QString> reasonNotToReplace(const QString& path, const QString& sourcePath)
{
    struct stat info {};
    if (::lstat(path::native(path).constData(), &info) != 0)
        return std::nullopt;
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("a folder is in the way of %1").arg(path);
    const FileId id{info.st_dev, info.st_ino};
    if (S_ISREG(info.st_mode) && (fileIdOf(sourcePath, true) == id || isLibrarySong(id)))
        return QStringLiteral("%1 is a song of the music library and is never overwritten").arg(path);
    return std::nullopt;
}

// Renames `temporary` to `destination`; unless `replace`, only while nothing
// is at `destination`. Returns 0 or the errno, EEXIST when something is there.
int renameIntoPlace(const QString& temporary, const QString& destination, bool replace)
{
    const QByteArray from = path::native(temporary);
    const QByteArray to = path::native(destination);
    if (replace)
        return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: look, then rename.
    struct stat info {};
    if (::lstat(to.constData(), &info) == 0 || errno != ENOENT)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

void removeTemporary(const QString& path)
{
    if (!path.isEmpty())
        ::unlink(path::native(path).constData());
}

// The movie and the destination are plain descriptors: each block of the
// copy is then exactly one read() and one write() of the block, where stdio
// would split a block around its own 4 kB buffer and copy part of it twice.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Reads `size` bytes at the file position; a signal or a short read does not
// end it early, only the end of the file or an error.
bool readFully(int fd, void* into, std::size_t size)
{
    auto* at = static_cast<unsigned char*>(into);
    while (size != 0) {
        const ssize_t n = ::read(fd, at, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeFully(int fd, const void* from, std::size_t size)
{
    const auto* at = static_cast<const unsigned char*>(from);
    while (size != 0) {
        const ssize_t n = ::write(fd, at, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::uint64_t bigEndian(const unsigned char* p, int bytes)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

struct MdatPayload {
    bool found = false;
    std::uint64_t length = 0; // bytes after the header; the file position is at its start
};

// Walks the top-level atoms from the file's start to the first "mdat".
// Every step moves forward, and a size that cannot describe an atom ends the
// walk, so the walk always ends.
MdatPayload findMdat(int movie, std::uint64_t fileSize)
{
    std::uint64_t atomStart = 0;
    for (;;) {
        unsigned char header[8];
        if (!readFully(movie, header, sizeof header))
            return {};
        const std::uint64_t size32 = bigEndian(header, 4);
        const bool isMdat = std::memcmp(header + 4, "mdat", 4) == 0;

        std::uint64_t size = size32;
        std::uint64_t headerLength = 8;
        if (size32 == 1) {
            unsigned char extended[8];
            if (!readFully(movie, extended, sizeof extended))
                return {};
            size = bigEndian(extended, 8);
            headerLength = 16;
            if (size < 16)
                return {};
        } else if (size32 == 0) {
            // Runs to the end of the file; only meaningful for "mdat".
            if (!isMdat)
                return {};
            const std::uint64_t payloadStart = atomStart + headerLength;
            return {true, fileSize > payloadStart ? fileSize - payloadStart : 0};
        } else if (size32 < 8) {
            return {};
        }

        if (isMdat)
            return {true, size - headerLength};

        // The next atom starts `size` bytes after this one. One that would
        // start past the end of the file means there is no next header.
        if (size > fileSize - atomStart)
            return {};
        atomStart += size;
        if (::lseek(movie, static_cast<off_t>(atomStart), SEEK_SET) < 0)
            return {};
    }
}

} // namespace

namespace {
bool extractPayload(const Url& movieURL, const QString& destinationPath, const QByteArray& prefix, int createFlags,
                    QString* failure);
}

bool MediaImport::extractQTMovie(const Url& movieURL, const Url& destinationURL, QString* failure)
{
    return extractPayload(movieURL, destinationURL.path(), {}, O_TRUNC, failure);
}

namespace {
// The extraction proper: the payload, after `prefix`, into a file opened with
// O_CREAT and `createFlags`.
bool extractPayload(const Url& movieURL, const QString& destinationPath, const QByteArray& prefix, int createFlags,
                    QString* failure)
{
    auto fail = [failure](const QString& why) {
        applog::error(kExtractOp, why);
        if (failure)
            *failure = why;
        return false;
    };
    const QByteArray moviePath = path::native(movieURL.path());
    Fd movie(::open(moviePath.constData(), O_RDONLY | O_CLOEXEC));
    if (!movie) {
        return fail(QStringLiteral("Could not open source file"));
    }

    struct stat info {};
    const std::uint64_t fileSize =
        ::fstat(movie.get(), &info) == 0 && info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;

    const MdatPayload mdat = findMdat(movie.get(), fileSize);
    if (!mdat.found) {
        movie.reset();
        return fail(QStringLiteral("Did not find mdat chunk"));
    }

    const QByteArray nativeDestination = path::native(destinationPath);
    Fd destination(::open(nativeDestination.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | createFlags | O_CLOEXEC, 0666));
    if (!destination) {
        movie.reset();
        return fail(QStringLiteral("Could not open destination file"));
    }

    constexpr std::size_t kCopyBlockSize = MediaImport::kCopyBlockSize;
    auto buffer = std::make_unique<unsigned char[]>(kCopyBlockSize);
    std::uint64_t remaining = mdat.length;
    bool truncated = false;
    bool writeFailed = !prefix.isEmpty() && !writeFully(destination.get(), prefix.constData(), static_cast<std::size_t>(prefix.size()));
    while (remaining != 0 && !writeFailed) {
        const std::size_t block = remaining > kCopyBlockSize ? kCopyBlockSize : static_cast<std::size_t>(remaining);
        if (!readFully(movie.get(), buffer.get(), block)) {
            truncated = true;
            break;
        }
        if (!writeFully(destination.get(), buffer.get(), block)) {
            writeFailed = true;
            break;
        }
        remaining -= block;
    }

    if (::close(destination.release()) != 0)
        writeFailed = true;
    movie.reset();

    if (truncated) {
        return fail(QStringLiteral("Truncated mdat chunk"));
    }
    if (writeFailed) {
        return fail(QStringLiteral("Could not write destination file"));
    }
    return true;
}
} // namespace

MediaImport::~MediaImport() = default;

QByteArray MediaImport::id3v2TagFor(const QString& sourcePath)
{
    TagLib::MPEG::File source(path::native(sourcePath).constData(), false);
    if (!source.isValid())
        return {};
    TagLib::ByteVector rendered;
    if (source.hasID3v2Tag() && !source.ID3v2Tag()->isEmpty()) {
        rendered = source.ID3v2Tag()->render();
    } else {
        const TagLib::Tag* tags = source.tag();
        if (!tags || tags->isEmpty())
            return {};
        TagLib::ID3v2::Tag made;
        TagLib::Tag::duplicate(tags, &made, true);
        rendered = made.render();
    }
    return QByteArray(rendered.data(), static_cast<qsizetype>(rendered.size()));
}

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
    return {export_, failure_, failedStatus_};
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
    std::shared_ptr<const ExportError> failure;
    {
        std::lock_guard lock(mutex_);
        released = std::move(export_);
        export_.reset();
        failure = std::move(failure_);
        failure_.reset();
        failedStatus_ = 0;
    }
    // The session goes here, outside the lock, once no reader can reach it.
}

float MediaImport::progress() const
{
    const State s = state();
    return s.session ? s.session->progress() : 0.0f;
}

std::int32_t MediaImport::status() const
{
    const State s = state();
    if (s.failedStatus != 0)
        return s.failedStatus;
    return s.session ? static_cast<std::int32_t>(s.session->status()) : 0;
}

std::shared_ptr<const ExportError> MediaImport::error() const
{
    const State s = state();
    if (s.failure)
        return s.failure;
    return s.session ? s.session->error() : nullptr;
}

// An import that ends before any export has started still owes its owner one
// call of the completion block. It comes from the export service's thread,
// like every other, and so never before importAsset() has returned.
void MediaImport::giveUp(std::shared_ptr<const ExportError> why, CompletionBlock completionBlock)
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

void MediaImport::fail(std::int32_t status, std::shared_ptr<const ExportError> why)
{
    std::lock_guard lock(mutex_);
    failure_ = std::move(why);
    failedStatus_ = status;
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
bool MediaImport::publish(const QString& temporary, const Url& destinationURL, const QString& sourcePath, const char* op)
{
    const QString destination = destinationURL.path();
    QString why;
    if (isCancelled()) {
        removeTemporary(temporary);
        fail(AVAssetExportSessionStatusCancelled, nullptr);
        return false;
    }
    if (const std::optional<QString> reason = reasonNotToReplace(destination, sourcePath)) {
        why = *reason;
    } else if (const int error = renameIntoPlace(temporary, destination, replacesExisting_); error == EEXIST) {
        why = QStringLiteral("%1 appeared while the song was converted, and is kept").arg(destination);
    } else if (error != 0) {
        why = QStringLiteral("%1 could not be written: %2").arg(destination, QString::fromLocal8Bit(std::strerror(error)));
    } else {
        return true;
    }
    removeTemporary(temporary);
    applog::error(op, why);
    fail(AVAssetExportSessionStatusFailed, std::make_shared<const ExportError>(QStringLiteral("rename"), -1, why));
    return false;
}

void MediaImport::importAsset(const Url& assetURL, const Url& toURL, CompletionBlock completionBlock)
{
    const CallScope scope(*this);

    std::shared_ptr<AVURLAsset> asset = AVURLAsset::URLAssetWithURL(assetURL, {});
    if (!asset) {
        applog::error(kImportOp, QStringLiteral("AVURLAsset could not be created"));
        giveUp(std::make_shared<const ExportError>(QStringLiteral("AVURLAsset::URLAssetWithURL"), -1,
                                                   QStringLiteral("no readable song at %1").arg(assetURL.absoluteString())),
               std::move(completionBlock));
        return;
    }
    // Checked here so that the item fails before any work, and again at the
    // rename, for what may have appeared in between.
    if (const std::optional<QString> reason = reasonNotToReplace(toURL.path(), asset->filePath())) {
        applog::error(kImportOp, *reason);
        giveUp(std::make_shared<const ExportError>(QStringLiteral("importAsset"), -1, *reason), std::move(completionBlock));
        return;
    }
    std::shared_ptr<AVAssetExportSession> session = AVAssetExportSession::initWithAsset(asset, AVAssetExportPresetPassthrough);
    if (!session) {
        applog::error(kImportOp, QStringLiteral("AVAssetExportSession could not be created"));
        giveUp(std::make_shared<const ExportError>(QStringLiteral("AVAssetExportSession::initWithAsset"), -1,
                                                   QStringLiteral("no passthrough export session for the song")),
               std::move(completionBlock));
        return;
    }
    setSession(session);

    const QString extension = assetURL.pathExtension();
    if (extension == u"mp3") {
        importMP3ToFile(toURL, asset, std::move(completionBlock));
        return;
    }
    if (extension == u"m4a") {
        session->setOutputFileType(AVFileTypeAppleM4A);
    } else if (extension == u"wav") {
        session->setOutputFileType(AVFileTypeWAVE);
    } else if (extension == u"aif") {
        session->setOutputFileType(AVFileTypeAIFF);
    } else {
        applog::error(kImportOp, QStringLiteral("Unrecognized file extension: %1").arg(extension));
        // The idle session stays with the worker until it goes.
        giveUp(std::make_shared<const ExportError>(QStringLiteral("importAsset"), -1,
                                                   QStringLiteral("Unrecognized file extension: %1").arg(extension)),
               std::move(completionBlock));
        return;
    }
    const QString temporary = tempfiles::temporaryPath(path::deletingLastComponent(toURL.path()), toURL.pathExtension());
    session->setOutputURL(Url::fileURLWithPath(temporary));

    // The direct export handler.
    session->exportAsynchronouslyWithCompletionHandler(
        [self = shared_from_this(), completionBlock = std::move(completionBlock), toURL, temporary,
         source = asset->filePath()] {
            self->awaitReturnFromImport();
            const std::shared_ptr<AVAssetExportSession> ended = self->state().session;
            if (ended && ended->status() == AVAssetExportSessionStatusCompleted)
                self->publish(temporary, toURL, source, kImportOp);
            else
                removeTemporary(temporary); // normally gone already
            if (completionBlock)
                completionBlock(self);
            if (ended) {
                if (const std::shared_ptr<const ExportError> error = ended->error())
                    applog::error(kImportOp, error->localizedDescription());
            }
            self->releaseSession();
        });
}

void MediaImport::importMP3ToFile(const Url& destinationURL, const std::shared_ptr<AVURLAsset>& asset,
                                  CompletionBlock completionBlock)
{
    const CallScope scope(*this);
    const std::shared_ptr<AVAssetExportSession> session = state().session;
    if (!session) {
        giveUp(std::make_shared<const ExportError>(QStringLiteral("importMP3ToFile"), -1, QStringLiteral("no export session")),
               std::move(completionBlock));
        return;
    }
    const QString folder = path::deletingLastComponent(destinationURL.path());
    const Url movieURL = Url::fileURLWithPath(tempfiles::temporaryPath(folder, QStringLiteral("mov")));
    session->setOutputURL(movieURL);
    session->setOutputFileType(AVFileTypeQuickTimeMovie);

    // The MP3 export handler.
    session->exportAsynchronouslyWithCompletionHandler(
        [self = shared_from_this(), completionBlock = std::move(completionBlock), destinationURL, movieURL, folder,
         source = asset ? asset->filePath() : QString()] {
            self->awaitReturnFromImport();
            const std::shared_ptr<AVAssetExportSession> ended = self->state().session;
            const std::int32_t status = ended ? static_cast<std::int32_t>(ended->status()) : 0;
            if (status == AVAssetExportSessionStatusFailed) {
                if (completionBlock)
                    completionBlock(self);
                if (const std::shared_ptr<const ExportError> error = ended->error())
                    applog::error(kImportMP3Op, error->localizedDescription());
            } else {
                if (status == AVAssetExportSessionStatusCompleted && self->isCancelled()) {
                    self->fail(AVAssetExportSessionStatusCancelled, nullptr);
                } else if (status != AVAssetExportSessionStatusCancelled) {
                    const QString temporary = tempfiles::temporaryPath(folder, destinationURL.pathExtension());
                    QString why;
                    if (extractPayload(movieURL, temporary, id3v2TagFor(source), O_EXCL, &why)) {
                        self->publish(temporary, destinationURL, source, kImportMP3Op);
                    } else {
                        // The song did not reach its file: the owner sees a failure.
                        removeTemporary(temporary);
                        self->fail(AVAssetExportSessionStatusFailed,
                                   std::make_shared<const ExportError>(QStringLiteral("extractQTMovie"), -1, why));
                    }
                }
                removeTemporary(movieURL.path());
                if (completionBlock)
                    completionBlock(self);
            }
            self->releaseSession();
        });
}

#include "platform/foundation/FolderWalk.h"

#include "platform/foundation/Destination.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/PathString.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Opens `relative` below `top` in one call that refuses every symbolic link
// on the way and every way out (openat2, Linux 5.6): what the walk level by
// level does, at a third of the calls. -1 with errno as the kernel says;
// -2 where the kernel has no openat2 (the walk is taken then).
int openBeneath(int top, const QByteArray& relative, int flags)
{
    static std::atomic<bool> unavailable{false};
    if (unavailable.load(std::memory_order_relaxed))
        return -2;
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags);
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH;
    const long fd = ::syscall(SYS_openat2, top, relative.constData(), &how, sizeof how);
    if (fd < 0 && (errno == ENOSYS || errno == E2BIG || errno == EPERM)) {
        unavailable.store(true, std::memory_order_relaxed);
        return -2;
    }
    return static_cast<int>(fd);
}

FileStamp stampFrom(const struct stat& info)
{
    if (!S_ISREG(info.st_mode))
        return {};
    return {static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

QStringList namesIn(int folder)
{
    QStringList names;
    DIR* dir = ::fdopendir(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names << path::fromNative(QByteArray(entry->d_name));
    }
    ::closedir(dir);
    return names;
}

// The entry of `folder` that is a folder (not a link) spelled otherwise than
// `name` but comparing equal to it; empty when there is none.
QString otherSpellingOfFolder(int folder, const QString& name)
{
    const QString wanted = destination::comparable(name);
    for (const QString& entry : namesIn(folder)) {
        struct stat info {};
        if (destination::comparable(entry) == wanted &&
            ::fstatat(folder, path::native(entry).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode))
            return entry;
    }
    return {};
}

} // namespace

FileStamp stampOf(const QString& path, bool followLinks)
{
    struct stat info {};
    const QByteArray native = path::native(path);
    if ((followLinks ? ::stat(native.constData(), &info) : ::lstat(native.constData(), &info)) != 0)
        return {};
    return stampFrom(info);
}

FileStamp stampAt(int folder, const QByteArray& name)
{
    struct stat info {};
    if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    return stampFrom(info);
}

FolderWalk::FolderWalk(const QString& top, bool caseInsensitive)
    : top_(std::make_shared<FileDescriptor>(
          ::open(path::native(top).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))),
      topPath_(top),
      caseInsensitive_(caseInsensitive)
{
}

FileDescriptor FolderWalk::openFolder(const QString& relative, bool create, QString* spelled, QStringList* made,
                                      QString* failure, int* error) const
{
    const QStringList levels = relative.split(u'/', Qt::SkipEmptyParts);
    QStringList madeHere; // shallowest first
    QString at;           // relative, as spelled on disk
    const auto fail = [&](const QString& relativeFolder, int why) {
        const QString folderPath = path::appendingComponent(topPath_, relativeFolder);
        if (failure) {
            *failure = why == ELOOP
                           ? L("Could not create folder %1: it is a symbolic link, and nothing is written through one")
                                 .arg(folderPath)
                           : L("Could not create folder %1: %2").arg(folderPath, QString::fromLocal8Bit(std::strerror(why)));
        }
        if (error)
            *error = why;
        return FileDescriptor();
    };
    const auto finish = [&](FileDescriptor result) {
        if (made) {
            for (auto it = madeHere.crbegin(); it != madeHere.crend(); ++it)
                made->append(*it);
        }
        if (spelled && result)
            *spelled = at;
        return result;
    };
    if (!isOpen())
        return finish(fail({}, EBADF));
    // Where names are spelled as they are given, a folder that is there opens
    // in one call; the walk below makes what is missing, finds other
    // spellings and says what is in the way.
    if (!caseInsensitive_ && !levels.isEmpty()) {
        const int fd = openBeneath(top_->get(), path::native(levels.join(u'/')), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            at = levels.join(u'/');
            return finish(FileDescriptor(fd));
        }
    }
    FileDescriptor folder(::openat(top_->get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return finish(fail({}, errno));
    for (qsizetype i = 0; i < levels.size(); ++i) {
        QString name = levels[i];
        FileDescriptor next(::openat(folder.get(), path::native(name).constData(), kFolderFlags));
        if (next && caseInsensitive_ && !namesIn(folder.get()).contains(name)) {
            if (const QString other = otherSpellingOfFolder(folder.get(), name); !other.isEmpty())
                name = other;
        }
        if (!next && errno == ENOENT) {
            if (const QString other = otherSpellingOfFolder(folder.get(), name); !other.isEmpty()) {
                name = other;
                next.reset(::openat(folder.get(), path::native(name).constData(), kFolderFlags));
            } else if (!create) {
                return finish(fail(path::appendingComponent(at, name), ENOENT));
            } else if (::mkdirat(folder.get(), path::native(name).constData(), 0777) == 0) {
                madeHere.append(path::appendingComponent(at, name));
                next.reset(::openat(folder.get(), path::native(name).constData(), kFolderFlags));
            } else if (errno != EEXIST) { // made by another in the meantime: open it as it is
                return finish(fail(path::appendingComponent(at, name), errno));
            } else {
                next.reset(::openat(folder.get(), path::native(name).constData(), kFolderFlags));
            }
        }
        if (!next) {
            // A link in the way is never followed (O_NOFOLLOW with O_DIRECTORY
            // says ELOOP or ENOTDIR); for a file in the way the folder below it
            // cannot be made ("Not a directory"), and a file where the last
            // folder should be is there already.
            int why = errno;
            struct stat info {};
            if ((why == ENOTDIR || why == ELOOP) &&
                ::fstatat(folder.get(), path::native(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(info.st_mode))
                why = ELOOP;
            const QString here = path::appendingComponent(at, name);
            if (why == ENOTDIR)
                return finish(i + 1 < levels.size() ? fail(path::appendingComponent(here, levels[i + 1]), ENOTDIR)
                                                    : fail(here, EEXIST));
            return finish(fail(here, why));
        }
        at = path::appendingComponent(at, name);
        folder = std::move(next);
    }
    return finish(std::move(folder));
}

FolderWalk::Found FolderWalk::find(const QString& relative) const
{
    Found found;
    if (const int fd = isOpen() ? openBeneath(top_->get(), path::native(relative), O_PATH | O_NOFOLLOW | O_CLOEXEC) : -2;
        fd != -2) {
        // A link at the end is opened as itself; one on the way, or a file
        // in the way, is refused.
        const FileDescriptor opened(fd);
        struct stat info {};
        if (!opened || ::fstat(opened.get(), &info) != 0) {
            found.kind = errno == ENOENT ? Kind::Nothing : Kind::Unreachable;
            return found;
        }
        found.kind = S_ISREG(info.st_mode) ? Kind::File : S_ISDIR(info.st_mode) ? Kind::Folder
                                                         : S_ISLNK(info.st_mode) ? Kind::Link
                                                                                 : Kind::Other;
        found.stamp = stampFrom(info);
        return found;
    }
    int error = 0;
    const FileDescriptor folder = openFolder(path::deletingLastComponent(relative), false, nullptr, nullptr, nullptr, &error);
    if (!folder) {
        found.kind = error == ENOENT ? Kind::Nothing : Kind::Unreachable;
        return found;
    }
    const QString name = path::lastComponent(relative);
    struct stat info {};
    if (::fstatat(folder.get(), path::native(name).constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        found.kind = errno == ENOENT ? Kind::Nothing : Kind::Unreachable;
        return found;
    }
    found.kind = S_ISREG(info.st_mode) ? Kind::File : S_ISDIR(info.st_mode) ? Kind::Folder
                                                     : S_ISLNK(info.st_mode) ? Kind::Link
                                                                             : Kind::Other;
    found.stamp = stampFrom(info);
    return found;
}

bool FolderWalk::isTaken(const QString& relative) const
{
    const FileDescriptor folder = openFolder(path::deletingLastComponent(relative), false);
    if (!folder)
        return false; // nothing there yet, or a way that making the folder will refuse, and say why
    const QString name = path::lastComponent(relative);
    struct stat info {};
    if (::fstatat(folder.get(), path::native(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0)
        return true;
    const QString wanted = destination::comparable(name);
    for (const QString& entry : namesIn(folder.get())) {
        if (destination::comparable(entry) == wanted)
            return true;
    }
    return false;
}

QStringList FolderWalk::entries(const QString& relative) const
{
    const FileDescriptor folder = openFolder(relative, false);
    return folder ? namesIn(folder.get()) : QStringList();
}

QString FolderWalk::pathThrough(int folder, const QString& fallback)
{
    static const bool hasProc = ::access("/proc/self/fd", X_OK) == 0;
    return hasProc ? QStringLiteral("/proc/self/fd/%1").arg(folder) : fallback;
}

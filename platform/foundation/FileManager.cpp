#include "platform/foundation/FileManager.h"

#include "platform/foundation/PathString.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace filemanager {

std::optional<QStringList> contentsOfDirectoryAtPath(const QString& folder)
{
    DIR* dir = ::opendir(path::native(folder).constData());
    if (!dir)
        return std::nullopt;
    QStringList names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
            names.append(path::fromNative(name));
    }
    ::closedir(dir);
    return names;
}

bool fileExistsAtPath(const QString& path, bool* isDirectory)
{
    struct stat st {};
    const bool exists = !path.isEmpty() && ::stat(path::native(path).constData(), &st) == 0;
    if (isDirectory)
        *isDirectory = exists && S_ISDIR(st.st_mode);
    return exists;
}

namespace {

thread_local int t_firstError = 0;
thread_local QByteArray t_failedPath;

int removeOne(const char* path, const struct stat*, int type, struct FTW*)
{
    // FTW_DEPTH: a folder comes after its content. FTW_PHYS: a link is an
    // entry of its own (FTW_SL / FTW_SLN), never followed. FTW_MOUNT: a
    // file system mounted inside is left alone (its folder then stays).
    const int rc = (type == FTW_DP || type == FTW_DNR) ? ::rmdir(path) : ::unlink(path);
    if (rc != 0 && t_firstError == 0) {
        t_firstError = errno;
        t_failedPath = path;
    }
    return 0; // go on with the rest
}

} // namespace

bool removeItemAtPath(const QString& path, QString* error)
{
    const QByteArray native = path::native(path);
    struct stat st {};
    if (path.isEmpty() || ::lstat(native.constData(), &st) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(path.isEmpty() ? ENOENT : errno));
        return false;
    }
    t_firstError = 0;
    t_failedPath.clear();
    if (!S_ISDIR(st.st_mode)) {
        if (::unlink(native.constData()) != 0)
            t_firstError = errno;
    } else if (::nftw(native.constData(), removeOne, 32, FTW_DEPTH | FTW_PHYS | FTW_MOUNT) != 0
               && t_firstError == 0) {
        t_firstError = errno;
    }
    const bool gone = ::lstat(native.constData(), &st) != 0 && errno == ENOENT;
    if (!gone && error) {
        const int code = t_firstError ? t_firstError : EIO;
        *error = QString::fromLocal8Bit(std::strerror(code));
        if (!t_failedPath.isEmpty() && t_failedPath != native)
            *error += QStringLiteral(": ") + path::fromNative(t_failedPath);
    }
    return gone;
}

} // namespace filemanager

#include "platform/foundation/TemporaryFiles.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/FolderWalk.h"
#include "platform/foundation/PathString.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tempfiles {

namespace {

const QString kPrefix = QStringLiteral(".ripwell-tmp-");

std::atomic<quint64> g_sequence{0};

// Sixteen hex digits from the system's random source, drawn once.
const QString& processToken()
{
    static const QString token =
        QStringLiteral("%1").arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
    return token;
}

} // namespace

bool syncFolder(const QString& folder)
{
    const FileDescriptor fd(::open(path::native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Some file systems cannot flush a folder by itself, and say so.
    return fd && (::fsync(fd.get()) == 0 || errno == EINVAL || errno == ENOTSUP);
}

QString temporaryPath(const QString& folder, const QString& extension)
{
    QString name = kPrefix + processToken() + u'-' + QString::number(++g_sequence);
    if (!extension.isEmpty())
        name += u'.' + extension;
    return path::appendingComponent(folder, name);
}

bool isTemporaryName(const QString& fileName)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\.ripwell-tmp-([0-9a-f]{16}|[0-9]{1,10})-[0-9]{1,20}(\\.[a-z0-9]{1,5})?$"));
    return pattern.match(fileName).hasMatch();
}

bool isOwnTemporaryName(const QString& fileName)
{
    return isTemporaryName(fileName) && fileName.startsWith(kPrefix + processToken() + u'-');
}

QStringList removeStaleTemporaries(const QString& root, const QSet<QString>& folders)
{
    QStringList removed;
    const FolderWalk walk(root);
    QStringList sorted(folders.cbegin(), folders.cend());
    sorted.sort();
    for (const QString& folder : sorted) {
        const FileDescriptor fd = walk.openFolder(folder, false);
        if (!fd)
            continue;
        for (const QString& name : walk.entries(folder)) {
            if (!isTemporaryName(name) || isOwnTemporaryName(name))
                continue;
            struct stat info {};
            const QByteArray native = path::native(name);
            if (::fstatat(fd.get(), native.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
                ::unlinkat(fd.get(), native.constData(), 0) == 0)
                removed << path::appendingComponent(folder, name);
        }
    }
    removed.sort();
    return removed;
}

int renameIntoPlace(int folder, const QByteArray& temporary, const QByteArray& destination, bool replace)
{
    if (replace)
        return ::renameat(folder, temporary.constData(), folder, destination.constData()) == 0 ? 0 : errno;
    if (::renameat2(folder, temporary.constData(), folder, destination.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag (FAT and exFAT through FUSE): look, then rename.
    struct stat info {};
    if (::fstatat(folder, destination.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
        return EEXIST;
    return ::renameat(folder, temporary.constData(), folder, destination.constData()) == 0 ? 0 : errno;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* why)
{
    auto fail = [why](int error) {
        if (why)
            *why = QString::fromLocal8Bit(std::strerror(error));
        return false;
    };
    const QString temporary = temporaryPath(path::deletingLastComponent(path), path::extension(path));
    const QByteArray native = path::native(temporary);
    FileDescriptor fd(::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd)
        return fail(errno);
    errno = 0;
    int error = 0;
    if (!fileio::writeFully(fd.get(), bytes.constData(), static_cast<std::size_t>(bytes.size())))
        error = errno != 0 ? errno : ENOSPC;
    if (error == 0 && ::fdatasync(fd.get()) != 0)
        error = errno;
    if (!fd.close() && error == 0)
        error = errno;
    if (error == 0 && ::rename(native.constData(), path::native(path).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(native.constData());
        return fail(error);
    }
    syncFolder(path::deletingLastComponent(path));
    return true;
}

} // namespace tempfiles

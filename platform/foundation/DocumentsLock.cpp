#include "platform/foundation/DocumentsLock.h"

#include "platform/foundation/PathString.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <chrono>
#include <mutex>
#include <thread>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex g_mutex; // guards g_held
QHash<QString, std::weak_ptr<DocumentsLock>> g_held;

QString keyFor(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? path::standardizedSlashes(folder) : canonical;
}

QString holderOf(int fd)
{
    char text[256] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return QStringLiteral("another Ripwell run");
    const QString line = QString::fromUtf8(text, n).section(u'\n', 0, 0).trimmed();
    const QString pid = line.section(u' ', 0, 0);
    const QString name = line.section(u' ', 1).trimmed();
    bool ok = false;
    pid.toLongLong(&ok);
    if (!ok)
        return QStringLiteral("another Ripwell run");
    return QStringLiteral("%1 (process %2)").arg(name.isEmpty() ? QStringLiteral("Ripwell") : name, pid);
}

} // namespace

DocumentsLock::~DocumentsLock()
{
    fd_.reset(); // drops the lock
    std::lock_guard lock(g_mutex);
    const auto it = g_held.constFind(folder_);
    if (it != g_held.constEnd() && it->expired())
        g_held.remove(folder_);
}

std::shared_ptr<DocumentsLock> DocumentsLock::tryAcquire(const QString& folder, QString* holder, QString* why)
{
    const QString key = keyFor(folder);
    std::lock_guard lock(g_mutex);
    if (const std::shared_ptr<DocumentsLock> held = g_held.value(key).lock())
        return held;

    const QByteArray lockPath = path::native(path::appendingComponent(key, lockFileName()));
    // Never through a link placed at the lock's name, and never into a file
    // that has other names too: the lock file is truncated and written below,
    // and that must not reach any file outside the documents folder.
    FileDescriptor fd(::open(lockPath.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    const auto refuse = [&](const QString& reason) {
        if (holder)
            holder->clear();
        if (why)
            *why = reason;
        return nullptr;
    };
    if (!fd) {
        const int error = errno;
        return refuse(error == ELOOP ? QStringLiteral("%1 is a symbolic link").arg(path::fromNative(lockPath))
                                     : QString::fromLocal8Bit(std::strerror(error)));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1)
        return refuse(QStringLiteral("%1 is not a plain file of its own").arg(path::fromNative(lockPath)));
    int result;
    do {
        result = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            if (holder)
                *holder = holderOf(fd.get());
        } else {
            if (holder)
                holder->clear();
            if (why)
                *why = QString::fromLocal8Bit(std::strerror(error));
        }
        return nullptr;
    }

    // Who holds it, for the message of a run that has to wait. A failure to
    // write this (a full disk) does not weaken the lock itself.
    QString name = QCoreApplication::instance() ? QCoreApplication::applicationName() : QString();
    if (name.isEmpty())
        name = QStringLiteral("Ripwell");
    const QByteArray text = QByteArray::number(::getpid()) + ' ' + name.toUtf8() + '\n';
    if (::ftruncate(fd.get(), 0) == 0) {
        const ssize_t written = ::pwrite(fd.get(), text.constData(), static_cast<size_t>(text.size()), 0);
        (void)written;
    }

    auto acquired = std::make_shared<DocumentsLock>(Token{}, key, std::move(fd));
    g_held.insert(key, acquired);
    return acquired;
}

std::shared_ptr<DocumentsLock> DocumentsLock::acquire(const QString& folder,
                                                      const std::function<void(const QString&)>& waiting,
                                                      const std::function<bool()>& stop, QString* holder, QString* why)
{
    QString heldBy;
    for (bool told = false;;) {
        if (stop && stop())
            return nullptr;
        if (auto lock = tryAcquire(folder, &heldBy, why))
            return lock;
        if (holder)
            *holder = heldBy;
        if (heldBy.isEmpty() || !waiting)
            return nullptr; // cannot be had, or not to be waited for
        if (!told) {
            waiting(heldBy);
            told = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

#include "platform/foundation/TemporaryFiles.h"

#include "platform/foundation/PathString.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <unistd.h>

namespace tempfiles {

namespace {

const QString kPrefix = QStringLiteral(".ripwell-tmp-");

std::atomic<quint64> g_sequence{0};

bool processIsRunning(qint64 pid)
{
    // Beyond pid_t no process can run, and a negative pid_t would ask about a
    // process group (or, as -1, every process) instead.
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    if (pid == ::getpid())
        return true;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString temporaryPath(const QString& folder, const QString& extension)
{
    QString name = kPrefix + QString::number(::getpid()) + u'-' + QString::number(++g_sequence);
    if (!extension.isEmpty())
        name += u'.' + extension;
    return path::appendingComponent(folder, name);
}

bool isTemporaryName(const QString& fileName, qint64* pid)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.ripwell-tmp-([0-9]{1,10})-[0-9]{1,20}(\\.[^./]*)?$"));
    const QRegularExpressionMatch m = pattern.match(fileName);
    if (!m.hasMatch())
        return false;
    if (pid)
        *pid = m.captured(1).toLongLong();
    return true;
}

int removeStaleTemporaries(const QString& root)
{
    int removed = 0;
    QDirIterator it(root, {kPrefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        qint64 pid = 0;
        if (!isTemporaryName(it.fileName(), &pid) || processIsRunning(pid))
            continue;
        if (::unlink(QFile::encodeName(file).constData()) == 0)
            ++removed;
    }
    return removed;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* why)
{
    auto fail = [why](int error) {
        if (why)
            *why = errnoText(error);
        return false;
    };
    const QString temporary = temporaryPath(path::deletingLastComponent(path), path::extension(path));
    const QByteArray native = QFile::encodeName(temporary);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(errno);
    const char* at = bytes.constData();
    qsizetype left = bytes.size();
    int error = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd, at, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        at += n;
        left -= n;
    }
    if (error == 0 && ::fdatasync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(native.constData(), QFile::encodeName(path).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(native.constData());
        return fail(error);
    }
    return true;
}

} // namespace tempfiles

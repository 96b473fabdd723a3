#include "platform/foundation/TemporaryFiles.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/PathString.h"

#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

QString temporaryPath(const QString& folder, const QString& extension)
{
    QString name = kPrefix + processToken() + u'-' + QString::number(++g_sequence);
    if (!extension.isEmpty())
        name += u'.' + extension;
    return path::appendingComponent(folder, name);
}

bool isTemporaryName(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.ripwell-tmp-[0-9a-f]{1,16}-[0-9]{1,20}(\\.[^./]*)?$"));
    return pattern.match(fileName).hasMatch();
}

bool isOwnTemporaryName(const QString& fileName)
{
    return isTemporaryName(fileName) && fileName.startsWith(kPrefix + processToken() + u'-');
}

int removeStaleTemporaries(const QString& root)
{
    int removed = 0;
    QDirIterator it(root, {kPrefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (!isTemporaryName(it.fileName()) || isOwnTemporaryName(it.fileName()))
            continue;
        if (::unlink(path::native(file).constData()) == 0)
            ++removed;
    }
    return removed;
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
    return true;
}

} // namespace tempfiles

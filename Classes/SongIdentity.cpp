#include "Classes/SongIdentity.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/PathString.h"

#include <QCryptographicHash>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kEnd = 64 * 1024; // read at each end

} // namespace

SongIdentity::SongIdentity(const QString& path, const QString& libraryRoot) : path_(path), stamp_(stampOf(path, true))
{
    const QString top = path::standardizedSlashes(libraryRoot);
    const bool below = !top.isEmpty() && path.size() > top.size() + 1 && path.startsWith(top) &&
                       (top == u"/" || path[top.size()] == u'/');
    place_ = below ? path.mid(top == u"/" ? 1 : top.size() + 1) : path;
}

const QByteArray& SongIdentity::key() const
{
    if (!keyRead_) {
        key_ = contentKeyOf(path_);
        keyRead_ = true;
    }
    return key_;
}

QByteArray SongIdentity::contentKeyOf(const QString& path)
{
    const FileDescriptor fd(::open(path::native(path).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    const qint64 size = info.st_size;
    QByteArray head(qMin(size, kEnd), Qt::Uninitialized);
    QByteArray tail(size > kEnd ? qMin(size - kEnd, kEnd) : 0, Qt::Uninitialized);
    if (::pread(fd.get(), head.data(), std::size_t(head.size()), 0) != head.size() ||
        ::pread(fd.get(), tail.data(), std::size_t(tail.size()), size - tail.size()) != tail.size())
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArray::number(size));
    hash.addData(head);
    hash.addData(tail);
    return hash.result().left(16).toHex();
}

#include "platform/export/AVURLAsset.h"

#include "platform/foundation/PathString.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

std::optional<medialibrary::AudioFormat> AVURLAsset::format() const
{
    if (url_.isFileURL())
        return medialibrary::formatForFileName(filePath_);
    return medialibrary::formatForOutputExtension(url_.pathExtension());
}

std::shared_ptr<AVURLAsset> AVURLAsset::URLAssetWithURL(const Url& url, const medialibrary::Library* library,
                                                        const QVariantMap& /*options*/)
{
    if (url.isEmpty())
        return nullptr;
    const QString file = medialibrary::fileForURL(url, library);
    if (file.isEmpty())
        return nullptr;
    // By the file's own bytes, which need not be UTF-8.
    const QString absolute = QDir::isAbsolutePath(file) ? file : QDir::current().absoluteFilePath(file);
    const QByteArray native = path::native(absolute);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode) || ::access(native.constData(), R_OK) != 0)
        return nullptr;
    return std::make_shared<AVURLAsset>(url, absolute);
}

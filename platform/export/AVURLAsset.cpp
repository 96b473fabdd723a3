#include "platform/export/AVURLAsset.h"

#include "platform/library/AssetURL.h"

#include <QFileInfo>

std::shared_ptr<AVURLAsset> AVURLAsset::URLAssetWithURL(const Url& url, const QVariantMap& /*options*/)
{
    if (url.isEmpty())
        return nullptr;
    const QString file = medialibrary::fileForAssetURL(url);
    if (file.isEmpty())
        return nullptr;
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable())
        return nullptr;
    return std::make_shared<AVURLAsset>(url, info.absoluteFilePath());
}

#include "platform/library/AssetURL.h"

#include <QUrlQuery>
#include <mutex>

namespace medialibrary {

namespace {
std::mutex g_mutex;
AssetResolver g_resolver;
} // namespace

Url makeAssetURL(const QString& ext, quint64 id)
{
    return Url::fromString(QStringLiteral("library://item/item.%1?id=%2").arg(ext).arg(id));
}

bool assetId(const Url& url, quint64* id)
{
    if (url.scheme() != u"library" || url.qurl().host() != u"item")
        return false;
    bool ok = false;
    const quint64 value = QUrlQuery(url.qurl()).queryItemValue(QStringLiteral("id")).toULongLong(&ok);
    if (ok && id)
        *id = value;
    return ok;
}

void setAssetResolver(AssetResolver resolver)
{
    std::lock_guard lock(g_mutex);
    g_resolver = std::move(resolver);
}

QString fileForAssetURL(const Url& url)
{
    if (url.isFileURL())
        return url.path();
    AssetResolver resolver;
    {
        std::lock_guard lock(g_mutex);
        resolver = g_resolver;
    }
    return resolver ? resolver(url) : QString();
}

} // namespace medialibrary

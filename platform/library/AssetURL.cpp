#include "platform/library/AssetURL.h"

#include <QUrlQuery>

namespace medialibrary {

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

} // namespace medialibrary

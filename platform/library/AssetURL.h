#pragma once
// Library asset URLs: "library://item/item.EXT?id=N". EXT names the song's
// audio format, N is the song's persistent id. The export service and the
// player open an asset URL through fileForAssetURL().

#include "platform/foundation/Url.h"

#include <QString>
#include <functional>

namespace medialibrary {

// "library://item/item.<ext>?id=<id>"
Url makeAssetURL(const QString& ext, quint64 id);

// The id of a library asset URL; false when `url` is not one.
bool assetId(const Url& url, quint64* id);

// Resolves a library asset URL to the song file behind it.
using AssetResolver = std::function<QString(const Url&)>;
// Installed by the music library once it has an index. Thread-safe.
void setAssetResolver(AssetResolver resolver);

// The file that `url` stands for: a file URL's own path, a library asset URL's
// file through the installed resolver; empty when it resolves to nothing.
// Callable from any thread.
QString fileForAssetURL(const Url& url);

} // namespace medialibrary

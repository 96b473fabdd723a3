#pragma once
// Library asset URLs: "library://item/item.EXT?id=N". EXT names the song's
// audio format, N is the song's persistent id. The library that handed a URL
// out resolves it to the song's file (Library::fileForAssetURL).

#include "platform/foundation/Url.h"

#include <QString>

namespace medialibrary {

// "library://item/item.<ext>?id=<id>"
Url makeAssetURL(const QString& ext, quint64 id);

// The id of a library asset URL; false when `url` is not one.
bool assetId(const Url& url, quint64* id);

} // namespace medialibrary

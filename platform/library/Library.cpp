#include "platform/library/Library.h"

namespace medialibrary {

QString fileForURL(const Url& url, const Library* library)
{
    if (url.isFileURL())
        return url.path();
    return library ? library->fileForAssetURL(url) : QString();
}

} // namespace medialibrary

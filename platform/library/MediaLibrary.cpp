#include "platform/library/MediaLibrary.h"

#include "platform/foundation/PathString.h"
#include "platform/library/AssetURL.h"

#include <QSet>
#include <algorithm>

#include <sys/stat.h>

namespace medialibrary {

namespace {

// Null (absent) texts sort after every present one.
int compareText(const QString& a, const QString& b)
{
    if (a.isNull() || b.isNull())
        return int(a.isNull()) - int(b.isNull());
    return QString::compare(a, b, Qt::CaseInsensitive);
}

} // namespace

void MediaLibrary::setItems(std::vector<MediaItem> items)
{
    items_ = std::move(items);
    std::sort(items_.begin(), items_.end(), inLibraryOrder);
    byId_.clear();
    byId_.reserve(qsizetype(items_.size()));
    for (std::size_t i = 0; i < items_.size(); ++i)
        byId_.insert(items_[i].persistentID(), i);
}

bool MediaLibrary::inLibraryOrder(const MediaItem& a, const MediaItem& b)
{
    if (int c = compareText(a.artist(), b.artist()))
        return c < 0;
    if (int c = compareText(a.albumTitle(), b.albumTitle()))
        return c < 0;
    if (a.albumTrackNumber() != b.albumTrackNumber())
        return a.albumTrackNumber() < b.albumTrackNumber();
    if (int c = compareText(a.title(), b.title()))
        return c < 0;
    return a.filePath() < b.filePath();
}

bool MediaLibrary::isAudioFileName(const QString& fileName)
{
    return formatForFileName(fileName).has_value();
}

bool MediaLibrary::holdsFile(quint64 device, quint64 inode) const
{
    std::call_once(filesRead_, [this] {
        for (const MediaItem& item : items_) {
            struct stat info {};
            if (::stat(path::native(item.filePath()).constData(), &info) == 0)
                files_.insert(qMakePair(quint64(info.st_dev), quint64(info.st_ino)));
        }
    });
    return files_.contains(qMakePair(device, inode));
}

MediaItem MediaLibrary::itemWithPersistentID(quint64 id) const
{
    auto it = byId_.constFind(id);
    return it == byId_.constEnd() ? MediaItem() : items_[it.value()];
}

MediaItem MediaLibrary::itemForAssetURL(const Url& url) const
{
    quint64 id = 0;
    if (!assetId(url, &id))
        return {};
    MediaItem item = itemWithPersistentID(id);
    return !item.isNull() && item.assetURL() == url ? item : MediaItem();
}

QString MediaLibrary::fileForAssetURL(const Url& url) const
{
    return itemForAssetURL(url).filePath();
}

} // namespace medialibrary

#include "platform/library/MediaLibrary.h"

#include "platform/foundation/PathString.h"
#include "platform/library/AssetURL.h"

#include <QSet>
#include <algorithm>
#include <string>
#include <string_view>

#include <sys/stat.h>

namespace medialibrary {

namespace {

// Null (absent) texts sort after every present one; case is ignored.
int compareText(const QString& a, const QString& b)
{
    if (a.isNull() || b.isNull())
        return int(a.isNull()) - int(b.isNull());
    // Tags are mostly ASCII, where ignoring case is folding A-Z, as Qt does;
    // the rest, from the first other character on, is Qt's to compare.
    const QChar* x = a.constData();
    const QChar* y = b.constData();
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype i = 0;
    for (; i < n && x[i].unicode() < 0x80 && y[i].unicode() < 0x80; ++i) {
        const char16_t cx = x[i].unicode(), cy = y[i].unicode();
        const char16_t fx = cx >= u'A' && cx <= u'Z' ? char16_t(cx + 32) : cx;
        const char16_t fy = cy >= u'A' && cy <= u'Z' ? char16_t(cy + 32) : cy;
        if (fx != fy)
            return fx < fy ? -1 : 1;
    }
    if (i == n)
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    return QStringView(a).mid(i).compare(QStringView(b).mid(i), Qt::CaseInsensitive);
}

// A song's names folded once for sorting, where they are all ASCII (as most
// tags are); songs with other names are compared by inLibraryOrder itself.
struct SortKey {
    std::string_view names[3]; // artist, album, title, A-Z folded
    bool absent[3] = {};
    bool folded = false;
};

bool foldsToAscii(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// The same order as inLibraryOrder, for two songs whose names are folded.
bool foldedLess(const SortKey& a, const SortKey& b, const MediaItem& x, const MediaItem& y)
{
    for (int i = 0; i < 3; ++i) {
        if (i == 2 && x.albumTrackNumber() != y.albumTrackNumber())
            return x.albumTrackNumber() < y.albumTrackNumber();
        if (a.absent[i] != b.absent[i])
            return b.absent[i];
        if (const int c = a.names[i].compare(b.names[i]))
            return c < 0;
    }
    return x.filePath() < y.filePath();
}

} // namespace

void MediaLibrary::setItems(std::vector<MediaItem> items)
{
    // Sorting compares each song with many others: fold their names once.
    std::size_t length = 0;
    for (const MediaItem& item : items)
        length += std::size_t(item.artist().size() + item.albumTitle().size() + item.title().size());
    std::string folded;
    folded.reserve(length); // never grows: the views below stay valid
    std::vector<SortKey> keys(items.size());
    for (std::size_t k = 0; k < items.size(); ++k) {
        const QString* names[3] = {&items[k].artist(), &items[k].albumTitle(), &items[k].title()};
        if (!foldsToAscii(*names[0]) || !foldsToAscii(*names[1]) || !foldsToAscii(*names[2]))
            continue;
        for (int i = 0; i < 3; ++i) {
            const std::size_t start = folded.size();
            for (QChar c : *names[i]) {
                const char ch = char(c.unicode());
                folded.push_back(ch >= 'A' && ch <= 'Z' ? char(ch + 32) : ch);
            }
            keys[k].names[i] = std::string_view(folded).substr(start, folded.size() - start);
            keys[k].absent[i] = names[i]->isNull();
        }
        keys[k].folded = true;
    }
    std::vector<std::uint32_t> order(items.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = std::uint32_t(k);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return keys[a].folded && keys[b].folded ? foldedLess(keys[a], keys[b], items[a], items[b])
                                                : inLibraryOrder(items[a], items[b]);
    });
    items_.clear();
    items_.reserve(items.size());
    for (std::uint32_t k : order)
        items_.push_back(std::move(items[k]));
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

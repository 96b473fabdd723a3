#pragma once
// The songs picked for one conversion run: asset URL -> media item. Keys keep
// the order in which they were inserted (the order the user picked them), and
// that is the order the run visits them in.

#include "platform/foundation/Url.h"
#include "platform/library/MediaItem.h"

#include <QHash>
#include <QList>

class SelectionMap {
public:
    // Adds `item` under `key`; a key already present keeps its place and gets the new item.
    void setObject(const medialibrary::MediaItem& item, const Url& key)
    {
        if (!values_.contains(key))
            keys_.append(key);
        values_.insert(key, item);
    }
    // The keys in insertion order.
    const QList<Url>& allKeys() const { return keys_; }
    // The item under `key`; a null item when there is none.
    medialibrary::MediaItem objectForKey(const Url& key) const { return values_.value(key); }
    std::size_t count() const { return static_cast<std::size_t>(keys_.size()); }
    bool isEmpty() const { return keys_.isEmpty(); }

private:
    QList<Url> keys_;
    QHash<Url, medialibrary::MediaItem> values_;
};

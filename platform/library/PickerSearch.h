#pragma once
// What the picker's search looks in: for each song its title, artist and
// album. An artist or album is kept once, case-folded, however many songs
// share it, and a song refers to it by number, so a search word is looked for
// once in each name; a title is read from the song itself, and only when the
// letters and pairs of letters it holds (noted per song, a bit each) include
// all of the word's. Case does not count. The keys lie side by side, 24
// bytes a song.
//
// A search shows the songs whose title, artist or album holds every word of
// the search text (each word within one of them).

#include "platform/library/MediaItem.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace medialibrary {

class PickerSearch {
public:
    struct Key {
        quint64 letters = 0;          // which letters the title holds (letterMask())
        quint64 pairs = 0;            // which pairs of letters in a row it holds (pairMask())
        quint32 artist = 0;           // into names(); 0 is no name
        quint32 album : 31 = 0;
        quint32 convertible : 1 = 0;  // a song Ripwell converts
    };

    PickerSearch();

    // The key of `item`; its artist and album are added to the names the
    // first time they come.
    Key keyOf(const MediaItem& item);
    // Keys of `items`, in their order, in place of the ones there were.
    void setKeys(const std::vector<MediaItem>& items);
    std::vector<Key>& keys() { return keys_; }
    std::size_t size() const { return keys_.size(); }

    // The search words of `text`, case-folded.
    static QStringList wordsOf(const QString& text);
    // A bit for each letter (case-folded) of `text`: a title whose bits lack
    // one of a word's cannot hold the word, and is passed over unread.
    static quint64 letterMask(const QString& text);
    // The same for each two letters in a row: a title must hold all of a
    // word's pairs as well.
    static quint64 pairMask(const QString& text);
    // Of `songs` (the songs the keys were made of) at positions `among`
    // (every one when null), those that match all `words`, in order.
    std::vector<quint32> matches(const QStringList& words, const std::vector<MediaItem>& songs,
                                 const std::vector<quint32>* among) const;

private:
    quint32 nameNumber(const QString& name);

    std::vector<Key> keys_;
    std::vector<QString> names_;         // folded; names_[0] is empty
    QHash<QString, quint32> numberOf_;   // by the name as songs have it
};

} // namespace medialibrary

#include "platform/library/PickerSearch.h"

namespace medialibrary {

PickerSearch::PickerSearch() : names_{QString()} {}

quint32 PickerSearch::nameNumber(const QString& name)
{
    if (name.isEmpty())
        return 0;
    const auto found = numberOf_.constFind(name);
    if (found != numberOf_.cend())
        return *found;
    const auto number = quint32(names_.size());
    names_.push_back(name.toCaseFolded());
    numberOf_.insert(name, number);
    return number;
}

PickerSearch::Key PickerSearch::keyOf(const MediaItem& item)
{
    Key key;
    const QString title = item.displayTitle();
    key.letters = letterMask(title);
    key.pairs = pairMask(title);
    key.artist = nameNumber(item.artist());
    key.album = nameNumber(item.albumTitle()) & 0x7FFFFFFFu;
    key.convertible = item.leftOutReason() == LeftOutReason::None;
    return key;
}

quint64 PickerSearch::letterMask(const QString& text)
{
    quint64 mask = 0;
    for (const QChar c : text) {
        const char16_t folded = c.toCaseFolded().unicode();
        mask |= quint64(1) << (folded % 64);
    }
    return mask;
}

void PickerSearch::setKeys(const std::vector<MediaItem>& items)
{
    keys_.clear();
    keys_.reserve(items.size());
    for (const MediaItem& item : items)
        keys_.push_back(keyOf(item));
}

QStringList PickerSearch::wordsOf(const QString& text)
{
    QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    for (QString& w : words)
        w = w.toCaseFolded();
    return words;
}

quint64 PickerSearch::pairMask(const QString& text)
{
    quint64 mask = 0;
    char16_t before = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].toCaseFolded().unicode();
        if (i > 0)
            mask |= quint64(1) << ((before * 31u + c) % 64);
        before = c;
    }
    return mask;
}

std::vector<quint32> PickerSearch::matches(const QStringList& words, const std::vector<MediaItem>& songs,
                                           const std::vector<quint32>* among) const
{
    // Which names hold each word: looked up once, not once per song.
    std::vector<std::vector<char>> inName(std::size_t(words.size()), std::vector<char>(names_.size(), 0));
    std::vector<quint64> wordLetters, wordPairs;
    for (qsizetype w = 0; w < words.size(); ++w) {
        for (std::size_t n = 1; n < names_.size(); ++n)
            inName[std::size_t(w)][n] = names_[n].contains(words[w]);
        wordLetters.push_back(letterMask(words[w]));
        wordPairs.push_back(pairMask(words[w]));
    }
    const auto match = [&](quint32 song) {
        const Key& key = keys_[song];
        for (qsizetype w = 0; w < words.size(); ++w) {
            const std::vector<char>& hit = inName[std::size_t(w)];
            if (hit[key.artist] || hit[key.album])
                continue;
            const quint64 letters = wordLetters[std::size_t(w)], pairs = wordPairs[std::size_t(w)];
            if ((key.letters & letters) != letters || (key.pairs & pairs) != pairs ||
                !songs[song].displayTitle().contains(words[w], Qt::CaseInsensitive))
                return false;
        }
        return true;
    };
    std::vector<quint32> out;
    if (among) {
        for (quint32 song : *among)
            if (match(song))
                out.push_back(song);
    } else {
        for (quint32 song = 0; song < quint32(keys_.size()); ++song)
            if (match(song))
                out.push_back(song);
    }
    return out;
}

} // namespace medialibrary

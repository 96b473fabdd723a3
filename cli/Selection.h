#pragma once
// What a run of ripwell-cli converts: the songs of the library that match the
// filters, less those left out, each with its reason.

#include "Classes/SelectionMap.h"
#include "platform/library/MediaLibrary.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace cli {

// Why a song of the library is left out of a conversion.
enum class LeftOut {
    Protected,
    Unreadable,
    UnsupportedFormat,
    BrokenLink,    // a link to nothing
    LinkLoop,
    NotAFile,      // a FIFO or device with a song's name
    EarlierOutput, // a file an earlier run made, in a library inside the documents folder
    Missing,       // an iPod's song whose file is not on it
    Video,         // what an iPod lists as a video
    NotAudio,      // what an iPod lists as a book or a document
};

// The reason as the list's column spells it, the same in every language:
// "protected", "unreadable", "unsupported format", "link to nothing", "link
// loop", "not a regular file", "converted by Ripwell", "file missing", "video",
// "not audio".
QString leftOutName(LeftOut reason);
// The reason in the user's language.
QString leftOutText(LeftOut reason);

// Why `item` is left out by what it is; nothing when it is converted.
std::optional<LeftOut> leftOutReason(const medialibrary::MediaItem& item);

// How a playlist's entry that is no song of the library is listed: "outside
// the library", "missing", "stream", "not a song"; and in the user's language.
QString problemName(medialibrary::PlaylistProblem problem);
QString problemText(medialibrary::PlaylistProblem problem);

struct Selection {
    std::vector<medialibrary::MediaItem> listed; // every song that matches, in library (or playlist) order
    std::vector<std::pair<medialibrary::MediaItem, LeftOut>> leftOut; // those left out, in the same order
    SelectionMap toConvert;                      // the rest, for the run
    std::vector<medialibrary::Playlist> playlists; // those asked for with --playlist, for the run to write

    // How many songs were left out for `reason`.
    std::size_t count(LeftOut reason) const;
    // The reason of a listed song; nothing for one that is converted.
    std::optional<LeftOut> reasonFor(const medialibrary::MediaItem& item) const;

    // For the summary: "protected 1, unreadable 0, unsupported format 0",
    // then the rarer reasons where they occur ("…, link loop 2").
    QString summaryOfLeftOut() const;
    // For the list: every reason that occurs with its count, "link loop 1,
    // unreadable 2", by the reasons' names.
    QString listOfLeftOut() const;

    // For the list of playlist entries that are no songs: every problem that
    // occurs among the playlists' entries with its count, "missing 1, stream 2".
    QString listOfUnresolved() const;
    std::size_t unresolvedCount() const;

private:
    // Takes `item` in (once), left out or to convert.
    void add(const medialibrary::MediaItem& item, const std::function<bool(const medialibrary::MediaItem&)>& isEarlierOutput);
    std::map<LeftOut, std::size_t> counts_;
    QHash<quint64, LeftOut> reasons_; // by persistent id
    QSet<quint64> added_;             // by persistent id
    friend std::optional<Selection> select(const medialibrary::MediaLibrary&, const QString&, const QStringList&,
                                           const QStringList&, QString*);
};

// The songs of `library` whose "artist / album / title" holds every filter
// word. Files of earlier runs (the documents folder's record names them) are
// left out as such when the library lies inside `documentsDirectory`. With
// `playlists` (names or places of the library's playlists), only the songs of
// those playlists, in their order, each once; nothing, after `error` says
// why, when one of them is not in the library.
std::optional<Selection> select(const medialibrary::MediaLibrary& library, const QString& documentsDirectory,
                                const QStringList& filters, const QStringList& playlists = {}, QString* error = nullptr);

// The playlists of `library` whose names hold every filter word, in its order.
std::vector<medialibrary::Playlist> playlistsMatching(const medialibrary::MediaLibrary& library,
                                                      const QStringList& filters);

} // namespace cli

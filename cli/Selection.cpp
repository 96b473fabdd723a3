#include "cli/Selection.h"

#include "Classes/OutputRecord.h"
#include "cli/CliOptions.h"
#include "platform/foundation/Localization.h"

#include <QDir>
#include <algorithm>

namespace cli {

QString leftOutName(LeftOut reason)
{
    switch (reason) {
    case LeftOut::Protected: return QStringLiteral("protected");
    case LeftOut::Unreadable: return QStringLiteral("unreadable");
    case LeftOut::UnsupportedFormat: return QStringLiteral("unsupported format");
    case LeftOut::BrokenLink: return QStringLiteral("link to nothing");
    case LeftOut::LinkLoop: return QStringLiteral("link loop");
    case LeftOut::NotAFile: return QStringLiteral("not a regular file");
    case LeftOut::EarlierOutput: return QStringLiteral("converted by Ripwell");
    case LeftOut::Missing: return QStringLiteral("file missing");
    case LeftOut::Video: return QStringLiteral("video");
    case LeftOut::NotAudio: return QStringLiteral("not audio");
    }
    return {};
}

QString leftOutText(LeftOut reason)
{
    switch (reason) {
    case LeftOut::Protected: return L("protected");
    case LeftOut::Unreadable: return L("unreadable");
    case LeftOut::UnsupportedFormat: return L("unsupported format");
    case LeftOut::BrokenLink: return L("link to nothing");
    case LeftOut::LinkLoop: return L("link loop");
    case LeftOut::NotAFile: return L("not a regular file");
    case LeftOut::EarlierOutput: return L("converted by Ripwell");
    case LeftOut::Missing: return L("file missing");
    case LeftOut::Video: return L("video");
    case LeftOut::NotAudio: return L("not audio");
    }
    return {};
}

std::optional<LeftOut> leftOutReason(const medialibrary::MediaItem& item)
{
    using medialibrary::LeftOutReason;
    switch (item.leftOutReason()) {
    case LeftOutReason::None: return std::nullopt;
    case LeftOutReason::Protected: return LeftOut::Protected;
    case LeftOutReason::Unreadable: return LeftOut::Unreadable;
    case LeftOutReason::UnsupportedFormat: return LeftOut::UnsupportedFormat;
    case LeftOutReason::BrokenLink: return LeftOut::BrokenLink;
    case LeftOutReason::LinkLoop: return LeftOut::LinkLoop;
    case LeftOutReason::NotAFile: return LeftOut::NotAFile;
    case LeftOutReason::Missing: return LeftOut::Missing;
    case LeftOutReason::Video: return LeftOut::Video;
    case LeftOutReason::NotAudio: return LeftOut::NotAudio;
    }
    return std::nullopt;
}

std::size_t Selection::count(LeftOut reason) const
{
    const auto it = counts_.find(reason);
    return it == counts_.end() ? 0 : it->second;
}

std::optional<LeftOut> Selection::reasonFor(const medialibrary::MediaItem& item) const
{
    const auto it = reasons_.constFind(item.persistentID());
    return it == reasons_.constEnd() ? std::nullopt : std::optional(it.value());
}

QString Selection::summaryOfLeftOut() const
{
    // The three reasons always, the rarer ones where they occur (by name).
    const LeftOut always[] = {LeftOut::Protected, LeftOut::Unreadable, LeftOut::UnsupportedFormat};
    QStringList parts;
    for (LeftOut reason : always)
        parts << QStringLiteral("%1 %2").arg(leftOutText(reason), QString::number(count(reason)));
    std::vector<LeftOut> rarer;
    for (const auto& [reason, n] : counts_)
        if (std::find(std::begin(always), std::end(always), reason) == std::end(always))
            rarer.push_back(reason);
    std::sort(rarer.begin(), rarer.end(), [](LeftOut a, LeftOut b) { return leftOutName(a) < leftOutName(b); });
    for (LeftOut reason : rarer)
        parts << QStringLiteral("%1 %2").arg(leftOutText(reason), QString::number(count(reason)));
    return parts.join(QStringLiteral(", "));
}

QString Selection::listOfLeftOut() const
{
    std::vector<LeftOut> reasons;
    for (const auto& [reason, n] : counts_)
        reasons.push_back(reason);
    std::sort(reasons.begin(), reasons.end(), [](LeftOut a, LeftOut b) { return leftOutName(a) < leftOutName(b); });
    QStringList parts;
    for (LeftOut reason : reasons)
        parts << QStringLiteral("%1 %2").arg(leftOutText(reason), QString::number(count(reason)));
    return parts.join(QStringLiteral(", "));
}

QString problemName(medialibrary::PlaylistProblem problem)
{
    using medialibrary::PlaylistProblem;
    switch (problem) {
    case PlaylistProblem::Outside: return QStringLiteral("outside the library");
    case PlaylistProblem::Missing: return QStringLiteral("missing");
    case PlaylistProblem::Stream: return QStringLiteral("stream");
    case PlaylistProblem::NotASong: return QStringLiteral("not a song");
    }
    return {};
}

QString problemText(medialibrary::PlaylistProblem problem)
{
    using medialibrary::PlaylistProblem;
    switch (problem) {
    case PlaylistProblem::Outside: return L("outside the library");
    case PlaylistProblem::Missing: return L("missing");
    case PlaylistProblem::Stream: return L("stream");
    case PlaylistProblem::NotASong: return L("not a song");
    }
    return {};
}

std::size_t Selection::unresolvedCount() const
{
    std::size_t n = 0;
    for (const medialibrary::Playlist& playlist : playlists)
        n += playlist.unresolved.size();
    return n;
}

QString Selection::listOfUnresolved() const
{
    std::map<QString, std::size_t> counts; // by name, so the order is the same in every language
    std::map<QString, QString> texts;
    for (const medialibrary::Playlist& playlist : playlists) {
        for (const medialibrary::UnresolvedEntry& entry : playlist.unresolved) {
            ++counts[problemName(entry.problem)];
            texts[problemName(entry.problem)] = problemText(entry.problem);
        }
    }
    QStringList parts;
    for (const auto& [name, n] : counts)
        parts << QStringLiteral("%1 %2").arg(texts[name], QString::number(n));
    return parts.join(QStringLiteral(", "));
}

void Selection::add(const medialibrary::MediaItem& item,
                    const std::function<bool(const medialibrary::MediaItem&)>& isEarlierOutput)
{
    if (added_.contains(item.persistentID()))
        return; // a song a playlist lists twice, or two playlists list
    added_.insert(item.persistentID());
    listed.push_back(item);
    std::optional<LeftOut> reason = leftOutReason(item);
    if (!reason && isEarlierOutput(item))
        reason = LeftOut::EarlierOutput;
    if (!reason) {
        toConvert.setObject(item, item.assetURL());
        return;
    }
    leftOut.emplace_back(item, *reason);
    reasons_.insert(item.persistentID(), *reason);
    ++counts_[*reason];
}

std::vector<medialibrary::Playlist> playlistsMatching(const medialibrary::MediaLibrary& library, const QStringList& filters)
{
    std::vector<medialibrary::Playlist> out;
    for (const medialibrary::Playlist& playlist : library.playlists())
        if (std::all_of(filters.cbegin(), filters.cend(),
                        [&](const QString& f) { return playlist.name.contains(f, Qt::CaseInsensitive); }))
            out.push_back(playlist);
    return out;
}

std::optional<Selection> select(const medialibrary::MediaLibrary& library, const QString& documentsDirectory,
                                const QStringList& filters, const QStringList& playlists, QString* error)
{
    // A library inside the documents folder holds the files of earlier runs:
    // they are no songs to convert again.
    const OutputRecord record = OutputRecord::load(documentsDirectory);
    const QString inDocuments = QDir::cleanPath(QDir(documentsDirectory).absolutePath()) + u'/';
    const auto isEarlierOutput = [&](const medialibrary::MediaItem& item) {
        return item.filePath().startsWith(inDocuments) && record.contains(item.filePath().mid(inDocuments.size()));
    };
    const auto matches = [&filters](const medialibrary::MediaItem& item) {
        return matchesFilters(item.artist(), item.albumTitle(), item.displayTitle(), filters);
    };

    Selection selection;
    if (playlists.isEmpty()) {
        for (const auto& item : library.items())
            if (matches(item))
                selection.add(item, isEarlierOutput);
        return selection;
    }
    // The playlists asked for, by name (case ignored) or by place; all those
    // of one name.
    const std::vector<medialibrary::Playlist> all = library.playlists();
    for (const QString& asked : playlists) {
        bool found = false;
        for (const medialibrary::Playlist& playlist : all) {
            if (playlist.name.compare(asked, Qt::CaseInsensitive) != 0 && playlist.place != asked)
                continue;
            const bool twice = std::any_of(selection.playlists.cbegin(), selection.playlists.cend(),
                                           [&](const medialibrary::Playlist& p) { return p.place == playlist.place && p.name == playlist.name; });
            found = true;
            if (twice)
                continue;
            selection.playlists.push_back(playlist);
            for (const auto& item : playlist.items)
                if (matches(item))
                    selection.add(item, isEarlierOutput);
        }
        if (!found) {
            if (error)
                *error = L("the music library has no playlist %1 (ripwell-cli --list --playlists lists them)").arg(printable(asked));
            return std::nullopt;
        }
    }
    return selection;
}

} // namespace cli

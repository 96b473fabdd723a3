#include "cli/Plan.h"

#include "Classes/OutputNaming.h"
#include "cli/TerminalDisplay.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/PathString.h"

#include <QDir>
#include <QTextStream>
#include <map>

namespace cli {

namespace {

std::vector<SongIdentity> songsOf(const medialibrary::MediaLibrary& library)
{
    std::vector<SongIdentity> songs;
    songs.reserve(library.items().size());
    for (const auto& item : library.items())
        songs.emplace_back(item.filePath(), library.root());
    return songs;
}

// "Artist / Album / Title" of an output's name, for the filter words.
bool outputMatches(const QString& output, const QStringList& filters)
{
    const QString name = path::deletingExtension(output).split(u'/').join(QStringLiteral(" / "));
    for (const QString& f : filters)
        if (!name.contains(f, Qt::CaseInsensitive))
            return false;
    return true;
}

} // namespace

QStringList outputsOfGoneSongs(const OutputRecord& record, const medialibrary::MediaLibrary& library,
                               const QStringList& filters)
{
    QStringList gone = record.outputsOfGoneSongs(songsOf(library));
    gone.removeIf([&filters](const QString& output) { return !outputMatches(output, filters); });
    return gone;
}

int printPlan(const Selection& selection, const medialibrary::MediaLibrary& library, const QString& documents,
              const Options& options)
{
    const OutputRecord record = OutputRecord::load(documents, library.root());
    QTextStream out(stdout);
    const QDir root(library.root());
    const auto line = [&out](const QString& action, const QString& output, const QString& place) {
        out << action << '\t' << printable(output) << '\t' << printable(place) << '\n';
    };
    // The names the run would take, in its order: a later song of the same
    // name takes the next one, as in the run.
    QSet<QString> taken;
    std::size_t convert = 0, again = 0, upToDate = 0;
    for (const medialibrary::MediaItem& item : selection.listed) {
        const QString place = path::displayed(root.relativeFilePath(item.filePath()));
        if (const std::optional<LeftOut> reason = selection.reasonFor(item)) {
            line(QStringLiteral("left out (%1)").arg(leftOutName(*reason)), QStringLiteral("-"), place);
            continue;
        }
        const SongIdentity song(item.filePath(), library.root());
        const QString extension = item.assetURL().pathExtension();
        const bool fitted = record.traits().windowsNames;
        const QString output = record.outputFor(song, outputRelativePathOf(item, extension, fitted),
                                                fitted ? outputRelativePathOf(item, extension) : QString(), &taken);
        taken.insert(destination::comparable(output));
        if (!options.all && record.isUpToDate(output, song)) {
            ++upToDate;
            line(QStringLiteral("up to date"), output, place);
        } else if (record.hasOutputOf(song)) {
            ++again;
            line(QStringLiteral("convert again"), output, place);
        } else {
            ++convert;
            line(QStringLiteral("convert"), output, place);
        }
    }
    QStringList gone;
    if (options.prune)
        gone = outputsOfGoneSongs(record, library, options.filters);
    for (const QString& output : gone)
        line(QStringLiteral("remove"), output, QStringLiteral("-"));
    QSet<QString> playlistNames;
    for (const medialibrary::Playlist& playlist : selection.playlists) {
        const QString output = record.playlistOutputFor(playlist.name, playlistRelativePath(playlist.name, record.traits().windowsNames),
                                                        &playlistNames);
        playlistNames.insert(destination::comparable(output));
        line(QStringLiteral("write playlist"), output, path::displayed(playlist.place));
    }
    const auto count = [](std::size_t n) { return QString::number(n); };
    out << L("Would convert: %1, convert again: %2, up to date: %3, remove: %4, leave out: %5 (%6)")
               .arg(count(convert), count(again), count(upToDate), count(std::size_t(gone.size())),
                    count(selection.leftOut.size()), selection.summaryOfLeftOut())
        << '\n';
    if (!selection.playlists.empty())
        out << L("Would write playlists: %1").arg(selection.playlists.size()) << '\n';
    out << L("Nothing was written.") << '\n';
    return 0;
}

int prune(const medialibrary::MediaLibrary& library, const QString& documents, const Options& options,
          QStringList* failures)
{
    OutputRecord record = OutputRecord::load(documents, library.root());
    int removed = 0;
    for (const QString& output : outputsOfGoneSongs(record, library, options.filters)) {
        QString why;
        if (record.removeOutput(output, &why)) {
            ++removed;
            if (options.verbose)
                printErr(L("removed: %1").arg(printable(output)) + u'\n');
        } else {
            failures->append(L("%1 could not be removed: %2").arg(printable(output), why));
        }
    }
    QString why;
    if (removed > 0 && !record.compact(&why))
        failures->append(L("%1 could not be written: %2").arg(OutputRecord::fileName(), why));
    return removed;
}

} // namespace cli

// The record's songs: which outputs are whose, which name a song (or a
// playlist) takes, and which outputs belong to songs that are gone.
#include "Classes/OutputRecord.h"

#include "Classes/OutputNaming.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/PathString.h"
#include "platform/library/AudioFormat.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Whether `output` is `natural` or one of its numbered names, as names are
// compared; which one.
int familyNumber(const QString& output, const QString& natural)
{
    const QString wanted = destination::comparable(output);
    if (wanted == destination::comparable(natural))
        return 1;
    // "Title (12).mp3": the number sits just before the extension.
    const QString stem = path::extension(output).isEmpty() ? output : path::deletingExtension(output);
    if (!stem.endsWith(u')'))
        return 0;
    const qsizetype open = stem.lastIndexOf(QStringLiteral(" ("));
    if (open < 0)
        return 0;
    bool ok = false;
    const int number = stem.mid(open + 2, stem.size() - open - 3).toInt(&ok);
    return ok && number >= 2 && destination::comparable(numberedOutputPath(natural, number)) == wanted ? number : 0;
}

} // namespace

bool OutputRecord::stampsMatch(const FileStamp& onDisk, const FileStamp& noted) const
{
    return onDisk.isKnown() && noted.isKnown() && onDisk.size == noted.size &&
           destination::sameTime(onDisk.modified, noted.modified, traits_);
}

bool OutputRecord::isAsMade(const Entry& entry) const
{
    const FolderWalk::Found found = walk_->find(entry.output);
    return found.kind == FolderWalk::Kind::File && stampsMatch(found.stamp, entry.outputStamp);
}

bool OutputRecord::isSameContent(const Entry& entry, const SongIdentity& song) const
{
    if (!song.stamp().isKnown())
        return false;
    if (entry.songStamp == song.stamp())
        return true; // size and time as then: not read again, as rsync does
    // Touched, or copied without its time, or on a stick that keeps times
    // coarsely: its content tells. (A record of the earlier form has only
    // size and time.)
    return !entry.key.isEmpty() && entry.songStamp.size == song.stamp().size && entry.key == song.key();
}

QStringList OutputRecord::ownOutputs(const SongIdentity& song) const
{
    const QStringList atPlace = byPlace_.value(song.place());
    if (!atPlace.isEmpty() || !song.stamp().isKnown())
        return atPlace;
    // A song the record does not know at its place may have moved there: an
    // output made from the same content is its own, as long as no song lies
    // at that output's place any more (two copies of one song keep an output
    // each).
    const auto stillThere = [this](const QString& place) {
        if (QFileInfo(place).isAbsolute())
            return QFileInfo::exists(place);
        return libraryRoot_.isEmpty() || QFileInfo::exists(libraryRoot_ + u'/' + place);
    };
    QStringList moved;
    for (const QString& output : byKey_.value(song.key())) {
        const Entry& entry = entries_[output];
        if (entry.songStamp.size == song.stamp().size && !stillThere(entry.place))
            moved.append(output);
    }
    // A record of the earlier form knows a song by its size and time.
    for (const QString& output : byStampOnly_.value({song.stamp().size, song.stamp().modified})) {
        if (!stillThere(entries_[output].place))
            moved.append(output);
    }
    return moved;
}

bool OutputRecord::isReplaceable(const Entry& entry) const
{
    const FolderWalk::Found found = walk_->find(entry.output);
    if (found.kind == FolderWalk::Kind::Nothing)
        return true;
    // An empty file holds nothing of anybody's: what a conversion cut short
    // by a pulled stick leaves.
    return found.kind == FolderWalk::Kind::File && (found.stamp.size == 0 || stampsMatch(found.stamp, entry.outputStamp));
}

bool OutputRecord::mayReplace(const QString& output, const SongIdentity& song) const
{
    const QString key = destination::comparable(output);
    return ownOutputs(song).contains(key) && isReplaceable(entries_[key]);
}

bool OutputRecord::isOutputAsMade(const QString& output, const SongIdentity& song) const
{
    const QString key = destination::comparable(output);
    return ownOutputs(song).contains(key) && isAsMade(entries_[key]);
}

bool OutputRecord::isUpToDate(const QString& output, const SongIdentity& song) const
{
    const QString key = destination::comparable(output);
    return ownOutputs(song).contains(key) && isSameContent(entries_[key], song) && isAsMade(entries_[key]);
}

QString OutputRecord::outputFor(const SongIdentity& song, const QString& natural, const QString& formerly,
                                const QSet<QString>* takenInRun) const
{
    // The name it had: the lowest of its own names in the family, as long as
    // nothing stands there or what does is its output as it was made.
    const QStringList own = ownOutputs(song);
    int lowest = 0;
    QString ownName;
    for (const QString& key : own) {
        const Entry& entry = entries_[key];
        int number = familyNumber(entry.output, natural);
        if (number == 0 && !formerly.isEmpty())
            number = familyNumber(entry.output, formerly);
        if (number == 0 || (lowest != 0 && number >= lowest))
            continue;
        if (mayReplace(entry.output, song)) {
            lowest = number;
            ownName = entry.output;
        }
    }
    if (lowest != 0)
        return ownName;

    // Else the first free name.
    return firstFreeName(natural, own, takenInRun);
}

// Another output that is gone frees its name; anything at a name, ours or
// not, under any spelling that compares equal, keeps it taken, and so does a
// name taken earlier in the run. `own`: the keys of the outputs of the song
// or playlist asking, which never keep a name from it.
QString OutputRecord::firstFreeName(const QString& natural, const QStringList& own, const QSet<QString>* takenInRun) const
{
    for (int number = 1;; ++number) {
        const QString candidate = number == 1 ? natural : numberedOutputPath(natural, number);
        const QString key = destination::comparable(candidate);
        if (walk_->isTaken(candidate) || (takenInRun && takenInRun->contains(key)))
            continue;
        const auto other = entries_.constFind(key);
        if (other != entries_.constEnd() && !other->isFolder() && !own.contains(key) &&
            walk_->find(other->output).kind != FolderWalk::Kind::Nothing)
            continue;
        return candidate;
    }
}

QStringList OutputRecord::outputsOfGoneSongs(const std::vector<SongIdentity>& librarySongs) const
{
    QSet<QString> places;
    QSet<QByteArray> keys;          // of the songs at a place the record does not know:
    QSet<QPair<qint64, qint64>> stamps; // they may be songs that moved
    for (const SongIdentity& song : librarySongs)
        places.insert(song.place());
    for (const SongIdentity& song : librarySongs) {
        if (!byPlace_.contains(song.place())) {
            keys.insert(song.key());
            stamps.insert({song.stamp().size, song.stamp().modified});
        }
    }
    QStringList gone;
    for (const Entry& entry : entries_) {
        if (entry.isFolder() || entry.isPlaylist() || places.contains(entry.place))
            continue;
        const bool moved = entry.key.isEmpty() ? stamps.contains({entry.songStamp.size, entry.songStamp.modified})
                                               : keys.contains(entry.key);
        // Only what Ripwell made and nobody changed since.
        if (!moved && isAsMade(entry))
            gone.append(entry.output);
    }
    std::sort(gone.begin(), gone.end());
    return gone;
}

bool OutputRecord::removeOutput(const QString& output, QString* why)
{
    const QString key = destination::comparable(output);
    const auto it = entries_.constFind(key);
    const QString name = path::lastComponent(output);
    // Only a song's file: never the record, the lock, error.log or anything
    // that is no song, whatever a record says.
    const bool song = it != entries_.constEnd() && !it->isFolder() &&
                      medialibrary::formatForOutputExtension(path::extension(name)).has_value();
    if (!song || !isAsMade(*it)) {
        if (why)
            *why = L("it is not as Ripwell made it");
        return false;
    }
    QString folderPath = path::deletingLastComponent(it->output);
    const FileDescriptor folder = walk_->openFolder(folderPath, false);
    if (!folder || ::unlinkat(folder.get(), path::native(name).constData(), 0) != 0) {
        if (why)
            *why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    forget(key);
    // The folders Ripwell made and this leaves empty go too (rmdir takes
    // only an empty one).
    while (!folderPath.isEmpty()) {
        const QString folderKey = destination::comparable(folderPath + u'/');
        if (!entries_.contains(folderKey))
            break;
        const FileDescriptor parent = walk_->openFolder(path::deletingLastComponent(folderPath), false);
        if (!parent || ::unlinkat(parent.get(), path::native(path::lastComponent(folderPath)).constData(), AT_REMOVEDIR) != 0)
            break;
        forget(folderKey);
        folderPath = path::deletingLastComponent(folderPath);
    }
    fileIsCompact_ = false;
    return true;
}

OutputRecord::Entry OutputRecord::playlistEntryFor(const QString& output, const QString& playlist,
                                                   const FileStamp& outputStamp)
{
    return {output, playlist, FileStamp{0, 0}, playlistKey(), outputStamp};
}

QByteArray OutputRecord::playlistMadeLine(const QString& output, const QString& playlist, const FileStamp& outputStamp)
{
    return lineFor(playlistEntryFor(output, playlist, outputStamp));
}

bool OutputRecord::mayReplacePlaylist(const QString& output, const QString& playlist) const
{
    const QString key = destination::comparable(output);
    return byPlaylist_.value(playlist).contains(key) && isReplaceable(entries_[key]);
}

bool OutputRecord::isPlaylistAsMade(const QString& output, const QString& playlist) const
{
    const QString key = destination::comparable(output);
    return byPlaylist_.value(playlist).contains(key) && isAsMade(entries_[key]);
}

bool OutputRecord::claimPlaylist(const QString& output, const QString& playlist)
{
    const Entry entry = playlistEntryFor(output, playlist, {});
    set(entry);
    return append(entry);
}

bool OutputRecord::playlistMade(const QString& output, const QString& playlist, const FileStamp& outputStamp, bool noted)
{
    const Entry entry = playlistEntryFor(output, playlist, outputStamp);
    set(entry);
    if (noted) {
        fileIsCompact_ = false;
        return true;
    }
    return append(entry);
}

QString OutputRecord::playlistOutputFor(const QString& playlist, const QString& natural,
                                        const QSet<QString>* takenInRun) const
{
    // As for a song: the lowest of its own names that it may still replace,
    // else the first name that is free. Two playlists of one name in one run
    // take a name each.
    const QStringList own = byPlaylist_.value(playlist);
    int lowest = 0;
    QString ownName;
    for (const QString& key : own) {
        const Entry& entry = entries_[key];
        const int number = familyNumber(entry.output, natural);
        if (number == 0 || (lowest != 0 && number >= lowest) || (takenInRun && takenInRun->contains(key)))
            continue;
        if (isReplaceable(entry)) {
            lowest = number;
            ownName = entry.output;
        }
    }
    if (lowest != 0)
        return ownName;
    return firstFreeName(natural, own, takenInRun);
}

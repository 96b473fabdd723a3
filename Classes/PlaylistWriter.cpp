#include "Classes/PlaylistWriter.h"

#include "Classes/OutputNaming.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PathString.h"
#include "platform/foundation/TemporaryFiles.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr const char* kLogOp = "writePlaylist";

QString oneLine(QString text)
{
    return text.replace(u'\r', u' ').replace(u'\n', u' ').trimmed();
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QByteArray m3u8Text(const QString& playlistOutput, const std::vector<PlaylistSong>& songs)
{
    // Up from the playlist's folder to the documents folder, then down to each song.
    const QString folder = path::deletingLastComponent(playlistOutput);
    const qsizetype depth = folder.isEmpty() ? 0 : folder.count(u'/') + 1;
    QString up;
    for (qsizetype i = 0; i < depth; ++i)
        up += QStringLiteral("../");
    QString text = QStringLiteral("#EXTM3U\n");
    for (const PlaylistSong& song : songs) {
        const int seconds = song.durationMs > 0 ? int(std::lround(song.durationMs / 1000.0)) : -1;
        const QString artist = oneLine(song.artist);
        const QString title = oneLine(song.title);
        text += QStringLiteral("#EXTINF:%1,%2\n").arg(seconds).arg(artist.isEmpty() ? title : artist + QStringLiteral(" - ") + title);
        text += up + song.output + u'\n';
    }
    return text.toUtf8();
}

PlaylistWriter::PlaylistWriter(OutputRecord& record, std::shared_ptr<FolderWalk> walk, QString documentsDirectory)
    : record_(record), walk_(std::move(walk)), documentsDirectory_(std::move(documentsDirectory))
{
}

WrittenPlaylist PlaylistWriter::write(const medialibrary::Playlist& playlist, const QHash<Url, QString>& outputs,
                                      const QSet<Url>& failed)
{
    WrittenPlaylist result;
    result.name = playlist.name;
    result.leftOut = playlist.unresolved.size();
    std::vector<PlaylistSong> songs;
    songs.reserve(playlist.items.size());
    for (const medialibrary::MediaItem& item : playlist.items) {
        const Url url = item.assetURL();
        const auto output = url.isEmpty() ? outputs.constEnd() : outputs.constFind(url);
        if (output != outputs.constEnd())
            songs.push_back({output.value(), item.durationMs(), item.artist(), item.displayTitle()});
        else if (!url.isEmpty() && failed.contains(url))
            ++result.failed;
        else
            ++result.leftOut;
    }
    result.listed = songs.size();

    // The name it had, else the first free one; a folder there under another
    // spelling of the same name is taken as it is spelled.
    const bool fitted = record_.traits().windowsNames;
    QString natural = playlistRelativePath(playlist.name, fitted);
    if (QString spelled; walk_->openFolder(path::deletingLastComponent(natural), false, &spelled))
        natural = path::appendingComponent(spelled, path::lastComponent(natural));
    const QString output = record_.playlistOutputFor(playlist.name, natural, &taken_);
    taken_.insert(destination::comparable(output));
    if (writeFile(playlist.name, output, m3u8Text(output, songs), &result.error))
        result.output = output;
    else
        applog::error(kLogOp, QStringLiteral("%1: %2").arg(path::appendingComponent(documentsDirectory_, output), result.error));
    return result;
}

bool PlaylistWriter::writeFile(const QString& name, const QString& output, const QByteArray& text, QString* why)
{
    QStringList made;
    QString failure;
    const FileDescriptor folder = walk_->openFolder(path::deletingLastComponent(output), true, nullptr, &made, &failure);
    for (const QString& relative : made)
        record_.madeFolder(relative);
    if (!folder) {
        *why = failure;
        return false;
    }
    const QString recordPath = path::appendingComponent(documentsDirectory_, OutputRecord::fileName());
    // A name new to the record is claimed before anything is written there.
    const bool replaces = record_.mayReplacePlaylist(output, name);
    if (!(replaces && record_.isPlaylistAsMade(output, name)) && !record_.claimPlaylist(output, name)) {
        *why = L("%1 could not be written").arg(recordPath);
        return false;
    }
    const QByteArray temporary = path::native(path::lastComponent(tempfiles::temporaryPath(QString(), QStringLiteral("m3u8"))));
    const QByteArray target = path::native(path::lastComponent(output));
    int error = 0;
    {
        FileDescriptor file(::openat(folder.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        errno = 0;
        if (!file)
            error = errno;
        else if (!fileio::writeFully(file.get(), text.constData(), std::size_t(text.size())))
            error = errno != 0 ? errno : ENOSPC;
        else if (::fsync(file.get()) != 0 || !file.close())
            error = errno;
    }
    // Noted as made just before it takes its name: never in place without the record's word for it.
    const FileStamp stamp = stampAt(folder.get(), temporary);
    const std::shared_ptr<OutputRecord::RunFile> runFile = record_.runFile();
    if (error == 0 && (!runFile || !runFile->append(OutputRecord::playlistMadeLine(output, name, stamp)))) {
        *why = L("%1 could not be written").arg(recordPath);
    } else if (error == 0) {
        error = tempfiles::renameIntoPlace(folder.get(), temporary, target, replaces);
        if (error == 0) {
            if (::fsync(folder.get()) != 0 && errno != EINVAL && errno != ENOTSUP)
                applog::error(kLogOp, QStringLiteral("%1: %2").arg(output, systemError(errno)));
            const FileStamp placed = stampAt(folder.get(), target);
            record_.playlistMade(output, name, placed, placed == stamp);
            return true;
        }
        if (error == EEXIST)
            *why = L("a file appeared at its name while it was written, and is kept");
    }
    if (why->isEmpty())
        *why = systemError(error);
    ::unlinkat(folder.get(), temporary.constData(), 0);
    return false;
}

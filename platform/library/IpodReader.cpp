#include "platform/library/IpodReader.h"

#include "platform/foundation/PathString.h"

#include <QFileInfo>
#include <gpod/itdb.h>
#include <memory>

namespace medialibrary::ipod {

namespace {

QString text(const gchar* utf8)
{
    return utf8 ? QString::fromUtf8(utf8) : QString();
}

MediaKind kindOf(const Itdb_Track* t)
{
    const guint32 type = t->mediatype;
    constexpr guint32 videoBits = ITDB_MEDIATYPE_MOVIE | ITDB_MEDIATYPE_MUSICVIDEO | ITDB_MEDIATYPE_TVSHOW;
    if ((type & videoBits) || t->movie_flag)
        return MediaKind::Video;
    if (type & (ITDB_MEDIATYPE_EPUB_BOOK | ITDB_MEDIATYPE_PDF_BOOK))
        return MediaKind::Book;
    if (type & ITDB_MEDIATYPE_PODCAST)
        return MediaKind::Podcast;
    if (type & ITDB_MEDIATYPE_AUDIOBOOK)
        return MediaKind::Audiobook;
    if (type & ITDB_MEDIATYPE_MEMO)
        return MediaKind::VoiceMemo;
    return MediaKind::Song; // audio, a ringtone, iTunes U, or 0 (shown as audio and video alike)
}

Track trackOf(const Itdb_Track* t, const QString& folder)
{
    Track track;
    track.id = t->id;
    track.dbid = t->dbid;
    track.title = text(t->title);
    track.artist = text(t->artist);
    track.album = text(t->album);
    track.albumArtist = text(t->albumartist);
    track.genre = text(t->genre);
    track.fileType = text(t->filetype);
    track.trackNumber = t->track_nr;
    track.trackCount = t->tracks;
    track.discNumber = t->cd_nr;
    track.discCount = t->cds;
    track.year = t->year;
    track.compilation = t->compilation != 0;
    track.kind = kindOf(t);
    track.mediaType = t->mediatype;
    track.isProtected = t->drm_userid != 0;
    track.size = t->size;
    track.lengthMs = t->tracklen;
    if (t->ipod_path) {
        // ":iPod_Control:Music:F12:ABCD.mp3" as stored.
        QString path = QString::fromUtf8(t->ipod_path);
        path.replace(u':', u'/');
        while (path.startsWith(u'/'))
            path.remove(0, 1);
        track.ipodPath = path;
    }
    // libgpod finds the file whatever the case of its letters; nothing when
    // there is no file.
    if (t->ipod_path && *t->ipod_path) {
        const std::unique_ptr<gchar, decltype(&g_free)> file(itdb_filename_on_ipod(const_cast<Itdb_Track*>(t)), g_free);
        track.filePath = file ? path::fromNative(QByteArray(file.get())) : path::appendingComponent(folder, track.ipodPath);
    }
    return track;
}

Playlist playlistOf(Itdb_Playlist* p)
{
    Playlist playlist;
    playlist.name = text(p->name);
    playlist.id = p->id;
    if (itdb_playlist_is_mpl(p))
        playlist.kind = Playlist::Kind::Library;
    else if (itdb_playlist_is_podcasts(p))
        playlist.kind = Playlist::Kind::Podcasts;
    else if (p->is_spl)
        playlist.kind = Playlist::Kind::Smart;
    for (const GList* m = p->members; m; m = m->next)
        playlist.trackIds.push_back(static_cast<const Itdb_Track*>(m->data)->id);
    return playlist;
}

} // namespace

std::optional<Database> readWithLibgpod(const QString& folder, ReadError* error)
{
    const QString file = databaseFile(folder);
    if (file.isEmpty()) {
        *error = {ReadFailure::NoDatabase, folder, {}};
        return std::nullopt;
    }
    // The stamp before the reading: a database written anew meanwhile then
    // has a stamp other than the one given with what was read.
    const std::optional<Stamp> stamp = readStamp(folder);
    if (!stamp || !QFileInfo(file).isReadable()) {
        *error = {ReadFailure::Unreadable, file, {}};
        return std::nullopt;
    }
    // itdb_parse reads the iPod's artwork database as well: the pictures for
    // its own screen, which Ripwell has no use for, and on which libgpod
    // aborts when they are damaged. The plain database is read alone, and the
    // iPod's folder made known after (its model, its files); only the
    // compressed one, which itdb_parse_file cannot inflate, needs itdb_parse.
    GError* failure = nullptr;
    const bool compressed = path::lastComponent(file) == u"iTunesCDB";
    const std::unique_ptr<Itdb_iTunesDB, decltype(&itdb_free)> db(
        compressed ? itdb_parse(path::native(folder).constData(), &failure)
                   : itdb_parse_file(path::native(file).constData(), &failure),
        itdb_free);
    if (db && !compressed)
        itdb_set_mountpoint(db.get(), path::native(folder).constData());
    if (!db) {
        // libgpod says nothing at all of some damaged databases (an empty one).
        *error = {ReadFailure::Damaged, file, failure ? QString::fromUtf8(failure->message) : QString()};
        g_clear_error(&failure);
        return std::nullopt;
    }
    g_clear_error(&failure);

    Database database;
    database.folder = folder;
    database.id = db->id;
    database.stamp = *stamp;
    if (const Itdb_IpodInfo* info = db->device ? itdb_device_get_ipod_info(db->device) : nullptr;
        info && info->ipod_model != ITDB_IPOD_MODEL_INVALID && info->ipod_model != ITDB_IPOD_MODEL_UNKNOWN) {
        database.model = QStringLiteral("iPod ") + text(itdb_info_get_ipod_generation_string(info->ipod_generation));
    }
    database.tracks.reserve(g_list_length(db->tracks));
    for (const GList* t = db->tracks; t; t = t->next)
        database.tracks.push_back(trackOf(static_cast<const Itdb_Track*>(t->data), folder));
    for (const GList* p = db->playlists; p; p = p->next)
        database.playlists.push_back(playlistOf(static_cast<Itdb_Playlist*>(p->data)));
    return database;
}

} // namespace medialibrary::ipod

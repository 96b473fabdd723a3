#include "tools/make_ipod/IpodMaker.h"

#include "tools/make_library/CoverArt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QtEndian>
#include <gpod/itdb.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace ipodmaker {

namespace {

using Db = std::unique_ptr<Itdb_iTunesDB, decltype(&itdb_free)>;

gchar* dup(const QString& s)
{
    return s.isNull() ? nullptr : g_strdup(s.toUtf8().constData());
}

QString takeError(GError** error)
{
    const QString text = *error ? QString::fromUtf8((*error)->message) : QStringLiteral("unknown error");
    g_clear_error(error);
    return text;
}

// The database's description of a file, as iTunes words it.
const char* fileTypeOf(songgen::Format format)
{
    switch (format) {
    case songgen::Format::Mp3Cbr:
    case songgen::Format::Mp3Vbr: return "MPEG audio file";
    case songgen::Format::Aac: return "AAC audio file";
    case songgen::Format::Alac: return "Apple Lossless audio file";
    case songgen::Format::WavInfo:
    case songgen::Format::WavId3: return "WAV audio file";
    case songgen::Format::Aiff: return "AIFF audio file";
    case songgen::Format::Flac: return "FLAC audio file";
    case songgen::Format::Protected: return "Protected AAC audio file";
    case songgen::Format::OggVorbis: return "Ogg Vorbis audio file";
    case songgen::Format::Opus: return "Opus audio file";
    case songgen::Format::WavPack: return "WavPack audio file";
    }
    return "";
}

QString extensionOf(const Track& t)
{
    switch (t.kind) {
    case Kind::Video: return QStringLiteral("m4v");
    case Kind::Audiobook:
        if (t.format == songgen::Format::Aac)
            return QStringLiteral("m4b");
        break;
    case Kind::Song:
    case Kind::Podcast: break;
    }
    return songgen::fileExtension(t.format);
}

guint32 mediaTypeOf(Kind kind)
{
    switch (kind) {
    case Kind::Song: return ITDB_MEDIATYPE_AUDIO;
    case Kind::Podcast: return ITDB_MEDIATYPE_PODCAST;
    case Kind::Audiobook: return ITDB_MEDIATYPE_AUDIOBOOK;
    case Kind::Video: return ITDB_MEDIATYPE_MOVIE;
    }
    return ITDB_MEDIATYPE_AUDIO;
}

Itdb_Track* newTrack(const Track& t, double seconds)
{
    Itdb_Track* track = itdb_track_new();
    track->title = dup(t.title);
    track->artist = dup(t.artist);
    track->album = dup(t.album);
    track->albumartist = dup(t.albumArtist);
    track->genre = dup(t.genre);
    track->filetype = g_strdup(t.kind == Kind::Video ? "MPEG-4 video file" : fileTypeOf(t.format));
    track->track_nr = t.trackNumber;
    track->tracks = t.trackCount;
    track->cd_nr = t.discNumber;
    track->cds = t.discCount;
    track->year = t.year;
    track->compilation = t.compilation ? 1 : 0;
    track->mediatype = mediaTypeOf(t.kind);
    track->movie_flag = t.kind == Kind::Video ? 1 : 0;
    track->tracklen = static_cast<gint32>(seconds * 1000);
    if (t.kind == Kind::Podcast) {
        track->podcasturl = g_strdup("https://podcasts.example.org/harbour-talk/episode-1.mp3");
        track->podcastrss = g_strdup("https://podcasts.example.org/harbour-talk/feed.xml");
    }
    if (t.format == songgen::Format::Protected)
        track->drm_userid = 0x52495057; // an account of the store, as a purchase names it
    if (t.chapters) {
        track->chapterdata = itdb_chapterdata_new();
        itdb_chapterdata_add_chapter(track->chapterdata, 0, const_cast<gchar*>("Opening"));
        itdb_chapterdata_add_chapter(track->chapterdata, static_cast<guint32>(seconds * 500), const_cast<gchar*>("Middle"));
    }
    return track;
}

// The generated song file for `t` in `staging` (one per format and slot).
QString writeSong(const QString& staging, const Track& t, int slot, unsigned seed, const Options& options, QString* error)
{
    const QString file = QStringLiteral("%1/%2-%3.%4")
                             .arg(staging, songgen::formatNames()[int(t.format)])
                             .arg(slot)
                             .arg(extensionOf(t));
    if (QFileInfo::exists(file))
        return file;
    songgen::Song song;
    song.path = file;
    song.format = t.format;
    song.tagged = t.fileTags == FileTags::Different;
    song.title = QStringLiteral("Wrong Title %1").arg(slot);
    song.artist = QStringLiteral("Wrong Artist");
    song.album = QStringLiteral("Wrong Album");
    song.track = 99;
    return songgen::writeSong(song, seed, options.seconds, 128000, error) ? file : QString();
}

// Rewrites the iTunesDB of `folder` as the iTunesCDB that later nanos keep:
// the database's header as it is, with the length of the whole and the flag
// at byte 0xa8 saying the rest is compressed, then the rest as one zlib stream.
bool compressDatabase(const QString& folder, QString* error)
{
    const QString plain = folder + QStringLiteral("/iPod_Control/iTunes/iTunesDB");
    QFile in(plain);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(plain);
        return false;
    }
    const QByteArray db = in.readAll();
    const quint32 headerLength = db.size() >= 12 ? qFromLittleEndian<quint32>(db.constData() + 4) : 0;
    if (headerLength < 0xac || headerLength > quint32(db.size())) {
        *error = QStringLiteral("unexpected database header in %1").arg(plain);
        return false;
    }
    const QByteArray body = qCompress(db.mid(headerLength), 9).mid(4); // without Qt's length prefix
    QByteArray header = db.left(headerLength);
    qToLittleEndian<quint32>(quint32(header.size() + body.size()), header.data() + 8);
    header[0xa8] = 1;
    QFile out(folder + QStringLiteral("/iPod_Control/iTunes/iTunesCDB"));
    if (!out.open(QIODevice::WriteOnly) || out.write(header + body) != header.size() + body.size() || !out.flush()) {
        *error = QStringLiteral("cannot write %1").arg(out.fileName());
        return false;
    }
    in.close();
    return QFile::remove(plain);
}

// Puts the file on the iPod: copied by libgpod, or (`link`) hard-linked to
// the name libgpod gives it and then made known to the track.
bool putOnIpod(Itdb_Track* track, const QString& folder, const QString& file, bool link, QString* error)
{
    GError* failure = nullptr;
    track->size = static_cast<guint32>(QFileInfo(file).size());
    const QByteArray source = QFile::encodeName(file);
    if (!link) {
        if (itdb_cp_track_to_ipod(track, source.constData(), &failure))
            return true;
        *error = takeError(&failure);
        return false;
    }
    const QByteArray mountPoint = QFile::encodeName(folder);
    const std::unique_ptr<gchar, decltype(&g_free)> dest(
        itdb_cp_get_dest_filename(track, mountPoint.constData(), source.constData(), &failure), g_free);
    if (!dest) {
        *error = takeError(&failure);
        return false;
    }
    if (::link(source.constData(), dest.get()) != 0) {
        *error = QStringLiteral("cannot link %1 to %2").arg(file, QFile::decodeName(dest.get()));
        return false;
    }
    if (!itdb_cp_finalize(track, mountPoint.constData(), dest.get(), &failure)) {
        *error = takeError(&failure);
        return false;
    }
    return true;
}

} // namespace

Options standardIpod()
{
    Options o;
    using F = songgen::Format;
    const F formats[] = {F::Mp3Cbr, F::Mp3Vbr, F::Aac, F::Alac, F::WavInfo, F::WavId3, F::Aiff, F::Flac, F::OggVorbis, F::Opus,
                         F::WavPack};
    int i = 0;
    for (F format : formats) {
        Track t;
        t.format = format;
        t.title = QStringLiteral("%1 Song").arg(songgen::formatNames()[int(format)].toUpper());
        t.artist = QString::fromUtf8(i < 5 ? "Mira Okafor" : "Ærø Strings");
        t.album = QString::fromUtf8(i < 5 ? "Harbour Lights" : "Über den Wolken");
        t.albumArtist = i < 5 ? t.artist : QStringLiteral("Various Artists");
        t.compilation = i >= 5;
        t.genre = i % 2 ? QStringLiteral("Jazz") : QStringLiteral("Folk");
        t.trackNumber = i % 5 + 1;
        t.trackCount = 5;
        t.discNumber = i < 5 ? 1 : 2;
        t.discCount = 2;
        t.year = 1990 + i;
        t.fileTags = i % 2 ? FileTags::Different : FileTags::None;
        o.tracks.push_back(t);
        ++i;
    }
    const auto extra = [&o](F format, Kind kind, const char* title, bool missing = false) {
        Track t;
        t.format = format;
        t.kind = kind;
        t.title = QString::fromUtf8(title);
        t.artist = QStringLiteral("Kestrel");
        t.album = QStringLiteral("Night Drive");
        t.year = 2007;
        t.missing = missing;
        t.fileTags = FileTags::Different;
        o.tracks.push_back(t);
        return &o.tracks.back();
    };
    extra(F::Mp3Cbr, Kind::Podcast, "Harbour Talk, Episode 1");
    extra(F::Aac, Kind::Audiobook, "Small Hours (Unabridged)")->chapters = true;
    extra(F::Protected, Kind::Song, "Bought in the Store");
    extra(F::Mp3Cbr, Kind::Song, "Gone Missing", true);
    extra(F::Aac, Kind::Video, "Live at the Harbour (Video)");
    o.playlists = {{QStringLiteral("Road Trip"), {4, 0, 14, 7}}, {QString::fromUtf8("Für später"), {12, 2}}};
    return o;
}

std::vector<Track> manySongs(int count, const std::vector<songgen::Format>& formats)
{
    std::vector<Track> tracks;
    tracks.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Track t;
        t.format = formats[static_cast<std::size_t>(i) % formats.size()];
        const int album = i / 12;
        t.artist = QStringLiteral("Artist %1").arg(album / 2 + 1);
        t.album = QStringLiteral("Album %1").arg(album + 1);
        t.albumArtist = t.artist;
        t.title = QStringLiteral("Song %1").arg(i + 1);
        t.trackNumber = i % 12 + 1;
        t.trackCount = 12;
        t.discNumber = 1;
        t.year = 1970 + album % 50;
        t.genre = QStringLiteral("Genre %1").arg(album % 7 + 1);
        tracks.push_back(t);
    }
    return tracks;
}

Made makeIpod(const QString& folder, const Options& options)
{
    Made made;
    GError* failure = nullptr;
    const QString root = QDir(folder).absolutePath();
    const QByteArray mountPoint = QFile::encodeName(root);
    if (!QDir().mkpath(root) ||
        !itdb_init_ipod(mountPoint.constData(), options.model.toUtf8().constData(), options.name.toUtf8().constData(),
                        &failure)) {
        made.error = QStringLiteral("cannot set up an iPod in %1: %2").arg(root, takeError(&failure));
        return made;
    }
    const Db db(itdb_parse(mountPoint.constData(), &failure), itdb_free);
    if (!db) {
        made.error = QStringLiteral("cannot read the new iPod's database: %1").arg(takeError(&failure));
        return made;
    }
    // The generated songs wait beside the iPod's folders (on the same disk, so
    // that they can be hard-linked) and go with the iPod made.
    const QString staging = root + QStringLiteral("/.ripwell-make-ipod");
    QDir().mkpath(staging);
    const auto cleanUp = qScopeGuard([&staging] { QDir(staging).removeRecursively(); });

    Itdb_Playlist* library = itdb_playlist_mpl(db.get());
    Itdb_Playlist* podcasts = nullptr;
    std::vector<Itdb_Track*> tracks;
    std::map<std::pair<int, QString>, int> used; // songs written so far of each format and extension
    for (std::size_t i = 0; i < options.tracks.size(); ++i) {
        const Track& t = options.tracks[i];
        // A file of its own for every track unless asked to share them, and a
        // fresh one for a track whose file is to go missing.
        const bool shared = options.distinctFiles > 0;
        int& n = used[{int(t.format), extensionOf(t)}];
        const int slot = shared ? n % options.distinctFiles : n;
        const QString file = writeSong(staging, t, t.missing ? 100000 + int(i) : slot, unsigned(i % 64), options,
                                       &made.error);
        ++n;
        if (file.isEmpty())
            return made;
        Itdb_Track* track = newTrack(t, options.seconds);
        itdb_track_add(db.get(), track, -1);
        itdb_playlist_add_track(library, track, -1);
        if (t.kind == Kind::Podcast) {
            if (!podcasts) {
                podcasts = itdb_playlist_new("Podcasts", FALSE);
                itdb_playlist_set_podcasts(podcasts);
                itdb_playlist_add(db.get(), podcasts, -1);
            }
            itdb_playlist_add_track(podcasts, track, -1);
        }
        if (!putOnIpod(track, root, file, shared, &made.error))
            return made;
        if (options.distinctFiles <= 0 && !t.missing) {
            const songgen::Cover cover = songgen::drawCover(unsigned(i), 120);
            itdb_track_set_thumbnails_from_data(track, reinterpret_cast<const guchar*>(cover.data.constData()),
                                                gsize(cover.data.size()));
        }
        if (!shared)
            QFile::remove(file); // the copy on the iPod is the only one needed
        tracks.push_back(track);
    }
    for (const Playlist& p : options.playlists) {
        Itdb_Playlist* playlist = itdb_playlist_new(p.name.toUtf8().constData(), FALSE);
        itdb_playlist_add(db.get(), playlist, -1);
        for (int i : p.tracks)
            if (i >= 0 && std::size_t(i) < tracks.size())
                itdb_playlist_add_track(playlist, tracks[std::size_t(i)], -1);
    }
    if (!itdb_write(db.get(), &failure)) {
        made.error = QStringLiteral("cannot write the iPod's database: %1").arg(takeError(&failure));
        return made;
    }
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const std::unique_ptr<gchar, decltype(&g_free)> file(itdb_filename_on_ipod(tracks[i]), g_free);
        MadeTrack m{tracks[i]->id, tracks[i]->dbid, file ? QFile::decodeName(file.get()) : QString()};
        if (options.tracks[i].missing && !QFile::remove(m.filePath)) {
            made.error = QStringLiteral("cannot remove %1").arg(m.filePath);
            return made;
        }
        made.tracks.push_back(m);
    }
    if (options.compressed && !compressDatabase(root, &made.error))
        return made;
    return made;
}

} // namespace ipodmaker

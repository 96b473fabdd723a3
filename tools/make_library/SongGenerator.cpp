#include "tools/make_library/SongGenerator.h"

#include "tools/make_library/AudioEncoder.h"
#include "tools/make_library/CoverArt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <taglib/aifffile.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

namespace songgen {

namespace {

const char* const kArtists[] = {
    "The Lanterns", "Mira Okafor", "Ærø Strings", "Los Niños del Sol", "Kestrel", "Hannah & The Hollow",
};
const char* const kAlbums[] = {
    "Harbour Lights", "Paper Boats", "Vol. 2", "Über den Wolken", "Night Drive", "Small Hours",
};
const char* const kTitles[] = {
    "Morning Tide", "Why? (Live)", "Copper Sky", "Ballad for Anna", "Slow Train", "Café Noir",
    "Northern Lights", "Salt & Pepper", "Run to the River", "Quiet Streets", "Seven Bridges", "Long Way Home",
};
template <typename T, std::size_t N>
constexpr std::size_t count(T (&)[N]) { return N; }

TagLib::String tl(const QString& s) { return TagLib::String(s.toUtf8().constData(), TagLib::String::UTF8); }

TagLib::ByteVector bytes(const QByteArray& a) { return TagLib::ByteVector(a.constData(), static_cast<unsigned>(a.size())); }

// A name safe as one path component of the generated library.
QString fileSafe(QString s)
{
    s.replace(u'/', u'-');
    return s;
}

TagLib::ID3v2::AttachedPictureFrame* pictureFrame(const Cover& cover)
{
    auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
    frame->setMimeType(tl(QString::fromLatin1(cover.mime)));
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setDescription("Cover");
    frame->setPicture(bytes(cover.data));
    return frame;
}

TagLib::FLAC::Picture* flacPicture(const Cover& cover)
{
    auto* picture = new TagLib::FLAC::Picture;
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType(tl(QString::fromLatin1(cover.mime)));
    picture->setDescription("Cover");
    picture->setData(bytes(cover.data));
    return picture;
}

void fillTag(TagLib::Tag* tag, const Song& s)
{
    tag->setTitle(tl(s.title));
    tag->setArtist(tl(s.artist));
    tag->setAlbum(tl(s.album));
    tag->setTrack(static_cast<unsigned>(s.track));
}

bool tagSong(const Song& s, const Cover& cover, QString* error)
{
    const QByteArray path = QFile::encodeName(s.path);
    bool ok = false;
    switch (s.format) {
    case Format::Mp3Cbr:
    case Format::Mp3Vbr: {
        TagLib::MPEG::File f(path.constData());
        fillTag(f.ID3v2Tag(true), s);
        f.ID3v2Tag()->addFrame(pictureFrame(cover));
        ok = f.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers);
        break;
    }
    case Format::Aac:
    case Format::Alac:
    case Format::Protected: {
        TagLib::MP4::File f(path.constData());
        fillTag(f.tag(), s);
        const auto kind = cover.mime == "image/png" ? TagLib::MP4::CoverArt::PNG : TagLib::MP4::CoverArt::JPEG;
        TagLib::MP4::CoverArtList covers;
        covers.append(TagLib::MP4::CoverArt(kind, bytes(cover.data)));
        f.tag()->setItem("covr", TagLib::MP4::Item(covers));
        ok = f.save();
        break;
    }
    case Format::WavInfo: {
        TagLib::RIFF::WAV::File f(path.constData());
        fillTag(f.InfoTag(), s);
        f.ID3v2Tag()->addFrame(pictureFrame(cover)); // the picture alone, no title
        ok = f.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers);
        break;
    }
    case Format::WavId3: {
        TagLib::RIFF::WAV::File f(path.constData());
        fillTag(f.ID3v2Tag(), s);
        f.ID3v2Tag()->addFrame(pictureFrame(cover));
        ok = f.save(TagLib::RIFF::WAV::File::ID3v2, TagLib::File::StripOthers);
        break;
    }
    case Format::Aiff: {
        TagLib::RIFF::AIFF::File f(path.constData());
        fillTag(f.tag(), s);
        f.tag()->addFrame(pictureFrame(cover));
        ok = f.save();
        break;
    }
    case Format::Flac: {
        TagLib::FLAC::File f(path.constData());
        fillTag(f.xiphComment(true), s);
        f.addPicture(flacPicture(cover));
        ok = f.save();
        break;
    }
    case Format::OggVorbis: {
        TagLib::Ogg::Vorbis::File f(path.constData());
        fillTag(f.tag(), s);
        f.tag()->addPicture(flacPicture(cover)); // a METADATA_BLOCK_PICTURE comment
        ok = f.save();
        break;
    }
    case Format::Opus: {
        TagLib::Ogg::Opus::File f(path.constData());
        fillTag(f.tag(), s);
        f.tag()->addPicture(flacPicture(cover));
        ok = f.save();
        break;
    }
    case Format::WavPack: {
        TagLib::WavPack::File f(path.constData());
        fillTag(f.APETag(true), s);
        // An APEv2 cover item: a file name, a NUL, then the picture.
        const QByteArray item = QByteArray(cover.mime == "image/png" ? "Cover.png" : "Cover.jpg") + '\0' + cover.data;
        f.APETag()->setItem("Cover Art (Front)", TagLib::APE::Item("Cover Art (Front)", bytes(item), true));
        ok = f.save();
        break;
    }
    }
    if (!ok && error)
        *error = QStringLiteral("TagLib could not tag %1").arg(s.path);
    return ok;
}

// Marks the audio sample entry of an MP4 as encrypted, as copy-protected store
// purchases are: the "mp4a" entry inside "stsd" becomes "drms".
bool protectSampleEntry(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite)) {
        if (error)
            *error = QStringLiteral("cannot open %1").arg(path);
        return false;
    }
    QByteArray data = f.readAll();
    const qsizetype stsd = data.indexOf("stsd");
    const qsizetype entry = stsd < 0 ? -1 : data.indexOf("mp4a", stsd);
    if (entry < 0 || entry - stsd > 32) {
        if (error)
            *error = QStringLiteral("no AAC sample entry in %1").arg(path);
        return false;
    }
    f.seek(entry);
    return f.write("drms", 4) == 4;
}

EncodeSpec specFor(Format f, int mp3BitRate)
{
    switch (f) {
    case Format::Mp3Cbr: return {"mp3", "libmp3lame", mp3BitRate, -1};
    case Format::Mp3Vbr: return {"mp3", "libmp3lame", 0, 4};
    case Format::Aac:
    case Format::Protected: return {"ipod", "aac", 128000, -1};
    case Format::Alac: return {"ipod", "alac", 0, -1};
    case Format::WavInfo:
    case Format::WavId3: return {"wav", "pcm_s16le", 0, -1};
    case Format::Aiff: return {"aiff", "pcm_s16be", 0, -1};
    case Format::Flac: return {"flac", "flac", 0, -1};
    case Format::OggVorbis: return {"ogg", "libvorbis", 128000, -1};
    case Format::Opus: return {"opus", "libopus", 96000, -1, 48000};
    case Format::WavPack: return {"wv", "wavpack", 0, -1};
    }
    return {};
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

} // namespace

const QStringList& formatNames()
{
    static const QStringList names = {"mp3", "mp3-vbr", "aac", "alac", "wav", "wav-id3", "aif", "flac", "m4p",
                                      "ogg", "opus", "wv"};
    return names;
}

bool formatFromName(const QString& name, Format* out)
{
    const qsizetype i = formatNames().indexOf(name.trimmed().toLower());
    if (i < 0)
        return false;
    *out = static_cast<Format>(i);
    return true;
}

QString fileExtension(Format f)
{
    switch (f) {
    case Format::Mp3Cbr:
    case Format::Mp3Vbr: return QStringLiteral("mp3");
    case Format::Aac:
    case Format::Alac: return QStringLiteral("m4a");
    case Format::WavInfo:
    case Format::WavId3: return QStringLiteral("wav");
    case Format::Aiff: return QStringLiteral("aif");
    case Format::Flac: return QStringLiteral("flac");
    case Format::Protected: return QStringLiteral("m4p");
    case Format::OggVorbis: return QStringLiteral("ogg");
    case Format::Opus: return QStringLiteral("opus");
    case Format::WavPack: return QStringLiteral("wv");
    }
    return {};
}

bool writeSong(const Song& song, unsigned seed, double seconds, int mp3BitRate, QString* error)
{
    QDir().mkpath(QFileInfo(song.path).absolutePath());
    QFile::remove(song.path);
    const EncodeSpec spec = specFor(song.format, mp3BitRate);
    const QString failure = encode(song.path, spec, synthesize(seed, seconds, spec.sampleRate));
    if (!failure.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(song.path, failure);
        return false;
    }
    if (song.tagged && !tagSong(song, drawCover(seed), error))
        return false;
    return song.format != Format::Protected || protectSampleEntry(song.path, error);
}

std::vector<Song> makeLibrary(const QString& dir, const Options& options, QString* error)
{
    std::vector<Song> songs;
    const QString root = QDir(dir).absolutePath();
    if (!QDir().mkpath(root)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(root);
        return songs;
    }
    std::vector<Format> formats = options.formats;
    if (formats.empty())
        for (int i = 0; i < formatNames().size(); ++i)
            formats.push_back(static_cast<Format>(i));
    const int total = options.songs >= 0 ? options.songs : static_cast<int>(formats.size());

    for (int i = 0; i < total; ++i) {
        Song s;
        s.format = formats[static_cast<std::size_t>(i) % formats.size()];
        s.artist = QString::fromUtf8(kArtists[(i / 3) % count(kArtists)]);
        s.album = QString::fromUtf8(kAlbums[(i / 3 + i / 18) % count(kAlbums)]);
        s.title = QString::fromUtf8(kTitles[i % count(kTitles)]);
        if (i >= static_cast<int>(count(kTitles)))
            s.title += QStringLiteral(" #%1").arg(i / count(kTitles) + 1);
        s.track = i % 3 + 1;
        s.path = QStringLiteral("%1/%2/%3/%4 %5.%6")
                     .arg(root, fileSafe(s.artist), fileSafe(s.album))
                     .arg(s.track, 2, 10, QLatin1Char('0'))
                     .arg(fileSafe(s.title), fileExtension(s.format));
        if (!writeSong(s, static_cast<unsigned>(i), options.seconds, options.mp3BitRate, error))
            return songs;
        songs.push_back(s);
    }

    if (options.broken) {
        const QString broken = root + QStringLiteral("/Broken");
        QDir().mkpath(broken);
        // Truncated copies of real songs: cut inside the audio, the MP3 inside a
        // frame, the M4A before its index, so neither can be read whole.
        Song mp3{broken + "/Truncated.mp3", Format::Mp3Cbr, "Broken", "Broken", "Truncated MP3", 1, true};
        Song m4a{broken + "/Truncated.m4a", Format::Aac, "Broken", "Broken", "Truncated M4A", 2, true};
        for (Song* s : {&mp3, &m4a}) {
            if (!writeSong(*s, 99u, std::max(options.seconds, 2.0), options.mp3BitRate, error))
                return songs;
            QFile f(s->path);
            if (!f.open(QIODevice::ReadWrite) || !f.resize(f.size() * 2 / 5 + 7)) {
                if (error)
                    *error = QStringLiteral("cannot truncate %1").arg(s->path);
                return songs;
            }
            songs.push_back(*s);
        }
        const Song empty{broken + "/Empty.mp3", Format::Mp3Cbr, {}, {}, {}, 0, true};
        const Song text{broken + "/Not Audio.mp3", Format::Mp3Cbr, {}, {}, {}, 0, true};
        if (!writeFile(empty.path, {}) ||
            !writeFile(text.path, "This is a text file that only pretends to be an MP3.\n")) {
            if (error)
                *error = QStringLiteral("cannot write the broken files in %1").arg(broken);
            return songs;
        }
        songs.push_back(empty);
        songs.push_back(text);
    }
    return songs;
}

} // namespace songgen

#include "platform/library/TagReading.h"

#include "platform/foundation/PathString.h"

#include <QFile>
#include <cstdio>
#include <cstring>

#include <taglib/aifffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>

namespace medialibrary::tagreading {

namespace {

enum class Container { Unknown, Mpeg, Mp4, Wav, Aiff, Flac };

// Tells the container by the file's first bytes, not by its name.
Container sniff(const QByteArray& encodedPath, const QString& extension)
{
    unsigned char head[12] = {};
    std::FILE* f = std::fopen(encodedPath.constData(), "rb");
    if (!f)
        return Container::Unknown;
    const std::size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    const auto is = [&](std::size_t at, const char* text) {
        const std::size_t len = std::strlen(text);
        return n >= at + len && std::memcmp(head + at, text, len) == 0;
    };
    if (is(0, "RIFF") && is(8, "WAVE"))
        return Container::Wav;
    if (is(0, "FORM") && (is(8, "AIFF") || is(8, "AIFC")))
        return Container::Aiff;
    if (is(0, "fLaC"))
        return Container::Flac;
    if (is(4, "ftyp"))
        return Container::Mp4;
    if (is(0, "ID3"))
        return extension == u"flac" ? Container::Flac : Container::Mpeg;
    if (n >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0)
        return Container::Mpeg;
    return Container::Unknown;
}

QString text(const TagLib::String& s)
{
    if (s.isEmpty())
        return {};
    QString value = QString::fromUtf8(s.toCString(true));
    if (value.trimmed().isEmpty())
        return {};
    return value;
}

void readTag(const TagLib::Tag* tag, FileInfo& info)
{
    if (!tag)
        return;
    info.title = text(tag->title());
    info.artist = text(tag->artist());
    info.albumTitle = text(tag->album());
    info.track = static_cast<int>(tag->track());
}

// Fills each absent text of `info` from `tag`.
void fillAbsent(const TagLib::Tag* tag, FileInfo& info)
{
    if (!tag)
        return;
    if (info.title.isNull())
        info.title = text(tag->title());
    if (info.artist.isNull())
        info.artist = text(tag->artist());
    if (info.albumTitle.isNull())
        info.albumTitle = text(tag->album());
    if (info.track == 0)
        info.track = static_cast<int>(tag->track());
}

bool hasPictures(const TagLib::ID3v2::Tag* tag)
{
    return tag && !tag->frameList("APIC").isEmpty();
}

bool hasAudio(const TagLib::AudioProperties* p)
{
    return p && p->sampleRate() > 0;
}

QByteArray bytes(const TagLib::ByteVector& v)
{
    return QByteArray(v.data(), static_cast<qsizetype>(v.size()));
}

QByteArray id3Cover(const TagLib::ID3v2::Tag* tag)
{
    if (!tag)
        return {};
    const TagLib::ID3v2::AttachedPictureFrame* first = nullptr;
    for (const TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
        const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (!picture)
            continue;
        if (picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
            return bytes(picture->picture());
        if (!first)
            first = picture;
    }
    return first ? bytes(first->picture()) : QByteArray();
}

} // namespace

FileInfo readFile(const QString& path)
{
    FileInfo info;
    const QString ext = path::extension(path).toLower();
    info.formatExtension = ext;
    const QByteArray encoded = QFile::encodeName(path);
    constexpr auto style = TagLib::AudioProperties::Fast;

    switch (sniff(encoded, ext)) {
    case Container::Mpeg: {
        TagLib::MPEG::File f(encoded.constData(), true, style);
        if (!f.isValid() || !hasAudio(f.audioProperties()))
            return info;
        info.readable = true;
        info.formatExtension = QStringLiteral("mp3");
        readTag(f.tag(), info);
        if (f.hasID3v2Tag() && hasPictures(f.ID3v2Tag()))
            info.pictureSource = PictureSource::Id3v2;
        return info;
    }
    case Container::Mp4: {
        TagLib::MP4::File f(encoded.constData(), true, style);
        if (!f.isValid() || !f.audioProperties())
            return info;
        info.readable = true;
        info.isProtected = f.audioProperties()->isEncrypted();
        const auto codec = f.audioProperties()->codec();
        if (codec == TagLib::MP4::Properties::AAC || codec == TagLib::MP4::Properties::ALAC)
            info.formatExtension = QStringLiteral("m4a");
        readTag(f.tag(), info);
        if (f.tag() && f.tag()->contains("covr") && !f.tag()->item("covr").toCoverArtList().isEmpty())
            info.pictureSource = PictureSource::Mp4;
        return info;
    }
    case Container::Wav: {
        TagLib::RIFF::WAV::File f(encoded.constData(), true, style);
        if (!f.isValid() || !hasAudio(f.audioProperties()))
            return info;
        info.readable = true;
        info.formatExtension = QStringLiteral("wav");
        if (f.hasID3v2Tag())
            readTag(f.ID3v2Tag(), info);
        if (f.hasInfoTag())
            fillAbsent(f.InfoTag(), info);
        if (f.hasID3v2Tag() && hasPictures(f.ID3v2Tag()))
            info.pictureSource = PictureSource::Id3v2;
        return info;
    }
    case Container::Aiff: {
        TagLib::RIFF::AIFF::File f(encoded.constData(), true, style);
        if (!f.isValid() || !hasAudio(f.audioProperties()))
            return info;
        info.readable = true;
        info.formatExtension = QStringLiteral("aif");
        if (f.hasID3v2Tag()) {
            readTag(f.tag(), info);
            if (hasPictures(f.tag()))
                info.pictureSource = PictureSource::Id3v2;
        }
        return info;
    }
    case Container::Flac: {
        TagLib::FLAC::File f(encoded.constData(), true, style);
        if (!f.isValid() || !hasAudio(f.audioProperties()))
            return info;
        info.readable = true;
        readTag(f.tag(), info);
        if (!f.pictureList().isEmpty())
            info.pictureSource = PictureSource::Flac;
        else if (f.hasID3v2Tag() && hasPictures(f.ID3v2Tag()))
            info.pictureSource = PictureSource::Id3v2;
        return info;
    }
    case Container::Unknown:
        break;
    }
    // Anything else TagLib knows (Ogg, Opus, WMA, …): tags only, no pictures.
    TagLib::FileRef ref(encoded.constData(), true, style);
    if (ref.isNull() || !hasAudio(ref.audioProperties()))
        return info;
    info.readable = true;
    readTag(ref.tag(), info);
    return info;
}

QByteArray frontCover(const QString& path, PictureSource source)
{
    const QByteArray encoded = QFile::encodeName(path);
    switch (source) {
    case PictureSource::None:
        return {};
    case PictureSource::Id3v2: {
        // Whichever container holds the ID3v2 tag.
        const QString ext = path::extension(path).toLower();
        switch (sniff(encoded, ext)) {
        case Container::Mpeg: {
            TagLib::MPEG::File f(encoded.constData(), false);
            return f.isValid() && f.hasID3v2Tag() ? id3Cover(f.ID3v2Tag()) : QByteArray();
        }
        case Container::Wav: {
            TagLib::RIFF::WAV::File f(encoded.constData(), false);
            return f.isValid() && f.hasID3v2Tag() ? id3Cover(f.ID3v2Tag()) : QByteArray();
        }
        case Container::Aiff: {
            TagLib::RIFF::AIFF::File f(encoded.constData(), false);
            return f.isValid() && f.hasID3v2Tag() ? id3Cover(f.tag()) : QByteArray();
        }
        case Container::Flac: {
            TagLib::FLAC::File f(encoded.constData(), false);
            return f.isValid() && f.hasID3v2Tag() ? id3Cover(f.ID3v2Tag()) : QByteArray();
        }
        default:
            return {};
        }
    }
    case PictureSource::Mp4: {
        TagLib::MP4::File f(encoded.constData(), false);
        if (!f.isValid() || !f.tag() || !f.tag()->contains("covr"))
            return {};
        const TagLib::MP4::CoverArtList covers = f.tag()->item("covr").toCoverArtList();
        return covers.isEmpty() ? QByteArray() : bytes(covers.front().data());
    }
    case PictureSource::Flac: {
        TagLib::FLAC::File f(encoded.constData(), false);
        if (!f.isValid())
            return {};
        const TagLib::FLAC::Picture* first = nullptr;
        for (const TagLib::FLAC::Picture* picture : f.pictureList()) {
            if (picture->type() == TagLib::FLAC::Picture::FrontCover)
                return bytes(picture->data());
            if (!first)
                first = picture;
        }
        return first ? bytes(first->data()) : QByteArray();
    }
    }
    return {};
}

} // namespace medialibrary::tagreading

#include "platform/library/TagReading.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/PathString.h"

#include <QFile>
#include <algorithm>
#include <memory>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <taglib/aifffile.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggpageheader.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

namespace medialibrary::tagreading {

namespace {

// Opens a song for reading so that nothing can block: a FIFO, a device or a
// socket behind the name (or behind a link) is refused before anything is
// read from it. nullptr when the file is not a readable regular file.
std::unique_ptr<TagLib::IOStream> openSong(const QString& path)
{
    const QByteArray encoded = path::native(path);
    FileDescriptor fd(::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    // Plain blocking reads from here on; the descriptor is a regular file.
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    auto stream = std::make_unique<TagLib::FileStream>(fd.release(), true); // the stream closes it
    if (!stream->isOpen())
        return nullptr;
    return stream;
}

// Tells the format by the stream's first bytes, not by its name.
std::optional<AudioFormat> sniff(TagLib::IOStream* stream, const QString& fileName)
{
    const std::optional<AudioFormat> format = recogniseFormat(
        [stream](qint64 at, qint64 length) {
            stream->seek(static_cast<long>(at));
            const TagLib::ByteVector block = stream->readBlock(static_cast<unsigned long>(length));
            return QByteArray(block.data(), static_cast<qsizetype>(block.size()));
        },
        fileName);
    stream->seek(0);
    return format;
}

// A present text, empty or blank ones included: never null.
QString text(const TagLib::String& s)
{
    QString value = QString::fromUtf8(s.toCString(true));
    if (value.isNull())
        value = QString(0, QChar());
    return value;
}

// Fills each absent field of `info` from `tag`. A field counts as present when
// the tag holds it at all, even with an empty text; only absence is absence.
void fillAbsent(const TagLib::Tag* tag, FileInfo& info, const TagLib::PropertyMap& props)
{
    if (!tag)
        return;
    // An ID3v2 frame without text is present but has no property.
    const auto* id3 = dynamic_cast<const TagLib::ID3v2::Tag*>(tag);
    const auto field = [&](QString& into, const char* key, const char* frameId, const TagLib::String& value) {
        if (into.isNull() && (props.contains(key) || !value.isEmpty() ||
                              (id3 && !id3->frameList(frameId).isEmpty())))
            into = text(value);
    };
    field(info.title, "TITLE", "TIT2", tag->title());
    field(info.artist, "ARTIST", "TPE1", tag->artist());
    field(info.albumTitle, "ALBUM", "TALB", tag->album());
    if (info.track == 0)
        info.track = static_cast<int>(tag->track());
}

void fillAbsent(const TagLib::Tag* tag, FileInfo& info)
{
    if (tag)
        fillAbsent(tag, info, tag->properties());
}

bool hasPictures(const TagLib::ID3v2::Tag* tag)
{
    return tag && !tag->frameList("APIC").isEmpty();
}

bool hasAudio(const TagLib::AudioProperties* p)
{
    return p && p->sampleRate() > 0;
}

// The song is readable audio: its length goes with it.
void setReadable(FileInfo& info, const TagLib::AudioProperties* p)
{
    info.readable = true;
    info.durationMs = p ? std::max(0, p->lengthInMilliseconds()) : 0;
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

// The front cover of a list of FLAC picture blocks, else the first picture.
QByteArray flacCover(const TagLib::List<TagLib::FLAC::Picture*>& pictures)
{
    const TagLib::FLAC::Picture* first = nullptr;
    for (const TagLib::FLAC::Picture* picture : pictures) {
        if (picture->type() == TagLib::FLAC::Picture::FrontCover)
            return bytes(picture->data());
        if (!first)
            first = picture;
    }
    return first ? bytes(first->data()) : QByteArray();
}

// The front cover of an APE tag ("Cover Art (Front)", else the first other
// cover item): the picture after the file name that leads its value.
QByteArray apeCover(const TagLib::APE::Tag* tag)
{
    if (!tag)
        return {};
    const TagLib::APE::ItemListMap& items = tag->itemListMap();
    const TagLib::APE::Item* chosen = nullptr;
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (it->second.type() != TagLib::APE::Item::Binary || !it->first.upper().startsWith("COVER ART ("))
            continue;
        if (it->first.upper() == "COVER ART (FRONT)") {
            chosen = &it->second;
            break;
        }
        if (!chosen)
            chosen = &it->second;
    }
    if (!chosen)
        return {};
    const TagLib::ByteVector value = chosen->binaryData();
    const int nul = value.find('\0');
    return nul < 0 ? QByteArray() : bytes(value.mid(static_cast<unsigned>(nul) + 1));
}

// Whether the Ogg file's last page is the last page of its stream.
bool endsWhole(TagLib::Ogg::File& file)
{
    const TagLib::Ogg::PageHeader* last = file.lastPageHeader();
    return last && last->isValid() && last->lastPageOfStream();
}

} // namespace

namespace {

// The tags of an Ogg file's comment header, and whether it holds pictures.
template <typename OggFile>
void readOgg(OggFile& f, FileInfo& info)
{
    // A stream cut short ends with a page that is not its last: unreadable.
    if (!endsWhole(f))
        return;
    setReadable(info, f.audioProperties());
    if (TagLib::Ogg::XiphComment* comment = f.tag()) {
        fillAbsent(comment, info);
        if (!comment->pictureList().isEmpty())
            info.pictureSource = PictureSource::XiphComment;
    }
}

FileInfo readStream(TagLib::IOStream* stream, const QString& fileName)
{
    FileInfo info;
    info.format = sniff(stream, fileName);
    if (!info.format)
        return info;
    constexpr auto style = TagLib::AudioProperties::Fast;

    switch (formatInfo(*info.format).tagFile) {
    case TagFile::Mpeg: {
        TagLib::MPEG::File f(stream, TagLib::ID3v2::FrameFactory::instance(), true, style);
        if (!f.isValid() || !hasAudio(f.audioProperties()))
            return info;
        setReadable(info, f.audioProperties());
        // The order in which the tags of an MPEG file take precedence.
        if (f.hasID3v2Tag())
            fillAbsent(f.ID3v2Tag(), info);
        if (f.hasAPETag())
            fillAbsent(f.APETag(), info);
        if (f.hasID3v1Tag())
            fillAbsent(f.ID3v1Tag(), info);
        if (f.hasID3v2Tag() && hasPictures(f.ID3v2Tag()))
            info.pictureSource = PictureSource::Id3v2;
        return info;
    }
    case TagFile::Mp4: {
        TagLib::MP4::File f(stream, true, style);
        if (!f.isValid() || !f.audioProperties())
            return info;
        setReadable(info, f.audioProperties());
        info.isProtected = f.audioProperties()->isEncrypted();
        const auto codec = f.audioProperties()->codec();
        if (codec != TagLib::MP4::Properties::AAC && codec != TagLib::MP4::Properties::ALAC)
            info.format.reset(); // an MP4 with other audio (or none): not a song Ripwell knows
        fillAbsent(f.tag(), info);
        if (f.tag() && f.tag()->contains("covr") && !f.tag()->item("covr").toCoverArtList().isEmpty())
            info.pictureSource = PictureSource::Mp4;
        return info;
    }
    case TagFile::RiffWave: {
        TagLib::RIFF::WAV::File f(stream, true, style);
        if (!f.isValid() || !hasAudio(f.audioProperties()))
            return info;
        setReadable(info, f.audioProperties());
        if (f.hasID3v2Tag())
            fillAbsent(f.ID3v2Tag(), info);
        if (f.hasInfoTag())
            fillAbsent(f.InfoTag(), info);
        if (f.hasID3v2Tag() && hasPictures(f.ID3v2Tag()))
            info.pictureSource = PictureSource::Id3v2;
        return info;
    }
    case TagFile::RiffAiff: {
        TagLib::RIFF::AIFF::File f(stream, true, style);
        if (!f.isValid() || !hasAudio(f.audioProperties()))
            return info;
        setReadable(info, f.audioProperties());
        if (f.hasID3v2Tag()) {
            fillAbsent(f.tag(), info);
            if (hasPictures(f.tag()))
                info.pictureSource = PictureSource::Id3v2;
        }
        return info;
    }
    case TagFile::Flac: {
        TagLib::FLAC::File f(stream, TagLib::ID3v2::FrameFactory::instance(), true, style);
        if (!f.isValid() || !hasAudio(f.audioProperties()))
            return info;
        setReadable(info, f.audioProperties());
        if (f.hasXiphComment())
            fillAbsent(f.xiphComment(), info);
        if (f.hasID3v2Tag())
            fillAbsent(f.ID3v2Tag(), info);
        if (f.hasID3v1Tag())
            fillAbsent(f.ID3v1Tag(), info);
        if (!f.pictureList().isEmpty())
            info.pictureSource = PictureSource::Flac;
        else if (f.hasID3v2Tag() && hasPictures(f.ID3v2Tag()))
            info.pictureSource = PictureSource::Id3v2;
        return info;
    }
    case TagFile::OggVorbis: {
        TagLib::Ogg::Vorbis::File f(stream, true, style);
        if (f.isValid() && hasAudio(f.audioProperties()))
            readOgg(f, info);
        return info;
    }
    case TagFile::OggOpus: {
        TagLib::Ogg::Opus::File f(stream, true, style);
        if (f.isValid() && hasAudio(f.audioProperties()))
            readOgg(f, info);
        return info;
    }
    case TagFile::WavPack: {
        TagLib::WavPack::File f(stream, true, style);
        if (!f.isValid() || !hasAudio(f.audioProperties()))
            return info;
        setReadable(info, f.audioProperties());
        if (f.hasAPETag()) {
            fillAbsent(f.APETag(), info);
            if (!apeCover(f.APETag()).isEmpty())
                info.pictureSource = PictureSource::ApeItem;
        }
        if (f.hasID3v1Tag())
            fillAbsent(f.ID3v1Tag(), info);
        return info;
    }
    case TagFile::Any:
        break;
    }
    // A format read by whatever TagLib knows of it: tags only, no pictures.
    TagLib::FileRef ref(stream, true, style);
    if (ref.isNull() || !hasAudio(ref.audioProperties()))
        return info;
    setReadable(info, ref.audioProperties());
    fillAbsent(ref.tag(), info, ref.file()->properties());
    return info;
}

} // namespace

FileInfo readFile(const QString& path)
{
    const std::unique_ptr<TagLib::IOStream> stream = openSong(path);
    if (!stream)
        return {};
    return readStream(stream.get(), path);
}

FileInfo readData(const QByteArray& data, const QString& fileName)
{
    TagLib::ByteVectorStream stream(TagLib::ByteVector(data.constData(), static_cast<unsigned>(data.size())));
    return readStream(&stream, fileName);
}

std::optional<AudioFormat> recogniseFile(const QString& path)
{
    const std::unique_ptr<TagLib::IOStream> stream = openSong(path);
    return stream ? sniff(stream.get(), path) : std::nullopt;
}

bool oggEndsWhole(const QString& path)
{
    const std::unique_ptr<TagLib::IOStream> stream = openSong(path);
    if (!stream)
        return false;
    TagLib::Ogg::Vorbis::File f(stream.get(), false); // any Ogg stream: only its pages are read
    return f.isOpen() && endsWhole(f);
}

QByteArray frontCover(const QString& path, PictureSource source)
{
    if (source == PictureSource::None)
        return {};
    const std::unique_ptr<TagLib::IOStream> stream = openSong(path);
    if (!stream)
        return {};
    TagLib::IOStream* in = stream.get();
    switch (source) {
    case PictureSource::None:
        return {};
    case PictureSource::Id3v2: {
        // Whichever container holds the ID3v2 tag.
        const std::optional<AudioFormat> format = sniff(in, path);
        switch (format ? formatInfo(*format).tagFile : TagFile::Any) {
        case TagFile::Mpeg: {
            TagLib::MPEG::File f(in, TagLib::ID3v2::FrameFactory::instance(), false);
            return f.isValid() && f.hasID3v2Tag() ? id3Cover(f.ID3v2Tag()) : QByteArray();
        }
        case TagFile::RiffWave: {
            TagLib::RIFF::WAV::File f(in, false);
            return f.isValid() && f.hasID3v2Tag() ? id3Cover(f.ID3v2Tag()) : QByteArray();
        }
        case TagFile::RiffAiff: {
            TagLib::RIFF::AIFF::File f(in, false);
            return f.isValid() && f.hasID3v2Tag() ? id3Cover(f.tag()) : QByteArray();
        }
        case TagFile::Flac: {
            TagLib::FLAC::File f(in, TagLib::ID3v2::FrameFactory::instance(), false);
            return f.isValid() && f.hasID3v2Tag() ? id3Cover(f.ID3v2Tag()) : QByteArray();
        }
        default:
            return {};
        }
    }
    case PictureSource::Mp4: {
        TagLib::MP4::File f(in, false);
        if (!f.isValid() || !f.tag() || !f.tag()->contains("covr"))
            return {};
        const TagLib::MP4::CoverArtList covers = f.tag()->item("covr").toCoverArtList();
        return covers.isEmpty() ? QByteArray() : bytes(covers.front().data());
    }
    case PictureSource::Flac: {
        TagLib::FLAC::File f(in, TagLib::ID3v2::FrameFactory::instance(), false);
        return f.isValid() ? flacCover(f.pictureList()) : QByteArray();
    }
    case PictureSource::XiphComment: {
        // Vorbis and Opus alike: the comment is the stream's second packet.
        const std::optional<AudioFormat> format = sniff(in, path);
        if (format && formatInfo(*format).tagFile == TagFile::OggOpus) {
            TagLib::Ogg::Opus::File f(in, false);
            return f.isValid() && f.tag() ? flacCover(f.tag()->pictureList()) : QByteArray();
        }
        TagLib::Ogg::Vorbis::File f(in, false);
        return f.isValid() && f.tag() ? flacCover(f.tag()->pictureList()) : QByteArray();
    }
    case PictureSource::ApeItem: {
        TagLib::WavPack::File f(in, false);
        return f.isValid() && f.hasAPETag() ? apeCover(f.APETag()) : QByteArray();
    }
    }
    return {};
}

} // namespace medialibrary::tagreading

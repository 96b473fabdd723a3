#include "platform/export/LibraryTags.h"

#include "platform/foundation/PathString.h"

#include <taglib/aifffile.h>
#include <taglib/flacfile.h>
#include <taglib/infotag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

#include <cstring>
#include <memory>

namespace mediaexport {

namespace {

TagLib::String tl(const QString& s)
{
    return TagLib::String(s.toUtf8().constData(), TagLib::String::UTF8);
}

// `properties` with the library's fields in place of the file's. What the
// library leaves empty it holds to be empty, and the file's value goes: but
// the title, which every song shows, stays as the file has it.
TagLib::PropertyMap merged(TagLib::PropertyMap properties, const medialibrary::OutputTags& tags)
{
    const auto text = [&](const char* key, const QString& value) {
        if (!value.isEmpty())
            properties.replace(key, TagLib::StringList(tl(value)));
        else if (std::strcmp(key, "TITLE") != 0)
            properties.erase(key);
    };
    const auto number = [&](const char* key, int value) {
        if (value > 0)
            properties.replace(key, TagLib::StringList(TagLib::String::number(value)));
        else
            properties.erase(key);
    };
    text("TITLE", tags.title);
    text("ARTIST", tags.artist);
    text("ALBUM", tags.album);
    text("ALBUMARTIST", tags.albumArtist);
    text("GENRE", tags.genre);
    number("TRACKNUMBER", tags.track);
    number("DISCNUMBER", tags.disc);
    number("DATE", tags.year);
    number("COMPILATION", tags.compilation ? 1 : 0);
    return properties;
}

Error failure(const char* call, const QString& why)
{
    return Error(Error::Kind::Other, QString::fromLatin1(call), why);
}

} // namespace

std::optional<Error> writeLibraryTags(const QString& path, medialibrary::AudioFormat format,
                                      const medialibrary::OutputTags& tags)
{
    using medialibrary::TagFile;
    const QByteArray name = path::native(path);
    const char* file = name.constData();
    std::unique_ptr<TagLib::File> opened;
    switch (medialibrary::formatInfo(format).tagFile) {
    case TagFile::Mpeg: opened = std::make_unique<TagLib::MPEG::File>(file, false); break;
    case TagFile::Mp4: opened = std::make_unique<TagLib::MP4::File>(file, false); break;
    case TagFile::RiffAiff: opened = std::make_unique<TagLib::RIFF::AIFF::File>(file, false); break;
    case TagFile::Flac: opened = std::make_unique<TagLib::FLAC::File>(file, false); break;
    case TagFile::OggVorbis: opened = std::make_unique<TagLib::Ogg::Vorbis::File>(file, false); break;
    case TagFile::OggOpus: opened = std::make_unique<TagLib::Ogg::Opus::File>(file, false); break;
    case TagFile::WavPack: opened = std::make_unique<TagLib::WavPack::File>(file, false); break;
    case TagFile::RiffWave: {
        // Both tags a WAV's readers take: the ID3 chunk and LIST/INFO.
        TagLib::RIFF::WAV::File wav(file, false);
        if (!wav.isValid() || wav.readOnly())
            return failure("TagLib::RIFF::WAV::File", QStringLiteral("the written file cannot be read back"));
        wav.ID3v2Tag()->setProperties(merged(wav.ID3v2Tag()->properties(), tags));
        TagLib::RIFF::Info::Tag* info = wav.InfoTag();
        const TagLib::PropertyMap infoTags = merged(info->properties(), tags);
        info->setProperties(infoTags);
        if (!wav.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripNone))
            return failure("TagLib::RIFF::WAV::File::save", QStringLiteral("the tags could not be written"));
        return std::nullopt;
    }
    case TagFile::Any: break;
    }
    if (!opened)
        return failure("writeLibraryTags", QStringLiteral("no tags can be written into such a file"));
    if (!opened->isValid() || opened->readOnly())
        return failure("TagLib::File", QStringLiteral("the written file cannot be read back"));
    opened->setProperties(merged(opened->properties(), tags));
    if (!opened->save())
        return failure("TagLib::File::save", QStringLiteral("the tags could not be written"));
    return std::nullopt;
}

} // namespace mediaexport

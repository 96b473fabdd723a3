#include "platform/export/WaveTags.h"

#include "platform/foundation/PathString.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/wavfile.h>

namespace mediaexport {

namespace {

TagLib::String tl(const QString& s)
{
    return TagLib::String(s.toUtf8().constData(), TagLib::String::UTF8);
}

} // namespace

std::optional<Error> tagWave(const QString& path, const Tags& tags)
{
    if (tags.title.isEmpty() && tags.artist.isEmpty() && tags.album.isEmpty() && tags.cover.isEmpty())
        return std::nullopt;
    const QByteArray file = path::native(path);
    TagLib::RIFF::WAV::File wav(file.constData(), false);
    if (!wav.isValid())
        return Error(Error::Kind::Other, QStringLiteral("TagLib::RIFF::WAV::File"),
                     QStringLiteral("the written file cannot be read back"));
    for (TagLib::Tag* t : {static_cast<TagLib::Tag*>(wav.InfoTag()), static_cast<TagLib::Tag*>(wav.ID3v2Tag())}) {
        t->setTitle(tl(tags.title));
        t->setArtist(tl(tags.artist));
        t->setAlbum(tl(tags.album));
    }
    if (!tags.cover.isEmpty()) {
        auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
        picture->setMimeType(tl(tags.coverMime));
        picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        picture->setPicture(TagLib::ByteVector(tags.cover.constData(), static_cast<unsigned>(tags.cover.size())));
        wav.ID3v2Tag()->addFrame(picture);
    }
    if (!wav.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers))
        return Error(Error::Kind::Other, QStringLiteral("TagLib::RIFF::WAV::File::save"),
                     QStringLiteral("the tags could not be written"));
    return std::nullopt;
}

} // namespace mediaexport

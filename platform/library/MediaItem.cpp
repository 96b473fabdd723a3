#include "platform/library/MediaItem.h"

#include "platform/library/AssetURL.h"

#include "platform/foundation/PathString.h"
#include "platform/library/TagReading.h"

namespace medialibrary {

MediaItemArtwork::MediaItemArtwork(QString filePath, PictureSource source)
    : filePath_(std::move(filePath)), source_(source)
{
}

QByteArray MediaItemArtwork::pictureData() const
{
    return tagreading::frontCover(filePath_, source_);
}

QImage MediaItemArtwork::imageWithSize(const QSize& size, qreal devicePixelRatio) const
{
    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    if (pixels.width() <= 0 || pixels.height() <= 0)
        return {};
    const QByteArray data = pictureData();
    if (data.isEmpty())
        return {};
    QImage picture = QImage::fromData(data);
    if (picture.isNull())
        return {};
    picture = picture.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(devicePixelRatio);
    return picture;
}

MediaItem::MediaItem(Data data) : d_(std::make_shared<const Data>(std::move(data)))
{
    if (d_->pictureSource != PictureSource::None)
        artwork_ = std::make_shared<const MediaItemArtwork>(d_->filePath, d_->pictureSource);
}

namespace {
const QString kNone;
}

const QString& MediaItem::title() const { return d_ ? d_->title : kNone; }
const QString& MediaItem::artist() const { return d_ ? d_->artist : kNone; }
const QString& MediaItem::albumTitle() const { return d_ ? d_->albumTitle : kNone; }
std::shared_ptr<const MediaItemArtwork> MediaItem::artwork() const { return artwork_; }
Url MediaItem::assetURL() const
{
    if (!d_)
        return {};
    if (d_->handedOver && d_->assetURL.isEmpty() && d_->format)
        return makeAssetURL(QString::fromLatin1(formatInfo(*d_->format).outputExtension), d_->persistentID);
    return d_->assetURL;
}

bool MediaItem::hasAssetURL() const { return d_ && (!d_->assetURL.isEmpty() || (d_->handedOver && d_->format)); }
quint64 MediaItem::persistentID() const { return d_ ? d_->persistentID : 0; }
const QString& MediaItem::filePath() const { return d_ ? d_->filePath : kNone; }
int MediaItem::albumTrackNumber() const { return d_ ? d_->albumTrackNumber : 0; }
int MediaItem::durationMs() const { return d_ ? d_->durationMs : 0; }
const QString& MediaItem::albumArtist() const { return d_ ? d_->albumArtist : kNone; }
const QString& MediaItem::genre() const { return d_ ? d_->genre : kNone; }
int MediaItem::discNumber() const { return d_ ? d_->discNumber : 0; }
int MediaItem::year() const { return d_ ? d_->year : 0; }
bool MediaItem::isCompilation() const { return d_ && d_->isCompilation; }
bool MediaItem::isProtected() const { return d_ && d_->isProtected; }
bool MediaItem::isReadable() const { return d_ && d_->isReadable; }
std::optional<AudioFormat> MediaItem::format() const { return d_ ? d_->format : std::nullopt; }

LeftOutReason MediaItem::leftOutReason() const
{
    if (!d_ || hasAssetURL())
        return LeftOutReason::None;
    if (d_->leftOut != LeftOutReason::None)
        return d_->leftOut;
    if (d_->isProtected)
        return LeftOutReason::Protected;
    if (d_->isReadable && (!d_->format || !formatInfo(*d_->format).converted()))
        return LeftOutReason::UnsupportedFormat;
    return LeftOutReason::Unreadable;
}

QString MediaItem::fileStem() const
{
    return d_ ? path::deletingExtension(path::lastComponent(d_->filePath)) : QString();
}

QString MediaItem::displayTitle() const
{
    if (!d_)
        return {};
    if (!d_->title.trimmed().isEmpty())
        return d_->title;
    return path::displayed(fileStem());
}

} // namespace medialibrary

#pragma once
// Media items: the songs of the music library as the rest of the application
// sees them. An item answers five properties: title, artist, album title,
// artwork and asset URL; each may be absent. Items are immutable values,
// cheap to copy and safe to share between threads.

#include "platform/foundation/Url.h"
#include "platform/library/AudioFormat.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>
#include <vector>

namespace medialibrary {

// Where a song file keeps its pictures.
enum class PictureSource { None, Id3v2, Mp4, Flac, XiphComment, ApeItem };

// Why the library does not hand a song over (it then has no asset URL).
enum class LeftOutReason : quint8 {
    None,        // handed over
    Protected,   // copy-protected (encrypted MP4 sample entry)
    Unreadable,  // could not be read as audio
    UnsupportedFormat, // read, but in a format Ripwell does not convert
    BrokenLink,  // a symbolic link that leads to nothing
    LinkLoop,    // a symbolic link that leads to itself, around a loop
    NotAFile,    // a FIFO, device or socket behind a song's name
    // Where the library's own catalogue lists the song (an iPod's database):
    Missing,     // its file is not on the disk
    Video,       // the catalogue lists it as a video
    NotAudio,    // an e-book or a document
};

// The front cover of a song. The picture stays in the song file and is read
// and decoded on each imageWithSize() call; any thread may call it.
class MediaItemArtwork {
public:
    MediaItemArtwork(QString filePath, PictureSource source);

    // The picture scaled to fit `size` points, proportions kept, so one side
    // equals the asked size and the other does not exceed it; made at
    // `devicePixelRatio` pixels a point (its devicePixelRatio()) for a screen
    // of that density. A null image when the picture cannot be read or decoded.
    QImage imageWithSize(const QSize& size, qreal devicePixelRatio = 1.0) const;

    // The encoded picture as stored in the file (JPEG or PNG), empty when none.
    QByteArray pictureData() const;

private:
    QString filePath_;
    PictureSource source_;
};

class MediaItem {
public:
    struct Data {
        quint64 persistentID = 0;
        QString filePath;   // absolute; bytes that are not UTF-8 as path::fromNative() keeps them
        QString title;      // null when absent
        QString artist;
        QString albumTitle;
        int albumTrackNumber = 0; // 0 when absent
        int durationMs = 0;       // the audio's length; 0 when not known
        // Known where the library's own catalogue says them (an iPod's
        // database); absent (null, 0, false) for songs read from a folder.
        QString albumArtist;
        QString genre;
        int discNumber = 0; // 0 when absent
        int year = 0;       // 0 when absent
        bool isCompilation = false;
        Url assetURL;       // empty when the library does not hand the song over
        // Handed over under the library's own asset URL, "library://item/
        // item.EXT?id=N" with EXT the format's output extension and N the
        // persistent id: made when asked, not kept (a parsed URL is some
        // 350 bytes a song). Meant for an empty `assetURL`.
        bool handedOver = false;
        PictureSource pictureSource = PictureSource::None;
        bool isProtected = false; // encrypted MP4 sample entry
        bool isReadable = false;  // the file could be read as audio
        std::optional<AudioFormat> format; // by its content; nothing when not known
        LeftOutReason leftOut = LeftOutReason::None; // set where the file is no song at all
    };

    MediaItem() = default;
    explicit MediaItem(Data data);

    bool isNull() const { return !d_; }

    // References into the song's shared data, valid while this item lives.
    const QString& title() const;      // null when absent
    const QString& artist() const;     // null when absent
    const QString& albumTitle() const; // null when absent
    // nullptr when the song has no picture.
    std::shared_ptr<const MediaItemArtwork> artwork() const;
    // "library://item/item.EXT?id=N", EXT the format's output extension; empty
    // for protected and unreadable songs and those of a format not converted.
    Url assetURL() const;
    // Whether the song has an asset URL, without making it.
    bool hasAssetURL() const;

    quint64 persistentID() const;
    const QString& filePath() const;
    int albumTrackNumber() const;
    // The audio's length in milliseconds; 0 when not known.
    int durationMs() const;
    const QString& albumArtist() const; // null when absent
    const QString& genre() const;       // null when absent
    int discNumber() const;             // 0 when absent
    int year() const;                   // 0 when absent
    bool isCompilation() const;
    bool isProtected() const;
    bool isReadable() const;
    // The song's format by its content; nothing when it is not known.
    std::optional<AudioFormat> format() const;
    // Why the song is not handed over; None when it has an asset URL.
    LeftOutReason leftOutReason() const;

    // Title, else (absent or blank) the file name without its extension: what a list shows.
    QString displayTitle() const;
    // The file name without its extension (bytes that are not UTF-8 as
    // path::fromNative() keeps them): what names a song without a title.
    QString fileStem() const;

    friend bool operator==(const MediaItem& a, const MediaItem& b) { return a.persistentID() == b.persistentID(); }

private:
    std::shared_ptr<const Data> d_;
    std::shared_ptr<const MediaItemArtwork> artwork_;
};

// What a picker hands back: the picked items in order.
class MediaItemCollection {
public:
    MediaItemCollection() = default;
    explicit MediaItemCollection(std::vector<MediaItem> items) : items_(std::move(items)) {}
    const std::vector<MediaItem>& items() const { return items_; }
    std::size_t count() const { return items_.size(); }

private:
    std::vector<MediaItem> items_;
};

} // namespace medialibrary

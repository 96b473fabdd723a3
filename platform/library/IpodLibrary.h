#pragma once
// An iPod mounted as a disk, as a library: the songs its database lists, with
// the database's title, artist, album, album artist, track and disc numbers,
// year, genre and compilation flag, each in the file it lies in on the disk;
// the database's playlists; and the tracks that are no song Ripwell converts,
// each with its reason (protected, missing, a video, a book).
//
// Its root is the iPod's folder (its mount point), so a song's place in it is
// where the iPod keeps its file ("iPod_Control/Music/F12/ABCD.mp3"): the same
// iPod at another mount point is the same library for the documents folder's
// record. Its outputs are named and tagged from the database (outputTags()),
// whatever the files themselves say.
//
// Nothing is ever written to the iPod: the database is read by
// ripwell-read-ipod (ipod::readDatabase), the files only looked at, and the
// library's index lives in the cache folder (LibraryIndex), kept under the
// database's stamp and read back at once while the database has that stamp.

#include "platform/foundation/Volumes.h"
#include "platform/library/IpodDatabase.h"
#include "platform/library/MediaLibrary.h"

#include <QString>
#include <memory>
#include <vector>

namespace medialibrary {

class IpodLibrary : public MediaLibrary {
    struct Token {};

public:
    struct Opened {
        std::shared_ptr<const IpodLibrary> library; // nothing when the database could not be read
        ipod::ReadFailure failure = ipod::ReadFailure::None;
        QString error; // for people, with the failure
        bool fromIndex = false; // read back from the index, the database unchanged since
    };

    // The iPod in `folder`. With `indexPath` (see LibraryIndex), the songs
    // come from the index there while the database has the stamp they were
    // kept under (unless not `readIndex`); otherwise from the database, and
    // the index is written anew.
    static Opened open(const QString& folder, const QString& indexPath = QString(), bool readIndex = true);

    // Whether `folder` holds an iPod's database (looks, reads nothing).
    static bool isIpod(const QString& folder) { return ipod::holdsDatabase(folder); }
    // The iPods mounted now, as the removable volumes they are.
    static std::vector<volumes::Volume> mounted();

    explicit IpodLibrary(Token) {}

    // The iPod's name (its library playlist's): "Anna's iPod".
    const QString& name() const { return name_; }

    // Library.
    std::vector<Playlist> playlists() const override;
    std::optional<OutputTags> outputTags(const Url& url) const override;
    // Whether its database is still there: an unplugged iPod's is not.
    bool isAvailable() const override;

private:
    struct IdPlaylist {
        QString name;
        std::vector<quint64> songs;
    };
    static std::shared_ptr<IpodLibrary> make(const QString& root, QString name, std::vector<MediaItem> items,
                                             std::vector<IdPlaylist> playlists);

    QString name_;
    std::vector<IdPlaylist> playlists_;
};

} // namespace medialibrary

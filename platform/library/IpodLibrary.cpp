#include "platform/library/IpodLibrary.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/PathString.h"
#include "platform/library/IpodTracks.h"
#include "platform/library/LibraryIndex.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace medialibrary {

namespace {

constexpr const char* kLogOp = "ipodLibrary";
constexpr quint64 kIdBits = 0x7FFFFFFFFFFFFFFFull;

// What the index keeps the songs under: the database file's name, size and time.
QString stampText(const ipod::Stamp& stamp)
{
    return QStringLiteral("%1 %2 %3").arg(stamp.fileName).arg(stamp.size).arg(stamp.modified);
}

QString canonicalFolder(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? path::standardizedSlashes(QDir::cleanPath(QDir(folder).absolutePath())) : canonical;
}

// The file's path below `root` as stored (its bytes); empty for a track with
// no file, and for one the database places outside the iPod.
QByteArray relativeFile(const QString& filePath, const QByteArray& root)
{
    const QByteArray file = path::native(filePath);
    return file.size() > root.size() + 1 && file.startsWith(root) && file[root.size()] == '/' ? file.mid(root.size() + 1)
                                                                                               : QByteArray();
}

} // namespace

IpodLibrary::Opened IpodLibrary::open(const QString& folder, const QString& indexPath, bool readIndex)
{
    Opened opened;
    const QString root = canonicalFolder(folder);
    const QByteArray rootBytes = path::native(root);
    const std::optional<ipod::Stamp> stamp = ipod::readStamp(root);
    const std::unique_ptr<LibraryIndex> index = stamp ? LibraryIndex::open(indexPath, root) : nullptr;

    // The index, while the database is the one its songs were read from.
    if (index && readIndex) {
        if (std::optional<LibraryIndex::Catalogue> kept = index->catalogue(); kept && kept->stamp == stampText(*stamp)) {
            std::vector<MediaItem> items;
            items.reserve(kept->songs.size());
            for (LibraryIndex::Entry& e : kept->songs) {
                MediaItem::Data d = std::move(e.data);
                if (!e.relativePath.isEmpty())
                    d.filePath = path::fromNative(rootBytes + '/' + e.relativePath);
                if (d.leftOut == LeftOutReason::None && d.format)
                    d.handedOver = true;
                items.emplace_back(std::move(d));
            }
            std::vector<IdPlaylist> playlists;
            for (LibraryIndex::CataloguePlaylist& p : kept->playlists)
                playlists.push_back({std::move(p.name), std::move(p.songs)});
            opened.library = make(root, kept->name, std::move(items), std::move(playlists));
            opened.fromIndex = true;
            return opened;
        }
    }

    ipod::ReadResult read = ipod::readDatabase(root);
    if (!read.database) {
        opened.failure = read.failure;
        opened.error = read.error;
        return opened;
    }
    const ipod::Database& db = *read.database;
    std::vector<MediaItem> items;
    items.reserve(db.tracks.size());
    LibraryIndex::Catalogue catalogue;
    catalogue.stamp = stampText(db.stamp);
    catalogue.songs.reserve(index ? db.tracks.size() : 0);
    // A song's id is the database's own id of it (the same in every copy of
    // the database), in 63 bits; a clash takes the next free one.
    QHash<quint32, quint64> idOfTrack;
    QSet<quint64> used;
    used.reserve(qsizetype(db.tracks.size()));
    for (const ipod::Track& t : db.tracks) {
        quint64 id = t.dbid & kIdBits;
        while (id == 0 || used.contains(id))
            id = (id + 1) & kIdBits;
        used.insert(id);
        idOfTrack.insert(t.id, id);
        MediaItem::Data d = ipod::itemData(t, ipod::examineTrack(t), id);
        if (index) {
            LibraryIndex::Entry e;
            e.relativePath = relativeFile(d.filePath, rootBytes);
            e.data = d;
            e.data.filePath.clear();
            e.data.assetURL = Url();
            e.data.handedOver = false;
            catalogue.songs.push_back(std::move(e));
        }
        items.emplace_back(std::move(d));
    }
    std::vector<IdPlaylist> playlists;
    for (const ipod::Playlist& p : db.playlists) {
        if (p.kind == ipod::Playlist::Kind::Library) {
            catalogue.name = p.name; // the iPod's own name; its songs are the library's
            continue;
        }
        IdPlaylist playlist{p.name, {}};
        for (quint32 track : p.trackIds)
            if (const auto it = idOfTrack.constFind(track); it != idOfTrack.constEnd())
                playlist.songs.push_back(it.value());
        catalogue.playlists.push_back({playlist.name, playlist.songs});
        playlists.push_back(std::move(playlist));
    }
    if (index)
        index->setCatalogue(catalogue);
    applog::debug(kLogOp, QStringLiteral("Read the iPod's database in %1: %2 tracks, %3 playlists")
                              .arg(root)
                              .arg(db.tracks.size())
                              .arg(playlists.size()));
    opened.library = make(root, catalogue.name, std::move(items), std::move(playlists));
    return opened;
}

std::shared_ptr<IpodLibrary> IpodLibrary::make(const QString& root, QString name, std::vector<MediaItem> items,
                                               std::vector<IdPlaylist> playlists)
{
    auto library = std::make_shared<IpodLibrary>(Token{});
    library->setRoot(root);
    library->name_ = std::move(name);
    library->setItems(std::move(items));
    library->playlists_ = std::move(playlists);
    return library;
}

std::vector<Playlist> IpodLibrary::playlists() const
{
    std::vector<Playlist> out;
    out.reserve(playlists_.size());
    for (const IdPlaylist& p : playlists_) {
        Playlist playlist{p.name, {}, {}, {}}; // no file of its own: the database holds it
        playlist.items.reserve(p.songs.size());
        for (quint64 id : p.songs)
            if (MediaItem item = itemWithPersistentID(id); !item.isNull())
                playlist.items.push_back(std::move(item));
        out.push_back(std::move(playlist));
    }
    return out;
}

std::optional<OutputTags> IpodLibrary::outputTags(const Url& url) const
{
    const MediaItem item = itemForAssetURL(url);
    return item.isNull() ? std::nullopt : std::optional(OutputTags::of(item));
}

std::vector<volumes::Volume> IpodLibrary::mounted()
{
    std::vector<volumes::Volume> ipods = volumes::removableVolumes();
    std::erase_if(ipods, [](const volumes::Volume& v) { return !isIpod(v.rootPath); });
    return ipods;
}

bool IpodLibrary::isAvailable() const
{
    return ipod::holdsDatabase(root());
}

} // namespace medialibrary

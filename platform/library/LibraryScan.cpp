// The scan of a library folder: the walk that finds its song files, the
// reading of each on a few threads, and the scan that runs on a thread of its
// own while readers look at what it has read so far.
#include "platform/library/LibraryScan.h"

#include "platform/foundation/PathString.h"
#include "platform/library/AssetURL.h"
#include "platform/library/LibraryIndex.h"
#include "platform/library/MediaLibrary.h"
#include "platform/library/PlaylistFile.h"
#include "platform/library/TagReading.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace medialibrary {

namespace {

// The persistent id of a song: 63 bits of the SHA-1 of its path relative to
// the library root (the bytes of the name as stored). Never 0.
quint64 idForRelativePath(const QByteArray& relative)
{
    const QByteArray digest = QCryptographicHash::hash(relative, QCryptographicHash::Sha1);
    quint64 id = 0;
    for (int i = 0; i < 8; ++i)
        id = (id << 8) | quint8(digest[i]);
    id &= 0x7FFFFFFFFFFFFFFFull;
    return id == 0 ? 1 : id;
}

QString canonical(const QString& path)
{
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? path::standardizedSlashes(QDir::cleanPath(QDir(path).absolutePath())) : c;
}

bool isAudioFileName(const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 && MediaLibrary::isAudioFileName(QStringLiteral("x") + QString::fromLatin1(name.mid(dot)));
}

// A file found by the walk: a song to read, or an entry with a song's name
// that is no song file (`problem` says what it is instead).
struct FoundFile {
    QByteArray path; // the bytes as stored
    LeftOutReason problem = LeftOutReason::None;
    std::int64_t size = 0;     // of the file a song's name leads to
    std::int64_t modified = 0; // nanoseconds since 1970
    friend bool operator<(const FoundFile& a, const FoundFile& b) { return a.path < b.path; }
};

std::int64_t nanoseconds(const struct timespec& t)
{
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// What an entry with an audio file's name is once links are followed; its
// size and time go to `found`.
LeftOutReason problemOf(const QByteArray& path, bool* isFolder, FoundFile* found = nullptr)
{
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return errno == ELOOP ? LeftOutReason::LinkLoop : LeftOutReason::BrokenLink;
    *isFolder = S_ISDIR(st.st_mode);
    if (found) {
        found->size = st.st_size;
        found->modified = nanoseconds(st.st_mtim);
    }
    return S_ISREG(st.st_mode) || *isFolder ? LeftOutReason::None : LeftOutReason::NotAFile;
}

bool isPlaylistFileName(const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 && playlistfile::isPlaylistFileName(QStringLiteral("x") + QString::fromLatin1(name.mid(dot)));
}

// Every audio file under `root`, hidden entries and excluded folders left
// out, sorted by path: regular files once links are followed, and, as left
// out with their reason, links to nothing, link loops and FIFOs, devices or
// sockets with a song's name. Paths are the bytes as stored; folders reached
// through links are not entered (no loops). The playlist files (regular
// files once links are followed) go to `playlists`, sorted too. Stops early,
// with what it has, when `cancelled` is set.
std::vector<FoundFile> collectFiles(const QByteArray& root, const QSet<QString>& excluded,
                                    const std::atomic<bool>& cancelled, std::vector<FoundFile>* playlists)
{
    std::vector<FoundFile> files;
    std::vector<QByteArray> pending{root};
    while (!pending.empty() && !cancelled.load(std::memory_order_relaxed)) {
        const QByteArray dir = pending.back();
        pending.pop_back();
        DIR* d = ::opendir(dir.constData());
        if (!d)
            continue;
        while (const dirent* entry = ::readdir(d)) {
            if (cancelled.load(std::memory_order_relaxed))
                break;
            const QByteArray name(entry->d_name);
            if (name.startsWith('.'))
                continue; // hidden, and "." and ".."
            const QByteArray path = dir + '/' + name;
            const unsigned char type = entry->d_type;
            if (type == DT_DIR) {
                if (!excluded.isEmpty() && excluded.contains(canonical(path::fromNative(path))))
                    continue;
                pending.push_back(path);
                continue;
            }
            if (type == DT_REG) {
                struct stat st {};
                const bool song = isAudioFileName(name);
                if ((song || isPlaylistFileName(name)) && ::fstatat(::dirfd(d), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                    (song ? files : *playlists).push_back({path, LeftOutReason::None, st.st_size, nanoseconds(st.st_mtim)});
                continue;
            }
            // A link, a special file or a file system that does not say.
            bool isFolder = false;
            FoundFile file{path};
            const LeftOutReason problem = problemOf(path, &isFolder, &file);
            if (isFolder) {
                if (type == DT_UNKNOWN && !excluded.contains(canonical(path::fromNative(path)))) {
                    struct stat own {};
                    if (::lstat(path.constData(), &own) == 0 && S_ISDIR(own.st_mode))
                        pending.push_back(path); // a real folder; one behind a link is not entered
                }
                continue;
            }
            if (isAudioFileName(name)) {
                file.problem = problem;
                files.push_back(std::move(file));
            } else if (problem == LeftOutReason::None && isPlaylistFileName(name)) {
                playlists->push_back(std::move(file));
            }
        }
        ::closedir(d);
    }
    std::sort(files.begin(), files.end());
    std::sort(playlists->begin(), playlists->end());
    return files;
}

// What the playlist files found say, taken from the index where a file has
// the size and time it knows (`known`); those read anew go to `changed`.
std::vector<LibraryIndex::PlaylistEntry> readPlaylistFiles(const std::vector<FoundFile>& found, qsizetype rootLength,
                                                           const QHash<QByteArray, const LibraryIndex::PlaylistEntry*>& known,
                                                           std::vector<LibraryIndex::PlaylistEntry>* changed)
{
    std::vector<LibraryIndex::PlaylistEntry> out;
    out.reserve(found.size());
    for (const FoundFile& file : found) {
        LibraryIndex::PlaylistEntry e{file.path.mid(rootLength + 1), file.size, file.modified, {}};
        const LibraryIndex::PlaylistEntry* entry = known.value(e.relativePath);
        if (entry && entry->size == file.size && entry->modified == file.modified) {
            e.locations = entry->locations;
        } else {
            const QString path = path::fromNative(file.path);
            e.locations = playlistfile::readEntries(playlistfile::readFile(path), path);
            changed->push_back(e);
        }
        out.push_back(std::move(e));
    }
    return out;
}

// The playlists of the library whose songs `library` holds, from what their
// files list; by name, then by place. `givenRoot` is the top as the library
// was asked for (maybe through a link), which playlists may name too.
std::vector<Playlist> resolvePlaylists(const MediaLibrary& library, const QString& givenRoot,
                                       const std::vector<LibraryIndex::PlaylistEntry>& files)
{
    const PlaylistResolver resolver(library.items(), library.root(),
                                    {QDir::cleanPath(QDir(givenRoot).absolutePath())});
    std::vector<Playlist> playlists;
    playlists.reserve(files.size());
    for (const LibraryIndex::PlaylistEntry& file : files) {
        const QString place = path::fromNative(file.relativePath);
        playlists.push_back(
            resolver.resolve(path::deletingExtension(path::lastComponent(place)), place, file.locations));
    }
    std::stable_sort(playlists.begin(), playlists.end(), [](const Playlist& a, const Playlist& b) {
        const int c = a.name.compare(b.name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.place < b.place;
    });
    return playlists;
}

// The item's data without id and asset URL.
MediaItem::Data readData(const QString& filePath)
{
    MediaItem::Data d;
    d.filePath = filePath;
    const tagreading::FileInfo info = tagreading::readFile(filePath);
    d.format = info.format;
    d.title = info.title;
    d.artist = info.artist;
    d.albumTitle = info.albumTitle;
    d.albumTrackNumber = info.track;
    d.durationMs = info.durationMs;
    d.pictureSource = info.pictureSource;
    d.isProtected = info.isProtected;
    d.isReadable = info.readable;
    return d;
}

// Whether the library hands `d` out under its asset URL: only a readable
// song of a format Ripwell converts that is not protected.
bool handedOver(const MediaItem::Data& d)
{
    return d.isReadable && !d.isProtected && d.format && formatInfo(*d.format).converted();
}

// Reads the file found by the walk into an item with its id, the hash of its
// path relative to the library's root.
MediaItem::Data readFoundData(const FoundFile& found, const QByteArray& relative)
{
    const quint64 id = idForRelativePath(relative);
    if (found.problem != LeftOutReason::None) {
        MediaItem::Data d;
        d.filePath = path::fromNative(found.path);
        d.persistentID = id;
        d.leftOut = found.problem;
        return d;
    }
    MediaItem::Data d = readData(path::fromNative(found.path));
    d.persistentID = id;
    d.handedOver = handedOver(d);
    return d;
}

MediaItem readFoundFile(const FoundFile& found, const QByteArray& relative)
{
    return MediaItem(readFoundData(found, relative));
}

// The song an index entry keeps, at `path` (the bytes as stored).
MediaItem itemFromEntry(const LibraryIndex::Entry& entry, const QByteArray& path)
{
    MediaItem::Data d = entry.data;
    d.filePath = path::fromNative(path);
    d.persistentID = idForRelativePath(entry.relativePath);
    d.handedOver = handedOver(d);
    return MediaItem(std::move(d));
}

// What the index keeps of a song just read.
LibraryIndex::Entry entryFor(MediaItem::Data d, const FoundFile& found, const QByteArray& relative)
{
    LibraryIndex::Entry e;
    e.relativePath = relative;
    e.size = found.size;
    e.modified = found.modified;
    d.filePath.clear();
    d.persistentID = 0;
    d.assetURL = Url();
    d.handedOver = false;
    e.data = std::move(d);
    return e;
}

MediaItem withId(const MediaItem& item, quint64 id)
{
    MediaItem::Data d;
    d.persistentID = id;
    d.filePath = item.filePath();
    d.title = item.title();
    d.artist = item.artist();
    d.albumTitle = item.albumTitle();
    d.albumTrackNumber = item.albumTrackNumber();
    d.durationMs = item.durationMs();
    d.isProtected = item.isProtected();
    d.isReadable = item.isReadable();
    d.format = item.format();
    d.leftOut = item.leftOutReason();
    d.pictureSource = item.artwork() ? tagreading::readFile(item.filePath()).pictureSource : PictureSource::None;
    d.handedOver = item.hasAssetURL();
    return MediaItem(std::move(d));
}

} // namespace

struct LibraryScan::State {
    std::atomic<bool> cancelled{false};
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<MediaItem> found; // in the order read
    QHash<quint64, std::size_t> byId;
    bool finished = false;
    std::shared_ptr<const MediaLibrary> library;

    void add(const MediaItem& item)
    {
        std::lock_guard lock(mutex);
        byId.insert(item.persistentID(), found.size());
        found.push_back(item);
    }
};

std::shared_ptr<MediaLibrary> MediaLibrary::runScan(const QString& rootPath, const QStringList& excludedDirectories,
                                                   LibraryScan::State& state, const QString& indexPath, bool readIndex)
{
    auto library = std::make_shared<MediaLibrary>();
    const QString root = canonical(rootPath);
    if (!QFileInfo(root).isDir())
        return library;

    QSet<QString> excluded;
    for (const QString& dir : excludedDirectories)
        excluded.insert(canonical(dir));
    if (excluded.contains(root))
        return library;

    // What the index knows: a song whose file has the same size and time is
    // not read again (unless the index is not to be trusted this time).
    const std::unique_ptr<LibraryIndex> index = LibraryIndex::open(indexPath, root);
    // Each entry is looked up by the file at its path; those no file asks for
    // are the songs gone since.
    std::vector<LibraryIndex::Entry> entries = index ? index->entries() : std::vector<LibraryIndex::Entry>();
    QHash<QByteArray, std::size_t> known;
    known.reserve(qsizetype(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
        known.insert(entries[i].relativePath, i);
    std::vector<char> asked(entries.size(), 0); // each written by the one file at its path

    const QByteArray rootBytes = path::native(root);
    std::vector<FoundFile> playlistFiles;
    std::vector<FoundFile> files = collectFiles(rootBytes, excluded, state.cancelled, &playlistFiles);

    // Read the files on a few threads; each reads its own files.
    std::vector<MediaItem> items(files.size());
    // What the index is to learn, per file read again: nothing for the
    // others, so that an index that knows every song costs no copy of them.
    std::vector<std::unique_ptr<LibraryIndex::Entry>> changed(index ? files.size() : 0);
    const std::size_t workers = std::clamp<std::size_t>(std::size_t(QThread::idealThreadCount()), 1, 4);
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < items.size(); i = next++) {
            if (state.cancelled.load(std::memory_order_relaxed))
                return;
            const FoundFile& file = files[i];
            const QByteArray relative = file.path.mid(rootBytes.size() + 1);
            const auto at = known.constFind(relative);
            const LibraryIndex::Entry* entry = at == known.cend() ? nullptr : &entries[*at];
            if (entry)
                asked[*at] = 1;
            if (!readIndex)
                entry = nullptr;
            if (entry && file.problem == LeftOutReason::None && entry->size == file.size &&
                entry->modified == file.modified && entry->data.leftOut == LeftOutReason::None) {
                items[i] = itemFromEntry(*entry, file.path);
            } else {
                MediaItem::Data d = readFoundData(file, relative);
                items[i] = MediaItem(d);
                if (index)
                    changed[i] = std::make_unique<LibraryIndex::Entry>(entryFor(std::move(d), file, relative));
            }
            state.add(items[i]);
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < workers && t < items.size(); ++t)
        threads.emplace_back(work);
    work();
    for (std::thread& t : threads)
        t.join();
    if (state.cancelled)
        return nullptr;
    // The index's songs and the files found are let go before the library is
    // put together: with a hundred thousand songs they are tens of megabytes.
    std::vector<QByteArray> removed;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!asked[i])
            removed.push_back(entries[i].relativePath);
    std::vector<LibraryIndex::Entry>().swap(entries);
    known = {};
    std::vector<FoundFile>().swap(files);

    const std::vector<LibraryIndex::PlaylistEntry> indexedPlaylists = index ? index->playlists()
                                                                            : std::vector<LibraryIndex::PlaylistEntry>();
    QHash<QByteArray, const LibraryIndex::PlaylistEntry*> knownPlaylists;
    if (readIndex)
        for (const LibraryIndex::PlaylistEntry& e : indexedPlaylists)
            knownPlaylists.insert(e.relativePath, &e);
    std::vector<LibraryIndex::PlaylistEntry> changedPlaylists;
    const std::vector<LibraryIndex::PlaylistEntry> playlists =
        readPlaylistFiles(playlistFiles, rootBytes.size(), knownPlaylists, &changedPlaylists);

    if (index) {
        std::vector<LibraryIndex::Entry> put;
        for (std::unique_ptr<LibraryIndex::Entry>& e : changed)
            if (e)
                put.push_back(std::move(*e));
        std::vector<std::unique_ptr<LibraryIndex::Entry>>().swap(changed);
        QSet<QByteArray> seenPlaylists;
        for (const LibraryIndex::PlaylistEntry& e : playlists)
            seenPlaylists.insert(e.relativePath);
        std::vector<QByteArray> removedPlaylists;
        for (const LibraryIndex::PlaylistEntry& e : indexedPlaylists)
            if (!seenPlaylists.contains(e.relativePath))
                removedPlaylists.push_back(e.relativePath);
        index->update(put, removed, &state.cancelled, changedPlaylists, removedPlaylists);
    }

    // Ids in path order; a clash (not expected of 63 hash bits) takes the next free id.
    QSet<quint64> used;
    for (MediaItem& item : items) {
        quint64 id = item.persistentID();
        while (used.contains(id))
            id = (id + 1) & 0x7FFFFFFFFFFFFFFFull;
        used.insert(id);
        if (id != item.persistentID())
            item = withId(item, id);
    }
    library->setItems(std::move(items));
    library->root_ = root;
    library->playlists_ = resolvePlaylists(*library, rootPath, playlists);
    return library;
}

std::shared_ptr<const MediaLibrary> MediaLibrary::fromIndex(const QString& rootPath, const QString& indexPath)
{
    const QString root = canonical(rootPath);
    const std::unique_ptr<LibraryIndex> index = LibraryIndex::open(indexPath, root);
    if (!index)
        return nullptr;
    const std::vector<LibraryIndex::Entry> entries = index->entries();
    if (entries.empty())
        return nullptr;
    const QByteArray rootBytes = path::native(root);
    std::vector<MediaItem> items;
    items.reserve(entries.size());
    for (const LibraryIndex::Entry& e : entries)
        items.push_back(itemFromEntry(e, rootBytes + '/' + e.relativePath));
    auto library = std::make_shared<MediaLibrary>();
    library->root_ = root;
    library->setItems(std::move(items));
    library->playlists_ = resolvePlaylists(*library, rootPath, index->playlists());
    return library;
}

MediaItem MediaLibrary::readItem(const QString& filePath, const QString& root)
{
    FoundFile found{path::native(filePath)};
    bool isFolder = false;
    found.problem = problemOf(found.path, &isFolder);
    if (isFolder)
        found.problem = LeftOutReason::NotAFile;
    return readFoundFile(found, path::native(QDir(canonical(root)).relativeFilePath(filePath)));
}

std::shared_ptr<const MediaLibrary> MediaLibrary::scan(const QString& rootPath, const QStringList& excludedDirectories,
                                                       const QString& indexPath, bool readIndex)
{
    LibraryScan::State state;
    auto library = runScan(rootPath, excludedDirectories, state, indexPath, readIndex);
    library->root_ = canonical(rootPath);
    return library;
}

// --- LibraryScan ---

std::shared_ptr<LibraryScan> LibraryScan::start(const QString& root, const QStringList& excludedDirectories,
                                                Finished finished, const QString& indexPath)
{
    std::shared_ptr<LibraryScan> scan(new LibraryScan);
    scan->state_ = std::make_shared<State>();
    scan->thread_ = std::thread([state = scan->state_, root, excludedDirectories, finished = std::move(finished), indexPath] {
        std::shared_ptr<MediaLibrary> library = MediaLibrary::runScan(root, excludedDirectories, *state, indexPath);
        if (library)
            library->root_ = canonical(root);
        if (library && finished)
            finished(library);
        {
            std::lock_guard lock(state->mutex);
            state->library = library;
            state->finished = true;
        }
        state->changed.notify_all();
    });
    return scan;
}

LibraryScan::~LibraryScan()
{
    cancel();
}

void LibraryScan::cancel()
{
    state_->cancelled = true;
    std::lock_guard lock(joinMutex_);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

std::size_t LibraryScan::count() const
{
    std::lock_guard lock(state_->mutex);
    return state_->found.size();
}

std::vector<MediaItem> LibraryScan::itemsFrom(std::size_t from) const
{
    std::lock_guard lock(state_->mutex);
    if (from >= state_->found.size())
        return {};
    return {state_->found.begin() + std::ptrdiff_t(from), state_->found.end()};
}

MediaItem LibraryScan::itemWithPersistentID(quint64 id) const
{
    std::lock_guard lock(state_->mutex);
    auto it = state_->byId.constFind(id);
    return it == state_->byId.constEnd() ? MediaItem() : state_->found[it.value()];
}

QString LibraryScan::fileForAssetURL(const Url& url) const
{
    quint64 id = 0;
    if (!assetId(url, &id))
        return {};
    const MediaItem item = itemWithPersistentID(id);
    return !item.isNull() && item.assetURL() == url ? item.filePath() : QString();
}

bool LibraryScan::isFinished() const
{
    std::lock_guard lock(state_->mutex);
    return state_->finished;
}

std::shared_ptr<const MediaLibrary> LibraryScan::library() const
{
    std::lock_guard lock(state_->mutex);
    return state_->library;
}

std::shared_ptr<const MediaLibrary> LibraryScan::wait() const
{
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [this] { return state_->finished; });
    return state_->library;
}

} // namespace medialibrary

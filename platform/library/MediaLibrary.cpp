#include "platform/library/MediaLibrary.h"

#include "platform/foundation/Documents.h"
#include "platform/foundation/PathString.h"
#include "platform/library/AssetURL.h"
#include "platform/library/TagReading.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace medialibrary {

namespace {

// The persistent id of a song: 63 bits of the SHA-1 of its path relative to
// the library root. Never 0.
quint64 idForRelativePath(const QString& relative)
{
    const QByteArray digest = QCryptographicHash::hash(relative.toUtf8(), QCryptographicHash::Sha1);
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

// Every audio file under `root`, hidden entries and excluded folders left out,
// in a stable order (sorted by path).
QStringList collectFiles(const QString& root, const QSet<QString>& excluded)
{
    QStringList files;
    QStringList pending{root};
    while (!pending.isEmpty()) {
        const QString dir = pending.takeLast();
        QDirIterator it(dir, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            const QFileInfo fi = it.fileInfo();
            if (fi.fileName().startsWith(u'.'))
                continue;
            if (fi.isDir()) {
                if (fi.isSymLink())
                    continue; // no loops through links
                if (!excluded.isEmpty() && excluded.contains(canonical(fi.filePath())))
                    continue;
                pending.append(fi.filePath());
            } else if (MediaLibrary::isAudioFileName(fi.fileName())) {
                files.append(fi.filePath());
            }
        }
    }
    files.sort();
    return files;
}

// Null (absent) texts sort after every present one.
int compareText(const QString& a, const QString& b)
{
    if (a.isNull() || b.isNull())
        return int(a.isNull()) - int(b.isNull());
    return QString::compare(a, b, Qt::CaseInsensitive);
}

bool libraryOrder(const MediaItem& a, const MediaItem& b)
{
    if (int c = compareText(a.artist(), b.artist()))
        return c < 0;
    if (int c = compareText(a.albumTitle(), b.albumTitle()))
        return c < 0;
    if (a.albumTrackNumber() != b.albumTrackNumber())
        return a.albumTrackNumber() < b.albumTrackNumber();
    if (int c = compareText(a.title(), b.title()))
        return c < 0;
    return a.filePath() < b.filePath();
}

// The item's data without id and asset URL; `format` gets the format's extension.
MediaItem::Data readData(const QString& filePath, QString* format)
{
    MediaItem::Data d;
    d.filePath = filePath;
    const tagreading::FileInfo info = tagreading::readFile(filePath);
    *format = info.formatExtension;
    d.title = info.title;
    d.artist = info.artist;
    d.albumTitle = info.albumTitle;
    d.albumTrackNumber = info.track;
    d.pictureSource = info.pictureSource;
    d.isProtected = info.isProtected;
    d.isReadable = info.readable;
    return d;
}

std::mutex g_defaultMutex;
std::mutex g_scanMutex; // one scan of the default library at a time
std::shared_ptr<const MediaLibrary> g_default;

} // namespace

bool MediaLibrary::isAudioFileName(const QString& fileName)
{
    static const QSet<QString> extensions = {
        QStringLiteral("mp3"),  QStringLiteral("m4a"),  QStringLiteral("m4p"), QStringLiteral("m4b"),
        QStringLiteral("mp4"),  QStringLiteral("aac"),  QStringLiteral("wav"), QStringLiteral("wave"),
        QStringLiteral("aif"),  QStringLiteral("aiff"), QStringLiteral("aifc"), QStringLiteral("flac"),
        QStringLiteral("ogg"),  QStringLiteral("oga"),  QStringLiteral("opus"), QStringLiteral("wma"),
        QStringLiteral("ape"),  QStringLiteral("wv"),   QStringLiteral("mpc"),
    };
    return extensions.contains(path::extension(fileName).toLower());
}

MediaItem MediaLibrary::readItem(const QString& filePath, const QString& root)
{
    QString format;
    MediaItem::Data d = readData(filePath, &format);
    d.persistentID = idForRelativePath(QDir(canonical(root)).relativeFilePath(filePath));
    if (d.isReadable && !d.isProtected)
        d.assetURL = makeAssetURL(format, d.persistentID);
    return MediaItem(std::move(d));
}

std::shared_ptr<const MediaLibrary> MediaLibrary::scan(const QString& rootPath, const QStringList& excludedDirectories)
{
    auto library = std::make_shared<MediaLibrary>();
    const QString root = canonical(rootPath);
    library->root_ = root;
    if (!QFileInfo(root).isDir())
        return library;

    QSet<QString> excluded;
    for (const QString& dir : excludedDirectories)
        excluded.insert(canonical(dir));
    if (excluded.contains(root))
        return library;
    const QStringList files = collectFiles(root, excluded);

    // Read the files on a few threads; each reads its own files.
    std::vector<MediaItem::Data> data(static_cast<std::size_t>(files.size()));
    std::vector<QString> formats(data.size());
    const std::size_t workers = std::clamp<std::size_t>(std::size_t(QThread::idealThreadCount()), 1, 4);
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < data.size(); i = next++) {
            const QString& file = files[qsizetype(i)];
            data[i] = readData(file, &formats[i]);
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < workers && t < data.size(); ++t)
        threads.emplace_back(work);
    work();
    for (std::thread& t : threads)
        t.join();

    // Ids in path order; a clash (not expected of 63 hash bits) takes the next free id.
    QSet<quint64> used;
    const QDir rootDir(root);
    library->items_.reserve(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        MediaItem::Data& d = data[i];
        quint64 id = idForRelativePath(rootDir.relativeFilePath(d.filePath));
        while (used.contains(id))
            id = (id + 1) & 0x7FFFFFFFFFFFFFFFull;
        used.insert(id);
        d.persistentID = id;
        if (d.isReadable && !d.isProtected)
            d.assetURL = makeAssetURL(formats[i], id);
        library->items_.emplace_back(std::move(d));
    }
    std::sort(library->items_.begin(), library->items_.end(), libraryOrder);
    library->byId_.reserve(qsizetype(library->items_.size()));
    for (std::size_t i = 0; i < library->items_.size(); ++i)
        library->byId_.insert(library->items_[i].persistentID(), i);
    return library;
}

std::shared_ptr<const MediaLibrary> MediaLibrary::defaultMediaLibrary()
{
    std::lock_guard scanning(g_scanMutex); // a second caller waits for the first scan
    {
        std::lock_guard lock(g_defaultMutex);
        if (g_default)
            return g_default;
    }
    auto library = scan(documents::musicLibraryRoot(), {documents::documentsDirectory()});
    std::lock_guard lock(g_defaultMutex);
    if (!g_default) {
        g_default = library;
        setAssetResolver([library](const Url& url) { return library->fileForAssetURL(url); });
    }
    return g_default;
}

std::shared_ptr<const MediaLibrary> MediaLibrary::loadedDefaultMediaLibrary()
{
    std::lock_guard lock(g_defaultMutex);
    return g_default;
}

void MediaLibrary::setDefaultMediaLibrary(std::shared_ptr<const MediaLibrary> library)
{
    std::lock_guard lock(g_defaultMutex);
    g_default = library;
    if (library)
        setAssetResolver([library](const Url& url) { return library->fileForAssetURL(url); });
    else
        setAssetResolver(nullptr);
}

MediaItem MediaLibrary::itemWithPersistentID(quint64 id) const
{
    auto it = byId_.constFind(id);
    return it == byId_.constEnd() ? MediaItem() : items_[it.value()];
}

MediaItem MediaLibrary::itemForAssetURL(const Url& url) const
{
    quint64 id = 0;
    if (!assetId(url, &id))
        return {};
    MediaItem item = itemWithPersistentID(id);
    return !item.isNull() && item.assetURL() == url ? item : MediaItem();
}

QString MediaLibrary::fileForAssetURL(const Url& url) const
{
    return itemForAssetURL(url).filePath();
}

} // namespace medialibrary

#include "platform/library/LibraryIndex.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/PathString.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

#include <sqlite3.h>

namespace medialibrary {

namespace {

constexpr const char* kLogOp = "libraryIndex";
// The layout of the file; an index of another one is made afresh. Version 2
// stores formats, picture sources and reasons by name, not by number; 3 adds
// the songs' lengths and the playlist files.
constexpr int kVersion = 3;

// The names the index stores a song's picture source and why it is left out
// under; like the formats' keys, they never change.
constexpr std::pair<PictureSource, const char*> kPictureSources[] = {
    {PictureSource::None, "none"},
    {PictureSource::Id3v2, "id3v2"},
    {PictureSource::Mp4, "mp4"},
    {PictureSource::Flac, "flac"},
    {PictureSource::XiphComment, "xiph-comment"},
    {PictureSource::ApeItem, "ape-item"},
};
constexpr std::pair<LeftOutReason, const char*> kLeftOutReasons[] = {
    {LeftOutReason::None, "none"},
    {LeftOutReason::Protected, "protected"},
    {LeftOutReason::Unreadable, "unreadable"},
    {LeftOutReason::UnsupportedFormat, "unsupported-format"},
    {LeftOutReason::BrokenLink, "broken-link"},
    {LeftOutReason::LinkLoop, "link-loop"},
    {LeftOutReason::NotAFile, "not-a-file"},
    {LeftOutReason::Missing, "missing"},
    {LeftOutReason::Video, "video"},
    {LeftOutReason::NotAudio, "not-audio"},
};

// The tables of a library read from a catalogue of its own. Added to an index
// of this version where missing: a folder's index has them empty.
constexpr const char* kCatalogueTables =
    "CREATE TABLE IF NOT EXISTS catalogue(stamp TEXT NOT NULL, name TEXT);"
    "CREATE TABLE IF NOT EXISTS catalogue_songs(position INTEGER PRIMARY KEY, id INTEGER NOT NULL, path BLOB,"
    " title TEXT, artist TEXT, album TEXT, album_artist TEXT, genre TEXT, track INTEGER, disc INTEGER,"
    " year INTEGER, compilation INTEGER, format TEXT, protected INTEGER, readable INTEGER, left_out TEXT,"
    " picture TEXT, duration INTEGER);"
    "CREATE TABLE IF NOT EXISTS catalogue_playlists(position INTEGER PRIMARY KEY, name TEXT, songs BLOB);";

template <typename Enum, std::size_t N>
const char* nameOf(const std::pair<Enum, const char*> (&names)[N], Enum value)
{
    for (const auto& [v, name] : names)
        if (v == value)
            return name;
    return names[0].second;
}

// The value stored under `name`; the first (none) for a name not known.
template <typename Enum, std::size_t N>
Enum valueNamed(const std::pair<Enum, const char*> (&names)[N], const QString& name)
{
    for (const auto& [v, known] : names)
        if (name == QLatin1String(known))
            return v;
    return names[0].first;
}

QString sqliteError(sqlite3* db)
{
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
}

// One prepared statement, finalized when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK; }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return ok_; }
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
    bool ok_ = false;
};

bool exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void bindText(sqlite3_stmt* s, int at, const QString& text)
{
    if (text.isNull()) {
        sqlite3_bind_null(s, at);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(s, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

QString columnText(sqlite3_stmt* s, int at)
{
    if (sqlite3_column_type(s, at) == SQLITE_NULL)
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, at));
    const QString value = QString::fromUtf8(text, sqlite3_column_bytes(s, at));
    return value.isNull() ? QString(0, QChar()) : value; // present, and empty
}

QByteArray columnBytes(sqlite3_stmt* s, int at)
{
    return QByteArray(static_cast<const char*>(sqlite3_column_blob(s, at)), sqlite3_column_bytes(s, at));
}

// The database at `path`, set up for `root`; nothing (after `why` is set)
// when it cannot be used as it is. `busy` tells a database that another
// process holds locked (to be left alone) from one that is to be made afresh.
sqlite3* openAs(const QString& path, const QString& root, QString* why, bool* busy)
{
    *busy = false;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path::native(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        *why = sqliteError(db);
        sqlite3_close(db);
        return nullptr;
    }
    // Another process writing at the same moment is waited for, briefly.
    sqlite3_busy_timeout(db, 2000);
    const auto fail = [&](const QString& reason) {
        *why = reason;
        *busy = sqlite3_errcode(db) == SQLITE_BUSY || sqlite3_errcode(db) == SQLITE_LOCKED;
        sqlite3_close(db);
        return nullptr;
    };
    int found = -1;
    {
        Statement version(db, "PRAGMA user_version");
        if (version && sqlite3_step(version.get()) == SQLITE_ROW)
            found = sqlite3_column_int(version.get(), 0);
    }
    if (found < 0)
        return fail(sqliteError(db)); // not a database, or a damaged one
    if (found != 0 && found != kVersion)
        return fail(QStringLiteral("an index of another version (%1)").arg(found));
    if (!exec(db, "PRAGMA journal_mode=WAL") || !exec(db, "PRAGMA synchronous=NORMAL"))
        return fail(sqliteError(db));
    if (found == 0) {
        if (!exec(db, "BEGIN IMMEDIATE") ||
            !exec(db, "CREATE TABLE IF NOT EXISTS folder(root BLOB NOT NULL);"
                      "CREATE TABLE IF NOT EXISTS songs(path BLOB PRIMARY KEY, size INTEGER, modified INTEGER,"
                      " title TEXT, artist TEXT, album TEXT, track INTEGER, format TEXT, protected INTEGER,"
                      " readable INTEGER, left_out TEXT, picture TEXT, duration INTEGER) WITHOUT ROWID;"
                      "CREATE TABLE IF NOT EXISTS playlists(path BLOB PRIMARY KEY, size INTEGER, modified INTEGER,"
                      " locations BLOB) WITHOUT ROWID;"
                      "DELETE FROM folder; DELETE FROM songs; DELETE FROM playlists;") ||
            !exec(db, kCatalogueTables) ||
            !exec(db, QStringLiteral("PRAGMA user_version=%1").arg(kVersion).toUtf8().constData())) {
            exec(db, "ROLLBACK");
            return fail(sqliteError(db));
        }
        bool inserted = false;
        {
            Statement insert(db, "INSERT INTO folder(root) VALUES(?1)");
            const QByteArray nativeRoot = path::native(root);
            sqlite3_bind_blob(insert.get(), 1, nativeRoot.constData(), int(nativeRoot.size()), SQLITE_TRANSIENT);
            inserted = insert && sqlite3_step(insert.get()) == SQLITE_DONE;
        }
        if (!inserted || !exec(db, "COMMIT")) {
            exec(db, "ROLLBACK");
            return fail(sqliteError(db));
        }
        return db;
    }
    QByteArray indexedRoot;
    bool read = false;
    {
        Statement folder(db, "SELECT root FROM folder");
        if (folder && sqlite3_step(folder.get()) == SQLITE_ROW) {
            indexedRoot = columnBytes(folder.get(), 0);
            read = true;
        }
    }
    if (!read)
        return fail(sqliteError(db));
    if (indexedRoot != path::native(root))
        return fail(QStringLiteral("the index of another library folder"));
    if (!exec(db, kCatalogueTables))
        return fail(sqliteError(db));
    return db;
}

void removeFiles(const QString& path)
{
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

QString LibraryIndex::defaultPath(const QString& root)
{
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(cache)) {
        const QString home = qEnvironmentVariable("HOME");
        if (!QDir::isAbsolutePath(home))
            return {};
        cache = home + QStringLiteral("/.cache");
    }
    const QString canonical = QFileInfo(root).canonicalFilePath();
    const QByteArray digest =
        QCryptographicHash::hash(path::native(canonical.isEmpty() ? root : canonical), QCryptographicHash::Sha1);
    return QStringLiteral("%1/ripwell/library-%2.sqlite").arg(cache, QString::fromLatin1(digest.toHex().left(16)));
}

std::unique_ptr<LibraryIndex> LibraryIndex::open(const QString& path, const QString& root)
{
    if (path.isEmpty())
        return nullptr;
    QDir().mkpath(QFileInfo(path).path());
    QString why;
    bool busy = false;
    sqlite3* db = openAs(path, root, &why, &busy);
    if (!db && !busy) {
        // A cache: made afresh whatever was wrong with it.
        applog::debug(kLogOp, QStringLiteral("The library index %1 is made afresh: %2").arg(path, why));
        removeFiles(path);
        db = openAs(path, root, &why, &busy);
    }
    if (!db) {
        applog::debug(kLogOp, QStringLiteral("No library index at %1: %2").arg(path, why));
        return nullptr;
    }
    return std::make_unique<LibraryIndex>(Token{}, db, path);
}

LibraryIndex::LibraryIndex(Token, sqlite3* db, QString path) : db_(db), path_(std::move(path)) {}

LibraryIndex::~LibraryIndex()
{
    sqlite3_close(db_);
}

std::vector<LibraryIndex::Entry> LibraryIndex::entries()
{
    std::vector<Entry> out;
    Statement select(db_, "SELECT path, size, modified, title, artist, album, track, format, protected, readable,"
                          " left_out, picture, duration FROM songs");
    if (!select) {
        applog::debug(kLogOp, QStringLiteral("The library index %1 cannot be read: %2").arg(path_, sqliteError(db_)));
        return out;
    }
    int step;
    while ((step = sqlite3_step(select.get())) == SQLITE_ROW) {
        sqlite3_stmt* s = select.get();
        Entry e;
        e.relativePath = columnBytes(s, 0);
        e.size = sqlite3_column_int64(s, 1);
        e.modified = sqlite3_column_int64(s, 2);
        e.data.title = columnText(s, 3);
        e.data.artist = columnText(s, 4);
        e.data.albumTitle = columnText(s, 5);
        e.data.albumTrackNumber = sqlite3_column_int(s, 6);
        if (sqlite3_column_type(s, 7) != SQLITE_NULL)
            e.data.format = formatForKey(columnText(s, 7));
        e.data.isProtected = sqlite3_column_int(s, 8) != 0;
        e.data.isReadable = sqlite3_column_int(s, 9) != 0;
        e.data.leftOut = valueNamed(kLeftOutReasons, columnText(s, 10));
        e.data.pictureSource = valueNamed(kPictureSources, columnText(s, 11));
        e.data.durationMs = sqlite3_column_int(s, 12);
        out.push_back(std::move(e));
    }
    if (step != SQLITE_DONE) {
        applog::debug(kLogOp, QStringLiteral("The library index %1 cannot be read: %2").arg(path_, sqliteError(db_)));
        return {};
    }
    return out;
}

std::vector<LibraryIndex::PlaylistEntry> LibraryIndex::playlists()
{
    std::vector<PlaylistEntry> out;
    Statement select(db_, "SELECT path, size, modified, locations FROM playlists");
    int step = SQLITE_ERROR;
    while (select && (step = sqlite3_step(select.get())) == SQLITE_ROW) {
        sqlite3_stmt* s = select.get();
        PlaylistEntry e;
        e.relativePath = columnBytes(s, 0);
        e.size = sqlite3_column_int64(s, 1);
        e.modified = sqlite3_column_int64(s, 2);
        e.locations = QString::fromUtf8(columnBytes(s, 3)).split(u'\n');
        if (e.locations == QStringList{QString()})
            e.locations.clear();
        out.push_back(std::move(e));
    }
    if (step != SQLITE_DONE) {
        applog::debug(kLogOp, QStringLiteral("The library index %1 cannot be read: %2").arg(path_, sqliteError(db_)));
        return {};
    }
    return out;
}

bool LibraryIndex::update(const std::vector<Entry>& changed, const std::vector<QByteArray>& removed,
                          const std::atomic<bool>* cancelled, const std::vector<PlaylistEntry>& changedPlaylists,
                          const std::vector<QByteArray>& removedPlaylists)
{
    if (changed.empty() && removed.empty() && changedPlaylists.empty() && removedPlaylists.empty())
        return true;
    // A cancel (the application quitting) interrupts a long write at once.
    if (cancelled)
        sqlite3_progress_handler(
            db_, 1000, [](void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; },
            const_cast<std::atomic<bool>*>(cancelled));
    struct Unhook {
        sqlite3* db;
        ~Unhook() { sqlite3_progress_handler(db, 0, nullptr, nullptr); }
    } unhook{db_};
    const auto fail = [this] {
        applog::debug(kLogOp, QStringLiteral("The library index %1 cannot be written: %2").arg(path_, sqliteError(db_)));
        exec(db_, "ROLLBACK");
        return false;
    };
    if (!exec(db_, "BEGIN IMMEDIATE"))
        return fail();
    {
        Statement put(db_, "INSERT OR REPLACE INTO songs(path, size, modified, title, artist, album, track, format,"
                           " protected, readable, left_out, picture, duration)"
                           " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)");
        Statement drop(db_, "DELETE FROM songs WHERE path = ?1");
        Statement putPlaylist(db_, "INSERT OR REPLACE INTO playlists(path, size, modified, locations) VALUES(?1, ?2, ?3, ?4)");
        Statement dropPlaylist(db_, "DELETE FROM playlists WHERE path = ?1");
        if (!put || !drop || !putPlaylist || !dropPlaylist)
            return fail();
        for (const Entry& e : changed) {
            sqlite3_stmt* s = put.get();
            sqlite3_bind_blob(s, 1, e.relativePath.constData(), int(e.relativePath.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(s, 2, e.size);
            sqlite3_bind_int64(s, 3, e.modified);
            bindText(s, 4, e.data.title);
            bindText(s, 5, e.data.artist);
            bindText(s, 6, e.data.albumTitle);
            sqlite3_bind_int(s, 7, e.data.albumTrackNumber);
            if (e.data.format)
                sqlite3_bind_text(s, 8, formatInfo(*e.data.format).key, -1, SQLITE_STATIC);
            else
                sqlite3_bind_null(s, 8);
            sqlite3_bind_int(s, 9, e.data.isProtected ? 1 : 0);
            sqlite3_bind_int(s, 10, e.data.isReadable ? 1 : 0);
            sqlite3_bind_text(s, 11, nameOf(kLeftOutReasons, e.data.leftOut), -1, SQLITE_STATIC);
            sqlite3_bind_text(s, 12, nameOf(kPictureSources, e.data.pictureSource), -1, SQLITE_STATIC);
            sqlite3_bind_int(s, 13, e.data.durationMs);
            if (sqlite3_step(s) != SQLITE_DONE)
                return fail();
            sqlite3_reset(s);
        }
        for (const PlaylistEntry& e : changedPlaylists) {
            sqlite3_stmt* s = putPlaylist.get();
            // One location a line: no location holds a line break.
            const QByteArray locations = e.locations.join(u'\n').toUtf8();
            sqlite3_bind_blob(s, 1, e.relativePath.constData(), int(e.relativePath.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(s, 2, e.size);
            sqlite3_bind_int64(s, 3, e.modified);
            sqlite3_bind_blob(s, 4, locations.constData(), int(locations.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(s) != SQLITE_DONE)
                return fail();
            sqlite3_reset(s);
        }
        for (const auto& [paths, statement] : {std::pair{&removed, &drop}, std::pair{&removedPlaylists, &dropPlaylist}}) {
            for (const QByteArray& path : *paths) {
                sqlite3_bind_blob(statement->get(), 1, path.constData(), int(path.size()), SQLITE_TRANSIENT);
                if (sqlite3_step(statement->get()) != SQLITE_DONE)
                    return fail();
                sqlite3_reset(statement->get());
            }
        }
    }
    return exec(db_, "COMMIT") || fail();
}

namespace {

void bindInt(sqlite3_stmt* s, int at, qint64 value)
{
    if (value == 0)
        sqlite3_bind_null(s, at);
    else
        sqlite3_bind_int64(s, at, value);
}

void bindBlob(sqlite3_stmt* s, int at, const QByteArray& bytes)
{
    sqlite3_bind_blob(s, at, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

// A playlist's songs as the index keeps them: eight bytes an id, little-endian.
QByteArray packIds(const std::vector<quint64>& ids)
{
    QByteArray bytes(qsizetype(ids.size() * 8), Qt::Uninitialized);
    for (std::size_t i = 0; i < ids.size(); ++i)
        for (int b = 0; b < 8; ++b)
            bytes[qsizetype(i * 8) + b] = char((ids[i] >> (8 * b)) & 0xFF);
    return bytes;
}

std::vector<quint64> unpackIds(const QByteArray& bytes)
{
    std::vector<quint64> ids(std::size_t(bytes.size() / 8));
    for (std::size_t i = 0; i < ids.size(); ++i)
        for (int b = 0; b < 8; ++b)
            ids[i] |= quint64(quint8(bytes[qsizetype(i * 8) + b])) << (8 * b);
    return ids;
}

} // namespace

std::optional<LibraryIndex::Catalogue> LibraryIndex::catalogue()
{
    const auto failed = [this] {
        applog::debug(kLogOp, QStringLiteral("The library index %1 cannot be read: %2").arg(path_, sqliteError(db_)));
        return std::nullopt;
    };
    // One read transaction: a writer in another process never shows half.
    if (!exec(db_, "BEGIN"))
        return failed();
    struct End {
        sqlite3* db;
        ~End() { exec(db, "COMMIT"); }
    } end{db_};
    Catalogue catalogue;
    {
        Statement head(db_, "SELECT stamp, name FROM catalogue");
        if (!head)
            return failed();
        const int step = sqlite3_step(head.get());
        if (step == SQLITE_DONE)
            return std::nullopt;
        if (step != SQLITE_ROW)
            return failed();
        catalogue.stamp = columnText(head.get(), 0);
        catalogue.name = columnText(head.get(), 1);
    }
    Statement songs(db_, "SELECT id, path, title, artist, album, album_artist, genre, track, disc, year, compilation,"
                         " format, protected, readable, left_out, picture, duration FROM catalogue_songs ORDER BY position");
    if (!songs)
        return failed();
    int step;
    while ((step = sqlite3_step(songs.get())) == SQLITE_ROW) {
        sqlite3_stmt* s = songs.get();
        Entry e;
        MediaItem::Data& d = e.data;
        d.persistentID = quint64(sqlite3_column_int64(s, 0));
        e.relativePath = columnBytes(s, 1);
        d.title = columnText(s, 2);
        d.artist = columnText(s, 3);
        d.albumTitle = columnText(s, 4);
        d.albumArtist = columnText(s, 5);
        d.genre = columnText(s, 6);
        d.albumTrackNumber = sqlite3_column_int(s, 7);
        d.discNumber = sqlite3_column_int(s, 8);
        d.year = sqlite3_column_int(s, 9);
        d.isCompilation = sqlite3_column_int(s, 10) != 0;
        if (sqlite3_column_type(s, 11) != SQLITE_NULL)
            d.format = formatForKey(columnText(s, 11));
        d.isProtected = sqlite3_column_int(s, 12) != 0;
        d.isReadable = sqlite3_column_int(s, 13) != 0;
        d.leftOut = valueNamed(kLeftOutReasons, columnText(s, 14));
        d.pictureSource = valueNamed(kPictureSources, columnText(s, 15));
        d.durationMs = sqlite3_column_int(s, 16);
        catalogue.songs.push_back(std::move(e));
    }
    if (step != SQLITE_DONE)
        return failed();
    Statement playlists(db_, "SELECT name, songs FROM catalogue_playlists ORDER BY position");
    if (!playlists)
        return failed();
    while ((step = sqlite3_step(playlists.get())) == SQLITE_ROW)
        catalogue.playlists.push_back({columnText(playlists.get(), 0), unpackIds(columnBytes(playlists.get(), 1))});
    if (step != SQLITE_DONE)
        return failed();
    return catalogue;
}

bool LibraryIndex::setCatalogue(const Catalogue& catalogue)
{
    const auto fail = [this] {
        applog::debug(kLogOp, QStringLiteral("The library index %1 cannot be written: %2").arg(path_, sqliteError(db_)));
        exec(db_, "ROLLBACK");
        return false;
    };
    if (!exec(db_, "BEGIN IMMEDIATE") ||
        !exec(db_, "DELETE FROM catalogue; DELETE FROM catalogue_songs; DELETE FROM catalogue_playlists;"))
        return fail();
    {
        Statement head(db_, "INSERT INTO catalogue(stamp, name) VALUES(?1, ?2)");
        Statement song(db_, "INSERT INTO catalogue_songs(position, id, path, title, artist, album, album_artist, genre,"
                            " track, disc, year, compilation, format, protected, readable, left_out, picture, duration)"
                            " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18)");
        Statement playlist(db_, "INSERT INTO catalogue_playlists(position, name, songs) VALUES(?1, ?2, ?3)");
        if (!head || !song || !playlist)
            return fail();
        bindText(head.get(), 1, catalogue.stamp);
        bindText(head.get(), 2, catalogue.name);
        if (sqlite3_step(head.get()) != SQLITE_DONE)
            return fail();
        qint64 position = 0;
        for (const Entry& e : catalogue.songs) {
            sqlite3_stmt* s = song.get();
            const MediaItem::Data& d = e.data;
            sqlite3_bind_int64(s, 1, position++);
            sqlite3_bind_int64(s, 2, qint64(d.persistentID));
            bindBlob(s, 3, e.relativePath);
            bindText(s, 4, d.title);
            bindText(s, 5, d.artist);
            bindText(s, 6, d.albumTitle);
            bindText(s, 7, d.albumArtist);
            bindText(s, 8, d.genre);
            bindInt(s, 9, d.albumTrackNumber);
            bindInt(s, 10, d.discNumber);
            bindInt(s, 11, d.year);
            bindInt(s, 12, d.isCompilation ? 1 : 0);
            if (d.format)
                sqlite3_bind_text(s, 13, formatInfo(*d.format).key, -1, SQLITE_STATIC);
            else
                sqlite3_bind_null(s, 13);
            sqlite3_bind_int(s, 14, d.isProtected ? 1 : 0);
            sqlite3_bind_int(s, 15, d.isReadable ? 1 : 0);
            sqlite3_bind_text(s, 16, nameOf(kLeftOutReasons, d.leftOut), -1, SQLITE_STATIC);
            sqlite3_bind_text(s, 17, nameOf(kPictureSources, d.pictureSource), -1, SQLITE_STATIC);
            sqlite3_bind_int(s, 18, d.durationMs);
            if (sqlite3_step(s) != SQLITE_DONE)
                return fail();
            sqlite3_reset(s);
        }
        position = 0;
        for (const CataloguePlaylist& p : catalogue.playlists) {
            sqlite3_stmt* s = playlist.get();
            sqlite3_bind_int64(s, 1, position++);
            bindText(s, 2, p.name);
            bindBlob(s, 3, packIds(p.songs));
            if (sqlite3_step(s) != SQLITE_DONE)
                return fail();
            sqlite3_reset(s);
        }
    }
    return exec(db_, "COMMIT") || fail();
}

} // namespace medialibrary

// An iPod's database read back from real iPod disks made with libgpod: every
// field of every track, the playlists, what is left out and why, nothing on
// the iPod touched, and damaged databases that end in an error, never in a
// crash or a hang of the program.

#include "platform/foundation/PathString.h"
#include "platform/library/IpodDatabase.h"
#include "platform/library/IpodReader.h"
#include "platform/library/IpodTracks.h"
#include "tests/support/TestSupport.h"
#include "tools/make_ipod/IpodMaker.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QtEndian>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <numeric>
#include <sys/inotify.h>
#include <unistd.h>

using namespace medialibrary;
using namespace medialibrary::ipod;
using testsupport::TempDir;

namespace {

struct MadeIpod {
    TempDir dir;
    ipodmaker::Options options = ipodmaker::standardIpod();
    ipodmaker::Made made;
    QString path() const { return dir.file("iPod"); }
};

// The two iPods the suite reads: one with the plain database, one with the
// compressed one of later nanos. Made once.
const MadeIpod& ipod(bool compressed)
{
    static std::map<bool, std::unique_ptr<MadeIpod>> made;
    std::unique_ptr<MadeIpod>& m = made[compressed];
    if (!m) {
        m = std::make_unique<MadeIpod>();
        m->options.compressed = compressed;
        m->made = ipodmaker::makeIpod(m->path(), m->options);
    }
    return *m;
}

class IpodDatabaseTest : public ::testing::TestWithParam<bool> {
protected:
    const MadeIpod& made = ipod(GetParam());
    void SetUp() override { ASSERT_EQ(made.made.error, QString()); }
};

TEST_P(IpodDatabaseTest, ReadsEveryTrackAndPlaylistAsTheDatabaseSaysThem)
{
    ASSERT_TRUE(holdsDatabase(made.path()));
    const ReadResult read = readDatabase(made.path());
    ASSERT_TRUE(read.database) << read.error.toStdString();
    const Database& db = *read.database;
    EXPECT_EQ(db.folder, made.path());
    EXPECT_EQ(db.model, "iPod Video (1st Gen.)");
    EXPECT_EQ(db.stamp.fileName, GetParam() ? "iTunesCDB" : "iTunesDB");
    EXPECT_EQ(std::optional(db.stamp), readStamp(made.path())) << "the stamp is that of the file itself";
    EXPECT_EQ(db.stamp.size, QFileInfo(databaseFile(made.path())).size());
    EXPECT_NE(db.id, 0u);

    ASSERT_EQ(db.tracks.size(), made.options.tracks.size());
    QHash<quint32, int> position; // a track's id, its place in the options
    for (std::size_t i = 0; i < db.tracks.size(); ++i) {
        const Track& t = db.tracks[i];
        const ipodmaker::Track& want = made.options.tracks[i];
        const ipodmaker::MadeTrack& file = made.made.tracks[i];
        SCOPED_TRACE(want.title.toStdString());
        position.insert(t.id, int(i));
        EXPECT_EQ(t.id, file.id);
        EXPECT_EQ(t.dbid, file.dbid);
        EXPECT_NE(t.dbid, 0u);
        EXPECT_EQ(t.title, want.title);
        EXPECT_EQ(t.artist, want.artist);
        EXPECT_EQ(t.album, want.album);
        EXPECT_EQ(t.albumArtist, want.albumArtist);
        EXPECT_EQ(t.genre, want.genre);
        EXPECT_EQ(t.trackNumber, want.trackNumber);
        EXPECT_EQ(t.trackCount, want.trackCount);
        EXPECT_EQ(t.discNumber, want.discNumber);
        EXPECT_EQ(t.discCount, want.discCount);
        EXPECT_EQ(t.year, want.year);
        EXPECT_EQ(t.compilation, want.compilation);
        EXPECT_EQ(t.isProtected, want.format == songgen::Format::Protected);
        const MediaKind kind[] = {MediaKind::Song, MediaKind::Podcast, MediaKind::Audiobook, MediaKind::Video};
        EXPECT_EQ(t.kind, kind[int(want.kind)]);
        // Where the file lies, as the iPod keeps it, and where it is on this disk.
        EXPECT_TRUE(t.ipodPath.startsWith("iPod_Control/Music/F")) << t.ipodPath.toStdString();
        EXPECT_EQ(t.filePath, made.path() + u'/' + t.ipodPath);
        EXPECT_EQ(t.filePath, file.filePath);
        EXPECT_EQ(QFileInfo::exists(t.filePath), !want.missing);
        if (!want.missing) {
            EXPECT_EQ(t.size, QFileInfo(t.filePath).size());
        }
    }
    // The tracks' titles are the database's: the files' own say something else or nothing.
    EXPECT_EQ(db.tracks[1].title, "MP3-VBR Song");

    // Playlists in the database's order, their tracks in theirs.
    std::vector<std::pair<QString, std::vector<int>>> playlists;
    for (const Playlist& p : db.playlists) {
        std::vector<int> members;
        for (quint32 id : p.trackIds)
            members.push_back(position.value(id, -1));
        playlists.emplace_back(p.name, members);
    }
    std::vector<int> all(made.options.tracks.size());
    std::iota(all.begin(), all.end(), 0);
    const std::vector<std::pair<QString, std::vector<int>>> expected{
        {"Ripwell iPod", all}, {"Podcasts", {11}}, {"Road Trip", {4, 0, 14, 7}}, {QString::fromUtf8("Für später"), {12, 2}}};
    EXPECT_EQ(playlists, expected);
    ASSERT_EQ(db.playlists.size(), 4u);
    EXPECT_EQ(db.playlists[0].kind, Playlist::Kind::Library);
    EXPECT_EQ(db.playlists[1].kind, Playlist::Kind::Podcasts);
    EXPECT_EQ(db.playlists[2].kind, Playlist::Kind::Plain);
}

// Which tracks are songs Ripwell converts, and the media item each becomes:
// named by the database, left out with a reason where it is no such song.
TEST_P(IpodDatabaseTest, SongsBecomeItemsNamedByTheDatabaseTheRestIsLeftOutWithItsReason)
{
    const ReadResult read = readDatabase(made.path());
    ASSERT_TRUE(read.database) << read.error.toStdString();
    std::map<QString, LeftOutReason> leftOut;
    for (std::size_t i = 0; i < read.database->tracks.size(); ++i) {
        const Track& t = read.database->tracks[i];
        const ipodmaker::Track& want = made.options.tracks[i];
        const TrackFile file = examineTrack(t);
        const MediaItem item(itemData(t, file, t.dbid));
        SCOPED_TRACE(t.title.toStdString());
        EXPECT_EQ(item.persistentID(), t.dbid);
        EXPECT_EQ(item.title(), want.title);
        EXPECT_EQ(item.artist(), want.artist);
        EXPECT_EQ(item.albumTitle(), want.album);
        EXPECT_EQ(item.albumArtist(), want.albumArtist);
        EXPECT_EQ(item.genre(), want.genre);
        EXPECT_EQ(item.albumTrackNumber(), want.trackNumber);
        EXPECT_EQ(item.discNumber(), want.discNumber);
        EXPECT_EQ(item.year(), want.year);
        EXPECT_EQ(item.isCompilation(), want.compilation);
        EXPECT_EQ(item.filePath(), t.filePath);
        if (file.leftOut == LeftOutReason::None) {
            ASSERT_TRUE(file.format);
            EXPECT_EQ(file.size, QFileInfo(t.filePath).size());
            EXPECT_EQ(item.assetURL().pathExtension(), formatInfo(*file.format).outputExtension);
            EXPECT_EQ(item.leftOutReason(), LeftOutReason::None);
            EXPECT_EQ(item.format(), file.format);
        } else {
            EXPECT_TRUE(item.assetURL().isEmpty());
            EXPECT_EQ(item.leftOutReason(), file.leftOut);
            leftOut[t.title] = file.leftOut;
        }
    }
    // Songs of every format, the podcast and the audiobook are songs; these are not.
    const std::map<QString, LeftOutReason> expected{
        {"Bought in the Store", LeftOutReason::Protected},
        {"Gone Missing", LeftOutReason::Missing},
        {"Live at the Harbour (Video)", LeftOutReason::Video},
    };
    EXPECT_EQ(leftOut, expected);
}

INSTANTIATE_TEST_SUITE_P(Database, IpodDatabaseTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) { return param.param ? "Compressed" : "Plain"; });

// Everything under `folder`: each file's name, mode, size, time and bytes.
QStringList snapshot(const QString& folder)
{
    QStringList lines;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        QString line = QStringLiteral("%1 %2 %3 %4")
                           .arg(info.filePath())
                           .arg(int(info.permissions()))
                           .arg(info.size())
                           .arg(info.lastModified().toMSecsSinceEpoch());
        if (info.isFile()) {
            QFile f(info.filePath());
            QCryptographicHash hash(QCryptographicHash::Sha1);
            if (f.open(QIODevice::ReadOnly) && hash.addData(&f))
                line += u' ' + QString::fromLatin1(hash.result().toHex());
        }
        lines << line;
    }
    lines.sort();
    return lines;
}

// Every event inotify reports under a folder and all its subfolders.
class FolderWatch {
public:
    explicit FolderWatch(const QString& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        watch(folder);
        QDirIterator it(folder, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            watch(it.next());
    }
    ~FolderWatch() { ::close(fd_); }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Names opened, and every event that is more than a read ("F12/x.mp3: modified").
    void collect(QStringList* opened, QStringList* changes) const
    {
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char* at = buffer; at < buffer + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(at);
                const QString name = folders_.value(e->wd) + u'/' + QFile::decodeName(e->len ? e->name : "");
                if (e->mask & IN_OPEN)
                    *opened << name;
                constexpr quint32 reads = IN_OPEN | IN_ACCESS | IN_CLOSE_NOWRITE | IN_ISDIR;
                if (e->mask & ~reads)
                    *changes << QStringLiteral("%1: %2").arg(name).arg(e->mask, 0, 16);
                at += sizeof(inotify_event) + e->len;
            }
        }
    }

private:
    void watch(const QString& folder)
    {
        const int wd = ::inotify_add_watch(fd_, path::native(folder).constData(), IN_ALL_EVENTS);
        EXPECT_GE(wd, 0) << folder.toStdString();
        folders_.insert(wd, QFileInfo(folder).fileName());
    }
    int fd_;
    QHash<int, QString> folders_;
};

// Reading the database and looking at every file write nothing on the iPod:
// no byte, no lock, no temporary; inotify sees the reads and nothing else.
TEST(IpodReading, LeavesTheIpodAsItWasByteForByte)
{
    for (const bool compressed : {false, true}) {
        const MadeIpod& made = ipod(compressed);
        ASSERT_EQ(made.made.error, QString());
        const QStringList before = snapshot(made.path());
        QStringList opened, changes;
        {
            const FolderWatch watch(made.path());
            const ReadResult read = readDatabase(made.path());
            ASSERT_TRUE(read.database) << read.error.toStdString();
            for (const Track& t : read.database->tracks)
                itemData(t, examineTrack(t), t.dbid);
            EXPECT_TRUE(readStamp(made.path()));
            watch.collect(&opened, &changes);
        }
        EXPECT_EQ(changes, QStringList());
        EXPECT_TRUE(opened.contains(compressed ? "iTunes/iTunesCDB" : "iTunes/iTunesDB"))
            << "the watch sees libgpod's reads: " << opened.join(", ").toStdString();
        EXPECT_TRUE(opened.contains("Device/SysInfo"));
        EXPECT_EQ(opened.contains("Artwork/ArtworkDB"), compressed) << "the pictures for the iPod's screen are read "
                                                                       "only where libgpod cannot do without";
        EXPECT_EQ(snapshot(made.path()), before);
    }
}

// Where a database is looked for: the compressed database before the plain
// one, as libgpod reads them; what a folder without one gives, and a reader
// that cannot be started.
TEST(IpodReading, FindsTheDatabaseAsLibgpodDoes)
{
    TempDir dir;
    EXPECT_FALSE(holdsDatabase(dir.path()));
    ReadResult read = readDatabase(dir.path());
    EXPECT_FALSE(read.database);
    EXPECT_EQ(read.failure, ReadFailure::NoDatabase);
    EXPECT_EQ(read.error, QStringLiteral("%1 holds no iPod database (iPod_Control/iTunes/iTunesDB).").arg(dir.path()));

    // Copies of the databases alone: no SysInfo, no music.
    const QString itunes = dir.file("iPod_Control/iTunes");
    ASSERT_TRUE(QDir().mkpath(itunes));
    ASSERT_TRUE(QFile::copy(databaseFile(ipod(false).path()), itunes + "/iTunesDB"));
    EXPECT_EQ(databaseFile(dir.path()), itunes + "/iTunesDB");
    read = readDatabase(dir.path());
    ASSERT_TRUE(read.database) << read.error.toStdString();
    EXPECT_EQ(read.database->tracks.size(), ipod(false).options.tracks.size());
    EXPECT_EQ(read.database->model, "") << "no SysInfo, no model";

    ASSERT_TRUE(QFile::copy(databaseFile(ipod(true).path()), itunes + "/iTunesCDB"));
    EXPECT_EQ(databaseFile(dir.path()), itunes + "/iTunesCDB");
    read = readDatabase(dir.path());
    ASSERT_TRUE(read.database) << read.error.toStdString();
    EXPECT_EQ(read.database->stamp.fileName, "iTunesCDB");

    qputenv("RIPWELL_READ_IPOD", "/nonexistent/ripwell-read-ipod");
    read = readDatabase(dir.path());
    qunsetenv("RIPWELL_READ_IPOD");
    EXPECT_EQ(read.failure, ReadFailure::NoReader);
    EXPECT_TRUE(read.error.startsWith("iPods cannot be read: the program /nonexistent/ripwell-read-ipod cannot be started"))
        << read.error.toStdString();
}

// The same iPod at another place (mounted elsewhere): the same stamp and ids,
// its files found at the new place.
TEST(IpodReading, AnIpodElsewhereIsTheSameDatabase)
{
    const MadeIpod& made = ipod(false);
    const ReadResult here = readDatabase(made.path());
    ASSERT_TRUE(here.database) << here.error.toStdString();
    std::vector<TrackFile> filesHere;
    for (const Track& t : here.database->tracks)
        filesHere.push_back(examineTrack(t));
    const QString elsewhere = made.dir.file("Mounted Elsewhere");
    ASSERT_TRUE(QDir().rename(made.path(), elsewhere));
    const auto back = qScopeGuard([&] { QDir().rename(elsewhere, made.path()); });
    const ReadResult there = readDatabase(elsewhere);
    ASSERT_TRUE(there.database) << there.error.toStdString();
    EXPECT_EQ(there.database->stamp, here.database->stamp);
    EXPECT_EQ(there.database->id, here.database->id);
    ASSERT_EQ(there.database->tracks.size(), here.database->tracks.size());
    for (std::size_t i = 0; i < here.database->tracks.size(); ++i) {
        const Track& a = here.database->tracks[i];
        const Track& b = there.database->tracks[i];
        EXPECT_EQ(b.dbid, a.dbid);
        EXPECT_EQ(b.ipodPath, a.ipodPath);
        EXPECT_EQ(b.filePath, elsewhere + u'/' + a.ipodPath);
        const TrackFile file = examineTrack(b);
        EXPECT_EQ(file.leftOut, filesHere[i].leftOut);
        EXPECT_EQ(file.size, filesHere[i].size);
    }
}

// The first record of `type` (the kind of a data record, "mhod") in a database.
qsizetype recordOfType(const QByteArray& db, quint32 type)
{
    for (qsizetype at = db.indexOf("mhod"); at >= 0; at = db.indexOf("mhod", at + 1))
        if (at + 16 <= db.size() && qFromLittleEndian<quint32>(db.constData() + at + 12) == type)
            return at;
    return -1;
}

QByteArray withWord(QByteArray db, qsizetype at, quint32 value)
{
    if (at >= 0 && at + 4 <= db.size())
        qToLittleEndian(value, db.data() + at);
    return db;
}

// Damaged databases, made from a good one: each ends in an error that names
// the database, within the time allowed, and the program goes on. libgpod
// itself aborts on one (a record that says it is longer than it is) and loops
// for ever on two (a chapter list's atom of size 0; a compressed database cut
// short, as a nano unplugged while it is written may leave it): the reader's
// process dies or is stopped, not the program.
TEST(IpodReading, DamagedDatabasesGiveAnErrorNeverACrashOrAHang)
{
    const QByteArray good = testsupport::readFile(databaseFile(ipod(false).path()));
    const QByteArray compressed = testsupport::readFile(databaseFile(ipod(true).path()));
    ASSERT_GT(good.size(), 10000);
    QByteArray noise(good.size(), '\0');
    QRandomGenerator random(31);
    for (char& c : noise)
        c = char(random.bounded(256));
    QByteArray flipped = compressed;
    for (qsizetype at = flipped.size() / 2; at < flipped.size() / 2 + 64; ++at)
        flipped[at] = char(~flipped[at]);
    const qsizetype url = recordOfType(good, 15);    // a podcast's address
    const qsizetype chapters = recordOfType(good, 17); // an audiobook's chapters
    ASSERT_GT(url, 0);
    ASSERT_GT(chapters, 0);
    struct Damage {
        const char* what;
        QString file;
        QByteArray bytes;
        ReadFailure failure;
        ReadFailure orElse = ReadFailure::None; // where libgpod's way depends on the bytes cut off
    };
    const QString plain = "iTunesDB", cdb = "iTunesCDB";
    const Damage corpus[] = {
        {"empty", plain, {}, ReadFailure::Damaged},
        {"one byte", plain, "m", ReadFailure::Damaged},
        {"the header cut", plain, good.left(100), ReadFailure::Damaged},
        {"cut in half", plain, good.left(good.size() / 2), ReadFailure::Damaged},
        {"noise", plain, noise, ReadFailure::Damaged},
        {"zeros", plain, QByteArray(good.size(), '\0'), ReadFailure::Damaged},
        {"a record longer than it says", plain, withWord(good, url + 8, 0), ReadFailure::Damaged},
        {"an atom of size 0", plain, withWord(good, chapters + 48, 0), ReadFailure::TimedOut},
        {"compressed, cut short", cdb, compressed.left(compressed.size() * 3 / 4), ReadFailure::TimedOut, ReadFailure::Damaged},
        {"compressed, bytes flipped", cdb, flipped, ReadFailure::Damaged},
    };
    constexpr auto allowed = std::chrono::seconds(3);
    for (const Damage& d : corpus) {
        SCOPED_TRACE(d.what);
        TempDir dir;
        const QString file = dir.file("iPod_Control/iTunes/" + d.file);
        ASSERT_TRUE(QDir().mkpath(dir.file("iPod_Control/iTunes")));
        ASSERT_TRUE(testsupport::writeFile(file, d.bytes));
        QElapsedTimer clock;
        clock.start();
        const ReadResult read = readDatabase(dir.path(), allowed);
        EXPECT_LT(clock.elapsed(), 3000 + 10000) << "the reader is stopped when the time allowed is up";
        EXPECT_FALSE(read.database);
        if (read.failure != d.orElse) {
            EXPECT_EQ(read.failure, d.failure);
        }
        EXPECT_TRUE(read.error.startsWith(QStringLiteral("The iPod's database %1 ").arg(file))) << read.error.toStdString();
    }

    // A damaged artwork database (pictures for the iPod's own screen, cut
    // short) beside a good database: libgpod aborts on it where it reads it,
    // with the compressed database, and the songs are read all the same
    // beside the plain one.
    for (const bool withCompressed : {false, true}) {
        TempDir dir;
        ASSERT_TRUE(QDir().mkpath(dir.file("iPod_Control/iTunes")));
        ASSERT_TRUE(QDir().mkpath(dir.file("iPod_Control/Artwork")));
        ASSERT_TRUE(QDir().mkpath(dir.file("iPod_Control/Device")));
        // The database, and the model (one that shows pictures) in SysInfo.
        const QString source = ipod(withCompressed).path();
        const QString db = databaseFile(source);
        ASSERT_TRUE(QFile::copy(db, dir.file("iPod_Control/iTunes/" + path::lastComponent(db))));
        ASSERT_TRUE(QFile::copy(source + "/iPod_Control/Device/SysInfo", dir.file("iPod_Control/Device/SysInfo")));
        ASSERT_TRUE(testsupport::writeFile(dir.file("iPod_Control/Artwork/ArtworkDB"),
                                           testsupport::readFile(source + "/iPod_Control/Artwork/ArtworkDB").left(116)));
        const ReadResult read = readDatabase(dir.path(), allowed);
        EXPECT_EQ(read.failure, withCompressed ? ReadFailure::Damaged : ReadFailure::None) << read.error.toStdString();
        EXPECT_EQ(read.database.has_value(), !withCompressed);
    }

    // The reader's output, cut short anywhere (a reader stopped while it
    // writes), is never taken for a database.
    const ReadResult whole = readDatabase(ipod(false).path());
    ASSERT_TRUE(whole.database);
    const QByteArray output = serialize(*whole.database);
    ReadError error;
    ASSERT_TRUE(deserialize(output, &error));
    for (qsizetype cut = 0; cut < output.size(); cut += 97) {
        EXPECT_FALSE(deserialize(output.left(cut), &error)) << cut;
        EXPECT_EQ(error.failure, ReadFailure::Damaged);
    }

    // The reader itself dies on the record that lies about its length.
    TempDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.file("iPod_Control/iTunes")));
    ASSERT_TRUE(testsupport::writeFile(dir.file("iPod_Control/iTunes/iTunesDB"), withWord(good, url + 8, 0)));
    QProcess reader;
    reader.setStandardErrorFile(QProcess::nullDevice());
    reader.start(readerProgram(), {dir.path()});
    ASSERT_TRUE(reader.waitForFinished(10000));
    EXPECT_EQ(reader.exitStatus(), QProcess::CrashExit) << "libgpod aborts on it";
}

} // namespace

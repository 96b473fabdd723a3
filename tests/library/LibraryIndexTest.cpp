// The library's index on disk, a real SQLite file: what a scan knows comes
// back at the next start, a rescan reads only what changed, and an index that
// cannot be trusted is made afresh.
#include "platform/foundation/PathString.h"
#include "platform/library/LibraryIndex.h"
#include "platform/library/MediaLibrary.h"
#include "platform/library/MediaPickerController.h"
#include "platform/library/MusicFolder.h"
#include "platform/ui/Window.h"
#include "tests/support/GeneratedLibrary.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListView>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <fcntl.h>
#include <sys/stat.h>

using medialibrary::AudioFormat;
using medialibrary::LeftOutReason;
using medialibrary::LibraryIndex;
using medialibrary::MediaItem;
using medialibrary::MediaLibrary;
using medialibrary::PictureSource;

namespace {

// Title of every song, by file name, and whether it hands out an asset URL.
QMap<QString, QString> titles(const MediaLibrary& library)
{
    QMap<QString, QString> out;
    for (const MediaItem& item : library.items())
        out.insert(QFileInfo(item.filePath()).fileName(),
                   item.displayTitle() + (item.assetURL().isEmpty() ? QStringLiteral(" (left out)") : QString()));
    return out;
}

// The file's modification time, to the nanosecond.
timespec modifiedAt(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mtim;
}

void setModified(const QString& path, const timespec& when)
{
    const timespec times[2] = {{0, UTIME_OMIT}, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

class LibraryIndexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        songgen::Options options;
        options.seconds = 0.2;
        options.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::Flac,
                           songgen::Format::OggVorbis, songgen::Format::Protected};
        options.songs = 10;
        library_ = std::make_unique<testsupport::GeneratedLibrary>(options);
        ASSERT_TRUE(library_->error().isEmpty());
        index_ = cache_.file("index.sqlite");
    }
    std::shared_ptr<const MediaLibrary> scan(bool readIndex = true) const
    {
        return MediaLibrary::scan(library_->path(), {}, index_, readIndex);
    }
    QString song(int i) const { return library_->songs()[std::size_t(i)].path; }

    testsupport::TempDir cache_;
    QString index_;
    std::unique_ptr<testsupport::GeneratedLibrary> library_;
};

TEST_F(LibraryIndexTest, WhatAScanReadComesBackAndARescanRereadsOnlyWhatChanged)
{
    const auto first = scan();
    ASSERT_EQ(first->items().size(), 10u);

    // The next start: the same songs, ids, asset URLs and pictures, at once.
    const auto indexed = MediaLibrary::fromIndex(library_->path(), index_);
    ASSERT_NE(indexed, nullptr);
    ASSERT_EQ(indexed->items().size(), first->items().size());
    for (std::size_t i = 0; i < first->items().size(); ++i) {
        const MediaItem& a = first->items()[i];
        const MediaItem& b = indexed->items()[i];
        EXPECT_EQ(b.persistentID(), a.persistentID());
        EXPECT_EQ(b.assetURL(), a.assetURL());
        EXPECT_EQ(b.title(), a.title());
        EXPECT_EQ(b.artist(), a.artist());
        EXPECT_EQ(b.format(), a.format());
        EXPECT_EQ(b.durationMs(), a.durationMs());
        EXPECT_EQ(b.leftOutReason(), a.leftOutReason());
        EXPECT_EQ(b.artwork() != nullptr, a.artwork() != nullptr);
    }

    // A song whose bytes are gone but whose size and time are as before is
    // not read again: the index still knows it.
    const QString trusted = song(0);
    const timespec modified = modifiedAt(trusted);
    const qint64 size = QFileInfo(trusted).size();
    ASSERT_TRUE(testsupport::writeFile(trusted, QByteArray(size, '\0')));
    setModified(trusted, modified);
    // Changed, new, removed and renamed songs are seen.
    const QString changed = song(1);
    ASSERT_TRUE(testsupport::writeFile(changed, "no longer a song"));
    ASSERT_TRUE(QFile::copy(song(2), library_->file("New Song.flac")));
    ASSERT_TRUE(QFile::remove(song(3)));
    ASSERT_TRUE(QFile::rename(song(5), library_->file("Renamed.mp3")));

    const auto rescanned = scan();
    const QMap<QString, QString> now = titles(*rescanned);
    EXPECT_EQ(now.size(), 10);
    EXPECT_EQ(now.value(QFileInfo(trusted).fileName()), library_->songs()[0].title) << "taken from the index";
    EXPECT_EQ(now.value(QFileInfo(changed).fileName()), QFileInfo(changed).completeBaseName() + " (left out)");
    EXPECT_EQ(now.value("New Song.flac"), library_->songs()[2].title);
    EXPECT_FALSE(now.contains(QFileInfo(song(3)).fileName()));
    EXPECT_EQ(now.value("Renamed.mp3"), library_->songs()[5].title);
    EXPECT_FALSE(now.contains(QFileInfo(song(5)).fileName()));
    // And the index knows it all for the start after.
    EXPECT_EQ(titles(*MediaLibrary::fromIndex(library_->path(), index_)), now);

    // Not trusting it, the scan reads every song, and the index follows.
    const auto full = scan(false);
    EXPECT_EQ(titles(*full).value(QFileInfo(trusted).fileName()), QFileInfo(trusted).completeBaseName() + " (left out)");
    EXPECT_EQ(titles(*MediaLibrary::fromIndex(library_->path(), index_)), titles(*full));
}

// Whatever is wrong with the index costs a full scan, never a song.
TEST_F(LibraryIndexTest, AnIndexThatCannotBeTrustedIsMadeAfresh)
{
    const QMap<QString, QString> expected = titles(*MediaLibrary::scan(library_->path()));
    const auto makeIndex = [&] {
        QFile::remove(index_);
        QFile::remove(index_ + "-wal");
        QFile::remove(index_ + "-shm");
        scan();
        ASSERT_NE(MediaLibrary::fromIndex(library_->path(), index_), nullptr);
    };
    const auto sql = [&](const QString& statements) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(index_).constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, statements.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    };
    const auto setVersion = [&](int version) { sql(QStringLiteral("PRAGMA user_version=%1").arg(version)); };
    // The layout before this one, which kept formats, reasons and picture
    // sources by their number: every song's size and time as they are, but
    // titles and numbers that must not be believed.
    const auto writeFirstVersion = [&] {
        sql("ALTER TABLE songs RENAME TO now;"
            "CREATE TABLE songs(path BLOB PRIMARY KEY, size INTEGER, modified INTEGER, title TEXT, artist TEXT,"
            " album TEXT, track INTEGER, format INTEGER, protected INTEGER, readable INTEGER, left_out INTEGER,"
            " picture INTEGER) WITHOUT ROWID;"
            "INSERT INTO songs SELECT path, size, modified, 'stale', artist, album, track, 9, 0, 1, 0, 0 FROM now;"
            "DROP TABLE now; PRAGMA user_version=1;");
    };

    struct Damage {
        const char* what;
        std::function<void()> apply;
    } damages[] = {
        {"garbage", [&] { testsupport::writeFile(index_, QByteArray(4096, 'x')); }},
        {"cut short", [&] {
             QFile f(index_);
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             f.resize(f.size() / 3);
         }},
        {"another version", [&] { setVersion(99); }},
        {"the version before", writeFirstVersion},
        {"empty file", [&] { testsupport::writeFile(index_, ""); }},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        makeIndex();
        d.apply();
        EXPECT_EQ(titles(*scan()), expected);
        const auto indexed = MediaLibrary::fromIndex(library_->path(), index_);
        ASSERT_NE(indexed, nullptr) << "made afresh by the scan";
        EXPECT_EQ(titles(*indexed), expected);
    }

    // An index made for another library folder is not this one's.
    makeIndex();
    testsupport::GeneratedLibrary other(songgen::Options{});
    EXPECT_EQ(MediaLibrary::fromIndex(other.path(), index_), nullptr);
    EXPECT_EQ(titles(*MediaLibrary::scan(other.path(), {}, index_)), titles(*MediaLibrary::scan(other.path())));
    EXPECT_NE(LibraryIndex::defaultPath(library_->path()), LibraryIndex::defaultPath(other.path()));
}

// The window app's start: the picker shows the index's songs at once, and
// what the rescan behind it finds comes in while it is open, the ticks and
// the place in the list kept.
TEST_F(LibraryIndexTest, ThePickerTakesTheRescanInWhileOpen)
{
    const QString index = index_;
    MediaLibrary::scan(library_->path(), {}, index); // an earlier start's index
    const songgen::Song late{library_->file("Zz/Late Arrival.mp3"), songgen::Format::Mp3Cbr, "Zz", "Last", "Late Arrival",
                             1, false};
    ASSERT_TRUE(songgen::writeSong(late, 99, 0.2, 128000, nullptr));
    ASSERT_TRUE(QFile::remove(song(9)));

    const auto folder = std::make_shared<medialibrary::MusicFolder>(library_->path(), QStringList(), index);
    folder->startScan();
    ui::Window window;
    auto* picker = new medialibrary::MediaPickerController(medialibrary::MediaTypeAnyAudio, folder);
    picker->setAllowsPickingMultipleItems(true);
    window.addSubview(picker->view());
    window.makeKeyAndVisible();
    EXPECT_EQ(picker->numberOfRows(), 10) << "the index's songs, before the rescan has looked";
    QListView* list = picker->listView();
    list->resize(list->width(), 120); // a list that scrolls
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
    const QModelIndex top = list->indexAt(QPoint(1, 1));
    ASSERT_TRUE(top.isValid());
    const quint64 topId = picker->itemAtRow(top.row()).persistentID();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(top).center());
    ASSERT_TRUE(picker->isRowChecked(top.row()));

    ASSERT_TRUE(testsupport::processEventsUntil([&] {
        for (int r = 0; r < picker->numberOfRows(); ++r)
            if (picker->itemAtRow(r).title() == "Late Arrival")
                return true;
        return false;
    })) << "the new song comes in";
    EXPECT_EQ(picker->numberOfRows(), 10) << "and the removed one goes";
    const QModelIndex nowTop = list->indexAt(QPoint(1, 1));
    EXPECT_EQ(picker->itemAtRow(nowTop.row()).persistentID(), topId) << "the same song at the top";
    EXPECT_TRUE(picker->isRowChecked(nowTop.row())) << "still ticked";
    delete picker;
}

// The index keeps a song's format, picture source and reason by name: each
// of them written now reads back as itself, whatever the order of the enums.
TEST_F(LibraryIndexTest, EveryFormatPictureAndReasonReadsBackAsWritten)
{
    const auto& formats = medialibrary::audioFormats();
    const PictureSource pictures[] = {PictureSource::None, PictureSource::Id3v2, PictureSource::Mp4,
                                      PictureSource::Flac, PictureSource::XiphComment, PictureSource::ApeItem};
    const LeftOutReason reasons[] = {LeftOutReason::None,       LeftOutReason::Protected, LeftOutReason::Unreadable,
                                     LeftOutReason::UnsupportedFormat, LeftOutReason::BrokenLink,
                                     LeftOutReason::LinkLoop,   LeftOutReason::NotAFile};
    std::vector<LibraryIndex::Entry> written;
    for (std::size_t i = 0; i <= formats.size(); ++i) { // and one song of no known format
        LibraryIndex::Entry e;
        e.relativePath = QByteArray::number(qulonglong(i)) + ".song";
        e.size = std::int64_t(i);
        if (i < formats.size())
            e.data.format = formats[i].format;
        e.data.pictureSource = pictures[i % std::size(pictures)];
        e.data.leftOut = reasons[i % std::size(reasons)];
        written.push_back(e);
    }
    ASSERT_TRUE(LibraryIndex::open(index_, library_->path())->update(written, {}));
    const std::vector<LibraryIndex::Entry> read = LibraryIndex::open(index_, library_->path())->entries();
    ASSERT_EQ(read.size(), written.size());
    for (const LibraryIndex::Entry& r : read) {
        const LibraryIndex::Entry& w = written[std::size_t(r.size)];
        SCOPED_TRACE(w.data.format ? medialibrary::formatInfo(*w.data.format).name : "none");
        EXPECT_EQ(r.relativePath, w.relativePath);
        EXPECT_EQ(r.data.format, w.data.format);
        EXPECT_EQ(r.data.pictureSource, w.data.pictureSource);
        EXPECT_EQ(r.data.leftOut, w.data.leftOut);
    }
}

// The index keeps playlist files as it keeps songs: the next start has them
// at once, a rescan rereads only a changed file, and resolves every playlist
// against the songs as they are now.
TEST_F(LibraryIndexTest, PlaylistsComeBackFromTheIndexAndARescanFollowsTheirFiles)
{
    const QDir root(library_->path());
    const QString list = library_->file("Lists/Road.m3u8");
    QDir().mkpath(QFileInfo(list).path());
    const auto entry = [&](int i) { return "../" + root.relativeFilePath(song(i)).toUtf8() + '\n'; };
    ASSERT_TRUE(testsupport::writeFile(list, entry(1) + entry(0) + "../gone.mp3\n"));
    const auto songsOf = [](const MediaLibrary& library) {
        QStringList out;
        for (const medialibrary::Playlist& p : library.playlists()) {
            out << p.name + " @ " + p.place;
            for (const MediaItem& item : p.items)
                out << QFileInfo(item.filePath()).fileName();
            for (const medialibrary::UnresolvedEntry& e : p.unresolved)
                out << "! " + e.location;
        }
        return out;
    };
    const QStringList first = songsOf(*scan());
    EXPECT_EQ(first, QStringList({"Road @ Lists/Road.m3u8", QFileInfo(song(1)).fileName(), QFileInfo(song(0)).fileName(),
                                  "! ../gone.mp3"}));
    EXPECT_EQ(songsOf(*MediaLibrary::fromIndex(library_->path(), index_)), first);

    // Bytes changed under the same size and time: the index's entries stand.
    const timespec modified = modifiedAt(list);
    const QByteArray same = entry(1) + entry(0) + "../lost.mp3\n";
    ASSERT_TRUE(testsupport::writeFile(list, same));
    setModified(list, modified);
    EXPECT_EQ(songsOf(*scan()), first);
    // Changed, a song it lists gone, and then the playlist itself gone.
    ASSERT_TRUE(testsupport::writeFile(list, entry(2) + entry(3)));
    ASSERT_TRUE(QFile::remove(song(3)));
    const QStringList changed = songsOf(*scan());
    EXPECT_EQ(changed, QStringList({"Road @ Lists/Road.m3u8", QFileInfo(song(2)).fileName(), "! " + QString::fromUtf8(entry(3).trimmed())}));
    EXPECT_EQ(songsOf(*MediaLibrary::fromIndex(library_->path(), index_)), changed);
    ASSERT_TRUE(QFile::remove(list));
    EXPECT_TRUE(scan()->playlists().empty());
    EXPECT_TRUE(MediaLibrary::fromIndex(library_->path(), index_)->playlists().empty());
}

// Quitting while the rescan runs: it stops, and the index stays one to start from.
TEST_F(LibraryIndexTest, ARescanStoppedAtAnyPointLeavesAnIndexToStartFrom)
{
    scan();
    for (int i = 0; i < 10; ++i) // every song changed: the rescan reads them all
        setModified(song(i), {1000000 + i, 0});
    for (int wait = 0; wait < 40; wait += 4) {
        SCOPED_TRACE(wait);
        auto rescan = medialibrary::LibraryScan::start(library_->path(), {}, nullptr, index_);
        testsupport::processEventsUntil([] { return false; }, wait);
        rescan->cancel();
        EXPECT_TRUE(rescan->isFinished());
        const auto indexed = MediaLibrary::fromIndex(library_->path(), index_);
        ASSERT_NE(indexed, nullptr);
        EXPECT_EQ(indexed->items().size(), 10u);
    }
}

} // namespace

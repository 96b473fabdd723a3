#include "platform/library/AssetURL.h"
#include "platform/foundation/PathString.h"
#include "platform/library/MediaLibrary.h"
#include "tests/support/TestSupport.h"
#include "tests/support/GeneratedLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <gtest/gtest.h>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

using medialibrary::MediaItem;
using medialibrary::MediaLibrary;
using songgen::Format;

using namespace Qt::StringLiterals;

namespace {

// One generated library shared by the tests of this file: every format, the
// broken files, and files the index must not see.
class MediaLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        songgen::Options options;
        options.seconds = 0.5;
        options.broken = true;
        library_ = new testsupport::GeneratedLibrary(options, "Music");
        ASSERT_TRUE(library_->error().isEmpty()) << library_->error().toStdString();
        root_ = library_->path();
        songs_ = library_->songs();

        // Copies in a hidden folder, as a hidden file and in the documents directory.
        const QString mp3 = songs_.front().path;
        QDir().mkpath(root_ + "/.cache");
        QFile::copy(mp3, root_ + "/.cache/Hidden.mp3");
        QFile::copy(mp3, root_ + "/._Resource.mp3");
        documents_ = root_ + "/Ripwell Documents";
        QDir().mkpath(documents_ + "/Artist");
        QFile::copy(mp3, documents_ + "/Artist/Converted.mp3");
    }
    static void TearDownTestSuite()
    {
        delete library_;
        library_ = nullptr;
        songs_.clear();
    }

    static std::shared_ptr<const MediaLibrary> scan() { return MediaLibrary::scan(root_, {documents_}); }

    static const MediaItem* find(const MediaLibrary& lib, const QString& path)
    {
        for (const MediaItem& item : lib.items())
            if (item.filePath() == QFileInfo(path).canonicalFilePath())
                return &item;
        return nullptr;
    }

    static testsupport::GeneratedLibrary* library_;
    static QString root_, documents_;
    static std::vector<songgen::Song> songs_;
};

testsupport::GeneratedLibrary* MediaLibraryTest::library_ = nullptr;
QString MediaLibraryTest::root_;
QString MediaLibraryTest::documents_;
std::vector<songgen::Song> MediaLibraryTest::songs_;

QString expectedExtension(Format f)
{
    switch (f) {
    case Format::Mp3Cbr:
    case Format::Mp3Vbr: return "mp3";
    case Format::Aac:
    case Format::Alac: return "m4a";
    case Format::WavInfo:
    case Format::WavId3: return "wav";
    case Format::Aiff: return "aif";
    case Format::Flac: return "flac";
    case Format::OggVorbis: return "ogg";
    case Format::Opus: return "opus";
    case Format::WavPack: return "wv";
    case Format::Protected: return {};
    }
    return {};
}

TEST_F(MediaLibraryTest, ListsEverySongWithItsTagsAndFormat)
{
    const auto lib = scan();
    ASSERT_EQ(lib->items().size(), songs_.size()); // hidden and documents copies left out

    for (const songgen::Song& song : songs_) {
        if (song.broken)
            continue;
        SCOPED_TRACE(song.path.toStdString());
        const MediaItem* item = find(*lib, song.path);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->title(), song.title); // the INFO-tagged WAV included
        EXPECT_EQ(item->artist(), song.artist);
        EXPECT_EQ(item->albumTitle(), song.album);
        const QString ext = expectedExtension(song.format);
        if (ext.isEmpty()) {
            EXPECT_TRUE(item->isProtected());
            EXPECT_TRUE(item->assetURL().isEmpty());
        } else {
            EXPECT_FALSE(item->isProtected());
            EXPECT_NEAR(item->durationMs(), 500, 60); // the length a playlist states
            EXPECT_EQ(item->assetURL().pathExtension(), ext);
            EXPECT_TRUE(item->assetURL().absoluteString().startsWith("library://item/item." + ext + "?id="));
        }
        ASSERT_NE(item->artwork(), nullptr);
        const QImage cover = item->artwork()->imageWithSize(QSize(64, 64));
        EXPECT_EQ(cover.size(), QSize(64, 64));
    }
}

TEST_F(MediaLibraryTest, BrokenFilesAreListedWithoutAssetURL)
{
    const auto lib = scan();
    for (const char* name : {"Empty.mp3", "Not Audio.mp3", "Truncated.m4a"}) {
        SCOPED_TRACE(name);
        const MediaItem* item = find(*lib, root_ + "/Broken/" + name);
        ASSERT_NE(item, nullptr);
        EXPECT_FALSE(item->isReadable());
        EXPECT_TRUE(item->assetURL().isEmpty());
        EXPECT_TRUE(item->title().isNull());
        EXPECT_EQ(item->artwork(), nullptr);
        EXPECT_FALSE(item->displayTitle().isEmpty());
    }
}

TEST_F(MediaLibraryTest, IdsAreStableAcrossScansAndUniqueAndResolveToTheirFiles)
{
    const auto first = scan();
    const auto second = scan();
    ASSERT_EQ(first->items().size(), second->items().size());
    QSet<quint64> ids;
    for (std::size_t i = 0; i < first->items().size(); ++i) {
        EXPECT_EQ(first->items()[i].persistentID(), second->items()[i].persistentID());
        EXPECT_EQ(first->items()[i].assetURL(), second->items()[i].assetURL());
        ids.insert(first->items()[i].persistentID());
    }
    EXPECT_EQ(std::size_t(ids.size()), first->items().size());

    // The same library under another root path keeps its ids.
    testsupport::TempDir other;
    const QString moved = other.file("Moved");
    QDir().mkpath(moved + "/Sub");
    const songgen::Song& song = songs_[2];
    const QString relative = QDir(root_).relativeFilePath(song.path);
    QDir().mkpath(QFileInfo(moved + "/" + relative).absolutePath());
    ASSERT_TRUE(QFile::copy(song.path, moved + "/" + relative));
    const auto movedLib = MediaLibrary::scan(moved);
    ASSERT_EQ(movedLib->items().size(), 1u);
    EXPECT_EQ(movedLib->items()[0].assetURL(), find(*first, song.path)->assetURL());

    // A library answers its asset URLs with their files, from any thread; a
    // URL resolves through the library it is handed with, and only there.
    for (const MediaItem& item : first->items()) {
        if (item.assetURL().isEmpty())
            continue;
        EXPECT_EQ(medialibrary::fileForURL(item.assetURL(), first.get()), item.filePath());
        EXPECT_EQ(first->itemForAssetURL(item.assetURL()), item);
    }
    EXPECT_TRUE(medialibrary::fileForURL(medialibrary::makeAssetURL("mp3", 12345), first.get()).isEmpty());
    EXPECT_EQ(medialibrary::fileForURL(movedLib->items()[0].assetURL(), movedLib.get()), movedLib->items()[0].filePath());
    EXPECT_TRUE(medialibrary::fileForURL(movedLib->items()[0].assetURL(), nullptr).isEmpty());
    EXPECT_EQ(medialibrary::fileForURL(Url::fileURLWithPath(song.path), nullptr), song.path);
    const Url url = first->items().front().assetURL().isEmpty() ? first->items().back().assetURL()
                                                                   : first->items().front().assetURL();
    QString fromWorker;
    std::thread([&] { fromWorker = medialibrary::fileForURL(url, first.get()); }).join();
    EXPECT_EQ(fromWorker, first->itemForAssetURL(url).filePath());
    EXPECT_FALSE(fromWorker.isEmpty());
}

TEST_F(MediaLibraryTest, SortedByArtistAlbumTrackTitle)
{
    const auto lib = scan();
    const auto key = [](const MediaItem& i) {
        return std::make_tuple(i.artist().isNull(), i.artist().toLower(), i.albumTitle().isNull(),
                               i.albumTitle().toLower(), i.albumTrackNumber());
    };
    for (std::size_t i = 1; i < lib->items().size(); ++i)
        EXPECT_LE(key(lib->items()[i - 1]), key(lib->items()[i])) << i;
}

// The order ignores case as Qt does, in ASCII and past it, absent names last.
TEST(MediaLibraryOrder, IgnoresCaseAsQtDoesInEveryScript)
{
    const QStringList names = {"", "a", "A", "ab", "aB", "Ab ", "abc", "Zebra", "zebra", "[x]", "_x", "~",
                               u"\u00c4pfel"_s, u"\u00e4pfel"_s, "apfel", u"stra\u00dfe"_s, "STRASSE",
                               u"\u0130stanbul"_s, u"\u03a3\u03bf\u03c6\u03af\u03b1"_s, u"\u03c3\u03bf\u03c6\u03af\u03b1"_s,
                               u"x\U0001D400"_s, u"x\U0001D41A"_s, u"X\U00010400"_s, u"x\U00010428"_s, u"\uFF21"_s, u"\uFF41"_s};
    const auto item = [](const QString& artist) {
        MediaItem::Data d;
        d.artist = artist;
        d.filePath = QStringLiteral("/same");
        return MediaItem(std::move(d));
    };
    for (const QString& a : names)
        for (const QString& b : names) {
            const int qt = QString::compare(a, b, Qt::CaseInsensitive);
            EXPECT_EQ(MediaLibrary::inLibraryOrder(item(a), item(b)), qt < 0) << a.toStdString() << " / " << b.toStdString();
        }
    EXPECT_TRUE(MediaLibrary::inLibraryOrder(item("zz"), item(QString()))) << "absent names last";
    EXPECT_FALSE(MediaLibrary::inLibraryOrder(item(QString()), item("")));

    // A scanned library keeps that order, songs of ASCII names and others mixed.
    testsupport::TempDir dir;
    for (int i = 0; i < names.size(); ++i) {
        const QString artist = i % 5 == 4 ? QString() : names[i % 9 + 1];
        songgen::Song song{dir.file(QStringLiteral("%1.mp3").arg(i)), songgen::Format::Mp3Cbr, artist,
                           names[(i * 7) % names.size()], names[i], i % 3, false};
        ASSERT_TRUE(songgen::writeSong(song, unsigned(i), 0.05, 64000, nullptr));
    }
    const auto library = MediaLibrary::scan(dir.path());
    const std::vector<MediaItem>& items = library->items();
    ASSERT_EQ(items.size(), std::size_t(names.size()));
    for (std::size_t i = 1; i < items.size(); ++i)
        EXPECT_FALSE(MediaLibrary::inLibraryOrder(items[i], items[i - 1])) << i;
}

TEST_F(MediaLibraryTest, EmptyTagsArePresentAbsentOnesAbsent)
{
    testsupport::TempDir dir;
    const QString path = dir.file("Song.mp3");
    ASSERT_TRUE(QFile::copy(songs_.front().path, path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    {
        TagLib::MPEG::File f(QFile::encodeName(path).constData());
        TagLib::ID3v2::Tag* tag = f.ID3v2Tag();
        tag->removeFrames("TIT2"); // no title at all
        tag->removeFrames("TPE1");
        auto* artist = new TagLib::ID3v2::TextIdentificationFrame("TPE1", TagLib::String::UTF8);
        artist->setText(TagLib::StringList()); // an artist frame without text
        tag->addFrame(artist);
        tag->setAlbum("   ");
        tag->removeFrames("APIC");
        ASSERT_TRUE(f.save(TagLib::MPEG::File::ID3v2));
    }
    const MediaItem item = MediaLibrary::readItem(path, dir.path());
    EXPECT_TRUE(item.title().isNull());
    ASSERT_FALSE(item.artist().isNull());
    EXPECT_TRUE(item.artist().isEmpty());
    EXPECT_EQ(item.albumTitle(), "   ");
    EXPECT_EQ(item.artwork(), nullptr);
    EXPECT_EQ(item.displayTitle(), "Song");
    EXPECT_EQ(item.assetURL().pathExtension(), "mp3");
}

// Devices, FIFOs and sockets behind an audio name (or behind a link with one)
// are never read: reading one would block or never end. They are listed, as
// are links to nothing and link loops, with the reason they are left out.
TEST_F(MediaLibraryTest, OnlyRegularFilesAreReadAndTheRestSayWhy)
{
    testsupport::TempDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    ASSERT_TRUE(QFile::copy(songs_.front().path, dir.file("Real.mp3")));
    ASSERT_EQ(::symlink("/dev/zero", (root + "/zero.mp3").constData()), 0);
    ASSERT_EQ(::mkfifo((root + "/.fifo").constData(), 0600), 0);
    ASSERT_EQ(::symlink((root + "/.fifo").constData(), (root + "/fifo.mp3").constData()), 0);
    ASSERT_EQ(::mkfifo((root + "/pipe.wav").constData(), 0600), 0);
    ASSERT_EQ(::symlink("Real.mp3", (root + "/Link.mp3").constData()), 0);
    ASSERT_EQ(::symlink("Missing.mp3", (root + "/Broken.mp3").constData()), 0);
    ASSERT_EQ(::symlink("Loop.mp3", (root + "/Loop.mp3").constData()), 0);
    ASSERT_EQ(::mkfifo((root + "/notes.txt").constData(), 0600), 0); // no song's name: not listed

    using medialibrary::LeftOutReason;
    const QMap<QString, LeftOutReason> expected = {
        {"Broken.mp3", LeftOutReason::BrokenLink}, {"Link.mp3", LeftOutReason::None}, // a link to a song is a song
        {"Loop.mp3", LeftOutReason::LinkLoop},     {"Real.mp3", LeftOutReason::None},
        {"fifo.mp3", LeftOutReason::NotAFile},     {"pipe.wav", LeftOutReason::NotAFile},
        {"zero.mp3", LeftOutReason::NotAFile},
    };
    QMap<QString, LeftOutReason> listed;
    const auto library = MediaLibrary::scan(dir.path());
    for (const MediaItem& item : library->items())
        listed.insert(QFileInfo(item.filePath()).fileName(), item.leftOutReason());
    EXPECT_EQ(listed, expected);

    // Read one by one, as a rescan does, they say the same.
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        const MediaItem item = MediaLibrary::readItem(dir.file(it.key()), dir.path());
        EXPECT_EQ(item.leftOutReason(), it.value());
        EXPECT_EQ(item.assetURL().isEmpty(), it.value() != LeftOutReason::None);
    }
}

// A file name is bytes: one that is not UTF-8 is read, tagged and handed over
// like any other, and the bytes lead back to the file.
TEST_F(MediaLibraryTest, ANameThatIsNotUtf8IsASongLikeAnyOther)
{
    testsupport::TempDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    ASSERT_TRUE(QFile::copy(songs_.front().path, dir.file("Good.mp3")));
    const QByteArray bad = root + "/bad\xffname.mp3";
    ASSERT_TRUE(QFile::copy(songs_.front().path, dir.file("tmp")));
    ASSERT_EQ(::rename(QFile::encodeName(dir.file("tmp")).constData(), bad.constData()), 0);

    const auto lib = MediaLibrary::scan(dir.path());
    ASSERT_EQ(lib->items().size(), 2u);
    for (const MediaItem& item : lib->items()) {
        EXPECT_TRUE(item.isReadable());
        EXPECT_EQ(item.title(), songs_.front().title);
        EXPECT_FALSE(item.assetURL().isEmpty());
    }
    const auto it = std::find_if(lib->items().begin(), lib->items().end(),
                                 [](const MediaItem& i) { return !i.filePath().endsWith("/Good.mp3"); });
    ASSERT_NE(it, lib->items().end());
    EXPECT_EQ(path::native(it->filePath()), bad);
    EXPECT_EQ(path::native(lib->fileForAssetURL(it->assetURL())), bad);
    EXPECT_EQ(path::displayed(it->fileStem()), "bad\\xFFname");
    EXPECT_EQ(MediaLibrary::scan(dir.path())->items(), lib->items()); // same ids again
    ::unlink(bad.constData()); // a name the temporary folder's own clean-up cannot spell
}

TEST_F(MediaLibraryTest, ABackgroundScanShowsWhatItHasReadAndEndsWithTheLibrary)
{
    const auto scan = medialibrary::LibraryScan::start(root_, {documents_});
    const auto library = scan->wait();
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(scan->isFinished());
    EXPECT_EQ(library->items(), MediaLibrary::scan(root_, {documents_})->items());
    std::vector<MediaItem> read = scan->itemsFrom(0);
    ASSERT_EQ(read.size(), library->items().size());
    EXPECT_TRUE(scan->itemsFrom(read.size()).empty());
    std::sort(read.begin(), read.end(), MediaLibrary::inLibraryOrder);
    EXPECT_EQ(read, library->items());
    for (const MediaItem& item : read) {
        if (!item.assetURL().isEmpty()) {
            EXPECT_EQ(scan->fileForAssetURL(item.assetURL()), item.filePath());
        }
    }

    // A cancelled scan ends without a library, keeping what it had read.
    const auto cancelled = medialibrary::LibraryScan::start(root_, {documents_});
    cancelled->cancel();
    EXPECT_TRUE(cancelled->isFinished());
    EXPECT_EQ(cancelled->library(), nullptr);
    EXPECT_EQ(cancelled->wait(), nullptr);
    EXPECT_LE(cancelled->count(), library->items().size());
}

TEST_F(MediaLibraryTest, FormatComesFromTheContentNotTheName)
{
    testsupport::TempDir dir;
    const songgen::Song* aiff = nullptr;
    for (const auto& s : songs_)
        if (s.format == Format::Aiff)
            aiff = &s;
    ASSERT_NE(aiff, nullptr);
    ASSERT_TRUE(QFile::copy(aiff->path, dir.file("Song.aiff")));
    const MediaItem item = MediaLibrary::readItem(dir.file("Song.aiff"), dir.path());
    EXPECT_EQ(item.assetURL().pathExtension(), "aif");
    EXPECT_EQ(item.title(), aiff->title);
}

TEST_F(MediaLibraryTest, ArtworkKeepsItsProportions)
{
    const auto lib = scan();
    const MediaItem* item = find(*lib, songs_.front().path);
    ASSERT_NE(item, nullptr);
    ASSERT_NE(item->artwork(), nullptr);
    const QImage wide = item->artwork()->imageWithSize(QSize(120, 60));
    EXPECT_EQ(wide.size(), QSize(60, 60)); // the generated covers are square
    EXPECT_TRUE(item->artwork()->imageWithSize(QSize(0, 0)).isNull());
}

TEST_F(MediaLibraryTest, MissingRootGivesAnEmptyLibrary)
{
    EXPECT_TRUE(MediaLibrary::scan(root_ + "/does-not-exist")->items().empty());
    EXPECT_TRUE(MediaLibrary::scan(root_, {root_})->items().empty());
}

} // namespace

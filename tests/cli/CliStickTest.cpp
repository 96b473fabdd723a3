// ripwell-cli keeping a documents folder in step with a library, on this
// machine's disk and on sticks: real FAT32 and exFAT file systems mounted with
// FUSE in the test, with real runs. Whatever the order of songs, names,
// moves and deletions, every song keeps its own file, every file holds its
// song's audio whole, and nothing outside the documents folder is touched.
#include "platform/foundation/TemporaryFiles.h"
#include "tests/support/CliProcess.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/Stick.h"
#include "tests/support/TestSupport.h"
#include "tools/make_library/SongGenerator.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <gtest/gtest.h>
#include <memory>

using testsupport::readFile;
using testsupport::Stick;
using testsupport::TempDir;

namespace {

using Result = testsupport::CliResult;

Result cli(const QStringList& args) { return testsupport::runCli(args); }

QByteArray audioOf(const QString& path)
{
    return path.endsWith(".mp3") ? mediaprobe::afterId3v2(path) : mediaprobe::probe(path).audio();
}

// Where the documents folder lies: a folder of this machine's disk, or a stick.
enum class Place { Disk, Fat32, Exfat };

std::string placeName(const ::testing::TestParamInfo<Place>& info)
{
    return info.param == Place::Disk ? "Disk" : info.param == Place::Fat32 ? "Fat32" : "Exfat";
}

class Destinations : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override
    {
        if (GetParam() != Place::Disk) {
            stick = std::make_unique<Stick>(GetParam() == Place::Fat32 ? Stick::Kind::Fat32 : Stick::Kind::Exfat);
            if (!stick->unavailable().isEmpty())
                GTEST_SKIP() << stick->unavailable().toStdString();
        }
        docs = (stick ? stick->path() : disk.path()) + "/Ripwell";
        ASSERT_TRUE(testsupport::writeFile(outside.file("precious"), "precious"));
    }
    void TearDown() override
    {
        // Nothing outside the documents folder is ever touched.
        EXPECT_EQ(readFile(outside.file("precious")), "precious");
        EXPECT_EQ(QDir(outside.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).size(), 1);
    }

    // A song at `relative` in the library, with these tags; `seed` picks its tune.
    QString addSong(const QString& relative, const QString& artist, const QString& album, const QString& title,
                    unsigned seed, songgen::Format format = songgen::Format::Mp3Cbr)
    {
        const QString path = library.file(relative);
        QDir().mkpath(QFileInfo(path).path());
        QString error;
        EXPECT_TRUE(songgen::writeSong({path, format, artist, album, title, 1, false}, seed, 1.0, 128000, &error))
            << error.toStdString();
        return path;
    }

    Result convert(const QStringList& more = {}) const
    {
        return cli(QStringList{"--library", root.isEmpty() ? library.path() : root, "--documents", docs, "--yes"} + more);
    }

    // The converted songs under the documents folder, relative to it.
    QStringList outputs() const
    {
        QStringList found;
        QDirIterator it(docs, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = QDir(docs).relativeFilePath(it.next());
            const QString name = f.section('/', -1);
            if (!name.startsWith('.') && name != "error.log")
                found << f;
        }
        found.sort();
        return found;
    }

    // Every song of `songs` is in exactly one output, whole, and every output
    // holds one of them.
    void expectEachSongInAFileOfItsOwn(const QStringList& songs) const
    {
        QHash<QByteArray, QString> byAudio;
        for (const QString& song : songs)
            byAudio.insert(audioOf(song), song);
        ASSERT_EQ(byAudio.size(), songs.size()) << "the songs differ";
        QStringList found;
        for (const QString& output : outputs()) {
            const QString song = byAudio.value(audioOf(docs + '/' + output));
            EXPECT_FALSE(song.isEmpty()) << output.toStdString() << " holds no song whole";
            found << song;
        }
        found.sort();
        QStringList wanted = songs;
        wanted.sort();
        EXPECT_EQ(found, wanted);
    }

    std::unique_ptr<Stick> stick;
    TempDir disk, library, outside;
    QString docs;
    QString root; // the library's top when it is not `library` itself
};

INSTANTIATE_TEST_SUITE_P(Places, Destinations, ::testing::Values(Place::Disk, Place::Fat32, Place::Exfat), placeName);

// Two songs whose names differ only by case are one name on a stick, and are
// two names everywhere, so that a folder copied onto a stick keeps both. In
// every order of arrival and deletion, each keeps a file of its own.
TEST_P(Destinations, CaseTwinsKeepAFileEachInEveryOrder)
{
    const auto expectRun = [this](const char* summary) {
        const Result r = convert();
        EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(summary)) << r.out.toStdString();
    };
    // The first song's file is deleted, then its twin comes into the library.
    const QString first = addSong("a/x.mp3", "Abba", "Gold", "Intro", 1);
    expectRun("Converted: 1, up to date: 0");
    ASSERT_EQ(outputs(), QStringList{"Abba/Gold/Intro.mp3"});
    ASSERT_TRUE(QFile::remove(docs + "/Abba/Gold/Intro.mp3"));
    const QString twin = addSong("b/y.mp3", "ABBA", "Gold", "Intro", 2);
    expectRun("Converted: 2, up to date: 0");
    expectEachSongInAFileOfItsOwn({first, twin});
    expectRun("Converted: 0, up to date: 2");
    expectEachSongInAFileOfItsOwn({first, twin});

    // Either file deleted: its song comes back into a file of its own.
    for (const QString& output : outputs()) {
        ASSERT_TRUE(QFile::remove(docs + '/' + output));
        expectRun("Converted: 1, up to date: 1");
        expectEachSongInAFileOfItsOwn({first, twin});
    }

    // A third spelling arrives while both are there.
    const QString third = addSong("c/z.mp3", "aBBa", "GOLD", "intro", 3);
    expectRun("Converted: 1, up to date: 2");
    expectEachSongInAFileOfItsOwn({first, twin, third});
    EXPECT_EQ(outputs().size(), 3);
}

// On a stick, every folder and file name is one Windows can hold; on this
// machine's disk, names are as they always were.
TEST_P(Destinations, NamesAreOnesTheDestinationCanHold)
{
    const QString dotted = addSong("1.mp3", "R.E.M.", "Vol. 2.", "CON", 1);
    const QString spaced = addSong("2.wav", "Band ", "Live", "Song...", 2, songgen::Format::WavId3);
    const Result r = convert();
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    const QStringList expected = GetParam() == Place::Disk
                                     ? QStringList{"Band /Live/Song....wav", "R.E.M./Vol. 2./CON.mp3"}
                                     : QStringList{"Band/Live/Song....wav", "R.E.M/Vol. 2/CON_.mp3"};
    EXPECT_EQ(outputs(), expected);
    expectEachSongInAFileOfItsOwn({dotted, spaced});
    EXPECT_TRUE(convert().out.contains("Converted: 0, up to date: 2"));
}

class Sticks : public Destinations {};
INSTANTIATE_TEST_SUITE_P(Places, Sticks, ::testing::Values(Place::Fat32, Place::Exfat), placeName);

// What a run reported is on the stick, even when it is pulled out right
// after; an empty file that an older run left there heals at the next run.
TEST_P(Sticks, APulledStickHoldsWhatTheRunReportedAndHeals)
{
    const QStringList songs{addSong("1.mp3", "Artist", "Album", "One", 1),
                            addSong("2.m4a", "Artist", "Album", "Two", 2, songgen::Format::Aac),
                            addSong("3.wav", "Artist", "Album", "Three", 3, songgen::Format::WavInfo),
                            addSong("4.flac", "Artist", "Album", "Four", 4, songgen::Format::Flac)};
    const Result first = convert();
    ASSERT_TRUE(first.out.contains("Converted: 4,")) << first.out.toStdString() << first.err.toStdString();
    ASSERT_TRUE(stick->pullAndReplug());
    expectEachSongInAFileOfItsOwn(songs);
    EXPECT_TRUE(convert().out.contains("Converted: 0, up to date: 4")) << "the record was on the stick too";

    // Unplugged and plugged in again, times read back as the stick keeps them.
    ASSERT_TRUE(stick->replug());
    EXPECT_TRUE(convert().out.contains("Converted: 0, up to date: 4"));

    // A 0-byte file where a song's file was (an older run's, pulled too soon).
    QFile cut(docs + "/Artist/Album/Two.m4a");
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cut.close();
    const Result healed = convert();
    EXPECT_TRUE(healed.out.contains("Converted: 1, up to date: 3")) << healed.out.toStdString();
    expectEachSongInAFileOfItsOwn(songs);
}

// A documents folder written on this machine's disk and copied onto a stick,
// times kept, loses no song there and is up to date there.
TEST_P(Sticks, AFolderCopiedFromTheDiskKeepsEverySong)
{
    const QStringList songs{addSong("a/x.mp3", "Abba", "Gold", "Intro", 1), addSong("b/y.mp3", "ABBA", "Gold", "Intro", 2),
                            addSong("c/z.mp3", "R.E.M.", "Out of Time", "Losing", 3)};
    const QString onStick = docs;
    docs = disk.path() + "/Ripwell";
    ASSERT_TRUE(convert().out.contains("Converted: 3,"));
    ASSERT_EQ(QProcess::execute("cp", {"-r", "--preserve=timestamps", docs, onStick}), 0);
    docs = onStick;
    ASSERT_TRUE(stick->replug());
    expectEachSongInAFileOfItsOwn(songs);
    const Result r = convert();
    EXPECT_TRUE(r.out.contains("Converted: 0, up to date: 3")) << r.out.toStdString() << r.err.toStdString();
    expectEachSongInAFileOfItsOwn(songs);
}

class OnDisk : public Destinations {};
INSTANTIATE_TEST_SUITE_P(Places, OnDisk, ::testing::Values(Place::Disk), placeName);

// A link at an artist or album folder leads out of the documents folder:
// the song fails and says why, and nothing is written, replaced or removed out
// there, whatever the record claims.
TEST_P(OnDisk, NothingGoesThroughALinkWhateverTheRecordSays)
{
    const QString song = addSong("1.mp3", "Artist", "Album", "Title", 1);
    addSong("2.mp3", "Other", "Album", "Title", 2);
    ASSERT_TRUE(QDir().mkpath(outside.file("Album")) && QDir().mkpath(docs + "/Other"));
    ASSERT_TRUE(QFile::link(outside.path(), docs + "/Artist"));
    ASSERT_TRUE(QFile::link(outside.file("Album"), docs + "/Other/Album"));
    // A record of someone else's names the way out as this song's output.
    const QFileInfo info(song);
    ASSERT_TRUE(testsupport::writeFile(docs + "/.ripwell-record",
                                       QStringLiteral("ripwell-record 1\nArtist/Album/Title.mp3\t%1\t%2\t%3\t8\t1\n")
                                           .arg(song)
                                           .arg(info.size())
                                           .arg(info.lastModified().toMSecsSinceEpoch() * 1000000)
                                           .toUtf8()));
    const Result r = convert();
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Converted: 0, up to date: 0, skipped: 0 (protected 0, unreadable 0, unsupported format 0), failed: 2"))
        << r.out.toStdString();
    EXPECT_EQ(r.err.count("it is a symbolic link, and nothing is written through one"), 2) << r.err.toStdString();
    EXPECT_EQ(QDir(outside.file("Album")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList());
    ASSERT_TRUE(QFile::remove(outside.file("Album")) || QDir(outside.file("Album")).removeRecursively());
}

// A record from someone else's stick claims the user's own file as made from
// a song of this library: the file's size and time are not the ones it
// noted, so it stays, and the song takes the next free name.
TEST_P(OnDisk, AForeignRecordNeverReplacesTheUsersFile)
{
    const QString song = addSong("1.mp3", "Artist", "Album", "Title", 1);
    ASSERT_TRUE(QDir().mkpath(docs + "/Artist/Album"));
    ASSERT_TRUE(testsupport::writeFile(docs + "/Artist/Album/Title.mp3", "my own recording"));
    const QFileInfo info(song);
    ASSERT_TRUE(testsupport::writeFile(docs + "/.ripwell-record",
                                       QStringLiteral("ripwell-record 1\nArtist/Album/Title.mp3\t%1\t%2\t%3\t4096\t1\n")
                                           .arg(song)
                                           .arg(info.size())
                                           .arg(info.lastModified().toMSecsSinceEpoch() * 1000000)
                                           .toUtf8()));
    const Result r = convert();
    EXPECT_TRUE(r.out.contains("Converted: 1,")) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(readFile(docs + "/Artist/Album/Title.mp3"), "my own recording");
    EXPECT_EQ(audioOf(docs + "/Artist/Album/Title (2).mp3"), audioOf(song));
}

// Without a record that takes lines, every run would copy every song again
// under new names: the run stops before the first song and says what to do.
// A user's file that looks like a temporary, where no run writes, stays.
TEST_P(OnDisk, ARecordThatCannotBeWrittenStopsTheRunAndUsersFilesStay)
{
    addSong("1.mp3", "Artist", "Album", "Title", 1);
    const QStringList users{"Notes/.ripwell-tmp-abc-1.txt", "Notes/.ripwell-tmp-0123456789abcdef-1.mp3"};
    for (const QString& f : users) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(docs + '/' + f).path()));
        ASSERT_TRUE(testsupport::writeFile(docs + '/' + f, "mine"));
    }
    for (const char* name : {".ripwell-record", ".ripwell-record-run"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(QDir().mkpath(docs + '/' + name + "/inside"));
        const Result r = convert();
        EXPECT_EQ(r.exitCode, 2) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(" cannot be written: ")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("Move it out of the way or make it writable")) << r.err.toStdString();
        EXPECT_EQ(outputs(), QStringList()) << "nothing converted";
        ASSERT_TRUE(QDir(docs + '/' + name).removeRecursively());
    }
    // A run killed after it began to write leaves a temporary beside the name
    // it claimed: the next run takes it away and says so.
    const QString leftover = docs + "/Artist/Album/.ripwell-tmp-0123456789abcdef-9.mp3";
    ASSERT_TRUE(QDir().mkpath(docs + "/Artist/Album"));
    ASSERT_TRUE(testsupport::writeFile(leftover, "half a song"));
    ASSERT_TRUE(testsupport::writeFile(docs + "/.ripwell-record-run",
                                       "ripwell-record 1\nArtist/Album/Title.mp3\t/music/1.mp3\t1\t1\t-\t-\n"));
    const Result r = convert({"--verbose"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("Removed a temporary file left by an interrupted run: " + leftover)) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(leftover));
    EXPECT_EQ(outputs(), QStringList{"Artist/Album/Title.mp3"});
    for (const QString& f : users)
        EXPECT_EQ(readFile(docs + '/' + f), "mine") << f.toStdString();
}

// Every file under `folder` with its bytes and time, the hidden ones too.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        const QFileInfo info(f);
        files.insert(QDir(folder).relativeFilePath(f),
                     (info.isDir() ? QByteArray("folder") : readFile(f)) + ' ' +
                         QByteArray::number(info.lastModified().toMSecsSinceEpoch()));
    }
    return files;
}

// A library moved, copied without its times, a song moved and renamed in it,
// the same song twice: no song is converted again and none gets a second file;
// a song changed after all that is converted again into its own file.
TEST_P(OnDisk, SongsAreKnownByWhatTheyAreWhereverTheyLie)
{
    root = library.file("Music");
    const QStringList songs{addSong("Music/A/one.mp3", "Artist", "Album", "One", 1),
                            addSong("Music/A/two.m4a", "Artist", "Album", "Two", 2, songgen::Format::Aac),
                            addSong("Music/B/three.wav", "Other", "Live", "Three", 3, songgen::Format::WavId3)};
    ASSERT_TRUE(QFile::copy(songs[0], library.file("Music/B/one again.mp3")));
    const Result first = convert();
    ASSERT_TRUE(first.out.contains("Converted: 4, up to date: 0")) << first.out.toStdString();
    const QStringList made = outputs();
    EXPECT_EQ(made, (QStringList{"Artist/Album/One (2).mp3", "Artist/Album/One.mp3", "Artist/Album/Two.m4a",
                                 "Other/Live/Three.wav"}));

    const auto expectUpToDate = [&](const char* step) {
        SCOPED_TRACE(step);
        const Result r = convert();
        EXPECT_TRUE(r.out.contains("Converted: 0, up to date: 4")) << r.out.toStdString() << r.err.toStdString();
        EXPECT_EQ(outputs(), made);
    };
    ASSERT_TRUE(QDir().rename(library.file("Music"), library.file("Moved")));
    root = library.file("Moved");
    expectUpToDate("the library moved");
    EXPECT_FALSE(readFile(docs + "/.ripwell-record").contains(library.path().toUtf8())) << "places, not paths";

    ASSERT_EQ(QProcess::execute("cp", {"-r", library.file("Moved"), library.file("Copied")}), 0);
    root = library.file("Copied");
    expectUpToDate("copied without its times");

    ASSERT_TRUE(QDir().mkpath(root + "/C/D"));
    ASSERT_TRUE(QDir().rename(root + "/A/two.m4a", root + "/C/D/zwei.m4a"));
    expectUpToDate("a song moved and renamed");

    // Changed: its tags (and so its bytes) are others now.
    ASSERT_TRUE(songgen::writeSong({root + "/C/D/zwei.m4a", songgen::Format::Aac, "Artist", "Album", "Two", 1, false}, 9,
                                   1.0, 128000, nullptr));
    const Result changed = convert();
    EXPECT_TRUE(changed.out.contains("Converted: 1, up to date: 3")) << changed.out.toStdString();
    EXPECT_EQ(outputs(), made);
    EXPECT_EQ(audioOf(docs + "/Artist/Album/Two.m4a"), audioOf(root + "/C/D/zwei.m4a"));
}

// --prune takes away exactly the files of songs that are gone, and the folders
// this leaves empty that Ripwell made; a filter narrows it; a library that
// is missing or empty (a disk not mounted) stops it before anything goes.
TEST_P(OnDisk, PruneRemovesExactlyTheFilesOfGoneSongs)
{
    const QString one = addSong("1.mp3", "Artist", "Album", "One", 1);
    const QString two = addSong("2.mp3", "Artist", "Album", "Two", 2);
    const QString three = addSong("3.mp3", "Solo", "Single", "Three", 3);
    const QString four = addSong("4.mp3", "Keep", "Album", "Four", 4);
    ASSERT_TRUE(convert().out.contains("Converted: 4,"));
    ASSERT_TRUE(testsupport::writeFile(docs + "/Artist/Album/mine.mp3", "the user's own"));
    ASSERT_TRUE(testsupport::writeFile(docs + "/Keep/Album/notes.txt", "the user's own"));

    for (const QString& gone : {two, three, four})
        ASSERT_TRUE(QFile::remove(gone));
    for (const QString& missing : {library.file("nothing"), disk.file("empty")}) {
        QDir().mkpath(disk.file("empty"));
        const Result refused = cli({"--library", missing, "--documents", docs, "--yes", "--prune"});
        EXPECT_EQ(refused.exitCode, 2) << refused.out.toStdString();
        EXPECT_EQ(outputs().size(), 6) << "nothing removed";
    }
    const Result filtered = convert({"--prune", "Solo"});
    EXPECT_EQ(filtered.exitCode, 0) << filtered.err.toStdString();
    EXPECT_TRUE(filtered.out.contains("Removed: 1 (")) << filtered.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(docs + "/Solo")) << "its folders, made by Ripwell and empty now, went too";
    EXPECT_TRUE(QFileInfo::exists(docs + "/Artist/Album/Two.mp3")) << "not selected by the filter";

    const Result all = convert({"--prune"});
    EXPECT_TRUE(all.out.contains("Removed: 2 (")) << all.out.toStdString();
    EXPECT_EQ(outputs(), (QStringList{"Artist/Album/One.mp3", "Artist/Album/mine.mp3", "Keep/Album/notes.txt"}));
    EXPECT_EQ(audioOf(docs + "/Artist/Album/One.mp3"), audioOf(one));
    EXPECT_TRUE(convert({"--prune"}).out.contains("Removed: 0 ("));
}

// --dry-run says, song by song, what a run would do, and changes nothing: the
// documents folder is the same byte for byte, its hidden files included, and
// one that is not there is not made.
TEST_P(OnDisk, DryRunSaysWhatARunWouldDoAndWritesNothing)
{
    addSong("1.mp3", "Artist", "Album", "Same", 1);
    const Result none = convert({"--dry-run"});
    EXPECT_TRUE(none.out.contains("convert\tArtist/Album/Same.mp3\t1.mp3\n")) << none.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(docs));
    const QString changed = addSong("2.mp3", "Artist", "Album", "Changed", 2);
    const QString gone = addSong("3.mp3", "Artist", "Album", "Gone", 3);
    addSong("5.m4p", "Artist", "Album", "Locked", 5, songgen::Format::Protected);
    ASSERT_TRUE(convert().out.contains("Converted: 3,"));
    ASSERT_TRUE(QFile::remove(gone));
    ASSERT_TRUE(songgen::writeSong({changed, songgen::Format::Mp3Cbr, "Artist", "Album", "Changed", 1, false}, 7, 1.0,
                                   128000, nullptr));
    addSong("4.mp3", "Artist", "Album", "New", 4);

    const QMap<QString, QByteArray> before = snapshot(docs);
    const Result plan = convert({"--dry-run", "--prune"});
    EXPECT_EQ(plan.exitCode, 0) << plan.err.toStdString();
    EXPECT_EQ(snapshot(docs), before);
    for (const char* line : {"up to date\tArtist/Album/Same.mp3\t1.mp3\n", "convert again\tArtist/Album/Changed.mp3\t2.mp3\n",
                             "convert\tArtist/Album/New.mp3\t4.mp3\n", "left out (protected)\t-\t5.m4p\n",
                             "remove\tArtist/Album/Gone.mp3\t-\n",
                             "Would convert: 1, convert again: 1, up to date: 1, remove: 1, leave out: 1 (protected 1"})
        EXPECT_TRUE(plan.out.contains(line)) << line << "\n" << plan.out.toStdString();

    // What it said is what a run does.
    const Result run = convert({"--prune"});
    EXPECT_TRUE(run.out.contains("Converted: 2, up to date: 1")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Removed: 1 (")) << run.out.toStdString();
}

// A record written by the version before (absolute paths, no content key) is
// read: nothing is converted again, nothing doubled, and it is written anew
// in the present form. A moved library is found in it by size and time.
TEST_P(OnDisk, ARecordOfTheEarlierFormIsReadAndWrittenAnew)
{
    root = library.file("Music");
    const QStringList songs{addSong("Music/1.mp3", "Artist", "Album", "One", 1),
                            addSong("Music/2.flac", "Artist", "Album", "Two", 2, songgen::Format::Flac)};
    ASSERT_TRUE(convert().out.contains("Converted: 2,"));
    // The same record as the earlier version wrote it.
    QByteArray earlier = "ripwell-record 1\n";
    for (const QByteArray& line : readFile(docs + "/.ripwell-record").split('\n')) {
        const QList<QByteArray> f = line.split('\t');
        if (f.size() == 7 && !f[0].endsWith('/'))
            earlier += f[0] + '\t' + root.toUtf8() + '/' + f[1] + '\t' + f[2] + '\t' + f[3] + '\t' + f[5] + '\t' + f[6] + '\n';
    }
    ASSERT_TRUE(testsupport::writeFile(docs + "/.ripwell-record", earlier));
    const QByteArray earlierRecord = earlier;
    const Result r = convert();
    EXPECT_TRUE(r.out.contains("Converted: 0, up to date: 2")) << r.out.toStdString();
    EXPECT_TRUE(readFile(docs + "/.ripwell-record").startsWith("ripwell-record 2\n"));

    ASSERT_TRUE(testsupport::writeFile(docs + "/.ripwell-record", earlierRecord));
    ASSERT_TRUE(QDir().rename(root, library.file("Elsewhere")));
    root = library.file("Elsewhere");
    const Result moved = convert();
    EXPECT_TRUE(moved.out.contains("Converted: 0, up to date: 2")) << moved.out.toStdString();
    EXPECT_EQ(outputs(), (QStringList{"Artist/Album/One.mp3", "Artist/Album/Two.flac"}));
}

// A record someone made up names files outside the documents folder, through
// a link, the record itself, error.log and a file of the user's: --prune
// removes none of them.
TEST_P(OnDisk, AHostileRecordMakesPruneRemoveNothingItDidNotMake)
{
    addSong("1.mp3", "Artist", "Album", "One", 1);
    ASSERT_TRUE(convert().out.contains("Converted: 1,"));
    ASSERT_TRUE(testsupport::writeFile(outside.file("song.mp3"), "outside"));
    ASSERT_TRUE(QFile::link(outside.path(), docs + "/Out"));
    ASSERT_TRUE(testsupport::writeFile(docs + "/error.log", "a log"));
    ASSERT_TRUE(testsupport::writeFile(docs + "/Artist/Album/mine.mp3", "the user's own"));
    const auto stampOf = [](const QString& path) {
        const QFileInfo info(path);
        return QByteArray::number(info.size()) + '\t' +
               QByteArray::number(info.lastModified().toMSecsSinceEpoch() * 1000000);
    };
    QByteArray record = readFile(docs + "/.ripwell-record");
    for (const QString& target : {QDir(docs).relativeFilePath(outside.file("song.mp3")),
                                  QStringLiteral("Out/song.mp3"), QStringLiteral(".ripwell-record"),
                                  QStringLiteral("error.log"), QStringLiteral("Artist/Album/mine.mp3")}) {
        const QString onDisk = target.startsWith("..") ? outside.file("song.mp3") : docs + '/' + target;
        record += target.toUtf8() + "\tgone/song.mp3\t1\t1\t0123456789abcdef0123456789abcdef\t" +
                  (target == "Artist/Album/mine.mp3" ? QByteArray("5\t5") : stampOf(onDisk)) + '\n';
    }
    ASSERT_TRUE(testsupport::writeFile(docs + "/.ripwell-record", record));
    const Result r = convert({"--prune"});
    EXPECT_TRUE(r.out.contains("Removed: 0 (")) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(readFile(outside.file("song.mp3")), "outside");
    EXPECT_EQ(readFile(docs + "/error.log"), "a log");
    EXPECT_EQ(readFile(docs + "/Artist/Album/mine.mp3"), "the user's own");
    EXPECT_TRUE(readFile(docs + "/.ripwell-record").startsWith("ripwell-record 2\n"));
    ASSERT_TRUE(QFile::remove(outside.file("song.mp3")));
}

} // namespace

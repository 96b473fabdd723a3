// ripwell-cli writing onto sticks: real FAT32 and exFAT file systems mounted
// with FUSE in the test (and ext4, where the same rules hold), with real runs.
// Whatever the order of songs, names and deletions, every song keeps its own
// file, every file holds its song's audio whole, and nothing outside the
// documents folder is touched.
#include "platform/foundation/TemporaryFiles.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/Stick.h"
#include "tests/support/TestSupport.h"
#include "tools/make_library/SongGenerator.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <gtest/gtest.h>
#include <memory>

using testsupport::readFile;
using testsupport::Stick;
using testsupport::TempDir;

namespace {

struct Result {
    int exitCode = -1;
    QString out, err;
};

Result cli(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("RIPWELL_LIBRARY");
    env.remove("RIPWELL_DOCUMENTS");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(RIPWELL_CLI_PATH), args);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

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
        return cli(QStringList{"--library", library.path(), "--documents", docs, "--yes"} + more);
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

} // namespace

// Playlists through ripwell-cli, a real process over a generated library: the
// written .m3u8 finds every song it lists from wherever the documents folder
// is copied (read line by line here, and by the player's own code), in the
// source's order, and repeated runs keep it in step without ever replacing a
// file of the user's.
#include "platform/foundation/Url.h"
#include "platform/playback/Player.h"
#include "tests/support/CliProcess.h"
#include "tests/support/GeneratedLibrary.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>
#include <gtest/gtest.h>

using testsupport::TempDir;
using namespace Qt::StringLiterals;

namespace {

using Result = testsupport::CliResult;

Result cli(const QStringList& args) { return testsupport::runCli(args); }

// A written playlist as a device reads it: "#EXTM3U", then an "#EXTINF" line
// and a path relative to the playlist's folder for each song. The songs'
// "#EXTINF" texts and the files their paths lead to (empty when none is
// there); a line out of that shape fails the test.
struct Listed {
    QStringList infos;
    QStringList files;
};
Listed readPlaylist(const QString& path)
{
    Listed listed;
    QStringList lines = QString::fromUtf8(testsupport::readFile(path)).split(u'\n');
    EXPECT_EQ(lines.takeFirst(), "#EXTM3U") << path.toStdString();
    EXPECT_EQ(lines.takeLast(), "") << "ends with a line end";
    for (qsizetype i = 0; i + 1 < lines.size(); i += 2) {
        EXPECT_TRUE(lines[i].startsWith("#EXTINF:")) << lines[i].toStdString();
        EXPECT_FALSE(lines[i + 1].contains(u'\\') || lines[i + 1].startsWith(u'/')) << lines[i + 1].toStdString();
        listed.infos << lines[i].mid(8);
        const QString file = QDir::cleanPath(QFileInfo(path).path() + u'/' + lines[i + 1]);
        listed.files << (QFileInfo(file).isFile() ? file : QString());
    }
    EXPECT_EQ(lines.size() % 2, 0) << path.toStdString();
    return listed;
}

class CliPlaylists : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::silencePlatformMessages(); // the player's, without a sound server
        songgen::Options o;
        o.seconds = 2.0;
        o.songs = 6;
        o.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::Flac, songgen::Format::Protected};
        library = new testsupport::GeneratedLibrary(o);
        ASSERT_TRUE(library->error().isEmpty());
    }
    static void TearDownTestSuite()
    {
        delete library;
        testsupport::restorePlatformMessages();
    }
    void SetUp() override
    {
        // A library of its own for each test: the tests change it.
        ASSERT_EQ(QProcess::execute("cp", {"-a", library->path() + "/.", lib.path()}), 0);
    }
    void write(const QString& relative, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(lib.file(relative)).path());
        ASSERT_TRUE(testsupport::writeFile(lib.file(relative), content));
    }
    Result run(const QStringList& args) { return cli(QStringList{"--library", lib.path(), "--documents", docs.path()} + args); }

    static testsupport::GeneratedLibrary* library;
    TempDir lib, docs;
    const QString morning = "The Lanterns/Harbour Lights/01 Morning Tide.mp3";
    const QString why = "The Lanterns/Harbour Lights/02 Why? (Live).m4a";
    const QString copper = "The Lanterns/Harbour Lights/03 Copper Sky.flac";
    const QString anna = "Mira Okafor/Paper Boats/01 Ballad for Anna.m4p"; // copy-protected
    const QString slow = "Mira Okafor/Paper Boats/02 Slow Train.mp3";
    const QString cafe = u"Mira Okafor/Paper Boats/03 Café Noir.m4a"_qs;
};
testsupport::GeneratedLibrary* CliPlaylists::library = nullptr;

TEST_F(CliPlaylists, AWrittenPlaylistFindsItsSongsInTheSourcesOrderWhereverTheFolderIsCopied)
{
    // A song whose conversion fails: an MP3 cut inside a frame.
    songgen::Song cut{lib.file("A/B/Cut.mp3"), songgen::Format::Mp3Cbr, "A", "B", "Cut Short", 2, false};
    QDir().mkpath(lib.file("A/B"));
    ASSERT_TRUE(songgen::writeSong(cut, 4, 1.0, 128000, nullptr));
    QFile f(cut.path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.resize(f.size() * 2 / 5 + 7));
    f.close();
    // One playlist a format: relative Latin-1 with a song twice, a missing
    // song, a stream, a protected and a failing song; PLS; XSPF; absolute
    // paths in UTF-8; one of no songs.
    write("Lists/Party.m3u", ("#EXTM3U\r\n../" + copper + "\r\n../" + cafe + "\r\nhttp://radio.example/live\r\n../" +
                              anna + "\r\n../Nobody/Missing.mp3\r\n../" + copper + "\r\n../A/B/Cut.mp3\r\n../" + slow + "\r\n")
                                 .toLatin1());
    write("Car.pls", ("[playlist]\nFile1=" + slow + "\nFile2=" + morning + "\nNumberOfEntries=2\n").toUtf8());
    write("Road.xspf", "<?xml version=\"1.0\"?><playlist xmlns=\"http://xspf.org/ns/0/\"><trackList><track><location>" +
                           QUrl::toPercentEncoding(why, "/") + "</location></track><track><location>" +
                           QUrl::fromLocalFile(lib.file(cafe)).toEncoded() + "</location></track></trackList></playlist>");
    write(u"Nächte/Night.m3u8"_qs, (lib.file(morning) + u'\n' + lib.file(why) + u'\n').toUtf8());
    write("Empty.m3u8", "#EXTM3U\n");

    const Result r = run({"--playlist", "party", "--playlist", "Car", "--playlist", "Road.xspf", "--playlist", "Night",
                          "--playlist", "Empty"});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString() << r.err.toStdString(); // Cut Short failed
    EXPECT_TRUE(r.out.contains("Converted: 5, up to date: 0, skipped: 1 (protected 1, unreadable 0, unsupported format 0), failed: 1\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("Playlists written: 5 (in " + docs.file("Playlists") + "), entries left out: 3, failed: 1\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("2 playlist entries are no songs of the music library: missing 1, stream 1")) << r.err.toStdString();

    // Every listed song is found from the playlist's own folder, in the
    // source's order, also in a copy of the folder made elsewhere.
    TempDir stick;
    ASSERT_EQ(QProcess::execute("cp", {"-r", docs.path() + "/.", stick.path()}), 0);
    const auto song = [&](const QString& artist, const QString& album, const QString& title) {
        return stick.file(artist + u'/' + album + u'/' + title);
    };
    const QString lanterns = "The Lanterns", harbour = "Harbour Lights", mira = "Mira Okafor", boats = "Paper Boats";
    const struct {
        const char* file;
        QStringList infos, songs;
    } expected[] = {
        {"Party.m3u8",
         {"2,The Lanterns - Copper Sky", u"2,Mira Okafor - Café Noir"_qs, "2,The Lanterns - Copper Sky",
          "2,Mira Okafor - Slow Train"},
         {song(lanterns, harbour, "Copper Sky.flac"), song(mira, boats, u"Café Noir.m4a"_qs),
          song(lanterns, harbour, "Copper Sky.flac"), song(mira, boats, "Slow Train.mp3")}},
        {"Car.m3u8",
         {"2,Mira Okafor - Slow Train", "2,The Lanterns - Morning Tide"},
         {song(mira, boats, "Slow Train.mp3"), song(lanterns, harbour, "Morning Tide.mp3")}},
        {"Road.m3u8",
         {"2,The Lanterns - Why? (Live)", u"2,Mira Okafor - Café Noir"_qs},
         {song(lanterns, harbour, "Why (Live).m4a"), song(mira, boats, u"Café Noir.m4a"_qs)}},
        {"Night.m3u8",
         {"2,The Lanterns - Morning Tide", "2,The Lanterns - Why? (Live)"},
         {song(lanterns, harbour, "Morning Tide.mp3"), song(lanterns, harbour, "Why (Live).m4a")}},
        {"Empty.m3u8", {}, {}},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.file);
        const QString written = stick.file(QStringLiteral("Playlists/") + e.file);
        const Listed listed = readPlaylist(written);
        EXPECT_EQ(listed.infos, e.infos);
        EXPECT_EQ(listed.files, e.songs);
        // The project's own player plays the same files in the same order.
        const playback::Player player(Url::fileURLWithPath(written));
        EXPECT_EQ(player.queue(), e.songs);
    }
    QStringList inPlaylists = QDir(docs.file("Playlists")).entryList(QDir::Files | QDir::Hidden);
    inPlaylists.sort();
    EXPECT_EQ(inPlaylists, QStringList({"Car.m3u8", "Empty.m3u8", "Night.m3u8", "Party.m3u8", "Road.m3u8"}))
        << "no temporary left";

    // The playlists as the library lists them, and a name it does not know.
    const Result list = run({"--list", "--playlists"});
    EXPECT_EQ(list.out, u"Car\t2\t0\tCar.pls\nEmpty\t0\t0\tEmpty.m3u8\nNight\t2\t0\tNächte/Night.m3u8\n"
                        "Party\t5\t3\tLists/Party.m3u\nRoad\t2\t0\tRoad.xspf\n"_qs);
    const Result unknown = run({"--playlist", "Nowhere"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains("the music library has no playlist Nowhere")) << unknown.err.toStdString();
}

TEST_F(CliPlaylists, RepeatedRunsKeepThePlaylistInStepAndNeverReplaceAUsersFile)
{
    // A file of the user's where a playlist would go.
    ASSERT_TRUE(QDir().mkpath(docs.file("Playlists")));
    ASSERT_TRUE(testsupport::writeFile(docs.file("Playlists/Car.m3u8"), "#EXTM3U\nmine.mp3\n"));
    write("Car.m3u8", (slow + "\n").toUtf8());
    write("Lists/Party.m3u8", ("../" + copper + "\n../" + morning + "\n../" + slow + "\n").toUtf8());
    const Result first = run({"--playlist", "Party", "--playlist", "Car"});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(testsupport::readFile(docs.file("Playlists/Car.m3u8")), "#EXTM3U\nmine.mp3\n");
    EXPECT_EQ(readPlaylist(docs.file("Playlists/Car (2).m3u8")).files, QStringList({docs.file("Mira Okafor/Paper Boats/Slow Train.mp3")}));
    const QStringList before = readPlaylist(docs.file("Playlists/Party.m3u8")).files;
    ASSERT_EQ(before.size(), 3);

    // The song moves in the library (and the playlist with it), another
    // leaves the playlist; the same run once more, pruning too.
    ASSERT_TRUE(QDir().rename(lib.file("The Lanterns"), lib.file("Lanterns, The")));
    write("Lists/Party.m3u8", ("../Lanterns, The/Harbour Lights/03 Copper Sky.flac\n../" + slow + "\n").toUtf8());
    const Result second = run({"--playlist", "Party", "--playlist", "Car", "--prune"});
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_TRUE(second.out.contains("Converted: 0, up to date: 2,")) << second.out.toStdString();
    EXPECT_EQ(readPlaylist(docs.file("Playlists/Party.m3u8")).files, QStringList({before[0], before[2]}));
    EXPECT_TRUE(QFile::exists(docs.file("Playlists/Car (2).m3u8"))) << "no song, so --prune has nothing to say";
    EXPECT_FALSE(QFile::exists(docs.file("Playlists/Party (2).m3u8")));

    // Once the user has changed it, it is the user's: the next run writes the
    // playlist under the next name, and says so in a dry run first.
    ASSERT_TRUE(testsupport::writeFile(docs.file("Playlists/Party.m3u8"), "#EXTM3U\n# my own now\n"));
    const Result plan = run({"--playlist", "Party", "--dry-run"});
    EXPECT_TRUE(plan.out.contains("write playlist\tPlaylists/Party (2).m3u8\tLists/Party.m3u8\n")) << plan.out.toStdString();
    const Result third = run({"--playlist", "Party"});
    ASSERT_EQ(third.exitCode, 0) << third.err.toStdString();
    EXPECT_EQ(testsupport::readFile(docs.file("Playlists/Party.m3u8")), "#EXTM3U\n# my own now\n");
    EXPECT_EQ(readPlaylist(docs.file("Playlists/Party (2).m3u8")).files, QStringList({before[0], before[2]}));
}

} // namespace

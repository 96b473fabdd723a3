// The playlists of a music folder: files written by hand as players and other
// computers write them, read by a real scan and resolved against its songs.
#include "platform/library/MediaLibrary.h"
#include "tests/support/GeneratedLibrary.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <gtest/gtest.h>

using medialibrary::MediaLibrary;
using medialibrary::Playlist;
using medialibrary::PlaylistProblem;

using namespace Qt::StringLiterals;

namespace {

// What a playlist resolved to: its songs by file name, then "!problem location"
// for each entry that is none.
QStringList outcome(const Playlist& playlist)
{
    QStringList out;
    for (const medialibrary::MediaItem& item : playlist.items)
        out << QFileInfo(item.filePath()).fileName();
    for (const medialibrary::UnresolvedEntry& entry : playlist.unresolved) {
        const char* problem = entry.problem == PlaylistProblem::Outside   ? "outside"
                              : entry.problem == PlaylistProblem::Missing ? "missing"
                              : entry.problem == PlaylistProblem::Stream  ? "stream"
                                                                          : "not a song";
        out << QStringLiteral("!%1 %2").arg(QLatin1String(problem), entry.location);
    }
    return out;
}

class PlaylistTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        songgen::Options options;
        options.seconds = 0.5;
        options.songs = 6;
        options.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::Flac, songgen::Format::Protected};
        library_ = new testsupport::GeneratedLibrary(options, "Music");
        ASSERT_TRUE(library_->error().isEmpty()) << library_->error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete library_;
        library_ = nullptr;
    }
    static QString root() { return library_->path(); }
    static void write(const QString& relative, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(root() + u'/' + relative).path());
        ASSERT_TRUE(testsupport::writeFile(root() + u'/' + relative, content));
    }
    static testsupport::GeneratedLibrary* library_;
};
testsupport::GeneratedLibrary* PlaylistTest::library_ = nullptr;

TEST_F(PlaylistTest, EveryFlavourAndFormatResolvesToTheLibrarysSongsInItsOrderAndSaysWhyNot)
{
    const QString morning = "The Lanterns/Harbour Lights/01 Morning Tide.mp3";
    const QString copper = "The Lanterns/Harbour Lights/03 Copper Sky.flac";
    const QString cafe = u"Mira Okafor/Paper Boats/03 Café Noir.m4a"_qs;
    const QString slow = "Mira Okafor/Paper Boats/02 Slow Train.mp3";
    const QString anna = "Mira Okafor/Paper Boats/01 Ballad for Anna.m4p"; // copy-protected
    for (const QString& song : {morning, copper, cafe, slow, anna})
        ASSERT_TRUE(QFile::exists(root() + u'/' + song)) << song.toStdString();
    // A file of the library that is no song, two songs whose names differ by
    // case alone, a song outside the library, and the library through a link.
    write("cover.jpg", "not music");
    ASSERT_TRUE(QDir().mkpath(root() + "/Twins"));
    ASSERT_TRUE(QFile::copy(root() + u'/' + slow, root() + "/Twins/Song.mp3"));
    ASSERT_TRUE(QFile::copy(root() + u'/' + slow, root() + "/Twins/SONG.mp3"));
    testsupport::TempDir elsewhere;
    ASSERT_TRUE(QFile::copy(root() + u'/' + slow, elsewhere.file("Outside.mp3")));
    const QString link = elsewhere.file("Music link");
    ASSERT_TRUE(QFile::link(root(), link));

    // Relative, absolute, file URLs, through the link, a stream, outside, a
    // song listed twice, a protected song, no song: UTF-8 with a BOM and CR LF.
    const QString fileUrl = QString::fromLatin1(QUrl::fromLocalFile(root() + u'/' + cafe).toEncoded());
    write("Lists/Every Flavour.m3u8",
          ("\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:1,The Lanterns - Morning Tide\r\n../" + morning + "\r\n" + root() + u'/' +
           copper + "\r\n" + fileUrl + "\r\n  file://localhost" + root() + u'/' + slow + "  \r\n\r\n" + link + u'/' +
           morning + "\r\nhttp://radio.example/stream\r\n" + elsewhere.file("Outside.mp3") +
           "\r\n../Nobody/Missing.mp3\r\n../" + morning + "\r\n../" + anna + "\r\n../cover.jpg\r\n")
              .toUtf8());
    // Made on Windows: Latin-1, "\" separators, another case, a drive.
    write("Lists/Windows.m3u",
          QString("..\\THE LANTERNS\\harbour lights\\02 WHY? (LIVE).M4A\r\n"
                  u"D:\\Users\\Ann\\Music\\Mira Okafor\\Paper Boats\\03 Café Noir.m4a\r\n"_qs
                  "..\\twins\\song.mp3\r\nC:\\Elsewhere\\Nothing.mp3\r\n")
              .toLatin1());
    // PLS in the order of its numbers, XSPF with URIs, and one of no songs.
    write("Lists/Mix.pls", ("[playlist]\nFile2=../" + slow + "\nTitle2=Slow\nFile1=../" + copper +
                            "\nNumberOfEntries=2\nVersion=2\n").toUtf8());
    write("Mix.xspf", R"(<?xml version="1.0" encoding="UTF-8"?>
<playlist version="1" xmlns="http://xspf.org/ns/0/"><title>Another name</title><trackList>
<track><location>Mira%20Okafor/Paper%20Boats/03%20Caf%C3%A9%20Noir.m4a</location><title>x</title></track>
<track><title>no location</title></track>
<track><location>)" + QUrl::fromLocalFile(root() + u'/' + morning).toEncoded() + R"(</location></track>
<track><location>https://example.org/live.ogg</location></track>
</trackList></playlist>
)");
    write("Lists/Empty.pls", "[playlist]\nNumberOfEntries=0\n");

    const auto library = MediaLibrary::scan(link);
    const std::vector<Playlist> playlists = library->playlists();
    QStringList names, places;
    for (const Playlist& p : playlists) {
        names << p.name;
        places << p.place;
    }
    EXPECT_EQ(names, QStringList({"Empty", "Every Flavour", "Mix", "Mix", "Windows"}));
    EXPECT_EQ(places, QStringList({"Lists/Empty.pls", "Lists/Every Flavour.m3u8", "Lists/Mix.pls", "Mix.xspf",
                                   "Lists/Windows.m3u"}));
    ASSERT_EQ(playlists.size(), 5u);
    EXPECT_EQ(outcome(playlists[0]), QStringList());
    EXPECT_EQ(outcome(playlists[1]),
              QStringList({"01 Morning Tide.mp3", "03 Copper Sky.flac", u"03 Café Noir.m4a"_qs, "02 Slow Train.mp3",
                           "01 Morning Tide.mp3", "01 Morning Tide.mp3", "01 Ballad for Anna.m4p",
                           "!stream http://radio.example/stream", "!outside " + elsewhere.file("Outside.mp3"),
                           "!missing ../Nobody/Missing.mp3", "!not a song ../cover.jpg"}));
    EXPECT_TRUE(playlists[1].items[6].assetURL().isEmpty()) << "listed, and left out as the library leaves it out";
    EXPECT_EQ(outcome(playlists[2]), QStringList({"03 Copper Sky.flac", "02 Slow Train.mp3"}));
    EXPECT_EQ(outcome(playlists[3]), QStringList({u"03 Café Noir.m4a"_qs, "01 Morning Tide.mp3",
                                                  "!stream https://example.org/live.ogg"}));
    EXPECT_EQ(outcome(playlists[4]),
              QStringList({"02 Why? (Live).m4a", u"03 Café Noir.m4a"_qs, "!missing ..\\twins\\song.mp3",
                           "!outside C:\\Elsewhere\\Nothing.mp3"}));
    // The songs are the library's own.
    EXPECT_EQ(playlists[2].items[0], *std::find_if(library->items().begin(), library->items().end(), [&](const auto& i) {
        return i.filePath() == library->root() + u'/' + copper;
    }));
}

} // namespace

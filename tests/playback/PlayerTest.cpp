#include "platform/playback/Player.h"
#include "tests/support/TestSupport.h"
#include "tools/make_library/SongGenerator.h"

#include <QDir>
#include <QProcess>
#include <QUrl>
#include <gtest/gtest.h>

using testsupport::TempDir;

namespace {

// Runs the probe on `file` with `env` added to the environment; returns its
// output line, or a description of how it ended when it did not end well.
QString probe(const QString& file, const QStringList& env, const QStringList& options = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& kv : env)
        e.insert(kv.section('=', 0, 0), kv.section('=', 1));
    p.setProcessEnvironment(e);
    p.start(QStringLiteral(RIPWELL_PLAYER_PROBE), options + QStringList{file});
    if (!p.waitForFinished(60000))
        return QStringLiteral("hangs");
    if (p.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("crashed");
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

class PlayerBackend : public ::testing::Test {
protected:
    void SetUp() override
    {
        song_ = dir_.file("Song.mp3");
        songgen::Song s{song_, songgen::Format::Mp3Cbr, "A", "B", "Song", 1, false};
        QString error;
        ASSERT_TRUE(songgen::writeSong(s, 3, 2.0, 128000, &error)) << error.toStdString();
    }
    TempDir dir_;
    QString song_;
};

TEST_F(PlayerBackend, PlaysWithTheInstalledPlugins)
{
    const QString out = probe(song_, {});
    EXPECT_TRUE(out.startsWith("available=1 playing=1 position=")) << out.toStdString();
    EXPECT_GT(out.section('=', -1).toLongLong(), 0) << out.toStdString();
}

// A playlist plays the files it lists that are there, one after another:
// the end of the first starts the next.
TEST_F(PlayerBackend, APlaylistPlaysItsFilesOneAfterAnother)
{
    QDir().mkpath(dir_.file("Lists"));
    ASSERT_TRUE(testsupport::writeFile(dir_.file("Lists/Two.m3u8"),
                                       "#EXTM3U\n#EXTINF:2,A - Song\n../Song.mp3\nhttp://radio.example/live\n"
                                       "../Gone.mp3\n" + QUrl::fromLocalFile(song_).toEncoded() + "\n"));
    const QString out = probe(dir_.file("Lists/Two.m3u8"), {});
    EXPECT_TRUE(out.startsWith("available=1 playing=1 position=")) << out.toStdString();
    EXPECT_TRUE(out.endsWith(" queue=2 at=1")) << out.toStdString();
}

// A player that outlives the application (the shared one does) must not leave
// GStreamer at work: a streaming thread that loads a decoder while the process
// finalizes its libraries runs their initializers twice, and libgomp aborts.
TEST_F(PlayerBackend, EndingTheApplicationStopsThePlayersStreamingThreads)
{
    for (int round = 0; round < 3; ++round)
        EXPECT_EQ(probe(song_, {}, {"--end-at-once"}).toStdString(), "released=1 loaded-after-end=0") << "round " << round;
}

TEST_F(PlayerBackend, MissingPluginsLeaveASilentPlayerInsteadOfACrash)
{
    const QString empty = dir_.file("empty");
    QDir().mkpath(empty);
    const QStringList withoutGStreamer = {"GST_PLUGIN_SYSTEM_PATH_1_0=" + empty, "GST_PLUGIN_PATH_1_0=" + empty,
                                          "GST_REGISTRY_1_0=" + dir_.file("registry.bin")};
    EXPECT_EQ(probe(song_, withoutGStreamer), "available=0 playing=0 position=0");
    // No Qt Multimedia backend plugin at all, and a backend that is not installed.
    EXPECT_EQ(probe(song_, {"QT_PLUGIN_PATH=" + empty, "QT_MEDIA_BACKEND=none"}), "available=0 playing=0 position=0");
}

} // namespace

#include "Classes/AudioPlayerHelper.h"
#include "platform/library/MediaLibrary.h"
#include "platform/playback/Player.h"
#include "tests/support/TestSupport.h"
#include "tools/make_library/SongGenerator.h"

#include <QMediaPlayer>
#include <QPointer>
#include <gtest/gtest.h>

using testsupport::processEventsUntil;
using testsupport::TempDir;

namespace {

class PreviewPlayer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::silencePlatformMessages();
        library = new TempDir;
        const std::pair<songgen::Format, const char*> songs[] = {
            {songgen::Format::Mp3Cbr, "Morning Tide.mp3"},
            {songgen::Format::Aac, "Copper Sky.m4a"},
            {songgen::Format::WavId3, "Slow Train.wav"},
        };
        unsigned seed = 7;
        for (const auto& [format, name] : songs) {
            songgen::Song s{library->file(name), format, "Artist", "Album", QString(name).section('.', 0, 0), 1, false};
            QString error;
            ASSERT_TRUE(songgen::writeSong(s, seed++, 3.0, 128000, &error)) << error.toStdString();
        }
        testsupport::writeFile(library->file("error.log"), "[ERROR] [conversionLoop] Slow Train\n");
        scanned = new std::shared_ptr<const medialibrary::MediaLibrary>(medialibrary::MediaLibrary::scan(library->path()));
    }
    static void TearDownTestSuite()
    {
        AudioPlayerHelper::sharedInstance()->stopPlayback();
        delete scanned;
        delete library;
        library = nullptr;
        testsupport::restorePlatformMessages();
    }
    void TearDown() override { AudioPlayerHelper::sharedInstance()->stopPlayback(); }

    static Url file(const char* name) { return Url::fileURLWithPath(library->file(name)); }
    static playback::Player* current() { return AudioPlayerHelper::sharedInstance()->player(); }
    // Waits until the held player has played past `ms` milliseconds.
    static bool playsPast(qint64 ms)
    {
        return processEventsUntil([&] { return current() && current()->position() > ms; });
    }

    static TempDir* library;
    static std::shared_ptr<const medialibrary::MediaLibrary>* scanned;
};

TempDir* PreviewPlayer::library = nullptr;
std::shared_ptr<const medialibrary::MediaLibrary>* PreviewPlayer::scanned = nullptr;

TEST_F(PreviewPlayer, StopBeforeAnythingPlayedSetsUpOnceAndStaysIdle)
{
    AudioPlayerHelper* helper = AudioPlayerHelper::sharedInstance();
    EXPECT_EQ(helper, AudioPlayerHelper::sharedInstance());
    EXPECT_TRUE(playback::audioSessionIsSetUp());
    helper->stopPlayback();
    helper->stopPlayback();
    EXPECT_EQ(helper->player(), nullptr);
}

TEST_F(PreviewPlayer, FileAndAssetURLsPlay)
{
    ASSERT_TRUE(playback::backendAvailable());
    AudioPlayerHelper::sharedInstance()->playbackMediaItem(file("Morning Tide.mp3"));
    ASSERT_NE(current(), nullptr);
    EXPECT_TRUE(playsPast(300)) << "the MP3 file does not advance";

    // An asset URL plays from the library it is handed with.
    const auto& lib = *scanned;
    for (const auto& item : lib->items()) {
        SCOPED_TRACE(item.title().toStdString());
        const Url asset = item.assetURL();
        ASSERT_FALSE(asset.isFileURL());
        AudioPlayerHelper::sharedInstance()->playbackMediaItem(asset, lib.get());
        EXPECT_EQ(current()->filePath(), item.filePath());
        EXPECT_TRUE(playsPast(300)) << "the asset URL does not advance";
    }
}

TEST_F(PreviewPlayer, NewPlaybackEndsTheOneBeforeAndStartsFromTheBeginning)
{
    AudioPlayerHelper::sharedInstance()->playbackMediaItem(file("Slow Train.wav"));
    ASSERT_TRUE(playsPast(500));
    QPointer<QMediaPlayer> first = current()->mediaPlayer();
    QStringList events;
    QObject::connect(first, &QMediaPlayer::playbackStateChanged, [&](QMediaPlayer::PlaybackState s) {
        if (s != QMediaPlayer::PlayingState)
            events << "first paused";
    });

    // The same URL again: a new player, from the beginning.
    AudioPlayerHelper::sharedInstance()->playbackMediaItem(file("Slow Train.wav"));
    EXPECT_TRUE(first.isNull());
    ASSERT_FALSE(events.isEmpty());
    EXPECT_EQ(events.first(), "first paused");
    QMediaPlayer* second = current()->mediaPlayer();
    EXPECT_LT(second->position(), 500);
    EXPECT_TRUE(playsPast(200));

    // A different URL: the second player is gone before the third one plays.
    QPointer<QMediaPlayer> secondGuard = second;
    AudioPlayerHelper::sharedInstance()->playbackMediaItem(file("Copper Sky.m4a"));
    EXPECT_TRUE(secondGuard.isNull());
    EXPECT_TRUE(playsPast(200));
}

TEST_F(PreviewPlayer, UnplayableURLsLeaveASilentPlayerAndTheNextCallWorks)
{
    testsupport::LogCapture log;
    for (const Url& url : {file("error.log"), file("Gone.mp3"), Url::fromString("library://item/item.mp3?id=42")}) {
        SCOPED_TRACE(url.absoluteString().toStdString());
        AudioPlayerHelper::sharedInstance()->playbackMediaItem(url);
        ASSERT_NE(current(), nullptr);
        // Let the backend load and give up.
        processEventsUntil([] {
            QMediaPlayer* p = current()->mediaPlayer();
            return !p || p->mediaStatus() == QMediaPlayer::InvalidMedia || p->mediaStatus() == QMediaPlayer::NoMedia;
        }, 3000);
        EXPECT_EQ(current()->position(), 0);
    }
    AudioPlayerHelper::sharedInstance()->stopPlayback();
    EXPECT_EQ(current(), nullptr);
    AudioPlayerHelper::sharedInstance()->playbackMediaItem(file("Morning Tide.mp3"));
    EXPECT_TRUE(playsPast(200));
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('\n').toStdString();
}

} // namespace

#include "Classes/AudioPlayerHelper.h"

#include "platform/playback/Player.h"

namespace {
AudioPlayerHelper* g_sharedInstance = nullptr;
}

AudioPlayerHelper* AudioPlayerHelper::sharedInstance()
{
    if (!g_sharedInstance) {
        g_sharedInstance = new AudioPlayerHelper;
        setupAudioSession();
        g_sharedInstance->setPlayer(nullptr);
    }
    return g_sharedInstance;
}

void AudioPlayerHelper::setupAudioSession()
{
    playback::setupAudioSession();
}

AudioPlayerHelper::AudioPlayerHelper() = default;

AudioPlayerHelper::~AudioPlayerHelper() = default;

void AudioPlayerHelper::playbackMediaItem(const Url& url, const medialibrary::Library* library)
{
    if (player_)
        player_->pause();
    setPlayer(std::make_unique<playback::Player>(url, library));
    player_->play();
}

void AudioPlayerHelper::stopPlayback()
{
    if (player_)
        player_->pause();
    setPlayer(nullptr);
}

void AudioPlayerHelper::setPlayer(std::unique_ptr<playback::Player> player)
{
    // The new player is in place before the old one goes away.
    std::swap(player_, player);
}

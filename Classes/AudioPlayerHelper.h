#pragma once
// The one audio player of the application. Every screen that plays sound goes
// through it, so starting a playback ends the one before and two sounds never
// overlap. It plays file URLs and a library's asset URLs (resolved to the
// song's file by that library). Nothing is reported: a URL that cannot be
// played leaves a silent player held until the next call.
//
//   AudioPlayerHelper::sharedInstance()->playbackMediaItem(url);
//   AudioPlayerHelper::sharedInstance()->stopPlayback();
//
// Main thread only. Callers fetch the instance at every use and never keep it.

#include "platform/foundation/Url.h"

#include <memory>

namespace medialibrary {
class Library;
}
namespace playback {
class Player;
}

class AudioPlayerHelper {
public:
    // The single instance, created on first use (which also sets up the
    // playback category) and never released.
    static AudioPlayerHelper* sharedInstance();
    // Puts the application's audio into the playback category; once per process.
    static void setupAudioSession();

    // Ends the current playback and starts playing `url` (a file URL, or an
    // asset URL of `library`) with a new player.
    void playbackMediaItem(const Url& url, const medialibrary::Library* library = nullptr);
    // Ends the current playback and releases the player.
    void stopPlayback();

    // The player in use, or nullptr. Storing a new one releases the previous.
    playback::Player* player() const { return player_.get(); }
    void setPlayer(std::unique_ptr<playback::Player> player);

    ~AudioPlayerHelper();

private:
    AudioPlayerHelper();
    std::unique_ptr<playback::Player> player_;
};

#pragma once
// The platform player: one QMediaPlayer with its QAudioOutput for one URL, on
// Qt Multimedia's GStreamer backend. File URLs play as they are; a library's
// asset URLs are resolved to the song's file by that library first. A
// playlist file (".m3u8", ".m3u", ".pls", ".xspf") plays the files it lists,
// in its order, one after another.
//
// A player loads its media in the background and never reports a failure: a
// URL that resolves to nothing, a missing file or one that holds no audio
// leaves a silent player. Where no media backend can be loaded (the Qt plugin
// or GStreamer's elements are missing) the player stays silent too, instead of
// creating a QMediaPlayer that would crash.
//
// Every player lets go of its media when the QCoreApplication ends: GStreamer's
// streaming threads are stopped then, before the process runs its exit
// handlers (a streaming thread that loads a decoder while the libraries are
// being finalized starts their initializers a second time).
//
// Main thread only.

#include "platform/foundation/Url.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QAudioOutput;
class QMediaPlayer;
namespace medialibrary {
class Library;
}

namespace playback {

// Declares the application's sound as media playback and picks the GStreamer
// backend. Runs its work once per process; later calls do nothing. Call it
// before the first Player is made (Player does so itself).
void setupAudioSession();
bool audioSessionIsSetUp();

// Whether Qt Multimedia's GStreamer backend can be loaded in this process and
// finds the GStreamer elements it needs. Checked once.
bool backendAvailable();

class Player : public QObject {
    Q_OBJECT
public:
    // A new player for `url` (a file URL, or an asset URL of `library`);
    // loading starts in the background.
    explicit Player(const Url& url, const medialibrary::Library* library = nullptr, QObject* parent = nullptr);
    ~Player() override;

    // Starts playing from the beginning as soon as the media is loaded.
    void play();
    // Stops the sound at once.
    void pause();

    Url url() const { return url_; }
    // The file the URL resolved to, empty when it resolved to nothing.
    QString filePath() const { return filePath_; }
    // For a playlist file: the files it lists that are there (links
    // followed), in its order, each as an absolute path; what it plays.
    // Empty for anything else.
    const QStringList& queue() const { return queue_; }
    // The position in queue() of the file playing or next to play.
    int queuePosition() const { return queuePosition_; }

    // Whether the player has been told to play and has not been paused.
    bool isPlaying() const;
    // Playback position in milliseconds (0 for a silent player).
    qint64 position() const;
    // The underlying media player, or nullptr when none could be made.
    QMediaPlayer* mediaPlayer() const { return player_; }

private:
    // Stops and deletes the media player and its output; the player is silent
    // from then on.
    void release();
    // Releases every player that exists; run as the application ends.
    static void releaseAll();

    // Plays queue() from `position` on; the end of each file starts the next.
    void playQueueFrom(int position);

    Url url_;
    QString filePath_;
    QStringList queue_;
    int queuePosition_ = 0;
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* output_ = nullptr;
};

} // namespace playback

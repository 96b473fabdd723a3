#include "platform/playback/Player.h"

#include "platform/foundation/PathString.h"
#include "platform/library/Library.h"
#include "platform/library/PlaylistFile.h"
#include "platform/playback/GStreamerCheck.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace playback {

namespace {

// A file URL that carries the path's own bytes, also where they are not UTF-8
// (percent-encoded, as GStreamer reads them back).
QUrl localFileUrl(const QString& absolutePath)
{
    if (!path::hasUndecodableBytes(absolutePath))
        return QUrl::fromLocalFile(absolutePath);
    return QUrl::fromEncoded("file://" + path::native(absolutePath).toPercentEncoding("/"), QUrl::StrictMode);
}

bool g_sessionSetUp = false;

// The players that exist, so that they can be released when the application
// ends; and whether that release is registered with the current application.
std::vector<Player*> g_players;
bool g_releaseRegistered = false;

// Qt Multimedia picks its backend from QT_MEDIA_BACKEND when the first media
// object is made. Qt 6.4 dereferences a missing backend, so the plugin's file
// is looked for in Qt's plugin folders before any QMediaPlayer exists.
// `backend` is the backend's name ("gstreamer").
bool backendPluginPresent(const QString& backend)
{
    QStringList folders = QCoreApplication::libraryPaths();
    const QByteArray extra = qgetenv("QT_PLUGIN_PATH");
    if (!extra.isEmpty())
        folders += QString::fromLocal8Bit(extra).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        const QDir dir(folder + QStringLiteral("/multimedia"));
        if (!dir.entryList({QStringLiteral("*%1mediaplugin*").arg(backend)}, QDir::Files).isEmpty())
            return true;
    }
    return false;
}

} // namespace

void setupAudioSession()
{
    if (g_sessionSetUp)
        return;
    g_sessionSetUp = true;
    // The GStreamer backend; a choice the user made in the environment stands.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
    // Tell the sound server that this is music playback (PulseAudio and
    // PipeWire read the stream's role from here).
    if (qEnvironmentVariableIsEmpty("PULSE_PROP_media.role"))
        qputenv("PULSE_PROP_media.role", "music");
}

bool audioSessionIsSetUp()
{
    return g_sessionSetUp;
}

bool backendAvailable()
{
    static const bool available = [] {
        const QString backend = qEnvironmentVariable("QT_MEDIA_BACKEND", QStringLiteral("gstreamer"));
        if (!backendPluginPresent(backend))
            return false;
        return backend != u"gstreamer" || gstreamerElementsPresent();
    }();
    return available;
}

namespace {

// The files the playlist file at `path` lists that are there, in its order.
QStringList playlistQueue(const QString& path)
{
    const QString folder = path::deletingLastComponent(QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path));
    QStringList queue;
    for (const QString& location : medialibrary::playlistfile::readEntries(medialibrary::playlistfile::readFile(path), path)) {
        const QString file = medialibrary::playlistfile::filePathOf(location, folder);
        if (!file.isEmpty() && QFileInfo(file).isFile())
            queue.append(file);
    }
    return queue;
}

} // namespace

Player::Player(const Url& url, const medialibrary::Library* library, QObject* parent) : QObject(parent), url_(url)
{
    setupAudioSession();
    filePath_ = medialibrary::fileForURL(url, library);
    if (medialibrary::playlistfile::isPlaylistFileName(filePath_))
        queue_ = playlistQueue(filePath_);
    if (!backendAvailable())
        return;
    g_players.push_back(this);
    if (!g_releaseRegistered && QCoreApplication::instance()) {
        qAddPostRoutine(&Player::releaseAll);
        g_releaseRegistered = true;
    }
    player_ = new QMediaPlayer(this);
    output_ = new QAudioOutput(this);
    player_->setAudioOutput(output_);
    if (!queue_.isEmpty()) {
        connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
            // A file that ends, or that cannot be played, gives way to the next.
            if ((status == QMediaPlayer::EndOfMedia || status == QMediaPlayer::InvalidMedia) &&
                queuePosition_ + 1 < queue_.size())
                playQueueFrom(queuePosition_ + 1);
        });
        player_->setSource(localFileUrl(queue_.front()));
        return;
    }
    // An empty source for a URL that resolves to nothing, or a playlist that
    // lists nothing that is there: silence, no error.
    if (!filePath_.isEmpty() && !medialibrary::playlistfile::isPlaylistFileName(filePath_))
        player_->setSource(localFileUrl(QDir::isAbsolutePath(filePath_) ? filePath_ : QDir::current().absoluteFilePath(filePath_)));
}

void Player::playQueueFrom(int position)
{
    queuePosition_ = position;
    player_->setSource(localFileUrl(queue_.at(position)));
    player_->play();
}

Player::~Player()
{
    g_players.erase(std::remove(g_players.begin(), g_players.end(), this), g_players.end());
    release();
}

void Player::release()
{
    if (!player_)
        return;
    player_->stop();
    // Deleting the media player takes its pipeline down to the null state,
    // which waits for the streaming threads to stop.
    delete player_;
    delete output_;
    player_ = nullptr;
    output_ = nullptr;
}

void Player::releaseAll()
{
    g_releaseRegistered = false;
    for (Player* player : g_players)
        player->release();
}

void Player::play()
{
    if (player_ && !player_->source().isEmpty())
        player_->play();
}

void Player::pause()
{
    if (player_)
        player_->pause();
}

bool Player::isPlaying() const
{
    return player_ && player_->playbackState() == QMediaPlayer::PlayingState;
}

qint64 Player::position() const
{
    return player_ ? player_->position() : 0;
}

} // namespace playback

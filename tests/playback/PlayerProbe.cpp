// player-probe FILE: plays FILE through playback::Player until its position
// has advanced (at most 20 s; half a second for a player without backend) and
// prints "available=0|1 playing=0|1 position=MS". The player tests run it in
// environments that a test process cannot change for itself once Qt
// Multimedia is loaded (no GStreamer plugins, no backend plugin).
#include "platform/playback/Player.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    playback::Player player(Url::fileURLWithPath(QString::fromLocal8Bit(argv[1])));
    player.play();
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        const bool advanced = player.isPlaying() && player.position() > 0;
        const bool silentLongEnough = !player.mediaPlayer() && clock.elapsed() > 500;
        if (advanced || silentLongEnough || clock.elapsed() > 20000)
            app.quit();
    });
    poll.start(20);
    app.exec();
    std::printf("available=%d playing=%d position=%lld\n", playback::backendAvailable() ? 1 : 0,
                player.isPlaying() ? 1 : 0, static_cast<long long>(player.position()));
    return 0;
}

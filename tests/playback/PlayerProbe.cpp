// player-probe FILE: plays FILE through playback::Player until its position
// has advanced (at most 20 s; half a second for a player without backend) and
// prints "available=0|1 playing=0|1 position=MS". For a playlist file: until
// its last file plays, then " queue=N at=I" after that. The player tests run it in
// environments that a test process cannot change for itself once Qt
// Multimedia is loaded (no GStreamer plugins, no backend plugin).
//
// player-probe --end-at-once FILE: starts playing FILE, ends the application
// at once (the player outlives it, as the application's shared player does),
// then waits half a second and prints "released=0|1 loaded-after-end=N": whether
// the player let go of its media, and how many shared objects were loaded
// after the application had ended (a streaming thread still at work loads its
// decoders then).
#include "platform/playback/Player.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <link.h>
#include <memory>
#include <thread>

namespace {

int loadedObjects()
{
    int count = 0;
    dl_iterate_phdr([](dl_phdr_info*, size_t, void* data) { return ++*static_cast<int*>(data), 0; }, &count);
    return count;
}

int endAtOnce(int argc, char** argv)
{
    auto app = std::make_unique<QCoreApplication>(argc, argv);
    playback::Player player(Url::fileURLWithPath(QString::fromLocal8Bit(argv[2])));
    player.play();
    QCoreApplication::processEvents();
    app.reset();
    const int atEnd = loadedObjects();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::printf("released=%d loaded-after-end=%d\n", player.mediaPlayer() ? 0 : 1, loadedObjects() - atEnd);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--end-at-once") == 0)
        return endAtOnce(argc, argv);
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    playback::Player player(Url::fileURLWithPath(QString::fromLocal8Bit(argv[1])));
    player.play();
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        // A playlist: until its last file plays.
        const bool last = player.queuePosition() + 1 >= player.queue().size();
        const bool advanced = last && player.isPlaying() && player.position() > 0;
        const bool silentLongEnough = !player.mediaPlayer() && clock.elapsed() > 500;
        if (advanced || silentLongEnough || clock.elapsed() > 20000)
            app.quit();
    });
    poll.start(20);
    app.exec();
    std::printf("available=%d playing=%d position=%lld", playback::backendAvailable() ? 1 : 0,
                player.isPlaying() ? 1 : 0, static_cast<long long>(player.position()));
    if (!player.queue().isEmpty())
        std::printf(" queue=%lld at=%d", static_cast<long long>(player.queue().size()), player.queuePosition());
    std::printf("\n");
    return 0;
}

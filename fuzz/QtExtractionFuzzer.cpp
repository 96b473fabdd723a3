// The QuickTime audio extraction on arbitrary movies: it must never crash,
// never read or write out of bounds, and on success the output must be a
// part of the movie (the payload of one of its atoms).
#include "Classes/MediaImport.h"
#include "platform/foundation/Log.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

QString scratchDirectory()
{
    const QString base = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    const QString dir = base + QStringLiteral("/ripwell-fuzz-%1").arg(::getpid());
    QDir().mkpath(dir);
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString dir = [] {
        applog::setSink([](const applog::Entry&) {});
        return scratchDirectory();
    }();
    const QString movie = dir + QStringLiteral("/in.mov");
    const QString output = dir + QStringLiteral("/out.mp3");
    {
        QFile f(movie);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    QFile::remove(output);
    const bool ok = MediaImport::extractQTMovie(Url::fileURLWithPath(movie), Url::fileURLWithPath(output));
    if (ok) {
        QFile f(output);
        if (!f.open(QIODevice::ReadOnly))
            std::abort();
        const QByteArray payload = f.readAll();
        const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
        if (!payload.isEmpty() && !input.contains(payload))
            std::abort(); // output that the movie does not hold
    }
    return 0;
}

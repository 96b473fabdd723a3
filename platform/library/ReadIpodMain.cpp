// ripwell-read-ipod FOLDER: reads the iPod database in FOLDER with libgpod and
// prints it (or what went wrong) as one JSON document on its output; the
// program reads it back with medialibrary::ipod::readDatabase(). A process of
// its own, so that a database on which libgpod aborts or loops costs the
// program an error message, never itself. Writes nothing anywhere.

#include "platform/foundation/PathString.h"
#include "platform/library/IpodReader.h"

#include <QFile>
#include <cstdio>
#include <glib.h>
#include <unistd.h>

namespace {

// libgpod's warnings about a damaged database: the error says enough.
void dropMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
void dropPrint(const gchar*) {}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: ripwell-read-ipod FOLDER\n", stderr);
        return 2;
    }
    // libgpod prints some of its complaints on the standard output: the
    // result goes out on a descriptor of its own, and what was the standard
    // output becomes the error output.
    const int result = ::dup(STDOUT_FILENO);
    if (result < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 3;
    g_log_set_default_handler(dropMessage, nullptr);
    g_set_print_handler(dropPrint);

    using namespace medialibrary::ipod;
    ReadError error;
    const std::optional<Database> database = readWithLibgpod(path::fromNative(argv[1]), &error);
    const QByteArray out = database ? serialize(*database) : serialize(error);
    QFile stream;
    if (!stream.open(result, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) || stream.write(out) != out.size() ||
        !stream.flush())
        return 3;
    return database ? 0 : 1;
}

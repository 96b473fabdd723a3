#include "cli/Interrupts.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
int g_signalPipe[2] = {-1, -1};

extern "C" void onInterrupt(int signal)
{
    if (g_interrupted) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_interrupted = 1;
    const char byte = 1;
    const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    (void)written;
}

} // namespace

void installInterruptHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a blocking read of the answer returns
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool interrupted()
{
    return g_interrupted != 0;
}

int interruptDescriptor()
{
    return g_signalPipe[0];
}

void drainInterruptDescriptor()
{
    char bytes[16];
    while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
    }
}

} // namespace cli

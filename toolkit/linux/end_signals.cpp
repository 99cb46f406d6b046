#include "toolkit/linux/end_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace fw {

namespace {

int signal_pipe[2] = {-1, -1};

void on_signal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = write(signal_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void catch_end_signals()
{
    if (signal_pipe[0] >= 0) return;
    if (pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action{};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

int end_signal_fd() { return signal_pipe[0]; }

void drain_end_signals()
{
    char drained[16];
    while (signal_pipe[0] >= 0 && read(signal_pipe[0], drained, sizeof drained) > 0) {
    }
}

}  // namespace fw

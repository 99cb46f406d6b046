#include "toolkit/linux/signal_pipe.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace fw {

namespace {

int signal_pipe[2] = {-1, -1};
sigset_t caught;

void on_signal(int signal)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto written = write(signal_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void catch_signal(int signal)
{
    if (signal_pipe[0] < 0) {
        if (pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
        sigemptyset(&caught);
    }
    if (sigismember(&caught, signal) == 1) return;
    sigaddset(&caught, signal);
    struct sigaction action{};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

int signal_pipe_fd() { return signal_pipe[0]; }

std::vector<int> take_signals()
{
    std::vector<int> signals;
    unsigned char drained[16];
    ssize_t count = 0;
    while (signal_pipe[0] >= 0 && (count = read(signal_pipe[0], drained, sizeof drained)) > 0)
        for (ssize_t i = 0; i < count; ++i) signals.push_back(drained[i]);
    return signals;
}

}  // namespace fw

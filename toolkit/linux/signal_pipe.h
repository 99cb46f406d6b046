// Signals through a pipe (the self-pipe trick): the handler only writes the
// signal's number to a pipe, which the event loop watches beside its other
// files, so that what a signal asks for runs in the loop and not inside the
// handler.
#pragma once

#include <vector>

namespace fw {

// Installs the handler for signal; later calls for the same signal do nothing.
void catch_signal(int signal);
// The pipe's reading end, to poll for POLLIN; -1 when it could not be made.
int signal_pipe_fd();
// The signals that came since the last call, in the order they came, and
// empties the pipe.
std::vector<int> take_signals();

}  // namespace fw

// SIGTERM, SIGINT and SIGHUP ask the program to end. The handler only
// writes a byte to a pipe, which an event loop watches beside its display
// connection, so that the end runs in the loop and not inside the handler.
#pragma once

namespace fw {

// Installs the handlers, once; later calls do nothing.
void catch_end_signals();
// The pipe's reading end, to poll for POLLIN; -1 when it could not be made.
int end_signal_fd();
// Empties the pipe after it was found readable.
void drain_end_signals();

}  // namespace fw

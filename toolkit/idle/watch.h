// frostwisp --idle: picks the session's idle source, the first of the
// compositor's ext_idle_notifier_v1 and org_kde_kwin_idle, GNOME's idle
// monitor on the session bus and the X server's idle time, and runs the
// watcher on it until a signal ends it or the session goes away.
#pragma once

#include "toolkit/idle/idle_command.h"
#include "toolkit/linux/command_line.h"

namespace fw {

// The exit status: 0 after SIGTERM, SIGINT or SIGHUP, and when another
// watcher already runs in the session; 1 when the session offers no idle
// source or goes away.
int run_idle_watcher(const IdleRequest& request, const CommandLine& command);

}  // namespace fw

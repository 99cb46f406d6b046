// frostwisp --idle: picks the session's idle source, the first of the
// compositor's ext_idle_notifier_v1 and org_kde_kwin_idle, GNOME's idle
// monitor on the session bus and the X server's idle time, and runs the
// watcher on it until a signal ends it or the session goes away.
#pragma once

#include "toolkit/idle/idle_command.h"
#include "toolkit/linux/command_line.h"

#include <string>

namespace fw {

// Runs the watcher as the program frostwisp-idle where it is installed
// beside this one (it links none of the dialogs' libraries, so that what waits
// all session stays small), else in this process.
int watch_idle(const IdleRequest& request, const CommandLine& command);

// The exit status: 0 after SIGTERM, SIGINT or SIGHUP, and when another
// watcher already runs in the session; 1 when the session offers no idle
// source or goes away. program: the file whose /S is the saver.
int run_idle_watcher(const IdleRequest& request, const CommandLine& command, const std::string& program);

// This program's file by its own name, so that the saver is called frostwisp
// in the process list; the link itself where the file has gone (a package
// upgrade replaced it).
std::string program_file();

}  // namespace fw

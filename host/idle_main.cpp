// frostwisp-idle, the idle watcher as a program of its own, which
// frostwisp --idle runs in its place: frostwisp-idle PROGRAM --idle MINUTES
// [flags]. PROGRAM is the frostwisp whose /S it starts.
#include "toolkit/idle/idle_command.h"
#include "toolkit/idle/watch.h"
#include "toolkit/linux/command_line.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + std::min(argc, 2), argv + argc);
    const fw::IdleRequest idle = fw::take_idle_flags(arguments);
    const fw::ParsedCommandLine parsed = fw::parse_command_line(idle.rest);
    if (argc < 2 || idle.kind != fw::IdleRequest::Kind::watch || !idle.error.empty() || !parsed.ok()) {
        std::fprintf(stderr, "frostwisp-idle: frostwisp --idle [MINUTES] runs this program; see frostwisp --help\n");
        return 2;
    }
    return fw::run_idle_watcher(idle, parsed.command, argv[1]);
}

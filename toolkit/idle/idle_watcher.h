// The idle watcher: a process that lives for the whole session and, each
// time the session has been idle for the delay, starts the full-screen saver
// as a child process of the same program, so that a fault in the scene never
// ends the watcher. It starts no second saver while one runs, none while the
// desktop's lock screen is on, and ends the saver it started when the lock
// screen comes on.
#pragma once

#include "toolkit/idle/idle_source.h"

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace fw {

class SaverChild : public IdleListener {
public:
    // command: the program file, then its arguments.
    explicit SaverChild(std::vector<std::string> command) : command_(std::move(command)) {}
    ~SaverChild() override { end(); }
    SaverChild(const SaverChild&) = delete;
    SaverChild& operator=(const SaverChild&) = delete;

    void idle() override;
    void active() override {}
    // The desktop's lock screen came on (true) or went (false).
    void lock_changed(bool on);

    // Collects a saver that has ended (after SIGCHLD).
    void reap();
    // Ends the saver, if one runs, and waits for it: SIGTERM, then SIGKILL
    // after 0.8 seconds.
    void end();

    bool running() const { return pid_ > 0; }
    // Runs just before each start (GNOME's overview is closed there).
    std::function<void()> before_start;

private:
    std::vector<std::string> command_;
    pid_t pid_ = -1;
    int pidfd_ = -1;
    bool locked_ = false;
};

// Holds the lock that makes the watcher the only one of its session (keyed
// to its display); false when another watcher holds it. The lock is kept for
// the life of the process.
bool take_session_lock(const std::string& session_key);

}  // namespace fw

// Where the idle watcher learns that the session has had no input for a
// while, and that input came again: an idle notification of the compositor,
// the desktop's idle monitor on D-Bus, or the X server's idle time. Each
// source is driven from the program's event loop: it offers a file
// descriptor to watch and, where it has to look again at a time of its own,
// a timeout; dispatch() then reads what arrived and calls the listener.
#pragma once

#include <memory>
#include <string>

namespace fw {

class IdleListener {
public:
    virtual ~IdleListener() = default;
    // The session has had no input for the delay the source was given.
    virtual void idle() = 0;
    // Input came after idle().
    virtual void active() = 0;
};

class IdleSource {
public:
    virtual ~IdleSource() = default;
    // What the source is, for messages: "ext_idle_notifier_v1" and the like.
    virtual std::string name() const = 0;
    // Watch for POLLIN; -1 when the source has none.
    virtual int fd() const = 0;
    // Milliseconds until dispatch() wants calling without input; -1 for never.
    virtual int timeout_ms() const = 0;
    // Reads what arrived and tells the listener. False when the session
    // behind the source went away; the source is then dead.
    [[nodiscard]] virtual bool dispatch() = 0;
};

}  // namespace fw

// The error convention every procedure follows. A procedure is a sequence of
// numbered lines (50010, 50020, ... in steps of 10); each runs under the trap:
//
//     Trap trap("Saver", "LoadConfig");
//     trap.line(50010, [&] { ... });
//     trap.line(50020, [&] { ... });
//
// A run-time error in a line goes to ErrPtnr::OnError with the module,
// procedure and line, and the answer decides what happens next: 0 runs the line
// again, 1 goes on with the next line, 2 leaves the procedure (every later line
// is skipped), 3 ends the program.
//
// The reporter always answers 0, so a line that keeps failing would be
// reported for ever outside the full-screen saver. The trap bounds that: a line
// is reported at most three times in one call of its procedure; after the third
// report the procedure goes on with its next line, and later failures of the
// same line in the same call pass unreported.
#pragma once

#include "toolkit/runtime_error.h"

#include <map>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

class Trap {
public:
    static constexpr int max_reports_per_line = 3;

    // The names must outlive the trap (callers pass string literals).
    Trap(std::string_view module, std::string_view procedure);

    // A trap that passes over every error unreported (the orderly end).
    static Trap silent();
    // Errors with this number skip their line unreported.
    Trap& ignoring(int error_number);

    // Runs one numbered line. True when it ran to its end; false when it
    // failed for good or the procedure has been left.
    template <class Body> bool line(int number, Body&& body)
    {
        while (!left_) {
            try {
                body();
                return true;
            } catch (const RuntimeError& e) {
                if (decide(number, e) != Answer::retry) return false;
            } catch (const std::bad_alloc&) {
                if (decide(number, RuntimeError(err::out_of_memory)) != Answer::retry) return false;
            }
        }
        return false;
    }

    // The procedure has been left (answer 2): every later line is skipped.
    bool left() const { return left_; }
    // Leaves the procedure from inside a line: every later line is skipped.
    void exit_procedure() { left_ = true; }

private:
    enum class Answer { retry, next, leave };
    Answer decide(int line, const RuntimeError& error);

    std::string_view module_;
    std::string_view procedure_;
    bool silent_ = false;
    bool left_ = false;
    std::vector<int> ignored_;
    std::map<int, int> reports_;
};

}  // namespace fw

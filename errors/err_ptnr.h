// The error reporter: records a trapped run-time error, appends the error
// protocol to the protocol file, beeps and ends the full-screen saver. It shows
// nothing on the screen. One instance per process, made at its first use.
#pragma once

#include "toolkit/runtime_error.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace fw {

class ErrPtnr {
public:
    static ErrPtnr& instance();

    // The exit status of a program that a run-time error ended.
    static constexpr int status_after_error = 1;

    // Records and reports the error being handled; the answer tells the
    // caller what to do next (always 0: run the failing line again).
    int16_t OnError(std::string_view module, std::string_view procedure, const RuntimeError& error, int line);
    void SetProgInfo(std::string text) { prog_info_ = std::move(text); }
    // The part of text before its first NUL; empty when there is no NUL.
    static std::string LPSTRToVBString(std::string_view text);

    // The protocol text for the current items and fresh system information.
    std::string BuildProtocol() const;
    // Appends the protocol and an empty line to the protocol file; when that
    // cannot be written (or is no plain file of the user's), to the same name
    // in the per-user state folder; when that fails too, nowhere. A file of
    // 1 MiB or more first becomes <name>.1. Returns the file written, or an
    // empty path.
    std::filesystem::path AppendProtocolFile() const;

    // Where the protocol goes first: beside the program, its base name + ".EPT".
    static std::filesystem::path protocol_path();

private:
    std::string error_;
    std::string module_;
    std::string procedure_;
    std::string line_;
    std::string prog_info_;
};

}  // namespace fw

// The program's run-time errors: a number from the run-time library's
// well-known table and its description. Every trapped procedure hands these to
// the error reporter; nothing else shows or logs them.
#pragma once

#include <stdexcept>
#include <string>

namespace fw {

namespace err {
inline constexpr int invalid_call = 5;
inline constexpr int overflow = 6;
inline constexpr int out_of_memory = 7;
inline constexpr int subscript = 9;
inline constexpr int division_by_zero = 11;
inline constexpr int type_mismatch = 13;
inline constexpr int bad_file = 52;
inline constexpr int file_not_found = 53;
inline constexpr int device_io = 57;
inline constexpr int disk_full = 61;
inline constexpr int permission_denied = 70;
inline constexpr int path_file_access = 75;
inline constexpr int path_not_found = 76;
inline constexpr int invalid_property = 380;
inline constexpr int invalid_picture = 481;
inline constexpr int resource_not_found = 326;
}  // namespace err

class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(int number);
    RuntimeError(int number, std::string description);

    int number() const { return number_; }
    const std::string& description() const { return description_; }

private:
    int number_;
    std::string description_;
};

// The run-time library's description for an error number ("Overflow" for 6);
// "Application-defined or object-defined error" for numbers it does not know.
std::string error_description(int number);

[[noreturn]] void raise_error(int number);

// Thrown to end the program at once. Deliberately not a std::exception, so that
// no error trap or generic handler can swallow it on its way to the entry point.
struct ProgramEnd {
    int exit_code = 0;
};

}  // namespace fw

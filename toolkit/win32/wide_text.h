// The program's texts are UTF-8; the system's wide ("W") calls take UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace fw {

// Malformed input becomes U+FFFD, never an error.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace fw

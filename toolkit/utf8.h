// Reading UTF-8 text one code point at a time, forgiving malformed input the
// way a text renderer must: a bad byte becomes one replacement character.
#pragma once

#include <cstddef>
#include <string_view>

namespace fw {

inline constexpr char32_t replacement_character = 0xFFFD;

// The code point that starts at text[pos]; pos moves past it. A malformed,
// overlong or truncated sequence, a surrogate or a value above U+10FFFF gives
// U+FFFD and moves pos by one byte. pos must be below text.size().
char32_t next_code_point(std::string_view text, size_t& pos);

}  // namespace fw

// Numbers and text the way the program's run-time library treats them:
// real to integer is nearest with halves to even, integer arithmetic is checked
// (an overflow raises run-time error 6), text that is no number where one is
// needed raises 13, and the few digit patterns the program formats with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fw {

// Nearest integer value, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double round_even(double value);

// Nearest 16- or 32-bit integer, halves to even; outside the range raises 6.
int16_t to_int16(double value);
int32_t to_int32(double value);

// A whole-number result that must fit the type; outside the range raises 6.
int16_t checked16(long long value);
int32_t checked32(long long value);

// value in single precision; a value beyond the single range (or no number)
// raises 6.
float to_single(double value);

// The floor of value as a 16-bit integer; outside the range raises 6.
int16_t floor16(double value);

// The decimal number at the start of text, blanks before it skipped, '.' as
// the decimal point; 0 when the text does not begin with a number.
double leading_number(std::string_view text);

// The whole text as a decimal number with the given decimal separator. Blanks
// around it are allowed; anything else that is not part of the number raises 13.
double parse_number(std::string_view text, char decimal_separator);

// A decimal that was stored by whoever wrote it, in that writer's locale: a
// text whose one mark is a single '.' or ',' is that decimal whatever the
// reader's separator; any other text is read as parse_number reads it.
double parse_stored_number(std::string_view text, char decimal_separator);

// Formats a whole number with "#", "##", "0", "00", "0000" and the like: each
// "0" is a digit that is always shown, a "#" one that is shown when needed.
// "##" shows 0 as the empty text; a number wider than its pattern is shown whole.
std::string format_pattern(long long value, std::string_view pattern);

// A single-precision value as decimal text: at most seven significant digits,
// no trailing zeros, the given decimal separator (6 -> "6", 4.88 -> "4.88").
std::string float_text(float value, char decimal_separator);

std::string trim(std::string_view text);
std::string upper(std::string_view text);

}  // namespace fw

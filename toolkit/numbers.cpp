#include "toolkit/numbers.h"

#include "toolkit/runtime_error.h"

#include <algorithm>
#include <cctype>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace fw {

double round_even(double value)
{
    // The default floating-point environment rounds to nearest, ties to even;
    // nearbyint keeps it and raises no inexact exception.
    return std::nearbyint(value);
}

namespace {

template <class T> T fit(double value)
{
    if (std::isnan(value) || value < static_cast<double>(std::numeric_limits<T>::min()) ||
        value > static_cast<double>(std::numeric_limits<T>::max()))
        raise_error(err::overflow);
    return static_cast<T>(value);
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Scans a decimal number at the start of text; returns how many characters it
// used (0 when there is none) and its value.
size_t scan_number(std::string_view text, char separator, double& value)
{
    size_t i = 0;
    std::string plain;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        plain += text[i++];
        ++digits;
    }
    if (i < text.size() && text[i] == separator) {
        size_t j = i + 1;
        std::string frac;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) frac += text[j++];
        if (digits > 0 || !frac.empty()) {
            plain += '.';
            plain += frac;
            digits += frac.size();
            i = j;
        }
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exp += text[j++];
        size_t exp_digits = 0;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            exp += text[j++];
            ++exp_digits;
        }
        if (exp_digits > 0) {
            plain += exp;
            i = j;
        }
    }
    value = std::strtod(plain.c_str(), nullptr);
    return i;
}

}  // namespace

int16_t to_int16(double value) { return fit<int16_t>(round_even(value)); }
int32_t to_int32(double value) { return fit<int32_t>(round_even(value)); }
int16_t checked16(long long value) { return fit<int16_t>(static_cast<double>(value)); }
int32_t checked32(long long value) { return fit<int32_t>(static_cast<double>(value)); }
int16_t floor16(double value) { return fit<int16_t>(std::floor(value)); }

float to_single(double value)
{
    if (!(std::fabs(value) <= static_cast<double>(std::numeric_limits<float>::max()))) raise_error(err::overflow);
    return static_cast<float>(value);
}

double leading_number(std::string_view text)
{
    size_t start = 0;
    while (start < text.size() && is_blank(text[start])) ++start;
    double value = 0;
    if (scan_number(text.substr(start), '.', value) == 0) return 0;
    return value;
}

double parse_number(std::string_view text, char decimal_separator)
{
    size_t start = 0, end = text.size();
    while (start < end && is_blank(text[start])) ++start;
    while (end > start && is_blank(text[end - 1])) --end;
    const std::string_view body = text.substr(start, end - start);
    double value = 0;
    if (body.empty() || scan_number(body, decimal_separator, value) != body.size())
        raise_error(err::type_mismatch);
    if (std::isinf(value)) raise_error(err::overflow);
    return value;
}

double parse_stored_number(std::string_view text, char decimal_separator)
{
    const auto marks = std::count(text.begin(), text.end(), '.') + std::count(text.begin(), text.end(), ',');
    if (marks != 1) return parse_number(text, decimal_separator);
    std::string plain(text);
    std::replace_if(plain.begin(), plain.end(), [](char c) { return c == '.' || c == ','; }, '.');
    return parse_number(plain, '.');
}

std::string format_pattern(long long value, std::string_view pattern)
{
    size_t min_digits = 0;
    for (char c : pattern)
        if (c == '0') ++min_digits;
    const bool negative = value < 0;
    const unsigned long long magnitude =
        negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    std::string digits = magnitude == 0 ? std::string() : std::to_string(magnitude);
    if (digits.size() < min_digits) digits.insert(0, min_digits - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

std::string float_text(float value, char decimal_separator)
{
    if (value == 0.0f) return "0";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.7G", static_cast<double>(value));
    std::string text(buffer);
    for (char& c : text)
        if (c == '.') c = decimal_separator;
    return text;
}

std::string trim(std::string_view text)
{
    size_t start = 0, end = text.size();
    while (start < end && text[start] == ' ') ++start;
    while (end > start && text[end - 1] == ' ') --end;
    return std::string(text.substr(start, end - start));
}

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace fw

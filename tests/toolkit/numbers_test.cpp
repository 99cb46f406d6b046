#include "toolkit/numbers.h"
#include "toolkit/runtime_error.h"

#include <gtest/gtest.h>

#include <limits>

namespace fw {
namespace {

int error_of(auto&& call)
{
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

TEST(Numbers, RoundsHalvesToEven)
{
    const struct { double in; double out; } cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, -0}, {-1.5, -2}, {-2.5, -2},
        {2.4999, 2}, {2.5001, 3}, {110.5, 110}, {111.5, 112}, {55.0, 55},
    };
    for (const auto& c : cases) EXPECT_EQ(round_even(c.in), c.out) << c.in;
}

TEST(Numbers, SinglePrecisionChecksItsRange)
{
    EXPECT_EQ(to_single(-3.4e38), -3.4e38f);
    EXPECT_EQ(to_single(4.88), 4.88f);
    for (double bad : {1e39, -1e39, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(error_of([bad] { to_single(bad); }), err::overflow) << bad;
}

TEST(Numbers, IntegerConversionsCheckTheirRange)
{
    EXPECT_EQ(to_int16(32767.4), 32767);
    EXPECT_EQ(to_int16(-32768.5), -32768);  // the half goes to the even -32768
    EXPECT_EQ(error_of([] { to_int16(32767.5); }), err::overflow);
    EXPECT_EQ(error_of([] { to_int16(-32769); }), err::overflow);
    EXPECT_EQ(error_of([] { to_int16(std::numeric_limits<double>::quiet_NaN()); }), err::overflow);
    EXPECT_EQ(to_int32(2147483647.0), 2147483647);
    EXPECT_EQ(error_of([] { to_int32(2147483647.5); }), err::overflow);
    EXPECT_EQ(checked16(-32768), -32768);
    EXPECT_EQ(error_of([] { checked16(32768); }), err::overflow);
    EXPECT_EQ(error_of([] { checked32(2147483648LL); }), err::overflow);
    EXPECT_EQ(floor16(-4.86), -5);
    EXPECT_EQ(floor16(3.999), 3);
    EXPECT_EQ(error_of([] { floor16(32768.0); }), err::overflow);
}

TEST(Numbers, LeadingNumberReadsWhatStartsTheText)
{
    const struct { const char* text; double value; } cases[] = {
        {"1234", 1234}, {"  1234  ", 1234}, {"12.5", 12.5}, {"12abc", 12}, {"abc", 0}, {"", 0},
        {"-7", -7}, {".5", 0.5}, {"1e3", 1000}, {"1e", 1}, {"+3", 3}, {"0x10", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(leading_number(c.text), c.value) << c.text;
}

TEST(Numbers, ParseNumberTakesTheWholeTextInTheLocale)
{
    EXPECT_EQ(parse_number("110", '.'), 110);
    EXPECT_EQ(parse_number(" 4.88 ", '.'), 4.88);
    EXPECT_EQ(parse_number("4,88", ','), 4.88);
    EXPECT_EQ(parse_number("-3", '.'), -3);
    for (const char* bad : {"", "  ", "abc", "4,88", "1.2.3", "12abc", "-", "."})
        EXPECT_EQ(error_of([&] { parse_number(bad, '.'); }), err::type_mismatch) << '"' << bad << '"';
    EXPECT_EQ(error_of([] { parse_number("4.88", ','); }), err::type_mismatch);
    EXPECT_EQ(error_of([] { parse_number("1e999", '.'); }), err::overflow);
}

TEST(Numbers, StoredNumberTakesEitherSeparatorWhenItIsTheOnlyMark)
{
    for (char locale : {'.', ','}) {
        EXPECT_EQ(parse_stored_number("6,8", locale), 6.8) << locale;
        EXPECT_EQ(parse_stored_number(" -6.5 ", locale), -6.5) << locale;
        EXPECT_EQ(parse_stored_number("110", locale), 110) << locale;
        for (const char* bad : {"1.2.3", "1,2.3", "6,8x", ",", "abc"})
            EXPECT_EQ(error_of([&] { parse_stored_number(bad, locale); }), err::type_mismatch) << '"' << bad << '"';
    }
}

TEST(Numbers, DigitPatterns)
{
    const struct { long long value; const char* pattern; const char* text; } cases[] = {
        {0, "##", ""}, {0, "#", ""}, {7, "##", "7"}, {10, "##", "10"}, {123, "##", "123"},
        {0, "0", "0"}, {5, "00", "05"}, {0, "00", "00"}, {491, "0000", "0491"}, {12, "0000", "0012"},
        {12345, "0000", "12345"}, {-5, "00", "-05"},
    };
    for (const auto& c : cases) EXPECT_EQ(format_pattern(c.value, c.pattern), c.text) << c.value << " " << c.pattern;
}

TEST(Numbers, FloatTextKeepsSevenDigitsAndDropsTrailingZeros)
{
    EXPECT_EQ(float_text(6.0f, '.'), "6");
    EXPECT_EQ(float_text(4.88f, '.'), "4.88");
    EXPECT_EQ(float_text(4.88f, ','), "4,88");
    EXPECT_EQ(float_text(2.08f, '.'), "2.08");
    EXPECT_EQ(float_text(0.0f, '.'), "0");
    EXPECT_EQ(float_text(-1.5f, '.'), "-1.5");
    EXPECT_EQ(float_text(1.0f / 3.0f, '.'), "0.3333333");
    // Every value the dialog can store reads back as the same single.
    for (int p = 0; p <= 100; ++p) {
        const auto value = static_cast<float>(p * 0.08 + 2);
        EXPECT_EQ(static_cast<float>(parse_number(float_text(value, ','), ',')), value) << p;
    }
}

TEST(Numbers, TrimAndUpper)
{
    EXPECT_EQ(trim("  /s  "), "/s");
    EXPECT_EQ(trim("\t/s"), "\t/s");  // only blanks are trimmed
    EXPECT_EQ(upper("/p:12ab"), "/P:12AB");
}

}  // namespace
}  // namespace fw

#include "toolkit/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

std::vector<char32_t> decode(std::string_view text)
{
    std::vector<char32_t> out;
    for (size_t pos = 0; pos < text.size();)
        out.push_back(next_code_point(text, pos));
    return out;
}

TEST(Utf8, DecodesEverySequenceLength)
{
    EXPECT_EQ(decode("Gr\xC3\xB6\xC3\x9F" "e"), (std::vector<char32_t>{U'G', U'r', U'\u00F6', U'\u00DF', U'e'}));
    EXPECT_EQ(decode("\xE2\x82\xAC"), (std::vector<char32_t>{U'\u20AC'}));
    EXPECT_EQ(decode("\xF0\x9F\x98\x80"), (std::vector<char32_t>{U'\U0001F600'}));
}

TEST(Utf8, EachBadByteBecomesOneReplacementAndDecodingResumes)
{
    const char32_t bad = replacement_character;
    struct Case {
        const char* name;
        std::string text;
        std::vector<char32_t> expected;
    };
    const Case cases[] = {
        {"stray continuation", "a\x80" "b", {U'a', bad, U'b'}},
        {"Latin-1 byte", "Gr\xF6" "e", {U'G', U'r', bad, U'e'}},
        {"truncated at end", "a\xC3", {U'a', bad}},
        {"lead without continuation", "\xE2\x82" "x", {bad, bad, U'x'}},
        {"overlong slash", "\xC0\xAF", {bad, bad}},
        {"surrogate", "\xED\xA0\x80", {bad, bad, bad}},
        {"above U+10FFFF", "\xF4\x90\x80\x80", {bad, bad, bad, bad}},
        {"invalid lead", "\xFF" "a", {bad, U'a'}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decode(c.text), c.expected) << c.name;
}

}  // namespace
}  // namespace fw

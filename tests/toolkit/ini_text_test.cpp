// What people and editors really put into a settings file: the reader keeps
// every well-formed line, ignores the rest, and a patch changes only the
// lines of the keys it sets.
#include "toolkit/ini_text.h"

#include <gtest/gtest.h>

#include <string>

namespace fw {
namespace {

TEST(IniText, EditorsAndStrayLinesNeverHideTheSettings)
{
    using namespace std::string_literals;
    const std::string texts[] = {
        "\xEF\xBB\xBF[Settings]\r\nmaxFl=150\r\n",                        // Notepad: a byte-order mark, CR LF
        "[Settings]\rmaxFl=150\rrTime=60\r",                              // CR only
        "my note\n[Other\nflag\n=x\n[Settings]\nmaxFl=150\n",             // stray lines
        "[Settings]\n\f\nmaxFl = 150\n\x1A",                              // a form feed, ^Z at the end
        "[Settings]\nbroken\0line\nmaxFl=150\nSize=6"s,                   // a NUL byte, no last line end
        "[Settings]\n; Gr\xF6\xDF" "e\nmaxFl=150\n",                      // a Latin-1 comment
    };
    for (const std::string& text : texts) {
        IniText ini;
        ASSERT_TRUE(IniText::parse(text, ini)) << text;
        EXPECT_EQ(ini.get("settings", "MAXFL"), "150") << text;
        EXPECT_EQ(ini.str(), text);  // read and written back byte for byte
    }
}

TEST(IniText, APatchTouchesOnlyItsLinesAndEndsNewOnesLikeTheFile)
{
    IniText ini;
    ASSERT_TRUE(IniText::parse("\xEF\xBB\xBF; mine\r\n[Settings]\r\nmaxFl=1\nstray\r\n[Tail]\r\nx=1", ini));
    ini.set("Settings", "maxFl", "110");
    ini.set("Settings", "rTime", "600");
    ini.set("New", "k", "v");
    EXPECT_EQ(ini.str(),
              "\xEF\xBB\xBF; mine\r\n[Settings]\r\nmaxFl=110\nrTime=600\r\nstray\r\n[Tail]\r\nx=1\r\n\r\n[New]\r\nk=v\r\n");

    ASSERT_TRUE(IniText::parse("[Settings]\rDate=0\r", ini));
    ini.set("Settings", "Time", "1");
    EXPECT_EQ(ini.str(), "[Settings]\rDate=0\rTime=1\r");
}

TEST(IniText, OnlyWhatIsNoTextAtAllIsRefused)
{
    using namespace std::string_literals;
    IniText ini;
    for (const std::string& binary : {"\x7F" "ELF\x02\x01\x01\0\0\0\n\0\0\x03\0>\0"s, "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0v\0"s,
                                      "\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0\x90\x91h6"s})
        EXPECT_FALSE(IniText::parse(binary, ini)) << binary;
    EXPECT_FALSE(ini.get("S", "k"));
    EXPECT_TRUE(IniText::parse("[S]\nk=v\n\x01\x02\xFF\0\n"s, ini));  // one line of junk among text
    EXPECT_EQ(ini.get("S", "k"), "v");
}

}  // namespace
}  // namespace fw

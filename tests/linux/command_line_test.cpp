#include "toolkit/linux/command_line.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, SwitchesAndTheirWindowPassThroughInOrderAroundTheFlags)
{
    const auto p = parse_command_line({"--max-flakes", "50", "/P", "1234", "--no-date", "-s"});
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.command.saver_arguments, (Args{"/P", "1234", "-s"}));
    EXPECT_EQ(p.command.overrides.max_flakes, 50);
    EXPECT_EQ(p.command.overrides.date, false);
    EXPECT_FALSE(p.command.overrides.time);
    EXPECT_FALSE(p.command.root);
}

TEST(CommandLine, EveryOverrideInBothSpellings)
{
    const auto p = parse_command_line({"--max-flakes=500", "--speed", "6.5", "--size=2,08", "--date", "--no-time",
                                       "--no-restart", "--restart-minutes", "99", "--background=gray"});
    ASSERT_TRUE(p.ok()) << p.error;
    const SettingOverrides& o = p.command.overrides;
    EXPECT_EQ(o.max_flakes, 500);
    EXPECT_DOUBLE_EQ(*o.speed, 6.5);
    EXPECT_DOUBLE_EQ(*o.size, 2.08);
    EXPECT_EQ(o.date, true);
    EXPECT_EQ(o.time, false);
    EXPECT_EQ(o.restart, false);
    EXPECT_EQ(o.restart_minutes, 99);
    EXPECT_EQ(o.background, 2);
    EXPECT_TRUE(p.command.saver_arguments.empty());
}

TEST(CommandLine, BackgroundNames)
{
    const std::pair<const char*, int> names[] = {{"black", 0}, {"blue", 1}, {"gray", 2}, {"grey", 2},
                                                 {"desktop", 3}, {"random", 4}};
    for (const auto& [name, value] : names) {
        const auto p = parse_command_line({"--background", name});
        ASSERT_TRUE(p.ok()) << name;
        EXPECT_EQ(p.command.overrides.background, value) << name;
    }
}

TEST(CommandLine, BadValuesGiveOneLineThatNamesTheFlag)
{
    const std::vector<Args> bad = {
        {"--max-flakes", "501"}, {"--max-flakes", "abc"},  {"--max-flakes", "-5"},   {"--max-flakes", ""},
        {"--max-flakes"},        {"--speed", "1e3"},       {"--speed", "."},        {"--speed", "6.5.1"},
        {"--speed", "101"},      {"--size", "x"},          {"--restart-minutes", "0"}, {"--restart-minutes", "35792"},
        {"--background", "Blue"}, {"--background", "purple"}, {"-window-id", "0"}, {"-window-id", "0xZZ"},
        {"--date=1"},            {"--bogus"},              {"--help=yes"},
    };
    for (const Args& args : bad) {
        const auto p = parse_command_line(args);
        EXPECT_FALSE(p.ok()) << args[0];
        const std::string flag = args[0].substr(0, args[0].find('='));
        EXPECT_NE(p.error.find(flag), std::string::npos) << p.error;
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
    }
}

TEST(CommandLine, LimitsAreInclusive)
{
    EXPECT_TRUE(parse_command_line({"--max-flakes", "0"}).ok());
    EXPECT_TRUE(parse_command_line({"--speed", "0"}).ok());
    EXPECT_TRUE(parse_command_line({"--size", "100"}).ok());
    EXPECT_TRUE(parse_command_line({"--restart-minutes", "1"}).ok());
    // The restart interval is compared in milliseconds in 32 bits.
    EXPECT_TRUE(parse_command_line({"--restart-minutes", "35791"}).ok());
}

TEST(CommandLine, HackFlags)
{
    auto p = parse_command_line({"-root"});
    EXPECT_TRUE(p.command.root);
    p = parse_command_line({"--root", "--window-id", "0x1a00007"});
    EXPECT_TRUE(p.command.root);
    EXPECT_EQ(p.command.window_id, 0x1a00007ul);
    p = parse_command_line({"-window-id=123"});
    EXPECT_EQ(p.command.window_id, 123ul);
    EXPECT_TRUE(p.command.saver_arguments.empty());
}

TEST(CommandLine, RendererKeepsItsOwnFlagsAndPictureSize)
{
    const auto p = parse_command_line({"out.png", "--size", "640x480", "--ticks", "3", "--size", "7", "--size=8x8",
                                       "--max-flakes", "30"},
                                      FlagSyntax::render);
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.command.saver_arguments, (Args{"out.png", "--size", "640x480", "--ticks", "3", "--size=8x8"}));
    EXPECT_DOUBLE_EQ(*p.command.overrides.size, 7);
    EXPECT_EQ(p.command.overrides.max_flakes, 30);
    EXPECT_FALSE(parse_command_line({"--ticks", "3"}).ok());  // not the saver's
}

TEST(WindowId, HexOrDecimalWithin32Bits)
{
    EXPECT_EQ(parse_window_id("0x1a00007"), 0x1a00007ul);
    EXPECT_EQ(parse_window_id("0XFFFFFFFF"), 0xFFFFFFFFul);
    EXPECT_EQ(parse_window_id("4294967295"), 0xFFFFFFFFul);
    for (const char* bad : {"", "0", "0x", "0x0", "0x100000000", "4294967296", "12a", "-1", "+5", "0x-1"})
        EXPECT_FALSE(parse_window_id(bad)) << bad;
}

TEST(HackTarget, WindowIdWinsThenTheDaemonsVariableThenRoot)
{
    CommandLine c;
    EXPECT_FALSE(hack_target(c, nullptr).target);
    EXPECT_FALSE(hack_target(c, "").target);

    auto t = hack_target(c, "0x400001").target;  // the daemon's variable alone runs the hack
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->root);
    EXPECT_EQ(t->window, 0x400001ul);

    c.root = true;
    t = hack_target(c, "0x400001").target;
    ASSERT_TRUE(t);
    EXPECT_EQ(t->window, 0x400001ul);
    t = hack_target(c, nullptr).target;
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->root);

    c.window_id = 77;
    t = hack_target(c, "0x400001").target;
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->root);
    EXPECT_EQ(t->window, 77ul);
}

}  // namespace
}  // namespace fw

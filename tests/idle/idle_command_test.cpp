#include "toolkit/idle/idle_command.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using Args = std::vector<std::string>;
using Kind = IdleRequest::Kind;

TEST(IdleFlags, MinutesOptionalInEverySpellingAndTheRestPassesOn)
{
    struct Case {
        Args args;
        Kind kind;
        uint32_t delay_ms;
        Args rest;
    };
    const Case cases[] = {
        {{"--idle"}, Kind::watch, 600'000, {}},
        {{"--idle", "0.05"}, Kind::watch, 3000, {}},
        {{"--x11", "--idle=0,5", "--no-date"}, Kind::watch, 30'000, {"--x11", "--no-date"}},
        {{"--idle", "--speed", "4"}, Kind::watch, 600'000, {"--speed", "4"}},
        {{"--idle", "1440"}, Kind::watch, 86'400'000, {}},
        {{"--autostart", "5"}, Kind::autostart_on, 300'000, {}},
        {{"--autostart=off"}, Kind::autostart_off, 600'000, {}},
        {{"/S"}, Kind::none, 600'000, {"/S"}},
    };
    for (const Case& c : cases) {
        const IdleRequest r = take_idle_flags(c.args);
        EXPECT_TRUE(r.error.empty()) << c.args[0] << ": " << r.error;
        EXPECT_EQ(r.kind, c.kind) << c.args[0];
        EXPECT_EQ(r.delay_ms, c.delay_ms) << c.args[0];
        EXPECT_EQ(r.rest, c.rest) << c.args[0];
    }
}

TEST(IdleFlags, AnythingButMinutesAboveZeroIsRefusedWithWhatIsWanted)
{
    for (const Args& args : {Args{"--idle", "0"}, Args{"--idle", "-3"}, Args{"--idle=abc"}, Args{"--idle", "1440.5"},
                             Args{"--idle", "1.2.3"}, Args{"--idle="}, Args{"--idle", "off"},
                             Args{"--autostart", "0"}, Args{"--idle", "--autostart"}}) {
        const IdleRequest r = take_idle_flags(args);
        EXPECT_FALSE(r.error.empty()) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_EQ(r.error.find('\n'), std::string::npos);
    }
    EXPECT_NE(take_idle_flags({"--idle", "x"}).error.find("a number above 0"), std::string::npos);
}

TEST(IdleFlags, AutostartEntryQuotesAProgramPathWithReservedCharacters)
{
    EXPECT_NE(autostart_entry("/usr/bin/frostwisp", "5").find("\nExec=/usr/bin/frostwisp --idle 5\n"),
              std::string::npos);
    EXPECT_NE(autostart_entry("/opt/my saver/$frostwisp", "0.5").find("\nExec=\"/opt/my saver/\\$frostwisp\" --idle 0.5\n"),
              std::string::npos);
}

}  // namespace
}  // namespace fw

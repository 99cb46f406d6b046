#include "errors/trap.h"
#include "toolkit/runtime_error.h"

#include "../support/headless_fixture.h"

namespace fw {
namespace {

using testing::count_of;
using TrapTest = testing::HeadlessTest;

TEST_F(TrapTest, RetriesAFailingLineAndBoundsItsReports)
{
    start();
    Trap trap("frmConfig", "Form_Load");
    int runs = 0;
    std::vector<int> order;
    EXPECT_FALSE(trap.line(50010, [&] {
        ++runs;
        raise_error(err::overflow);
    }));
    EXPECT_EQ(runs, 3);
    EXPECT_TRUE(trap.line(50020, [&] { order.push_back(2); }));
    EXPECT_EQ(order, std::vector<int>{2});
    EXPECT_EQ(count_of(protocol(), "Zeile / Line:\t50010"), 3);
    EXPECT_EQ(backend->calls, (std::vector<std::string>{"beep", "beep", "beep"}));
}

TEST_F(TrapTest, ALineThatRecoversRunsOnAfterItsRetries)
{
    start();
    Trap trap("Saver", "Main");
    int runs = 0;
    EXPECT_TRUE(trap.line(50010, [&] {
        if (++runs < 3) raise_error(err::subscript);
    }));
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(count_of(protocol(), "9 (Subscript out of range)"), 2);
}

TEST_F(TrapTest, TheBoundHoldsForALineInALoop)
{
    start();
    Trap trap("frmMain", "Flakes");
    int runs = 0;
    for (int i = 0; i < 10; ++i) trap.line(50010, [&] {
        ++runs;
        raise_error(err::subscript);
    });
    EXPECT_EQ(count_of(protocol(), "PROGRAMM-INFO"), 3);
    EXPECT_EQ(runs, 3 + 9);  // later failures of the same line pass unreported
}

TEST_F(TrapTest, SilentAndIgnoredErrorsSkipTheirLineUnreported)
{
    start();
    Trap silent = Trap::silent();
    EXPECT_FALSE(silent.line(50010, [] { raise_error(err::overflow); }));
    EXPECT_TRUE(silent.line(50020, [] {}));
    Trap load("frmConfig", "Form_Load");
    load.ignoring(err::invalid_property);
    EXPECT_FALSE(load.line(50010, [] { raise_error(err::invalid_property); }));
    EXPECT_TRUE(protocol().empty());
    EXPECT_FALSE(load.line(50020, [] { raise_error(err::overflow); }));
    EXPECT_EQ(count_of(protocol(), "6 (Overflow)"), 3);
}

TEST_F(TrapTest, LeavingSkipsEveryLaterLine)
{
    start();
    Trap trap("Saver", "exitScreensaver");
    bool later = false;
    trap.line(50010, [&] { trap.exit_procedure(); });
    EXPECT_FALSE(trap.line(50020, [&] { later = true; }));
    EXPECT_FALSE(later);
    EXPECT_TRUE(trap.left());
}

TEST_F(TrapTest, OutOfMemoryIsARunTimeError)
{
    start();
    Trap trap("frmMain", "Form_Resize");
    int runs = 0;
    trap.line(50010, [&] {
        if (runs++ == 0) throw std::bad_alloc();
    });
    EXPECT_EQ(count_of(protocol(), "7 (Out of memory)"), 1);
}

}  // namespace
}  // namespace fw

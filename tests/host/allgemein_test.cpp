#include "host/allgemein.h"

#include "../support/headless_fixture.h"

#include <array>
#include <cmath>

namespace fw {
namespace {

using AllgemeinTest = testing::HeadlessTest;

TEST_F(AllgemeinTest, ZzFloorsTheScaledDraw)
{
    start();
    const struct { int16_t low, high; float r; int16_t result; } cases[] = {
        {-5, 8, 0.01f, -5},           // -4.86 floors to -5, not -4
        {0, 3, 0.99999994f, 3},       // just below 1: never 4
        {0, 3, 0.0f, 0},
        {7, 7, 0.9f, 7},              // Low = High
        {5, 4, 0.7f, 5},              // High = Low - 1: n is 0
        {5, 2, 0.5f, 4},              // n = -2: between Low + n and Low - 1
        {5, 2, 0.0f, 5},              // ... and Low only for r = 0
    };
    for (const auto& c : cases) {
        Allgemein::queue_draws({c.r});
        EXPECT_EQ(Allgemein::Zz(c.low, c.high), c.result) << c.low << ".." << c.high << " r=" << c.r;
    }
}

TEST_F(AllgemeinTest, ZzIsUniformOverBothEnds)
{
    start();
    Allgemein::Randomize(12345);
    std::array<int, 4> seen{};
    const int draws = 40000;
    for (int i = 0; i < draws; ++i) {
        const int v = Allgemein::Zz(0, 3);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 3);
        ++seen[static_cast<size_t>(v)];
    }
    for (int count : seen) EXPECT_NEAR(count, draws / 4, draws / 4 * 0.05);
    for (int i = 0; i < 2000; ++i) {
        const int v = Allgemein::Zz(-5, 8);
        ASSERT_GE(v, -5);
        ASSERT_LE(v, 8);
    }
}

TEST_F(AllgemeinTest, ZzOverflowIsReportedAndGivesZero)
{
    start();
    EXPECT_EQ(Allgemein::Zz(-32768, 32767), 0);
    const std::string p = protocol();
    EXPECT_EQ(testing::count_of(p, "6 (Overflow)"), 3);
    EXPECT_NE(p.find("Modul:\tAllgemein"), std::string::npos);
    EXPECT_NE(p.find("Prozedur / procedure:\tZz"), std::string::npos);
}

TEST_F(AllgemeinTest, OneSeedGivesOneSequence)
{
    start();
    Allgemein::Randomize(42);
    std::vector<float> first;
    for (int i = 0; i < 100; ++i) first.push_back(Allgemein::Rnd());
    Allgemein::Randomize(42);
    for (float r : first) EXPECT_EQ(Allgemein::Rnd(), r);
    for (float r : first) {
        EXPECT_GE(r, 0.0f);
        EXPECT_LT(r, 1.0f);
    }
    Allgemein::Randomize(43);
    EXPECT_NE(Allgemein::Rnd(), first[0]);
}

}  // namespace
}  // namespace fw

#include "toolkit/clock_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fw {
namespace {

std::tm christmas_eve()
{
    std::tm when{};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 24;
    when.tm_hour = 18;
    when.tm_min = 5;
    when.tm_sec = 9;
    when.tm_wday = 2;
    when.tm_yday = 358;
    when.tm_isdst = -1;
    return when;
}

const char* const german = "de_DE.UTF-8";

bool have_german() { return short_date_text(christmas_eve(), german).has_value(); }

// Sets one environment variable for the lifetime of the guard.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value, 1);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(ClockText, NeutralLocaleWritesMonthDayYearAnd24HoursAndMissingOnesNothing)
{
    const std::tm when = christmas_eve();
    for (const char* name : {"C", "POSIX"}) {
        EXPECT_EQ(short_date_text(when, name), "12/24/24") << name;
        EXPECT_EQ(long_time_text(when, name), "18:05:09") << name;
        EXPECT_EQ(decimal_separator(name), '.') << name;
    }
    std::tm morning = when;
    morning.tm_hour = 0;
    morning.tm_mday = 1;
    morning.tm_mon = 0;
    EXPECT_EQ(short_date_text(morning, "C"), "01/01/24");
    EXPECT_EQ(long_time_text(morning, "C"), "00:05:09");

    EXPECT_EQ(short_date_text(when, "xx_NOWHERE.UTF-8"), std::nullopt);
    EXPECT_EQ(long_time_text(when, "xx_NOWHERE.UTF-8"), std::nullopt);
    EXPECT_EQ(decimal_separator("xx_NOWHERE.UTF-8"), std::nullopt);
}

TEST(ClockText, GermanLocaleWritesDayMonthYearAndDecimalComma)
{
    if (!have_german())
        GTEST_SKIP() << german << " is not installed";
    const std::tm when = christmas_eve();
    EXPECT_EQ(short_date_text(when, german), "24.12.2024");
    EXPECT_EQ(long_time_text(when, german), "18:05:09");
    EXPECT_EQ(decimal_separator(german), ',');
}

TEST(ClockText, UserSettingsComeFromTheEnvironmentWithNeutralFallback)
{
    const std::tm when = christmas_eve();
    {
        const ScopedEnv all("LC_ALL", "C");
        EXPECT_EQ(short_date_text(when), "12/24/24");
        EXPECT_EQ(long_time_text(when), "18:05:09");
        EXPECT_EQ(decimal_separator(), '.');
    }
    {
        const ScopedEnv all("LC_ALL", "xx_NOWHERE.UTF-8");
        EXPECT_EQ(short_date_text(when), "12/24/24");
        EXPECT_EQ(long_time_text(when), "18:05:09");
        EXPECT_EQ(decimal_separator(), '.');
    }
    if (have_german()) {
        // A broken category elsewhere does not cost the user the date format.
        const ScopedEnv all("LC_ALL", "");
        const ScopedEnv time("LC_TIME", german);
        const ScopedEnv numeric("LC_NUMERIC", german);
        const ScopedEnv messages("LC_MESSAGES", "xx_NOWHERE.UTF-8");
        EXPECT_EQ(short_date_text(when), "24.12.2024");
        EXPECT_EQ(decimal_separator(), ',');
    }
}

TEST(ClockText, LeavesTheProcessLocaleAloneAndFormatsInParallel)
{
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const bool german_too = have_german();
    std::vector<int> wrong(8, 0);
    {
        std::vector<std::jthread> threads;
        for (size_t t = 0; t < wrong.size(); ++t) {
            threads.emplace_back([&, t] {
                const bool in_german = german_too && t % 2 == 1;
                for (int i = 0; i < 200; ++i)
                    wrong[t] += short_date_text(christmas_eve(), in_german ? german : "C") != (in_german ? "24.12.2024" : "12/24/24");
            });
        }
    }
    EXPECT_EQ(std::count(wrong.begin(), wrong.end(), 0), 8);
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
}

}  // namespace
}  // namespace fw

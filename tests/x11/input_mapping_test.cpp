#include "toolkit/linux/input_mapping.h"

#include <gtest/gtest.h>

// After GoogleTest, whose names the X headers' macros would clash with.
#include <X11/X.h>
#include <X11/keysym.h>

namespace fw {
namespace {

TEST(KeyCodes, LettersDigitsAndNamedKeys)
{
    EXPECT_EQ(key_code_for(XK_a), 'A');
    EXPECT_EQ(key_code_for(XK_Z), 'Z');
    EXPECT_EQ(key_code_for(XK_7), '7');
    EXPECT_EQ(key_code_for(XK_Return), 13);
    EXPECT_EQ(key_code_for(XK_Escape), 27);
    EXPECT_EQ(key_code_for(XK_space), 32);
    EXPECT_EQ(key_code_for(XK_F1), 112);
    EXPECT_EQ(key_code_for(XK_F12), 123);
    EXPECT_EQ(key_code_for(XK_Left), 37);
    EXPECT_EQ(key_code_for(XK_Shift_R), 16);
    EXPECT_EQ(key_code_for(XK_KP_5), 101);
    EXPECT_EQ(key_code_for(XK_adiaeresis), 0);
    EXPECT_EQ(shift_state_for(ShiftMask | Mod1Mask | LockMask), 1 | 4);
    EXPECT_EQ(button_for(Button1), 1);
    EXPECT_EQ(button_for(Button3), 2);
    EXPECT_EQ(button_for(Button2), 4);
    EXPECT_EQ(button_for(Button4), 0);
}

// The handler calls one click sequence gives, in order.
std::string run(ClickTracker& t, std::initializer_list<std::tuple<bool, unsigned, unsigned long, int>> steps)
{
    std::string out;
    for (const auto& [down, button, time, x] : steps) {
        const ClickEvent e = down ? t.press(button, time, x, 0) : t.release(button);
        if (e == ClickEvent::mouse_down) out += "D";
        if (e == ClickEvent::click) out += "C";
        if (e == ClickEvent::dbl_click) out += "2";
    }
    return out;
}

TEST(Clicks, SecondPressInTimeIsADoubleClickWithoutItsOwnClick)
{
    ClickTracker t(500);
    EXPECT_EQ(run(t, {{true, 1, 1000, 5}, {false, 1, 1050, 5}, {true, 1, 1400, 5}, {false, 1, 1450, 5}}), "DC2");
    // A third press starts over.
    EXPECT_EQ(run(t, {{true, 1, 1600, 5}, {false, 1, 1650, 5}}), "DC");
}

TEST(Clicks, TooLateTooFarOrAnotherButtonIsTwoClicks)
{
    ClickTracker late(500);
    EXPECT_EQ(run(late, {{true, 1, 1000, 5}, {false, 1, 1010, 5}, {true, 1, 1501, 5}, {false, 1, 1510, 5}}), "DCDC");
    ClickTracker far(500);
    EXPECT_EQ(run(far, {{true, 1, 1000, 5}, {false, 1, 1010, 5}, {true, 1, 1100, 8}, {false, 1, 1110, 8}}), "DCDC");
    ClickTracker other(500);
    EXPECT_EQ(run(other, {{true, 1, 1000, 5}, {false, 1, 1010, 5}, {true, 3, 1100, 5}, {false, 3, 1110, 5}}), "DCDC");
}

TEST(Clicks, TheServerClockWrapping)
{
    ClickTracker t(500);
    EXPECT_EQ(run(t, {{true, 1, 0xFFFFFF00ul, 0}, {false, 1, 0xFFFFFF10ul, 0}, {true, 1, 0x40ul, 0}}), "DC2");
}

}  // namespace
}  // namespace fw

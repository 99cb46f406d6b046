#include "toolkit/controls.h"

#include "toolkit/dialog_form.h"
#include "toolkit/runtime_error.h"

#include "../support/headless_fixture.h"

#include <algorithm>
#include <functional>

namespace fw {
namespace {

int error_of(const std::function<void()>& call)
{
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// A window with two groups of options, a box, a bar with a reversed range and
// one with a plain range; every handler and observer call is logged.
class Panel : public DialogForm {
public:
    Panel() : DialogForm("Panel", design())
    {
        GroupBox& left = add<GroupBox>({"fraLeft", -1, nullptr, "Left", {100, 100, 2000, 2000}});
        GroupBox& inner = add<GroupBox>({"fraInner", -1, &left, "Inner", {300, 600, 1500, 1200}});
        for (int i = 0; i < 3; ++i) options.add(add<OptionButton>({"optLeft", i, &left, "o", {100, 100 + 200 * i, 900, 200}, 10 + i}));
        for (int i = 0; i < 2; ++i) inner_options.add(add<OptionButton>({"optInner", i, &inner, "i", {60, 150 + 200 * i, 900, 200}, 20 + i}));
        box = &add<CheckBox>({"chkBox", -1, nullptr, "&Box", {2300, 100, 1000, 255}, 2});
        bar = &add<ScrollBar>({"hsbBar", -1, nullptr, "", {2300, 500, 1500, 200}, 1}, Orientation::horizontal);
        bar->set_range(1, 100, 5, 20, 50);
        reversed = &add<ScrollBar>({"vsbDown", -1, nullptr, "", {2300, 800, 255, 1000}, 0}, Orientation::vertical);
        reversed->set_range(10, 0, 1, 3, 5);
        label = &add<TextLabel>({"lblNote", -1, &inner, "note", {60, 700, 900, 255}});
        for (Control* c : controls()) {
            c->set_handler([this, c] { log.push_back("run " + c->name() + std::to_string(c->index())); });
            c->set_observer([this](Control& c2, ControlProperty) { log.push_back("seen " + c2.name() + std::to_string(c2.index())); });
        }
    }

    static DialogDesign design()
    {
        DialogDesign d;
        d.client_width_twips = 4500;
        d.client_height_twips = 3000;
        return d;
    }

    ControlArray<OptionButton> options;
    ControlArray<OptionButton> inner_options;
    CheckBox* box = nullptr;
    ScrollBar* bar = nullptr;
    ScrollBar* reversed = nullptr;
    TextLabel* label = nullptr;
    std::vector<std::string> log;
};

class ControlsTest : public testing::HeadlessTest {
protected:
    Panel& panel()
    {
        start();
        return Forms::create<Panel>();
    }
};

TEST_F(ControlsTest, AValueSetByCodeRunsTheHandlerOnlyWhenItChanges)
{
    Panel& p = panel();
    const struct { const char* what; std::function<void()> same; std::function<void()> other; const char* run; } cases[] = {
        {"box", [&] { p.box->set_Value(0); }, [&] { p.box->set_Value(2); }, "run chkBox-1"},
        {"bar", [&] { p.bar->set_Value(50); }, [&] { p.bar->set_Value(51); }, "run hsbBar-1"},
        {"option", [&] { p.options(0).set_Value(false); }, [&] { p.options(1).set_Value(true); }, "run optLeft1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        p.log.clear();
        c.same();
        EXPECT_TRUE(p.log.empty());
        c.other();
        ASSERT_FALSE(p.log.empty());
        // The backend sees the new value before the handler runs, and the handler runs once.
        EXPECT_EQ(p.log.back(), c.run);
        EXPECT_EQ(std::count(p.log.begin(), p.log.end(), std::string(c.run)), 1);
        p.log.clear();
        c.other();
        EXPECT_TRUE(p.log.empty());
    }
}

TEST_F(ControlsTest, AValueOutsideTheRangeRaises380AndKeepsTheOldOne)
{
    Panel& p = panel();
    const struct { const char* what; std::function<void()> set; std::function<int()> value; int kept; } cases[] = {
        {"box -1", [&] { p.box->set_Value(-1); }, [&] { return p.box->Value(); }, 0},
        {"box 3", [&] { p.box->set_Value(3); }, [&] { return p.box->Value(); }, 0},
        {"bar 0", [&] { p.bar->set_Value(0); }, [&] { return p.bar->Value(); }, 50},
        {"bar 101", [&] { p.bar->set_Value(101); }, [&] { return p.bar->Value(); }, 50},
        {"reversed -1", [&] { p.reversed->set_Value(-1); }, [&] { return p.reversed->Value(); }, 5},
        {"reversed 11", [&] { p.reversed->set_Value(11); }, [&] { return p.reversed->Value(); }, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        p.log.clear();
        EXPECT_EQ(error_of(c.set), err::invalid_property);
        EXPECT_EQ(c.value(), c.kept);
        EXPECT_TRUE(p.log.empty());
    }
    // Both ends of either range are allowed.
    for (int v : {1, 100}) EXPECT_EQ(error_of([&] { p.bar->set_Value(v); }), 0);
    for (int v : {0, 10}) EXPECT_EQ(error_of([&] { p.reversed->set_Value(v); }), 0);
}

TEST_F(ControlsTest, OneOptionIsSelectedPerContainer)
{
    Panel& p = panel();
    p.inner_options(1).set_Value(true);
    for (int pick = 0; pick < 3; ++pick) {
        p.log.clear();
        p.options(pick).set_Value(true);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(p.options(i).Value(), i == pick) << pick;
        // The group box inside is a container of its own.
        EXPECT_TRUE(p.inner_options(1).Value());
        // Only the newly selected option runs its handler.
        EXPECT_EQ(std::count_if(p.log.begin(), p.log.end(), [](const std::string& s) { return s.starts_with("run"); }), 1);
    }
}

TEST_F(ControlsTest, TheUsersClicksAndScrollsTakeTheSamePath)
{
    Panel& p = panel();
    const struct { int before; int after; } box_clicks[] = {{0, 1}, {1, 0}, {2, 0}};
    for (const auto& c : box_clicks) {
        p.box->set_Value(c.before);
        p.log.clear();
        p.box->user_click();
        EXPECT_EQ(p.box->Value(), c.after);
        EXPECT_EQ(p.log.back(), "run chkBox-1");
    }

    const struct { ScrollBar* bar; int from; std::function<void(ScrollBar&)> user; int to; } scrolls[] = {
        {p.bar, 50, [](ScrollBar& b) { b.user_scroll_to(500); }, 100},  // kept within the range
        {p.bar, 50, [](ScrollBar& b) { b.user_scroll_to(-7); }, 1},
        {p.bar, 50, [](ScrollBar& b) { b.user_step(5); }, 55},
        {p.bar, 50, [](ScrollBar& b) { b.user_step(-20); }, 30},
        {p.bar, 3, [](ScrollBar& b) { b.user_step(-5); }, 1},
        {p.reversed, 5, [](ScrollBar& b) { b.user_step(1); }, 4},  // towards Max, the smaller end
        {p.reversed, 1, [](ScrollBar& b) { b.user_step(-3); }, 4},
    };
    for (const auto& s : scrolls) {
        s.bar->set_Value(s.from);
        s.user(*s.bar);
        EXPECT_EQ(s.bar->Value(), s.to);
    }

    // A disabled control ignores the user, though code still sets it.
    p.box->set_Enabled(false);
    p.bar->set_Enabled(false);
    p.options(2).set_Enabled(false);
    p.options(0).set_Value(true);
    p.log.clear();
    p.box->user_click();
    p.bar->user_scroll_to(20);
    p.options(2).user_click();
    EXPECT_TRUE(p.log.empty());
    p.bar->set_Value(20);
    EXPECT_EQ(p.bar->Value(), 20);
}

TEST_F(ControlsTest, TheBackendHearsOfEveryRealChange)
{
    Panel& p = panel();
    TextLabel& l = *p.label;
    const std::function<void()> changes[] = {
        [&] { l.set_Caption("other"); },  [&] { l.set_Enabled(false); },
        [&] { l.set_Visible(false); },    [&] { l.set_ForeColor(rgb(192, 192, 192)); },
        [&] { l.set_BackColor(rgb(0, 0, 128)); }, [&] { l.Move({1, 2, 3, 4}); },
    };
    for (const auto& change : changes) {
        p.log.clear();
        change();
        EXPECT_EQ(p.log, std::vector<std::string>{"seen lblNote-1"});
        p.log.clear();
        change();  // the same value again
        EXPECT_TRUE(p.log.empty());
    }
}

TEST_F(ControlsTest, ControlArraysNameTheirMissingElement)
{
    Panel& p = panel();
    for (int missing : {-1, 3, 4}) {
        try {
            p.options(missing);
            ADD_FAILURE() << missing;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), 340);
            EXPECT_EQ(e.description(), "Control array element '" + std::to_string(missing) + "' doesn't exist");
        }
    }
}

TEST_F(ControlsTest, PositionsAddUpThroughNestedContainers)
{
    Panel& p = panel();
    EXPECT_EQ(p.client_rect(*p.label), (TwipRect{100 + 300 + 60, 100 + 600 + 700, 900, 255}));
    EXPECT_EQ(p.client_rect(p.options(2)), (TwipRect{200, 600, 900, 200}));
    EXPECT_EQ(p.client_rect(*p.bar), p.bar->position());
    const TwipRect r{10, 20, 30, 40};
    EXPECT_EQ(r.right(), 40);
    EXPECT_EQ(r.bottom(), 60);

    std::vector<std::string> order;
    for (Control* c : p.focus_order()) order.push_back(c->name() + std::to_string(c->index()));
    EXPECT_EQ(order, (std::vector<std::string>{"vsbDown-1", "hsbBar-1", "chkBox-1", "optLeft0", "optLeft1", "optLeft2",
                                               "optInner0", "optInner1"}));
}

TEST_F(ControlsTest, CaptionsMarkTheirAccessKeys)
{
    const struct { const char* caption; char key; const char* mnemonic; const char* plain; } cases[] = {
        {"&OK", 'o', "_OK", "OK"},
        {"&WWW...", 'w', "_WWW...", "WWW..."},
        {"&Default Standard", 'd', "_Default Standard", "Default Standard"},
        {"Save && &Quit", 'q', "Save & _Quit", "Save & Quit"},
        {"QXR_114", 0, "QXR__114", "QXR_114"},
        {"Size / Größe", 0, "Size / Größe", "Size / Größe"},
        {"trailing &", 0, "trailing &", "trailing &"},
    };
    Panel& p = panel();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        p.label->set_Caption(c.caption);
        EXPECT_EQ(p.label->access_key(), c.key);
        EXPECT_EQ(mnemonic_text(c.caption), c.mnemonic);
        EXPECT_EQ(plain_text(c.caption), c.plain);
    }
}

TEST_F(ControlsTest, WindowsMeasureInTwipsAndMoveInPixels)
{
    options.screen_width = 800;
    options.screen_height = 600;
    options.twips_per_pixel = 12;  // 120 dots per inch
    Panel& p = panel();
    EXPECT_EQ(screen_width_twips(), 9600);
    EXPECT_EQ(screen_height_twips(), 7200);
    p.Load();
    p.Move(-1206, 606);
    EXPECT_EQ(p.Left(), -1206);
    EXPECT_EQ(p.Top(), 606);
    const HeadlessWindow* w = backend->window_of(p);
    ASSERT_NE(w, nullptr);
    // -100.5 and 50.5 pixels: halves go to the even neighbour.
    EXPECT_EQ(w->left, -100);
    EXPECT_EQ(w->top, 50);
    EXPECT_EQ(w->width, 4500 / 12);
    EXPECT_EQ(w->height, 3000 / 12);
}

}  // namespace
}  // namespace fw

// The dialogs as GTK shows them. These need an X display and are skipped
// without one; tests/e2e/dialogs_gtk_widgets.sh runs them on a virtual one.
#include "dialogs/frm_config.h"
#include "dialogs/frm_info.h"
#include "host/saver.h"
#include "toolkit/gtk/gtk_backend.h"
#include "toolkit/gtk/gtk_scroll_bar.h"

#include "../support/headless_fixture.h"

#include <gtk/gtk.h>

#include <map>

namespace fw {
namespace {

// The in-memory system with real GTK windows for the dialogs.
class GtkOnHeadless : public HeadlessPlatform {
public:
    using HeadlessPlatform::HeadlessPlatform;
    std::unique_ptr<NativeWindow> create_window(Form& form) override { return create_gtk_window(form); }
};

std::string widget_name(const Control& c) { return c.name() + (c.index() >= 0 ? "-" + std::to_string(c.index()) : ""); }

void settle()
{
    for (int i = 0; i < 5; ++i) {
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
        g_usleep(2000);
    }
}

GtkWindow* toplevel_named(const std::string& name)
{
    GtkWindow* found = nullptr;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l; l = l->next)
        if (gtk_widget_get_visible(GTK_WIDGET(l->data)) && name == gtk_widget_get_name(GTK_WIDGET(l->data)))
            found = GTK_WINDOW(l->data);
    g_list_free(all);
    return found;
}

// The widgets placed in the window, by control name.
std::map<std::string, GtkWidget*> placed(GtkWindow* window)
{
    std::map<std::string, GtkWidget*> widgets;
    GtkWidget* fixed = gtk_bin_get_child(GTK_BIN(window));
    GList* children = gtk_container_get_children(GTK_CONTAINER(fixed));
    for (GList* l = children; l; l = l->next) widgets[gtk_widget_get_name(GTK_WIDGET(l->data))] = GTK_WIDGET(l->data);
    g_list_free(children);
    return widgets;
}

// Hands the widget an event as its window would; the end-to-end tests move
// the real pointer and keyboard.
void send(GtkWidget* widget, GdkEventType type, double x = 0, double y = 0, guint key = 0)
{
    GdkEvent* event = gdk_event_new(type);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
    gdk_event_set_device(event, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
    if (type == GDK_KEY_PRESS) {
        event->key.keyval = key;
    } else if (type == GDK_MOTION_NOTIFY) {
        event->motion.x = x;
        event->motion.y = y;
    } else if (type == GDK_SCROLL) {
        event->scroll.direction = GDK_SCROLL_SMOOTH;
        event->scroll.delta_y = y;
    } else {
        event->button.x = x;
        event->button.y = y;
        event->button.button = GDK_BUTTON_PRIMARY;
    }
    gtk_widget_event(widget, event);
    gdk_event_free(event);
}

GtkLabel* label_in(GtkWidget* widget)
{
    if (GTK_IS_LABEL(widget)) return GTK_LABEL(widget);
    if (GTK_IS_FRAME(widget) && gtk_frame_get_label_widget(GTK_FRAME(widget)))
        return GTK_LABEL(gtk_frame_get_label_widget(GTK_FRAME(widget)));
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    GtkLabel* found = nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* l = children; l && !found; l = l->next) found = label_in(GTK_WIDGET(l->data));
    g_list_free(children);
    return found;
}

class GtkDialogsTest : public testing::HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        if (!gtk_backend_init()) GTEST_SKIP() << "no X display";
        gtk = std::make_unique<GtkOnHeadless>(std::move(options));
        install_platform(gtk.get());
        memory = static_cast<MemoryStore*>(&gtk->settings());
        Saver::LoadConfig();
    }

    void TearDown() override
    {
        set_gtk_modal_loop(nullptr);
        Forms::discard_all();
        if (gtk) settle();
        HeadlessTest::TearDown();
        gtk.reset();
    }

    frmConfig& open_config()
    {
        frmConfig& d = Forms::create<frmConfig>();
        d.Show(ShowMode::modeless);
        settle();
        window = toplevel_named("frmConfig");
        widgets = placed(window);
        return d;
    }

    // The control's own widget, inside the holder placed in the window.
    GtkWidget* widget(const Control& c) { return gtk_bin_get_child(GTK_BIN(widgets.at(widget_name(c)))); }

    std::unique_ptr<GtkOnHeadless> gtk;
    GtkWindow* window = nullptr;
    std::map<std::string, GtkWidget*> widgets;
};

void expect_layout(DialogForm& form, GtkWindow* window)
{
    ASSERT_NE(window, nullptr);
    int width = 0, height = 0;
    gtk_window_get_size(window, &width, &height);
    EXPECT_EQ(width, twips_to_pixels_x(form.client_width_twips()));
    EXPECT_EQ(height, twips_to_pixels_y(form.client_height_twips()));
    const auto widgets = placed(window);
    for (Control* c : form.controls()) {
        SCOPED_TRACE(widget_name(*c));
        ASSERT_TRUE(widgets.count(widget_name(*c)));
        GtkAllocation a;
        gtk_widget_get_allocation(widgets.at(widget_name(*c)), &a);
        const TwipRect r = form.client_rect(*c);
        // Every widget keeps exactly the place and size of its control.
        EXPECT_EQ(a.x, twips_to_pixels_x(r.left));
        EXPECT_EQ(a.y, twips_to_pixels_y(r.top));
        EXPECT_EQ(a.width, twips_to_pixels_x(r.width));
        EXPECT_EQ(a.height, twips_to_pixels_y(r.height));
    }
}

TEST_F(GtkDialogsTest, WidgetsKeepTheirControlsPlacesAndSizes)
{
    for (int tpp : {15, 12}) {
        SCOPED_TRACE(tpp);
        gtk->options().twips_per_pixel = tpp;
        frmConfig& config = open_config();
        expect_layout(config, window);
        EXPECT_FALSE(gtk_window_get_resizable(window));
        EXPECT_EQ(gtk_window_get_type_hint(window), GDK_WINDOW_TYPE_HINT_UTILITY);
        EXPECT_TRUE(gtk_window_get_skip_taskbar_hint(window));
        EXPECT_STREQ(gtk_window_get_title(window), "Frostwisp Screensaver  ---  Settings / Einstellungen...");
        EXPECT_NE(gtk_window_get_icon(window), nullptr);

        frmInfo& info = Forms::create<frmInfo>();
        info.Show(ShowMode::modeless);
        settle();
        GtkWindow* info_window = toplevel_named("frmInfo");
        expect_layout(info, info_window);
        EXPECT_FALSE(gtk_window_get_decorated(info_window));
        Forms::discard_all();
        settle();
    }
}

TEST_F(GtkDialogsTest, CaptionsAndAccessKeysReachTheWidgets)
{
    frmConfig& d = open_config();
    EXPECT_STREQ(gtk_label_get_text(label_in(widget(d.Label3(2)))), "Size / Größe");
    EXPECT_STREQ(gtk_label_get_text(label_in(widget(d.Frame1))), "Background / Hintergrund ");
    EXPECT_STREQ(gtk_label_get_text(label_in(widget(d.lblTime))), "10");
    const struct { PushButton* button; guint key; const char* text; } buttons[] = {
        {&d.cmdHomepage, GDK_KEY_w, "WWW..."}, {&d.cmdInfo, GDK_KEY_i, "Info..."},
        {&d.cmdReset, GDK_KEY_d, "Default Standard"}, {&d.cmdOK, GDK_KEY_o, "OK"},
    };
    for (const auto& b : buttons) {
        GtkLabel* label = label_in(widget(*b.button));
        EXPECT_EQ(gdk_keyval_to_lower(gtk_label_get_mnemonic_keyval(label)), b.key);
        EXPECT_STREQ(gtk_label_get_text(label), b.text);
    }
}

TEST_F(GtkDialogsTest, CodeChangesShowInTheWidgets)
{
    frmConfig& d = open_config();
    d.chkOpt(2).set_Value(0);
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget(d.chkOpt(2)))));
    EXPECT_FALSE(gtk_widget_get_sensitive(widget(d.vscTime)));
    d.chkOpt(0).set_Value(2);
    EXPECT_TRUE(gtk_toggle_button_get_inconsistent(GTK_TOGGLE_BUTTON(widget(d.chkOpt(0)))));
    d.HScroll(1).set_Value(73);
    EXPECT_EQ(GtkScrollBar::of(widget(d.HScroll(1)))->value(), 73);
    d.vscTime.set_Value(60);
    EXPECT_STREQ(gtk_label_get_text(label_in(widget(d.lblTime))), "40");
    d.chkRandom.set_Value(0);
    for (OptionButton* o : d.optBack) EXPECT_TRUE(gtk_widget_get_sensitive(widget(*o)));
    d.optBack(3).set_Value(true);
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget(d.optBack(3)))));
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget(d.optBack(0)))));
    d.optBack(3).set_Value(false);  // none selected: no option shows the mark
    for (OptionButton* o : d.optBack) EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget(*o))));
}

TEST_F(GtkDialogsTest, TheUsersChangesRunTheHandlers)
{
    frmConfig& d = open_config();
    gtk_button_clicked(GTK_BUTTON(widget(d.chkOpt(2))));
    EXPECT_EQ(d.chkOpt(2).Value(), 0);
    EXPECT_FALSE(d.vscTime.Enabled());
    EXPECT_FALSE(gtk_widget_get_sensitive(widget(d.vscTime)));
    gtk_button_clicked(GTK_BUTTON(widget(d.chkOpt(2))));
    EXPECT_TRUE(d.vscTime.Enabled());

    send(widget(d.vscTime), GDK_KEY_PRESS, 0, 0, GDK_KEY_Up);
    EXPECT_EQ(d.vscTime.Value(), 89);
    EXPECT_EQ(d.lblTime.Caption(), "11");
    EXPECT_EQ(GtkScrollBar::of(widget(d.vscTime))->value(), 89);

    gtk_button_clicked(GTK_BUTTON(widget(d.chkRandom)));
    EXPECT_EQ(d.chkRandom.Value(), 0);
    gtk_button_clicked(GTK_BUTTON(widget(d.optBack(2))));
    EXPECT_TRUE(d.optBack(2).Value());
    EXPECT_EQ(Saver::SaverSettings.Background, 2);

    gtk_button_clicked(GTK_BUTTON(widget(d.cmdHomepage)));
    EXPECT_EQ(gtk->calls, std::vector<std::string>{"open https://www.frostwisp.example/"});

    gtk_button_clicked(GTK_BUTTON(widget(d.cmdOK)));
    EXPECT_FALSE(d.loaded());
    EXPECT_EQ(memory->read("Frostwisp", "Settings", "Background"), "2");
    EXPECT_EQ(memory->read("Frostwisp", "Settings", "rTime"), "660");
    settle();
    EXPECT_EQ(toplevel_named("frmConfig"), nullptr);
}

TEST_F(GtkDialogsTest, ADraggedThumbAsksOnceOnReleaseAndTheWheelCountsWholeNotches)
{
    frmConfig& d = open_config();
    int runs = 0;
    d.HScroll(1).set_handler([&] { ++runs; });
    GtkWidget* bar = widget(d.HScroll(1));
    GtkScrollBar::Layout l = GtkScrollBar::of(bar)->layout();
    ASSERT_GE(l.thumb_start, 0);
    const double grip = l.thumb_start + l.thumb_length / 2.0;
    send(bar, GDK_BUTTON_PRESS, grip, 5);
    send(bar, GDK_MOTION_NOTIFY, grip + l.length, 5);  // beyond the end: the thumb stops there
    EXPECT_EQ(GtkScrollBar::of(bar)->layout().thumb_start, l.length - l.forward_arrow - l.thumb_length);
    EXPECT_EQ(d.HScroll(1).Value(), 50);
    send(bar, GDK_BUTTON_RELEASE, grip + l.length, 5);
    EXPECT_EQ(d.HScroll(1).Value(), 100);
    EXPECT_EQ(runs, 1);

    // A touchpad's small deltas make a line once they add up to a notch.
    send(bar, GDK_SCROLL, 0, -0.5);
    EXPECT_EQ(runs, 1);
    send(bar, GDK_SCROLL, 0, -0.5);
    EXPECT_EQ(d.HScroll(1).Value(), 95);
    EXPECT_EQ(runs, 2);

    // A disabled bar takes nothing and shows no thumb.
    d.chkOpt(2).set_Value(0);
    settle();
    EXPECT_LT(GtkScrollBar::of(widget(d.vscTime))->layout().thumb_start, 0);
    send(widget(d.vscTime), GDK_KEY_PRESS, 0, 0, GDK_KEY_Home);
    EXPECT_EQ(d.vscTime.Value(), 90);
}

TEST_F(GtkDialogsTest, TabFollowsTheDialogsFocusOrder)
{
    open_config();
    std::vector<std::string> order;
    GtkWidget* first = gtk_window_get_focus(window);
    ASSERT_NE(first, nullptr);
    order.push_back(gtk_widget_get_name(first));
    for (int i = 0; i < 12; ++i) {
        gtk_widget_child_focus(GTK_WIDGET(window), GTK_DIR_TAB_FORWARD);
        order.push_back(gtk_widget_get_name(gtk_window_get_focus(window)));
    }
    // The disabled options are passed over; after the last control comes the first.
    EXPECT_EQ(order, (std::vector<std::string>{"HScroll-0", "HScroll-1", "chkOpt-0", "chkOpt-1", "cmdHomepage", "cmdInfo",
                                               "cmdReset", "cmdOK", "chkOpt-2", "vscTime", "chkRandom", "HScroll-2",
                                               "HScroll-0"}));
    gtk_widget_child_focus(GTK_WIDGET(window), GTK_DIR_TAB_BACKWARD);
    EXPECT_STREQ(gtk_widget_get_name(gtk_window_get_focus(window)), "HScroll-2");
}

// The window as it would show on the screen while it has the keyboard, for
// one pixel rectangle.
std::vector<uint32_t> drawn(GtkWindow* window, const GtkAllocation& area)
{
    // Other tests' windows on the same display may have taken the keyboard;
    // the window is told it has it, and no event comes between that and the
    // drawing.
    GdkEvent* focus = gdk_event_new(GDK_FOCUS_CHANGE);
    focus->focus_change.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(window))));
    focus->focus_change.in = TRUE;
    gtk_widget_event(GTK_WIDGET(window), focus);
    gdk_event_free(focus);
    gtk_container_check_resize(GTK_CONTAINER(window));  // lays out what the changes left to lay out
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, area.width, area.height);
    cairo_t* cr = cairo_create(surface);
    cairo_translate(cr, -area.x, -area.y);
    gtk_widget_draw(GTK_WIDGET(window), cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    std::vector<uint32_t> pixels;
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < area.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface) + y * stride);
        pixels.insert(pixels.end(), row, row + area.width);
    }
    cairo_surface_destroy(surface);
    return pixels;
}

TEST_F(GtkDialogsTest, EveryControlShowsTheKeyboardFocus)
{
    frmConfig& d = open_config();
    d.chkRandom.set_Value(0);  // the options take the focus too
    gtk_window_set_focus_visible(window, TRUE);  // as after the first key
    settle();
    // Each control in Tab order, drawn with the focus and again once the
    // focus has gone on to the next one: the two must differ.
    std::vector<std::string> unseen;
    for (size_t i = 0; i < d.focus_order().size() - 3; ++i) {  // three options are passed over
        GtkWidget* focused = gtk_window_get_focus(window);
        ASSERT_NE(focused, nullptr);
        GtkAllocation area;
        gtk_widget_get_allocation(gtk_widget_get_parent(focused), &area);
        const auto with_focus = drawn(window, area);
        gtk_widget_child_focus(GTK_WIDGET(window), GTK_DIR_TAB_FORWARD);
        settle();
        if (drawn(window, area) == with_focus) unseen.push_back(gtk_widget_get_name(focused));
    }
    EXPECT_EQ(unseen, std::vector<std::string>{});
}

TEST_F(GtkDialogsTest, TheCloseBoxClosesWithoutWriting)
{
    frmConfig& d = open_config();
    gtk_button_clicked(GTK_BUTTON(widget(d.chkRandom)));
    gtk_window_close(window);
    settle();
    EXPECT_FALSE(d.loaded());
    EXPECT_TRUE(memory->entries.empty());
    EXPECT_EQ(toplevel_named("frmConfig"), nullptr);
}

TEST_F(GtkDialogsTest, InfoOpensModallyCentredAndOnlyItsButtonClosesIt)
{
    gtk->options().screen_width = 1024;
    gtk->options().screen_height = 768;
    frmConfig& d = open_config();
    int rounds = 0;
    std::string seen;
    set_gtk_modal_loop([&](const std::function<bool()>& still_open) {
        ++rounds;
        settle();
        GtkWindow* info = toplevel_named("frmInfo");
        if (!info) return;
        int x = 0, y = 0;
        gtk_window_get_position(info, &x, &y);
        seen = std::to_string(x) + "," + std::to_string(y);
        EXPECT_TRUE(gtk_window_get_modal(info));
        gtk_window_close(info);  // no frame, no close box: this does nothing
        settle();
        EXPECT_TRUE(still_open());
        gtk_button_clicked(GTK_BUTTON(gtk_bin_get_child(GTK_BIN(placed(info).at("ok")))));
        EXPECT_FALSE(still_open());
    });
    gtk_button_clicked(GTK_BUTTON(widget(d.cmdInfo)));
    EXPECT_EQ(rounds, 1);
    EXPECT_EQ(seen, "334,219");
    EXPECT_TRUE(d.loaded());
    settle();
    EXPECT_EQ(toplevel_named("frmInfo"), nullptr);
}

TEST_F(GtkDialogsTest, BothDialogsOpenCentredOnThePrimaryMonitor)
{
    // Two monitors side by side, the right one primary, the pointer on the left one.
    gtk->options().monitors = {{{0, 0, 512, 768}, false}, {{512, 0, 1024, 768}, true}};
    gtk->options().pointer = Point{100, 100};
    frmConfig& d = open_config();
    int x = 0, y = 0;
    gtk_window_get_position(window, &x, &y);
    EXPECT_EQ(x, 512 + (512 - 390) / 2);
    EXPECT_EQ(y, (768 - 310) / 2);
    std::string seen;
    set_gtk_modal_loop([&](const std::function<bool()>&) {
        settle();
        GtkWindow* info = toplevel_named("frmInfo");
        if (!info) return;
        gtk_window_get_position(info, &x, &y);
        seen = std::to_string(x) + "," + std::to_string(y);
        gtk_button_clicked(GTK_BUTTON(gtk_bin_get_child(GTK_BIN(placed(info).at("ok")))));
    });
    gtk_button_clicked(GTK_BUTTON(widget(d.cmdInfo)));
    // Left = 7680 + (7680 - 5340) \ 2 twips = 590 pixels; Top as on one screen.
    EXPECT_EQ(seen, "590,219");
}

}  // namespace
}  // namespace fw

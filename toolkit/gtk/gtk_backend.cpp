#include "toolkit/gtk/gtk_backend.h"

#include "toolkit/gtk/gtk_scroll_bar.h"

#include "toolkit/bitmap.h"
#include "toolkit/dialog_form.h"
#include "toolkit/numbers.h"
#include "toolkit/resources.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fw {

namespace {

int open_windows = 0;
ModalLoop modal_loop;
std::optional<GtkScaling> scaling;  // known once GTK is open

// The program's own rules, over whatever theme is installed: every widget
// keeps to the size its control gives it, as the dialogs were laid out for
// small controls with thin borders.
constexpr const char* base_css = R"css(
.frostwisp-dialog button { min-height: 0; min-width: 0; padding: 1px; }
.frostwisp-dialog checkbutton, .frostwisp-dialog radiobutton { min-height: 0; padding: 0; margin: 0; }
.frostwisp-dialog check, .frostwisp-dialog radio { min-width: 12px; min-height: 12px; margin: 0 4px 0 0; padding: 0; }
.frostwisp-dialog *:focus { outline-color: #000000; outline-style: dotted; outline-width: 1px; }
.frostwisp-dialog checkbutton:focus, .frostwisp-dialog radiobutton:focus { outline-offset: -1px; }
.frostwisp-dialog frame > label { padding: 0 2px; margin: 0; }
.frostwisp-dialog frame.frostwisp-sunken > border { border: 2px inset #a0a0a0; border-radius: 0; }
)css";

// Icons are drawn on this colour, which stands for "no pixel".
constexpr Color transparent_key = rgb(255, 0, 255);

std::string css_color(Color c)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", red(c), green(c), blue(c));
    return text;
}

// Pixels with two decimals and a '.', whatever the user's locale says.
std::string css_pixels(double pixels)
{
    const long hundredths = std::lround(pixels * 100);
    char text[32];
    std::snprintf(text, sizeof text, "%ld.%02ldpx", hundredths / 100, hundredths % 100);
    return text;
}

// The size goes in GTK's pixels at the dialog's own resolution: in points GTK
// would measure it at its font resolution, which may hold the display's
// scale a second time.
std::string css_font(const FontSpec& font, double dpi)
{
    std::string family = "\"" + font.face + "\"";
    // The classic dialog face is rarely installed on Linux; a face with the
    // same widths keeps the captions within their controls.
    if (font.face == "MS Sans Serif") family += ", \"Liberation Sans\", Arial";
    family += ", sans-serif";
    return "font-family: " + family + "; font-size: " + css_pixels(font.points * dpi / 72.0) +
           "; font-weight: " + (font.weight == FontWeight::bold ? "bold" : "normal") + ";";
}

GdkPixbuf* pixbuf_of(const std::string& resource)
{
    if (resource.empty()) return nullptr;
    const Image image = decode_bmp(embedded_resource(resource));
    if (image.empty()) return nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, image.width, image.height);
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < image.height; ++y) {
        guchar* out = pixels + static_cast<ptrdiff_t>(y) * stride;
        for (int x = 0; x < image.width; ++x) {
            const Color c = image.at(x, y);
            *out++ = static_cast<guchar>(red(c));
            *out++ = static_cast<guchar>(green(c));
            *out++ = static_cast<guchar>(blue(c));
            *out++ = c == transparent_key ? 0 : 255;
        }
    }
    return pixbuf;
}

void add_provider_to_tree(GtkWidget* widget, GtkStyleProvider* provider)
{
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), provider,
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(
            GTK_CONTAINER(widget),
            [](GtkWidget* child, gpointer data) { add_provider_to_tree(child, static_cast<GtkStyleProvider*>(data)); },
            provider);
}

GtkLabel* first_label(GtkWidget* widget)
{
    if (GTK_IS_LABEL(widget)) return GTK_LABEL(widget);
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    GtkLabel* found = nullptr;
    for (GList* l = children; l && !found; l = l->next) found = first_label(static_cast<GtkWidget*>(l->data));
    g_list_free(children);
    return found;
}

// A holder of exactly the size it is given: it asks for nothing of its own
// and hands its whole allocation to its one child, which is clipped there. A
// caption a little taller than its control so cannot push the dialog apart.
struct FwHolder {
    GtkBin parent;
};
struct FwHolderClass {
    GtkBinClass parent_class;
};

G_DEFINE_TYPE(FwHolder, fw_holder, GTK_TYPE_BIN)

void fw_holder_measure(GtkWidget* widget, GtkOrientation orientation, gint* minimum, gint* natural)
{
    // The child is measured, as GTK wants before it is allocated, and then
    // disregarded: the holder's size request alone decides.
    if (GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget))) {
        gint child_min = 0, child_nat = 0;
        if (orientation == GTK_ORIENTATION_HORIZONTAL)
            gtk_widget_get_preferred_width(child, &child_min, &child_nat);
        else
            gtk_widget_get_preferred_height(child, &child_min, &child_nat);
    }
    *minimum = *natural = 0;
}

void fw_holder_preferred_width(GtkWidget* widget, gint* minimum, gint* natural)
{
    fw_holder_measure(widget, GTK_ORIENTATION_HORIZONTAL, minimum, natural);
}

void fw_holder_preferred_height(GtkWidget* widget, gint* minimum, gint* natural)
{
    fw_holder_measure(widget, GTK_ORIENTATION_VERTICAL, minimum, natural);
}

void fw_holder_height_for_width(GtkWidget* widget, gint, gint* minimum, gint* natural)
{
    fw_holder_measure(widget, GTK_ORIENTATION_VERTICAL, minimum, natural);
}

void fw_holder_width_for_height(GtkWidget* widget, gint, gint* minimum, gint* natural)
{
    fw_holder_measure(widget, GTK_ORIENTATION_HORIZONTAL, minimum, natural);
}

GtkSizeRequestMode fw_holder_request_mode(GtkWidget*) { return GTK_SIZE_REQUEST_CONSTANT_SIZE; }

void fw_holder_size_allocate(GtkWidget* widget, GtkAllocation* allocation)
{
    gtk_widget_set_allocation(widget, allocation);
    if (GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget)); child && gtk_widget_get_visible(child)) {
        GtkAllocation inner = *allocation;
        gtk_widget_size_allocate(child, &inner);
    }
    gtk_widget_set_clip(widget, allocation);
}

void fw_holder_class_init(FwHolderClass* klass)
{
    GtkWidgetClass* widget_class = GTK_WIDGET_CLASS(klass);
    widget_class->get_preferred_width = fw_holder_preferred_width;
    widget_class->get_preferred_height = fw_holder_preferred_height;
    widget_class->get_preferred_height_for_width = fw_holder_height_for_width;
    widget_class->get_preferred_width_for_height = fw_holder_width_for_height;
    widget_class->get_request_mode = fw_holder_request_mode;
    widget_class->size_allocate = fw_holder_size_allocate;
}

void fw_holder_init(FwHolder* holder) { gtk_widget_set_has_window(GTK_WIDGET(holder), FALSE); }

GtkWidget* fw_holder_new() { return GTK_WIDGET(g_object_new(fw_holder_get_type(), nullptr)); }

class GtkDialogWindow;

// One control's widget and what keeps it in step with the model.
struct Bound {
    GtkDialogWindow* owner = nullptr;
    Control* control = nullptr;
    GtkWidget* holder = nullptr;  // what is placed in the window, at the control's size
    GtkWidget* widget = nullptr;  // the control's own widget, inside the holder
    GtkLabel* label = nullptr;    // the widget showing the caption, if any
    GtkScrollBar* scroll_bar = nullptr;
    GtkCssProvider* text_css = nullptr;  // colour and font, for the widget and its parts
    GtkCssProvider* box_css = nullptr;   // background, for the outer widget only

    ~Bound()
    {
        if (text_css) g_object_unref(text_css);
        if (box_css) g_object_unref(box_css);
    }
};

class GtkDialogWindow : public NativeWindow {
public:
    explicit GtkDialogWindow(DialogForm& form);
    ~GtkDialogWindow() override;

    NativeHandle handle() const override;
    void show(ShowMode mode) override;
    void set_window_state(WindowState) override {}
    bool set_topmost(bool topmost, bool) override;
    void refresh() override {}
    void embed(NativeHandle, int, int) override {}
    void move(int left, int top, int width, int height) override;
    void set_timer(int, bool) override {}
    void destroy() override;

private:
    void build();
    Bound& add(Control& control);
    void make_widget(Bound& b);
    void place(Bound& b);
    void sync(Bound& b, ControlProperty property);
    void sync_value(Bound& b);
    void restyle(Bound& b);
    void focus_first();
    // Twips to GTK's pixels, which are the display's divided by GTK's scale.
    int px_x(int twips) const { return static_cast<int>(round_even(twips / twips_per_px_x_)); }
    int px_y(int twips) const { return static_cast<int>(round_even(twips / twips_per_px_y_)); }
    GtkWidget* hidden_option(const Control* container);
    // Runs a user's action on a control; false when it closed the window.
    template <class Action> static bool user_action(Bound* b, Action&& action);

    static gboolean on_delete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean on_focus(GtkWidget*, GtkDirectionType direction, gpointer self);
    static void on_clicked(GtkButton*, gpointer bound);
    static void on_toggled(GtkToggleButton* button, gpointer bound);
    static void on_scroll_request(Bound* b, ScrollRequest request, int position);
    static gboolean on_label_release(GtkWidget*, GdkEventButton* event, gpointer bound);
    static gboolean on_label_crossing(GtkWidget* widget, GdkEventCrossing* event, gpointer);

    DialogForm& form_;
    GtkWidget* window_ = nullptr;
    GtkWidget* fixed_ = nullptr;
    std::vector<std::unique_ptr<Bound>> bound_;
    std::map<const Control*, GtkWidget*> hidden_options_;  // by container: "no option selected"
    std::shared_ptr<bool> open_ = std::make_shared<bool>(true);
    bool syncing_ = false;
    int scale_ = 1;
    double twips_per_px_x_ = 15;
    double twips_per_px_y_ = 15;
};

GtkDialogWindow::GtkDialogWindow(DialogForm& form) : form_(form)
{
    ++open_windows;
    const DialogDesign& design = form.dialog_design();
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    scale_ = std::max(gtk_widget_get_scale_factor(window_), 1);
    twips_per_px_x_ = platform().twips_per_pixel_x() * scale_;
    twips_per_px_y_ = platform().twips_per_pixel_y() * scale_;
    gtk_style_context_add_class(gtk_widget_get_style_context(window_), "frostwisp-dialog");
    gtk_widget_set_name(window_, form.name().c_str());
    gtk_window_set_title(GTK_WINDOW(window_), design.form.caption.c_str());
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window_), !design.form.show_in_taskbar);
    gtk_window_set_skip_pager_hint(GTK_WINDOW(window_), !design.form.show_in_taskbar);
    switch (design.form.border) {
    case BorderStyle::none: gtk_window_set_decorated(GTK_WINDOW(window_), FALSE); break;
    case BorderStyle::fixed_tool_window:
        gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_UTILITY);
        break;
    case BorderStyle::fixed_dialog:
        gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
        break;
    case BorderStyle::sizable: break;
    }
    if (GdkPixbuf* icon = pixbuf_of(design.form.icon)) {
        gtk_window_set_icon(GTK_WINDOW(window_), icon);
        g_object_unref(icon);
    }
    if (design.back_color) {
        GtkCssProvider* css = gtk_css_provider_new();
        const std::string rule = "* { background-color: " + css_color(*design.back_color) + "; }";
        gtk_css_provider_load_from_data(css, rule.c_str(), -1, nullptr);
        gtk_style_context_add_provider(gtk_widget_get_style_context(window_), GTK_STYLE_PROVIDER(css),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
        g_object_unref(css);
    }
    fixed_ = gtk_fixed_new();
    gtk_widget_set_size_request(fixed_, px_x(design.client_width_twips), px_y(design.client_height_twips));
    gtk_container_add(GTK_CONTAINER(window_), fixed_);
    g_signal_connect(window_, "delete-event", G_CALLBACK(on_delete), this);
    g_signal_connect(fixed_, "focus", G_CALLBACK(on_focus), this);
    build();
}

GtkDialogWindow::~GtkDialogWindow() { destroy(); }

void GtkDialogWindow::build()
{
    for (Control* control : form_.controls()) {
        Bound& b = add(*control);
        control->set_observer([this, &b](Control&, ControlProperty property) { sync(b, property); });
    }
}

Bound& GtkDialogWindow::add(Control& control)
{
    auto bound = std::make_unique<Bound>();
    Bound& b = *bound;
    bound_.push_back(std::move(bound));
    b.owner = this;
    b.control = &control;
    make_widget(b);
    const std::string name = control.name() + (control.index() >= 0 ? "-" + std::to_string(control.index()) : "");
    gtk_widget_set_name(b.widget, name.c_str());
    b.holder = fw_holder_new();
    gtk_widget_set_name(b.holder, name.c_str());
    gtk_container_add(GTK_CONTAINER(b.holder), b.widget);
    gtk_fixed_put(GTK_FIXED(fixed_), b.holder, 0, 0);
    place(b);
    syncing_ = true;
    sync_value(b);
    syncing_ = false;
    gtk_widget_set_sensitive(b.widget, control.Enabled());
    if (!control.Visible()) gtk_widget_set_no_show_all(b.holder, TRUE);
    restyle(b);
    return b;
}

void GtkDialogWindow::make_widget(Bound& b)
{
    Control& c = *b.control;
    switch (c.kind()) {
    case ControlKind::label: {
        b.widget = gtk_event_box_new();
        gtk_event_box_set_visible_window(GTK_EVENT_BOX(b.widget), c.back_style == BackStyle::opaque);
        GtkWidget* label = gtk_label_new(plain_text(c.Caption()).c_str());
        b.label = GTK_LABEL(label);
        const float x = c.alignment == TextAlign::left ? 0.0f : c.alignment == TextAlign::right ? 1.0f : 0.5f;
        gtk_label_set_xalign(b.label, x);
        gtk_label_set_yalign(b.label, 0.0f);
        gtk_label_set_justify(b.label, c.alignment == TextAlign::left    ? GTK_JUSTIFY_LEFT
                                       : c.alignment == TextAlign::right ? GTK_JUSTIFY_RIGHT
                                                                         : GTK_JUSTIFY_CENTER);
        gtk_label_set_line_wrap(b.label, TRUE);
        gtk_label_set_line_wrap_mode(b.label, PANGO_WRAP_WORD_CHAR);
        if (c.border == ControlBorder::fixed_single) {
            // The event box paints the background; a frame inside it the border.
            GtkWidget* frame = gtk_frame_new(nullptr);
            gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
            gtk_style_context_add_class(gtk_widget_get_style_context(frame), "frostwisp-sunken");
            gtk_widget_set_margin_start(label, 1);
            gtk_widget_set_margin_end(label, 1);
            gtk_container_add(GTK_CONTAINER(frame), label);
            gtk_container_add(GTK_CONTAINER(b.widget), frame);
        } else {
            gtk_container_add(GTK_CONTAINER(b.widget), label);
        }
        if (c.has_handler()) {
            gtk_widget_add_events(b.widget, GDK_BUTTON_RELEASE_MASK);
            g_signal_connect(b.widget, "button-release-event", G_CALLBACK(on_label_release), &b);
            // A link shows the hand while the pointer is over it.
            gtk_widget_add_events(b.widget, GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK);
            g_signal_connect(b.widget, "enter-notify-event", G_CALLBACK(on_label_crossing), nullptr);
            g_signal_connect(b.widget, "leave-notify-event", G_CALLBACK(on_label_crossing), nullptr);
        }
        break;
    }
    case ControlKind::group_box:
        b.widget = gtk_frame_new(plain_text(c.Caption()).c_str());
        b.label = GTK_LABEL(gtk_frame_get_label_widget(GTK_FRAME(b.widget)));
        gtk_frame_set_shadow_type(GTK_FRAME(b.widget), GTK_SHADOW_ETCHED_IN);
        break;
    case ControlKind::image: {
        auto& image = static_cast<ImageBox&>(c);
        GdkPixbuf* pixbuf = pixbuf_of(image.picture);
        if (pixbuf && image.stretch) {
            // Stretched to the display's pixels, so that a scaled window
            // does not stretch it a second time.
            const TwipRect r = form_.client_rect(c);
            GdkPixbuf* scaled = gdk_pixbuf_scale_simple(pixbuf, std::max(px_x(r.width), 1) * scale_,
                                                        std::max(px_y(r.height), 1) * scale_, GDK_INTERP_NEAREST);
            g_object_unref(pixbuf);
            cairo_surface_t* surface = gdk_cairo_surface_create_from_pixbuf(scaled, scale_, nullptr);
            g_object_unref(scaled);
            b.widget = gtk_image_new_from_surface(surface);
            cairo_surface_destroy(surface);
        } else {
            b.widget = pixbuf ? gtk_image_new_from_pixbuf(pixbuf) : gtk_image_new();
            if (pixbuf) g_object_unref(pixbuf);
        }
        gtk_widget_set_halign(b.widget, GTK_ALIGN_START);
        gtk_widget_set_valign(b.widget, GTK_ALIGN_START);
        break;
    }
    case ControlKind::push_button: {
        auto& button = static_cast<PushButton&>(c);
        b.widget = gtk_button_new();
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
        gtk_widget_set_halign(box, GTK_ALIGN_CENTER);
        gtk_widget_set_valign(box, GTK_ALIGN_CENTER);
        if (GdkPixbuf* pixbuf = pixbuf_of(button.picture)) {
            gtk_box_pack_start(GTK_BOX(box), gtk_image_new_from_pixbuf(pixbuf), FALSE, FALSE, 0);
            g_object_unref(pixbuf);
        }
        GtkWidget* label = gtk_label_new_with_mnemonic(mnemonic_text(c.Caption()).c_str());
        b.label = GTK_LABEL(label);
        gtk_label_set_mnemonic_widget(b.label, b.widget);
        gtk_label_set_justify(b.label, GTK_JUSTIFY_CENTER);
        gtk_label_set_line_wrap(b.label, TRUE);
        gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);
        gtk_container_add(GTK_CONTAINER(b.widget), box);
        g_signal_connect(b.widget, "clicked", G_CALLBACK(on_clicked), &b);
        break;
    }
    case ControlKind::check_box:
        b.widget = gtk_check_button_new_with_mnemonic(mnemonic_text(c.Caption()).c_str());
        b.label = first_label(b.widget);
        g_signal_connect(b.widget, "toggled", G_CALLBACK(on_toggled), &b);
        break;
    case ControlKind::option_button:
        b.widget = gtk_radio_button_new_with_mnemonic_from_widget(GTK_RADIO_BUTTON(hidden_option(c.container())),
                                                                  mnemonic_text(c.Caption()).c_str());
        b.label = first_label(b.widget);
        g_signal_connect(b.widget, "toggled", G_CALLBACK(on_toggled), &b);
        break;
    case ControlKind::hscroll_bar:
    case ControlKind::vscroll_bar:
        b.scroll_bar = &GtkScrollBar::create(
            c.kind() == ControlKind::hscroll_bar ? GTK_ORIENTATION_HORIZONTAL : GTK_ORIENTATION_VERTICAL,
            [bound = &b](ScrollRequest request, int position) { on_scroll_request(bound, request, position); });
        b.widget = b.scroll_bar->widget();
        break;
    }
    gtk_widget_set_can_focus(b.widget, c.takes_focus());
}

GtkWidget* GtkDialogWindow::hidden_option(const Control* container)
{
    GtkWidget*& hidden = hidden_options_[container];
    if (!hidden) {
        hidden = gtk_radio_button_new(nullptr);
        g_object_ref_sink(hidden);
    }
    return hidden;
}

void GtkDialogWindow::place(Bound& b)
{
    const TwipRect r = form_.client_rect(*b.control);
    gtk_fixed_move(GTK_FIXED(fixed_), b.holder, px_x(r.left), px_y(r.top));
    gtk_widget_set_size_request(b.holder, px_x(r.width), px_y(r.height));
}

void GtkDialogWindow::sync(Bound& b, ControlProperty property)
{
    if (!window_) return;
    Control& c = *b.control;
    syncing_ = true;
    switch (property) {
    case ControlProperty::caption:
        if (c.kind() == ControlKind::label || c.kind() == ControlKind::group_box)
            gtk_label_set_text(b.label, plain_text(c.Caption()).c_str());
        else if (b.label)
            gtk_label_set_text_with_mnemonic(b.label, mnemonic_text(c.Caption()).c_str());
        break;
    case ControlProperty::enabled: gtk_widget_set_sensitive(b.widget, c.Enabled()); break;
    case ControlProperty::visible:
        gtk_widget_set_no_show_all(b.holder, !c.Visible());
        gtk_widget_set_visible(b.holder, c.Visible());
        break;
    case ControlProperty::fore_color:
    case ControlProperty::back_color:
    case ControlProperty::font: restyle(b); break;
    case ControlProperty::position:
        for (auto& each : bound_) place(*each);
        break;
    case ControlProperty::value: sync_value(b); break;
    case ControlProperty::picture: break;
    }
    syncing_ = false;
}

void GtkDialogWindow::sync_value(Bound& b)
{
    Control& c = *b.control;
    if (c.kind() == ControlKind::check_box) {
        const int value = static_cast<CheckBox&>(c).Value();
        gtk_toggle_button_set_inconsistent(GTK_TOGGLE_BUTTON(b.widget), value == 2);
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(b.widget), value == 1);
    } else if (c.kind() == ControlKind::option_button) {
        if (static_cast<OptionButton&>(c).Value()) {
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(b.widget), TRUE);
            return;
        }
        // A radio button cannot be cleared by itself: when the model has no
        // option selected in this container, the hidden one takes the mark.
        for (Control* other : form_.controls())
            if (other->kind() == ControlKind::option_button && other->container() == c.container() &&
                static_cast<OptionButton*>(other)->Value())
                return;
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(hidden_option(c.container())), TRUE);
    } else if (b.scroll_bar) {
        // Min lies at the left or top end, also when it is the larger value.
        auto& bar = static_cast<ScrollBar&>(c);
        b.scroll_bar->show(bar.Min(), bar.Max(), bar.Value());
    }
}

void GtkDialogWindow::restyle(Bound& b)
{
    Control& c = *b.control;
    std::string text_rule = "* { " + css_font(c.Font(), 1440.0 / twips_per_px_y_);
    // Labels always show their own colour; other controls keep the theme's
    // (which also dims them when disabled) unless the program set one.
    if (c.kind() == ControlKind::label || c.ForeColor() != window_text_color)
        text_rule += " color: " + css_color(c.ForeColor()) + ";";
    text_rule += " }";
    if (!b.text_css) {
        b.text_css = gtk_css_provider_new();
        add_provider_to_tree(b.widget, GTK_STYLE_PROVIDER(b.text_css));
    }
    gtk_css_provider_load_from_data(b.text_css, text_rule.c_str(), -1, nullptr);

    if (c.kind() == ControlKind::label && c.back_style == BackStyle::opaque) {
        if (!b.box_css) {
            b.box_css = gtk_css_provider_new();
            gtk_style_context_add_provider(gtk_widget_get_style_context(b.widget), GTK_STYLE_PROVIDER(b.box_css),
                                           GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
        }
        const std::string box_rule = "* { background-color: " + css_color(c.BackColor()) + "; }";
        gtk_css_provider_load_from_data(b.box_css, box_rule.c_str(), -1, nullptr);
    }
    if (b.label) {
        PangoAttrList* attributes = pango_attr_list_new();
        pango_attr_list_insert(attributes,
                               pango_attr_underline_new(c.Font().underline ? PANGO_UNDERLINE_SINGLE : PANGO_UNDERLINE_NONE));
        gtk_label_set_attributes(b.label, attributes);
        pango_attr_list_unref(attributes);
    }
}

NativeHandle GtkDialogWindow::handle() const
{
    if (!window_) return 0;
    gtk_widget_realize(window_);
    GdkWindow* gdk = gtk_widget_get_window(window_);
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_WINDOW(gdk)) return static_cast<NativeHandle>(gdk_x11_window_get_xid(gdk));
#endif
    return reinterpret_cast<NativeHandle>(gdk);
}

void GtkDialogWindow::show(ShowMode mode)
{
    if (!window_) return;
    gtk_window_set_modal(GTK_WINDOW(window_), mode == ShowMode::modal);
    if (form_.dialog_design().start == StartPosition::center_screen) {
        // In the middle of the monitor dialogs open on, which the platform
        // gives in device pixels; GTK places windows in its scaled ones.
        gtk_widget_show_all(fixed_);
        GtkRequisition size{};
        gtk_widget_get_preferred_size(window_, nullptr, &size);
        const Rect area = platform().dialog_area();
        const int scale = std::max(gtk_widget_get_scale_factor(window_), 1);
        gtk_window_move(GTK_WINDOW(window_), (area.left + (area.right - area.left - size.width * scale) / 2) / scale,
                        (area.top + (area.bottom - area.top - size.height * scale) / 2) / scale);
    }
    gtk_widget_show_all(window_);
    gtk_window_present(GTK_WINDOW(window_));
    focus_first();
    if (mode != ShowMode::modal) return;
    // The form object and this window are gone when the loop ends: only the
    // shared flag may be looked at.
    const std::shared_ptr<bool> open = open_;
    const std::function<bool()> still_open = [open] { return *open; };
    if (modal_loop) {
        modal_loop(still_open);
        return;
    }
    while (still_open()) gtk_main_iteration_do(TRUE);
}

bool GtkDialogWindow::set_topmost(bool topmost, bool activate)
{
    if (!window_) return false;
    gtk_window_set_keep_above(GTK_WINDOW(window_), topmost);
    if (activate) gtk_window_present(GTK_WINDOW(window_));
    return true;
}

void GtkDialogWindow::move(int left, int top, int, int)
{
    // The position comes in the display's pixels.
    if (window_) gtk_window_move(GTK_WINDOW(window_), left / scale_, top / scale_);
}

void GtkDialogWindow::destroy()
{
    if (!window_) return;
    *open_ = false;
    --open_windows;
    for (auto& b : bound_) b->control->set_observer(nullptr);
    GtkWidget* window = window_;
    window_ = nullptr;
    gtk_widget_destroy(window);
    for (auto& [container, hidden] : hidden_options_) g_object_unref(hidden);
    hidden_options_.clear();
}

void GtkDialogWindow::focus_first()
{
    for (Control* c : form_.focus_order()) {
        if (!c->Enabled() || !c->Visible()) continue;
        for (auto& b : bound_)
            if (b->control == c) {
                gtk_widget_grab_focus(b->widget);
                return;
            }
    }
}

template <class Action> bool GtkDialogWindow::user_action(Bound* b, Action&& action)
{
    if (b->owner->syncing_) return true;
    const std::shared_ptr<bool> open = b->owner->open_;
    action(*b->control);
    if (!*open) return false;
    // The model may have refused the change (a disabled control): show its value.
    b->owner->syncing_ = true;
    b->owner->sync_value(*b);
    b->owner->syncing_ = false;
    return true;
}

gboolean GtkDialogWindow::on_delete(GtkWidget*, GdkEvent*, gpointer self)
{
    auto* window = static_cast<GtkDialogWindow*>(self);
    // A window without a border has no close box: only its own button closes it.
    if (window->form_.design().border != BorderStyle::none) window->form_.destroyed_by_system();
    return TRUE;
}

gboolean GtkDialogWindow::on_focus(GtkWidget*, GtkDirectionType direction, gpointer self)
{
    if (direction != GTK_DIR_TAB_FORWARD && direction != GTK_DIR_TAB_BACKWARD) return FALSE;
    auto* window = static_cast<GtkDialogWindow*>(self);
    // Tab walks the controls in the dialog's own order, skipping disabled ones
    // and the unselected options of a group, and wraps around.
    std::vector<Bound*> order;
    for (Control* c : window->form_.focus_order()) {
        if (!c->Enabled() || !c->Visible()) continue;
        if (c->kind() == ControlKind::option_button && !static_cast<OptionButton*>(c)->Value()) continue;
        for (auto& b : window->bound_)
            if (b->control == c) order.push_back(b.get());
    }
    if (order.empty()) return FALSE;
    GtkWidget* focused = gtk_window_get_focus(GTK_WINDOW(window->window_));
    int at = -1;
    for (size_t i = 0; i < order.size(); ++i)
        if (focused && (focused == order[i]->widget || gtk_widget_is_ancestor(focused, order[i]->widget)))
            at = static_cast<int>(i);
    const int n = static_cast<int>(order.size());
    const int next = at < 0 ? (direction == GTK_DIR_TAB_FORWARD ? 0 : n - 1)
                            : (at + (direction == GTK_DIR_TAB_FORWARD ? 1 : n - 1)) % n;
    gtk_widget_grab_focus(order[static_cast<size_t>(next)]->widget);
    return TRUE;
}

void GtkDialogWindow::on_clicked(GtkButton*, gpointer bound)
{
    user_action(static_cast<Bound*>(bound), [](Control& c) { c.user_click(); });
}

void GtkDialogWindow::on_toggled(GtkToggleButton* button, gpointer bound)
{
    auto* b = static_cast<Bound*>(bound);
    // Of a radio group's pair of signals only the newly selected one counts.
    if (b->control->kind() == ControlKind::option_button && !gtk_toggle_button_get_active(button)) return;
    user_action(b, [](Control& c) { c.user_click(); });
}

void GtkDialogWindow::on_scroll_request(Bound* b, ScrollRequest request, int position)
{
    user_action(b, [request, position](Control& c) {
        auto& bar = static_cast<ScrollBar&>(c);
        switch (request) {
        case ScrollRequest::line_back: bar.user_step(-bar.SmallChange()); break;
        case ScrollRequest::line_forward: bar.user_step(bar.SmallChange()); break;
        case ScrollRequest::page_back: bar.user_step(-bar.LargeChange()); break;
        case ScrollRequest::page_forward: bar.user_step(bar.LargeChange()); break;
        case ScrollRequest::to_start: bar.user_scroll_to(bar.Min()); break;
        case ScrollRequest::to_end: bar.user_scroll_to(bar.Max()); break;
        case ScrollRequest::to_position: bar.user_scroll_to(position); break;
        }
    });
}

gboolean GtkDialogWindow::on_label_release(GtkWidget*, GdkEventButton* event, gpointer bound)
{
    if (event->button != 1) return FALSE;
    user_action(static_cast<Bound*>(bound), [](Control& c) { c.user_click(); });
    return TRUE;
}

gboolean GtkDialogWindow::on_label_crossing(GtkWidget* widget, GdkEventCrossing* event, gpointer)
{
    GdkWindow* toplevel = gtk_widget_get_window(gtk_widget_get_toplevel(widget));
    if (!toplevel) return FALSE;
    GdkCursor* hand = event->type == GDK_ENTER_NOTIFY
                          ? gdk_cursor_new_from_name(gtk_widget_get_display(widget), "pointer")
                          : nullptr;
    gdk_window_set_cursor(toplevel, hand);
    if (hand) g_object_unref(hand);
    return FALSE;
}

}  // namespace

bool gtk_backend_init(const char* backends)
{
    static const bool opened = [backends] {
        gdk_set_allowed_backends(backends);
        // The program reads and writes numbers in the locale it chose itself;
        // GTK must not switch the process to another one.
        gtk_disable_setlocale();
        if (!gtk_init_check(nullptr, nullptr)) return false;
        GdkScreen* screen = gdk_screen_get_default();
        gtk_settings_get_for_screen(screen);  // sets the screen's font resolution
        scaling = GtkScaling{gdk_window_get_scale_factor(gdk_screen_get_root_window(screen)),
                             gdk_screen_get_resolution(screen)};
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css, base_css, -1, nullptr);
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(css);
        return true;
    }();
    return opened;
}

std::unique_ptr<NativeWindow> create_gtk_window(Form& form)
{
    auto* dialog = dynamic_cast<DialogForm*>(&form);
    if (!dialog || !gtk_backend_init()) return nullptr;
    return std::make_unique<GtkDialogWindow>(*dialog);
}

std::optional<GtkScaling> gtk_scaling() { return scaling; }

void gtk_backend_pump()
{
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

bool gtk_windows_open() { return open_windows > 0; }

void set_gtk_modal_loop(ModalLoop loop) { modal_loop = std::move(loop); }

}  // namespace fw

#include "toolkit/gtk/gtk_scroll_bar.h"

#include <algorithm>
#include <cmath>

namespace fw {

namespace {

// A held arrow repeats as GTK's own spin buttons do.
constexpr guint first_repeat_ms = 500;
constexpr guint repeat_ms = 50;

constexpr const char* data_key = "frostwisp-scroll-bar";

void set_colour(cairo_t* cr, unsigned rgb)
{
    cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

constexpr unsigned track_colour = 0xD4D4D4;
constexpr unsigned pressed_track_colour = 0x9C9C9C;
constexpr unsigned face_colour = 0xECECEC;
constexpr unsigned pressed_face_colour = 0xC4C4C4;
constexpr unsigned edge_colour = 0x8C8C8C;
constexpr unsigned glyph_colour = 0x000000;
constexpr unsigned disabled_glyph_colour = 0xA0A0A0;

}  // namespace

GtkScrollBar::GtkScrollBar(GtkOrientation orientation, Handler handler)
    : orientation_(orientation), handler_(std::move(handler))
{
    widget_ = gtk_drawing_area_new();
    gtk_widget_add_events(widget_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_BUTTON1_MOTION_MASK |
                                       GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK | GDK_KEY_PRESS_MASK |
                                       GDK_FOCUS_CHANGE_MASK);
    g_signal_connect(widget_, "draw", G_CALLBACK(on_draw), this);
    g_signal_connect(widget_, "button-press-event", G_CALLBACK(on_press), this);
    g_signal_connect(widget_, "button-release-event", G_CALLBACK(on_release), this);
    g_signal_connect(widget_, "motion-notify-event", G_CALLBACK(on_motion), this);
    g_signal_connect(widget_, "scroll-event", G_CALLBACK(on_scroll), this);
    g_signal_connect(widget_, "key-press-event", G_CALLBACK(on_key), this);
    const auto redraw = +[](GtkWidget* w, GdkEvent*, gpointer) -> gboolean {
        gtk_widget_queue_draw(w);
        return FALSE;
    };
    g_signal_connect(widget_, "focus-in-event", G_CALLBACK(redraw), nullptr);
    g_signal_connect(widget_, "focus-out-event", G_CALLBACK(redraw), nullptr);
    // Enabled and disabled bars look different.
    g_signal_connect(widget_, "state-flags-changed",
                     G_CALLBACK(+[](GtkWidget* w, GtkStateFlags, gpointer) { gtk_widget_queue_draw(w); }), nullptr);
    g_signal_connect(widget_, "unmap", G_CALLBACK(on_lost), this);
    g_signal_connect(widget_, "destroy", G_CALLBACK(on_lost), this);
    g_signal_connect(widget_, "grab-broken-event", G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer self) -> gboolean {
                         on_lost(w, self);
                         return FALSE;
                     }),
                     this);
}

GtkScrollBar::~GtkScrollBar()
{
    if (timer_) g_source_remove(timer_);
}

GtkScrollBar& GtkScrollBar::create(GtkOrientation orientation, Handler handler)
{
    auto* bar = new GtkScrollBar(orientation, std::move(handler));
    g_object_set_data_full(G_OBJECT(bar->widget_), data_key, bar,
                           [](gpointer p) { delete static_cast<GtkScrollBar*>(p); });
    return *bar;
}

GtkScrollBar* GtkScrollBar::of(GtkWidget* widget)
{
    return widget ? static_cast<GtkScrollBar*>(g_object_get_data(G_OBJECT(widget), data_key)) : nullptr;
}

void GtkScrollBar::show(int start_value, int end_value, int value)
{
    if (start_value == start_ && end_value == end_ && value == value_) return;
    start_ = start_value;
    end_ = end_value;
    value_ = value;
    gtk_widget_queue_draw(widget_);
}

GtkScrollBar::Layout GtkScrollBar::layout() const
{
    GtkAllocation a;
    gtk_widget_get_allocation(widget_, &a);
    Layout l;
    l.length = std::max(horizontal() ? a.width : a.height, 0);
    const int thickness = std::max(horizontal() ? a.height : a.width, 0);
    // Square arrows and a square thumb, as long as the bar is thick; where the
    // thumb does not fit between the arrows, the arrows share the whole length.
    l.back_arrow = l.forward_arrow = std::min(thickness, l.length / 2);
    l.thumb_length = thickness;
    const int room = l.length - l.back_arrow - l.forward_arrow - l.thumb_length;
    if (room < 0 || thickness == 0) {
        l.back_arrow = l.length / 2;
        l.forward_arrow = l.length - l.back_arrow;
        l.thumb_length = 0;
        return l;
    }
    if (!gtk_widget_is_sensitive(widget_)) return l;  // a disabled bar shows no thumb
    if (drag_thumb_ >= 0)
        l.thumb_start = std::clamp(drag_thumb_, l.back_arrow, l.back_arrow + room);
    else if (end_ == start_)
        l.thumb_start = l.back_arrow;
    else
        l.thumb_start = l.back_arrow + static_cast<int>(std::lround(static_cast<double>(room) * (value_ - start_) /
                                                                    (end_ - start_)));
    return l;
}

GtkScrollBar::Part GtkScrollBar::part_at(double along, const Layout& l) const
{
    if (along < l.back_arrow) return Part::back_arrow;
    if (along >= l.length - l.forward_arrow) return Part::forward_arrow;
    if (l.thumb_start < 0) return Part::none;
    if (along < l.thumb_start) return Part::back_track;
    if (along >= l.thumb_start + l.thumb_length) return Part::forward_track;
    return Part::thumb;
}

void GtkScrollBar::act(Part part)
{
    switch (part) {
    case Part::back_arrow: handler_(ScrollRequest::line_back, 0); break;
    case Part::forward_arrow: handler_(ScrollRequest::line_forward, 0); break;
    case Part::back_track: handler_(ScrollRequest::page_back, 0); break;
    case Part::forward_track: handler_(ScrollRequest::page_forward, 0); break;
    default: break;
    }
}

void GtkScrollBar::repeat_after(guint ms)
{
    if (timer_) g_source_remove(timer_);
    timer_ = g_timeout_add(ms, on_repeat, this);
}

void GtkScrollBar::stop()
{
    if (timer_) g_source_remove(timer_);
    timer_ = 0;
    pressed_ = Part::none;
    drag_thumb_ = -1;
}

void GtkScrollBar::draw(cairo_t* cr) const
{
    const Layout l = layout();
    GtkAllocation a;
    gtk_widget_get_allocation(widget_, &a);
    const int thickness = horizontal() ? a.height : a.width;
    // Rectangles and points are given along and across the bar.
    const auto rect = [&](double along, double across, double length, double width) {
        if (horizontal())
            cairo_rectangle(cr, along, across, length, width);
        else
            cairo_rectangle(cr, across, along, width, length);
    };
    const auto point = [&](double along, double across, bool first) {
        const double x = horizontal() ? along : across, y = horizontal() ? across : along;
        if (first)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    };
    const bool enabled = gtk_widget_is_sensitive(widget_);
    const bool held = pressed_ != Part::none && pressed_ != Part::thumb && part_at(pointer_, l) == pressed_;

    set_colour(cr, track_colour);
    rect(0, 0, l.length, thickness);
    cairo_fill(cr);
    if (held && (pressed_ == Part::back_track || pressed_ == Part::forward_track)) {
        set_colour(cr, pressed_track_colour);
        if (pressed_ == Part::back_track)
            rect(l.back_arrow, 0, l.thumb_start - l.back_arrow, thickness);
        else
            rect(l.thumb_start + l.thumb_length, 0, l.length - l.forward_arrow - l.thumb_start - l.thumb_length,
                 thickness);
        cairo_fill(cr);
    }

    cairo_set_line_width(cr, 1);
    const auto button = [&](int start, int length, bool pressed) {
        if (length <= 0 || thickness <= 0) return;
        set_colour(cr, pressed ? pressed_face_colour : face_colour);
        rect(start, 0, length, thickness);
        cairo_fill(cr);
        set_colour(cr, edge_colour);
        rect(start + 0.5, 0.5, length - 1, thickness - 1);
        cairo_stroke(cr);
    };
    const auto arrow = [&](int start, int length, bool back, bool pressed) {
        button(start, length, pressed);
        // A triangle a third of the button's smaller side deep, twice that wide.
        const double depth = std::max(2.0, std::round(std::min(length, thickness) / 3.0));
        const double middle = start + length / 2.0 + (pressed ? 1 : 0);
        const double centre = thickness / 2.0 + (pressed ? 1 : 0);
        const double tip = back ? middle - depth / 2 : middle + depth / 2;
        const double base = back ? middle + depth / 2 : middle - depth / 2;
        point(tip, centre, true);
        point(base, centre - depth, false);
        point(base, centre + depth, false);
        cairo_close_path(cr);
        set_colour(cr, enabled ? glyph_colour : disabled_glyph_colour);
        cairo_fill(cr);
    };
    arrow(0, l.back_arrow, true, held && pressed_ == Part::back_arrow);
    arrow(l.length - l.forward_arrow, l.forward_arrow, false, held && pressed_ == Part::forward_arrow);
    if (l.thumb_start >= 0) button(l.thumb_start, l.thumb_length, false);

    if (gtk_widget_has_visible_focus(widget_) && a.width > 4 && a.height > 4) {
        // A dotted line just inside the edge, as the platform draws focus.
        const double dash = 1;
        cairo_set_dash(cr, &dash, 1, 0);
        set_colour(cr, glyph_colour);
        cairo_rectangle(cr, 1.5, 1.5, a.width - 3, a.height - 3);
        cairo_stroke(cr);
    }
}

gboolean GtkScrollBar::on_draw(GtkWidget*, cairo_t* cr, gpointer self)
{
    static_cast<GtkScrollBar*>(self)->draw(cr);
    return TRUE;
}

gboolean GtkScrollBar::on_press(GtkWidget*, GdkEventButton* event, gpointer self)
{
    auto* bar = static_cast<GtkScrollBar*>(self);
    if (event->button != GDK_BUTTON_PRIMARY) return FALSE;
    // The second press of a double click is a press of its own already.
    if (event->type != GDK_BUTTON_PRESS) return TRUE;
    if (gtk_widget_get_can_focus(bar->widget_) && !gtk_widget_has_focus(bar->widget_))
        gtk_widget_grab_focus(bar->widget_);
    const Layout l = bar->layout();
    bar->pointer_ = bar->horizontal() ? event->x : event->y;
    const Part part = bar->part_at(bar->pointer_, l);
    bar->pressed_ = part;
    if (part == Part::thumb) {
        bar->drag_offset_ = static_cast<int>(std::floor(bar->pointer_)) - l.thumb_start;
        bar->drag_thumb_ = bar->drag_origin_ = l.thumb_start;
    } else if (part != Part::none) {
        bar->repeat_after(first_repeat_ms);
        bar->act(part);
    }
    if (!gtk_widget_in_destruction(bar->widget_)) gtk_widget_queue_draw(bar->widget_);
    return TRUE;
}

gboolean GtkScrollBar::on_release(GtkWidget*, GdkEventButton* event, gpointer self)
{
    auto* bar = static_cast<GtkScrollBar*>(self);
    if (event->button != GDK_BUTTON_PRIMARY) return FALSE;
    const bool dragged = bar->pressed_ == Part::thumb && bar->drag_thumb_ >= 0;
    const Layout l = bar->layout();
    bar->stop();
    gtk_widget_queue_draw(bar->widget_);
    if (dragged) {
        // A thumb put back where it was keeps its value, also where a pixel
        // of the track holds several values.
        const int room = l.length - l.back_arrow - l.forward_arrow - l.thumb_length;
        const double share = room > 0 ? static_cast<double>(l.thumb_start - l.back_arrow) / room : 0;
        const int position = l.thumb_start == bar->drag_origin_
                                 ? bar->value_
                                 : bar->start_ + static_cast<int>(std::lround(share * (bar->end_ - bar->start_)));
        bar->handler_(ScrollRequest::to_position, position);
    }
    return TRUE;
}

gboolean GtkScrollBar::on_motion(GtkWidget*, GdkEventMotion* event, gpointer self)
{
    auto* bar = static_cast<GtkScrollBar*>(self);
    if (bar->pressed_ == Part::none) return FALSE;
    bar->pointer_ = bar->horizontal() ? event->x : event->y;
    if (bar->drag_thumb_ >= 0) bar->drag_thumb_ = static_cast<int>(std::floor(bar->pointer_)) - bar->drag_offset_;
    gtk_widget_queue_draw(bar->widget_);
    return TRUE;
}

gboolean GtkScrollBar::on_scroll(GtkWidget*, GdkEventScroll* event, gpointer self)
{
    auto* bar = static_cast<GtkScrollBar*>(self);
    int notches = 0;
    if (event->direction == GDK_SCROLL_SMOOTH) {
        bar->wheel_ += event->delta_y != 0 ? event->delta_y : event->delta_x;
        notches = static_cast<int>(std::trunc(bar->wheel_));
        bar->wheel_ -= notches;
    } else {
        notches = event->direction == GDK_SCROLL_UP || event->direction == GDK_SCROLL_LEFT ? -1 : 1;
    }
    for (; notches < 0; ++notches) bar->handler_(ScrollRequest::line_back, 0);
    for (; notches > 0; --notches) bar->handler_(ScrollRequest::line_forward, 0);
    return TRUE;
}

gboolean GtkScrollBar::on_key(GtkWidget*, GdkEventKey* event, gpointer self)
{
    auto* bar = static_cast<GtkScrollBar*>(self);
    if (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) return FALSE;
    ScrollRequest request;
    switch (event->keyval) {
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up: request = ScrollRequest::line_back; break;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down: request = ScrollRequest::line_forward; break;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up: request = ScrollRequest::page_back; break;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down: request = ScrollRequest::page_forward; break;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home: request = ScrollRequest::to_start; break;
    case GDK_KEY_End:
    case GDK_KEY_KP_End: request = ScrollRequest::to_end; break;
    default: return FALSE;
    }
    bar->handler_(request, 0);
    return TRUE;
}

gboolean GtkScrollBar::on_repeat(gpointer self)
{
    auto* bar = static_cast<GtkScrollBar*>(self);
    bar->timer_ = 0;
    if (bar->pressed_ == Part::none || bar->pressed_ == Part::thumb) return G_SOURCE_REMOVE;
    // While the pointer is off the pressed part (the thumb has passed it, or
    // the user moved away) the bar waits; it goes on when the pointer is back.
    bar->repeat_after(repeat_ms);
    if (bar->part_at(bar->pointer_, bar->layout()) == bar->pressed_) bar->act(bar->pressed_);
    return G_SOURCE_REMOVE;
}

void GtkScrollBar::on_lost(GtkWidget*, gpointer self)
{
    auto* bar = static_cast<GtkScrollBar*>(self);
    bar->stop();
    if (!gtk_widget_in_destruction(bar->widget_)) gtk_widget_queue_draw(bar->widget_);
}

}  // namespace fw

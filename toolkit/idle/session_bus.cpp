#include "toolkit/idle/session_bus.h"

#include <gio/gio.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fw {

namespace {

constexpr int kCallTimeoutMs = 1000;
constexpr const char* kIdleMonitor = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kIdleMonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";

bool session_bus_named()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    return runtime && *runtime && std::filesystem::is_socket(std::filesystem::path(runtime) / "bus", ec);
}

}  // namespace

struct SessionBus::Private {
    GMainContext* context = nullptr;
    GDBusConnection* bus = nullptr;
    bool closed = false;
    std::function<void(bool)> on_lock;
    std::vector<guint> subscriptions;

    ~Private()
    {
        if (bus) {
            for (guint id : subscriptions) g_dbus_connection_signal_unsubscribe(bus, id);
            g_dbus_connection_close_sync(bus, nullptr, nullptr);
            g_object_unref(bus);
        }
        if (context) {
            while (g_main_context_iteration(context, FALSE)) {
            }
            g_main_context_pop_thread_default(context);
            g_main_context_unref(context);
        }
    }

    // A method call with a reply of the given type; nothing on any failure.
    GVariant* call(const char* name, const char* path, const char* interface, const char* method, GVariant* args,
                   const char* reply_type)
    {
        GVariant* reply = g_dbus_connection_call_sync(bus, name, path, interface, method, args,
                                                      reply_type ? G_VARIANT_TYPE(reply_type) : nullptr,
                                                      G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, nullptr);
        return reply;
    }
};

SessionBus::SessionBus(std::unique_ptr<Private> p) : p_(std::move(p))
{
    // With only GDBus on it the context polls one descriptor: its wake-up,
    // which GDBus's own thread signals when a message has been queued here.
    gint priority = 0, timeout = 0;
    GPollFD fds[4]{};
    if (!g_main_context_acquire(p_->context)) return;
    g_main_context_prepare(p_->context, &priority);
    const gint n = g_main_context_query(p_->context, priority, &timeout, fds, 4);
    g_main_context_check(p_->context, priority, fds, std::min(n, 4));
    g_main_context_dispatch(p_->context);
    g_main_context_release(p_->context);
    if (n >= 1) fd_ = fds[0].fd;
}

SessionBus::~SessionBus() = default;

std::unique_ptr<SessionBus> SessionBus::connect()
{
    if (!session_bus_named()) return nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!address) return nullptr;
    auto p = std::make_unique<Private>();
    p->context = g_main_context_new();
    // Signals are delivered on the context that is the thread's default
    // when they are subscribed to.
    g_main_context_push_thread_default(p->context);
    // A connection of its own: the shared one would end the process when the
    // bus closes.
    p->bus = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    g_free(address);
    if (!p->bus) return nullptr;
    g_dbus_connection_set_exit_on_close(p->bus, FALSE);
    g_signal_connect(p->bus, "closed",
                     G_CALLBACK(+[](GDBusConnection*, gboolean, GError*, gpointer data) {
                         static_cast<Private*>(data)->closed = true;
                     }),
                     p.get());
    auto bus = std::unique_ptr<SessionBus>(new SessionBus(std::move(p)));
    if (bus->fd() < 0) return nullptr;
    return bus;
}

bool SessionBus::dispatch()
{
    while (g_main_context_iteration(p_->context, FALSE)) {
    }
    return !p_->closed;
}

namespace {

// AddIdleWatch fires each time the idle time passes the delay;
// AddUserActiveWatch fires once, at the next input, and is then gone.
class MutterIdle final : public IdleSource {
public:
    MutterIdle(SessionBus& bus, SessionBus::Private& p, IdleListener& listener) : bus_(bus), p_(p), listener_(listener) {}
    ~MutterIdle() override
    {
        if (subscription_) g_dbus_connection_signal_unsubscribe(p_.bus, subscription_);
        if (name_watch_) g_bus_unwatch_name(name_watch_);
    }

    bool start(uint32_t delay_ms)
    {
        subscription_ = g_dbus_connection_signal_subscribe(p_.bus, kIdleMonitor, kIdleMonitor, "WatchFired",
                                                           kIdleMonitorPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                           fired, this, nullptr);
        if (!add_watch("AddIdleWatch", g_variant_new("(t)", guint64{delay_ms}), idle_watch_)) return false;
        // The shell that owns the monitor going away is the session going
        // away; the bus itself may well stay.
        name_watch_ = g_bus_watch_name_on_connection(
            p_.bus, kIdleMonitor, G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
            [](GDBusConnection*, const gchar*, gpointer data) { static_cast<MutterIdle*>(data)->gone_ = true; }, this,
            nullptr);
        return true;
    }

    std::string name() const override { return kIdleMonitor; }
    int fd() const override { return bus_.fd(); }
    int timeout_ms() const override { return -1; }
    bool dispatch() override { return bus_.dispatch() && !gone_; }

private:
    bool add_watch(const char* method, GVariant* args, guint32& id)
    {
        GVariant* reply = p_.call(kIdleMonitor, kIdleMonitorPath, kIdleMonitor, method, args, "(u)");
        if (!reply) return false;
        g_variant_get(reply, "(u)", &id);
        g_variant_unref(reply);
        return true;
    }

    static void fired(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                      gpointer data)
    {
        MutterIdle& self = *static_cast<MutterIdle*>(data);
        guint32 id = 0;
        g_variant_get(parameters, "(u)", &id);
        if (id == self.idle_watch_ && self.idle_watch_) {
            self.add_watch("AddUserActiveWatch", nullptr, self.active_watch_);
            self.listener_.idle();
        } else if (id == self.active_watch_ && self.active_watch_) {
            self.active_watch_ = 0;
            self.listener_.active();
        }
    }

    SessionBus& bus_;
    SessionBus::Private& p_;
    IdleListener& listener_;
    guint subscription_ = 0;
    guint name_watch_ = 0;
    bool gone_ = false;
    guint32 idle_watch_ = 0;
    guint32 active_watch_ = 0;
};

}  // namespace

std::unique_ptr<IdleSource> SessionBus::mutter_idle(uint32_t delay_ms, IdleListener& listener)
{
    auto source = std::make_unique<MutterIdle>(*this, *p_, listener);
    if (!source->start(delay_ms)) return nullptr;
    return source;
}

void SessionBus::watch_locks(std::function<void(bool)> on_change)
{
    p_->on_lock = std::move(on_change);
    // GNOME's shield speaks org.gnome.ScreenSaver under the name
    // org.gnome.Shell.ScreenShield as well as under org.gnome.ScreenSaver;
    // KDE's locker speaks org.freedesktop.ScreenSaver on two paths. Any
    // sender will do, and a repeated state changes nothing.
    for (const char* interface : {"org.gnome.ScreenSaver", "org.freedesktop.ScreenSaver"}) {
        p_->subscriptions.push_back(g_dbus_connection_signal_subscribe(
            p_->bus, nullptr, interface, "ActiveChanged", nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
               gpointer data) {
                if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
                gboolean active = FALSE;
                g_variant_get(parameters, "(b)", &active);
                auto& p = *static_cast<Private*>(data);
                if (p.on_lock) p.on_lock(active != FALSE);
            },
            p_.get(), nullptr));
    }
}

void SessionBus::close_overview()
{
    GVariant* reply = p_->call("org.gnome.Shell", "/org/gnome/Shell", "org.freedesktop.DBus.Properties", "Set",
                               g_variant_new("(ssv)", "org.gnome.Shell", "OverviewActive", g_variant_new_boolean(FALSE)),
                               nullptr);
    if (reply) g_variant_unref(reply);
}

std::optional<uint32_t> SessionBus::gnome_blank_delay_s()
{
    GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();
    if (!schemas) return std::nullopt;
    GSettingsSchema* schema = g_settings_schema_source_lookup(schemas, "org.gnome.desktop.session", TRUE);
    if (!schema) return std::nullopt;
    const bool known = g_settings_schema_has_key(schema, "idle-delay");
    g_settings_schema_unref(schema);
    if (!known) return std::nullopt;
    GSettings* settings = g_settings_new("org.gnome.desktop.session");
    const guint seconds = g_settings_get_uint(settings, "idle-delay");
    g_object_unref(settings);
    if (seconds == 0) return std::nullopt;
    return seconds;
}

}  // namespace fw

// Notifications: the granted origins and the desktop notification server's Notify,
// ActionInvoked and NotificationClosed.
#include "browser/desktop/notifications.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "browser/browser_impl.h"
#include "browser/browser_view_impl.h"
#include "browser/desktop/desktop_identity.h"
#include "browser/runtime.h"
#include "common/scoped_gobject.h"
#include "include/base/cef_logging.h"
#include "include/qvex_desktop.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

const char kService[] = "org.freedesktop.Notifications";
const char kPath[] = "/org/freedesktop/Notifications";

std::vector<std::string> g_granted;
// Origins whose request the client accepted in this run.
std::set<std::string> g_accepted;

bool IsGranted(const std::string& origin) {
  return g_accepted.count(origin) ||
         std::find(g_granted.begin(), g_granted.end(), origin) != g_granted.end();
}

struct Shown {
  ScopedGObject<WebKitNotification> notification;
  CefRefPtr<BrowserImpl> browser;
};

// The session bus and what is shown on it, for the life of the process.
struct Server {
  GDBusConnection* bus = nullptr;
  bool looked = false;
  bool said_missing = false;
  std::map<guint32, Shown> shown;
};

Server& TheServer() {
  static Server* server = new Server;  // Lives as long as the bus's signal subscriptions.
  return *server;
}

void SayMissing(const std::string& why) {
  Server& server = TheServer();
  if (server.said_missing) return;
  server.said_missing = true;
  LOG(WARNING) << "notifications are not shown: " << why;
}

void ApplyGranted(WebKitWebContext* context) {
  GList* allowed = nullptr;
  for (const std::string& origin : g_granted) {
    WebKitSecurityOrigin* security = webkit_security_origin_new_for_uri(origin.c_str());
    if (security) allowed = g_list_append(allowed, security);
  }
  webkit_web_context_initialize_notification_permissions(context, allowed, nullptr);
  g_list_free_full(allowed, reinterpret_cast<GDestroyNotify>(webkit_security_origin_unref));
}

void OnInitializePermissions(WebKitWebContext* context, gpointer) { ApplyGranted(context); }

// Notification.permission and permissions.query() ask here (WebKit's own answer is always
// "prompt"): granted origins say "granted", the others may still ask.
gboolean OnQueryPermissionState(WebKitWebView*, WebKitPermissionStateQuery* query, gpointer) {
  if (g_strcmp0(webkit_permission_state_query_get_name(query), "notifications") != 0)
    return FALSE;
  WebKitSecurityOrigin* security = webkit_permission_state_query_get_security_origin(query);
  gchar* text = security ? webkit_security_origin_to_string(security) : nullptr;
  const std::string origin = text ? text : "";
  g_free(text);
  webkit_permission_state_query_finish(
      query, IsGranted(origin) ? WEBKIT_PERMISSION_STATE_GRANTED : WEBKIT_PERMISSION_STATE_PROMPT);
  return TRUE;
}

void BringForward(BrowserImpl* browser) {
  BrowserViewImpl* view = browser ? browser->view() : nullptr;
  CefRefPtr<CefWindow> window = view ? view->GetWindow() : nullptr;
  if (window) QvexPresentWindow(window, std::string());
}

void OnServerSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                    const gchar* signal, GVariant* parameters, gpointer) {
  CEF_REQUIRE_UI_THREAD();
  Server& server = TheServer();
  guint32 id = 0;
  if (g_strcmp0(signal, "ActionInvoked") == 0 &&
      g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
    const gchar* action = nullptr;
    g_variant_get(parameters, "(u&s)", &id, &action);
    auto it = server.shown.find(id);
    if (it == server.shown.end()) return;
    CefRefPtr<BrowserImpl> browser = it->second.browser;
    BringForward(browser.get());
    // The page's click handler runs; the server closes the notification and says so next.
    webkit_notification_clicked(it->second.notification.get());
  } else if (g_strcmp0(signal, "NotificationClosed") == 0 &&
             g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) {
    g_variant_get(parameters, "(uu)", &id, nullptr);
    server.shown.erase(id);
  }
}

GDBusConnection* Bus() {
  Server& server = TheServer();
  if (server.looked) return server.bus;
  server.looked = true;
  // Without a bus address GLib would try to start a bus through X11 autolaunch: never here.
  const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
  const char* runtime = g_getenv("XDG_RUNTIME_DIR");
  struct stat info;
  const bool user_bus = runtime && stat((std::string(runtime) + "/bus").c_str(), &info) == 0 &&
                        S_ISSOCK(info.st_mode);
  if ((!address || !*address) && !user_bus) {
    SayMissing("no session bus");
    return nullptr;
  }
  GError* error = nullptr;
  server.bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!server.bus) {
    SayMissing(std::string("no session bus (") + (error ? error->message : "") + ")");
    g_clear_error(&error);
    return nullptr;
  }
  g_dbus_connection_signal_subscribe(server.bus, nullptr, "org.freedesktop.Notifications",
                                     nullptr, kPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                     OnServerSignal, nullptr, nullptr);
  return server.bus;
}

struct PendingNotify {
  ScopedGObject<WebKitNotification> notification;
  CefRefPtr<BrowserImpl> browser;
};

void OnPageClosedNotification(WebKitNotification* notification, gpointer) {
  Server& server = TheServer();
  for (auto it = server.shown.begin(); it != server.shown.end(); ++it) {
    if (it->second.notification.get() != notification) continue;
    const guint32 id = it->first;
    server.shown.erase(it);
    if (server.bus) {
      g_dbus_connection_call(server.bus, kService, kPath, kService, "CloseNotification",
                             g_variant_new("(u)", id), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
                             nullptr, nullptr, nullptr);
    }
    return;
  }
}

void OnNotifyDone(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<PendingNotify> pending(static_cast<PendingNotify*>(data));
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (!reply) {
    const bool missing = g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
                         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER);
    if (missing) {
      SayMissing(std::string("no notification server (") + kService + ") on the session bus");
    } else {
      LOG(WARNING) << "a notification was not shown: " << (error ? error->message : "");
    }
    g_clear_error(&error);
    return;
  }
  guint32 id = 0;
  g_variant_get(reply, "(u)", &id);
  g_variant_unref(reply);
  g_signal_connect(pending->notification.get(), "closed", G_CALLBACK(OnPageClosedNotification),
                   nullptr);
  TheServer().shown[id] = Shown{std::move(pending->notification), pending->browser};
}

gboolean OnShowNotification(WebKitWebView*, WebKitNotification* notification,
                            BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  GDBusConnection* bus = Bus();
  if (!bus) return TRUE;  // Said once; the page goes on as if it were shown.
  const QvexDesktopIdentity& identity = DesktopIdentity();
  const char* name = !identity.name.empty() ? identity.name.c_str() : g_get_application_name();
  std::string icon;
  if (!identity.icon_path.empty()) {
    gchar* uri = g_filename_to_uri(identity.icon_path.c_str(), nullptr, nullptr);
    if (uri) icon = uri;
    g_free(uri);
  }
  GVariantBuilder actions;
  g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
  // "default" is the notification itself: a click on its body.
  g_variant_builder_add(&actions, "s", "default");
  g_variant_builder_add(&actions, "s", "Open");
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  if (!identity.id.empty())
    g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                          g_variant_new_string(identity.id.c_str()));
  const gchar* title = webkit_notification_get_title(notification);
  const gchar* body = webkit_notification_get_body(notification);
  auto* pending = new PendingNotify{ScopedGObject<WebKitNotification>::Ref(notification), browser};
  g_dbus_connection_call(bus, kService, kPath, kService, "Notify",
                         g_variant_new("(susssasa{sv}i)", name ? name : "", 0u, icon.c_str(),
                                       title ? title : "", body ? body : "", &actions, &hints, -1),
                         G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, OnNotifyDone,
                         pending);
  return TRUE;
}

}  // namespace

void AttachNotifications(WebKitWebContext* context) {
  g_signal_connect(context, "initialize-notification-permissions",
                   G_CALLBACK(OnInitializePermissions), nullptr);
}

void NoteNotificationsAccepted(const std::string& origin) {
  if (!origin.empty()) g_accepted.insert(origin);
}

void AttachNotificationSignals(BrowserImpl* browser) {
  g_signal_connect(browser->web_view(), "query-permission-state",
                   G_CALLBACK(OnQueryPermissionState), browser);
  g_signal_connect(browser->web_view(), "show-notification", G_CALLBACK(OnShowNotification),
                   browser);
}

}  // namespace qvex_engine

void QvexGrantNotifications(const std::vector<std::string>& origins) {
  qvex_engine::g_granted = origins;
  if (WebKitWebContext* context = qvex_engine::GetWebContext()) qvex_engine::ApplyGranted(context);
}

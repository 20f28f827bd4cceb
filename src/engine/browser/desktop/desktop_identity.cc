// Desktop identity: WM_CLASS, program and application names, the windows' icon until a page
// gives one, and bringing a window forward with a usable user time.
#include "browser/desktop/desktop_identity.h"

#include <atk/atk.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "browser/window_impl.h"
#include "include/base/cef_logging.h"

namespace qvex_engine {

namespace {

QvexDesktopIdentity g_identity;
bool g_initialized = false;
std::string g_program;
std::string g_program_class;

// Sizes a desktop picks from: the title bar's, the task switcher's and the dock's, at 1x and 2x.
constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

const char* AccessibleAppName(AtkObject*) { return g_identity.name.c_str(); }

}  // namespace

const QvexDesktopIdentity& DesktopIdentity() { return g_identity; }

void ApplyIdentityBeforeDisplay(std::string* argv0) {
  g_initialized = true;
  // The program's own name (GTK's default for both): what the windows are without an id.
  const size_t slash = argv0->rfind('/');
  g_program = slash == std::string::npos ? *argv0 : argv0->substr(slash + 1);
  // GTK names the program after argv[0] while it opens the display; the client leader window
  // it makes then already carries the id.
  if (!g_identity.id.empty()) {
    *argv0 = g_identity.id;
    g_set_prgname(g_identity.id.c_str());
  }
  // Both halves of WM_CLASS are the id: desktop files match either, and StartupWMClass is
  // the id as written (GTK would capitalise the class). Without one, GTK's own class.
  g_program_class = g_identity.id;
  if (g_program_class.empty() && !g_program.empty()) {
    g_program_class = g_program;
    g_program_class[0] = static_cast<char>(g_ascii_toupper(g_program_class[0]));
  }
  // Set once the display is open: opening it replaces the class without freeing it.
  if (!g_identity.name.empty()) g_set_application_name(g_identity.name.c_str());
}

void ApplyIdentityAfterDisplay() {
  const std::string& program = !g_identity.id.empty() ? g_identity.id : g_program;
  if (!program.empty()) g_set_prgname(program.c_str());
  // GTK took the class from argv[0] while opening the display.
  if (!g_program_class.empty()) gdk_set_program_class(g_program_class.c_str());
  if (!g_identity.name.empty()) {
    // GTK's root of the accessibility tree names the application by the program (always
    // g_get_prgname(), the id that the window classes need): a screen reader says the display
    // name instead. The root is GTK's one object of its class.
    AtkObject* root = atk_get_root();
    if (root) ATK_OBJECT_GET_CLASS(root)->get_name = AccessibleAppName;
  }
  if (g_identity.icon_path.empty()) return;
  GList* icons = nullptr;
  std::string error_text;
  for (int size : kIconSizes) {
    GError* error = nullptr;
    // Keeps the aspect ratio; an SVG is drawn at each size, a bitmap scaled.
    GdkPixbuf* pixbuf =
        gdk_pixbuf_new_from_file_at_size(g_identity.icon_path.c_str(), size, size, &error);
    if (!pixbuf) {
      if (error_text.empty() && error) error_text = error->message;
      g_clear_error(&error);
      continue;
    }
    icons = g_list_append(icons, pixbuf);
  }
  if (!icons) {
    LOG(WARNING) << "the app's icon " << g_identity.icon_path << " cannot be read: "
                 << error_text;
    return;
  }
  // Every window without an icon of its own (set from its page's favicons) shows these.
  gtk_window_set_default_icon_list(icons);
  g_list_free_full(icons, g_object_unref);
}

}  // namespace qvex_engine

void QvexSetDesktopIdentity(const QvexDesktopIdentity& identity) {
  if (qvex_engine::g_initialized) return;
  qvex_engine::g_identity = identity;
}

void QvexPresentWindow(CefRefPtr<CefWindow> window, const std::string& startup_id) {
  auto* impl = dynamic_cast<qvex_engine::WindowImpl*>(window.get());
  GtkWidget* widget = impl ? impl->widget() : nullptr;
  if (!widget) return;
  GtkWindow* gtk_window = GTK_WINDOW(widget);
  if (!startup_id.empty()) {
    // GTK reads the user time from the id's _TIME part, presents the window with it and tells
    // the launcher the start is complete.
    gtk_window_set_startup_id(gtk_window, startup_id.c_str());
    if (startup_id.find("_TIME") != std::string::npos) return;
  }
  GdkWindow* gdk_window = gtk_widget_get_window(widget);
  guint32 time = GDK_CURRENT_TIME;
  if (gdk_window && GDK_IS_X11_WINDOW(gdk_window)) {
    // The request comes from another process, so no event of ours carries the user's time:
    // ask the server for the present one.
    time = gdk_x11_get_server_time(gdk_window);
    gdk_x11_window_set_user_time(gdk_window, time);
  }
  gtk_window_deiconify(gtk_window);
  gtk_window_present_with_time(gtk_window, time);
}

// Close requests that reach a window while another window holds GTK's grab. UI thread (GDK's
// event dispatch).
#include "browser/close/close_requests.h"

#include <gtk/gtk.h>

#include "common/scoped_gobject.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

// GTK hands a delete event to its window only when no grab is held in the window's group, or
// the grab is the window's own; otherwise the request is lost without a word.
bool GtkWouldDrop(GdkEvent* event, GtkWidget* target) {
  if (event->type != GDK_DELETE || !target || !GTK_IS_WINDOW(target)) return false;
  GtkWindowGroup* group = gtk_window_get_group(GTK_WINDOW(target));
  GtkWidget* grab = gtk_window_group_get_current_grab(group);
  return grab && gtk_widget_get_toplevel(grab) != target;
}

void OnEvent(GdkEvent* event, gpointer) {
  CEF_REQUIRE_UI_THREAD();
  GtkWidget* target = event->type == GDK_DELETE ? gtk_get_event_widget(event) : nullptr;
  if (!GtkWouldDrop(event, target)) {
    gtk_main_do_event(event);
    return;
  }
  // What GTK does with a delete event when no grab is in the way: the window's delete-event
  // handler decides (ours asks the browser), and unhandled the window goes.
  ScopedGObject<GtkWidget> keep = ScopedGObject<GtkWidget>::Ref(target);
  if (!gtk_widget_event(target, event)) gtk_widget_destroy(target);
}

}  // namespace

void InstallCloseRequestHook() { gdk_event_handler_set(OnEvent, nullptr, nullptr); }

}  // namespace qvex_engine

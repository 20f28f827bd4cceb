// CrashPanel: GTK widgets in place of a web view that cannot run. UI thread.
#include "browser/crash/crash_panel.h"

#include "include/base/cef_logging.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

GtkWidget* Label(const std::string& markup, bool selectable) {
  GtkWidget* label = gtk_label_new(nullptr);
  gtk_label_set_markup(GTK_LABEL(label), markup.c_str());
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
  gtk_label_set_selectable(GTK_LABEL(label), selectable);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 80);
  return label;
}

// Markup with the page's text escaped: a URL is the page's to choose.
std::string Escaped(const char* format, const std::string& text) {
  gchar* markup = g_markup_printf_escaped(format, text.c_str());
  std::string result = markup;
  g_free(markup);
  return result;
}

}  // namespace

CrashPanel::CrashPanel(GtkWidget* view, const std::string& what, const std::string& url,
                       std::function<void()> on_reload)
    : view_(GTK_WIDGET(g_object_ref(view))), on_reload_(std::move(on_reload)) {
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
  panel_ = GTK_WIDGET(g_object_ref_sink(box));
  gtk_widget_set_name(panel_, "qvex-crash-panel");
  gtk_widget_set_valign(box, GTK_ALIGN_CENTER);
  gtk_widget_set_halign(box, GTK_ALIGN_CENTER);
  gtk_widget_set_hexpand(box, TRUE);
  gtk_widget_set_vexpand(box, TRUE);
  gtk_container_add(GTK_CONTAINER(box),
                    Label("<span size='x-large' weight='bold'>This page stopped working</span>",
                          false));
  gtk_container_add(GTK_CONTAINER(box),
                    Label(Escaped("Its web process %s, several times in a row. "
                                  "It is not restarted on its own.", what), false));
  gtk_container_add(GTK_CONTAINER(box), Label(Escaped("<tt>%s</tt>", url), true));
  GtkWidget* button = gtk_button_new_with_mnemonic("_Reload");
  gtk_widget_set_halign(button, GTK_ALIGN_CENTER);
  g_signal_connect(button, "clicked", G_CALLBACK(OnReloadClicked), this);
  gtk_container_add(GTK_CONTAINER(box), button);

  // The panel takes the view's place: beside it in a box (the view hidden), or instead of it
  // in a window, which holds one child.
  GtkWidget* parent = gtk_widget_get_parent(view_);
  if (GTK_IS_BOX(parent)) {
    gboolean expand = FALSE, fill = FALSE;
    guint padding = 0;
    GtkPackType pack = GTK_PACK_START;
    gtk_box_query_child_packing(GTK_BOX(parent), view_, &expand, &fill, &padding, &pack);
    gtk_box_pack_start(GTK_BOX(parent), panel_, expand, fill, padding);
    gtk_widget_hide(view_);
  } else if (GTK_IS_BIN(parent)) {
    gtk_container_remove(GTK_CONTAINER(parent), view_);
    gtk_container_add(GTK_CONTAINER(parent), panel_);
  } else {
    LOG(WARNING) << "crash panel: the view has no container to show it in";
    return;
  }
  gtk_widget_show_all(panel_);
  gtk_widget_grab_focus(button);
}

CrashPanel::~CrashPanel() {
  GtkWidget* parent = gtk_widget_get_parent(panel_);
  if (parent && !gtk_widget_in_destruction(parent)) {
    gtk_container_remove(GTK_CONTAINER(parent), panel_);
    if (!gtk_widget_get_parent(view_)) gtk_container_add(GTK_CONTAINER(parent), view_);
    gtk_widget_show(view_);
  }
  gtk_widget_destroy(panel_);  // Its button goes with it: no click reaches this object again.
  g_object_unref(panel_);
  g_object_unref(view_);
}

void CrashPanel::OnReloadClicked(GtkButton*, CrashPanel* self) {
  CEF_REQUIRE_UI_THREAD();
  std::function<void()> on_reload = self->on_reload_;  // The panel may go inside it.
  on_reload();
}

}  // namespace qvex_engine

// CrashPanel: GTK widgets in place of a web view that cannot run. UI thread.
#include "browser/crash/crash_panel.h"

#include "browser/panels/panel_text.h"
#include "browser/panels/view_place.h"

#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

CrashPanel::CrashPanel(GtkWidget* view, const std::string& what, const std::string& url,
                       std::function<void()> on_reload)
    : on_reload_(std::move(on_reload)) {
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
  gtk_widget_set_name(box, "qvex-crash-panel");
  gtk_widget_set_valign(box, GTK_ALIGN_CENTER);
  gtk_widget_set_halign(box, GTK_ALIGN_CENTER);
  gtk_widget_set_hexpand(box, TRUE);
  gtk_widget_set_vexpand(box, TRUE);
  gtk_container_add(
      GTK_CONTAINER(box),
      PanelText::Label("<span size='x-large' weight='bold'>This page stopped working</span>",
                       false));
  gtk_container_add(
      GTK_CONTAINER(box),
      PanelText::Label(PanelText::Escaped("Its web process %s, several times in a row. "
                                          "It is not restarted on its own.",
                                          what),
                       false));
  gtk_container_add(GTK_CONTAINER(box),
                    PanelText::Label(PanelText::Escaped("<tt>%s</tt>", url), true));
  GtkWidget* button = gtk_button_new_with_mnemonic("_Reload");
  gtk_widget_set_halign(button, GTK_ALIGN_CENTER);
  g_signal_connect(button, "clicked", G_CALLBACK(OnReloadClicked), this);
  gtk_container_add(GTK_CONTAINER(box), button);

  place_ = std::make_unique<ViewPlace>(view, box, "crash panel");
  gtk_widget_grab_focus(button);
}

CrashPanel::~CrashPanel() = default;

void CrashPanel::OnReloadClicked(GtkButton*, CrashPanel* self) {
  CEF_REQUIRE_UI_THREAD();
  std::function<void()> on_reload = self->on_reload_;  // The panel may go inside it.
  on_reload();
}

}  // namespace qvex_engine

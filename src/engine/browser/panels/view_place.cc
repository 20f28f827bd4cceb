// ViewPlace: a panel in a view's place in a box or a window. UI thread.
#include "browser/panels/view_place.h"

#include "include/base/cef_logging.h"

namespace qvex_engine {

ViewPlace::ViewPlace(GtkWidget* view, GtkWidget* panel, const char* what)
    : view_(GTK_WIDGET(g_object_ref(view))), panel_(GTK_WIDGET(g_object_ref_sink(panel))) {
  // The panel takes the view's place: beside it in a box (the view hidden), or instead of it
  // in a window, which holds one child.
  GtkWidget* parent = gtk_widget_get_parent(view_);
  if (GTK_IS_BOX(parent)) {
    gboolean expand = FALSE, fill = FALSE;
    guint padding = 0;
    GtkPackType pack = GTK_PACK_START;
    gtk_box_query_child_packing(GTK_BOX(parent), view_, &expand, &fill, &padding, &pack);
    gtk_box_pack_start(GTK_BOX(parent), panel_, expand, fill, padding);
    GValue position = G_VALUE_INIT;
    g_value_init(&position, G_TYPE_INT);
    gtk_container_child_get_property(GTK_CONTAINER(parent), view_, "position", &position);
    gtk_box_reorder_child(GTK_BOX(parent), panel_, g_value_get_int(&position));
    gtk_widget_hide(view_);
  } else if (GTK_IS_BIN(parent)) {
    gtk_container_remove(GTK_CONTAINER(parent), view_);
    gtk_container_add(GTK_CONTAINER(parent), panel_);
  } else {
    LOG(WARNING) << what << ": the view has no container to show it in";
    return;
  }
  placed_ = true;
  gtk_widget_show_all(panel_);
}

ViewPlace::~ViewPlace() {
  GtkWidget* parent = gtk_widget_get_parent(panel_);
  if (parent && !gtk_widget_in_destruction(parent)) {
    gtk_container_remove(GTK_CONTAINER(parent), panel_);
    if (!gtk_widget_get_parent(view_)) gtk_container_add(GTK_CONTAINER(parent), view_);
    gtk_widget_show(view_);
  }
  gtk_widget_destroy(panel_);  // Its buttons go with it: no click reaches the owner again.
  g_object_unref(panel_);
  g_object_unref(view_);
}

}  // namespace qvex_engine

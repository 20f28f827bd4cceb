// PanelText: labels and escaped markup for the native panels. UI thread.
#include "browser/panels/panel_text.h"

namespace qvex_engine {

GtkWidget* PanelText::Label(const std::string& markup, bool selectable) {
  GtkWidget* label = gtk_label_new(nullptr);
  gtk_label_set_markup(GTK_LABEL(label), markup.c_str());
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
  gtk_label_set_selectable(GTK_LABEL(label), selectable);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 80);
  return label;
}

std::string PanelText::Escaped(const char* format, const std::string& text) {
  gchar* markup = g_markup_printf_escaped(format, text.c_str());
  std::string result = markup;
  g_free(markup);
  return result;
}

}  // namespace qvex_engine

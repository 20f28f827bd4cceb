// PanelText: the labels of the native panels that stand in for a page (crash, start, failure,
// the backend's bar), and markup around text that is not ours to trust. UI thread.
#ifndef QVEX_ENGINE_BROWSER_PANELS_PANEL_TEXT_H_
#define QVEX_ENGINE_BROWSER_PANELS_PANEL_TEXT_H_

#include <gtk/gtk.h>

#include <string>

namespace qvex_engine {

class PanelText {
 public:
  // A centred, wrapped label showing `markup`; `selectable` lets the user copy it.
  static GtkWidget* Label(const std::string& markup, bool selectable);
  // `format` (markup with one %s) around `text` escaped: a URL, a project's name, a program's
  // output.
  static std::string Escaped(const char* format, const std::string& text);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_PANELS_PANEL_TEXT_H_

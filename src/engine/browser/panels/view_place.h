// ViewPlace: a widget put where a browser's view is in its container, the view hidden, until
// the object goes. Shared by every panel that stands in for a page. UI thread.
#ifndef QVEX_ENGINE_BROWSER_PANELS_VIEW_PLACE_H_
#define QVEX_ENGINE_BROWSER_PANELS_VIEW_PLACE_H_

#include <gtk/gtk.h>

namespace qvex_engine {

class ViewPlace {
 public:
  // Takes a reference to both; `what` names the panel in a warning when the view has no
  // container to show it in.
  ViewPlace(GtkWidget* view, GtkWidget* panel, const char* what);
  // Takes the panel away, destroys it and shows the view again if its container is still there.
  ~ViewPlace();

  ViewPlace(const ViewPlace&) = delete;
  ViewPlace& operator=(const ViewPlace&) = delete;

  // Whether the panel found a place.
  bool placed() const { return placed_; }

 private:
  GtkWidget* view_;   // Strong reference.
  GtkWidget* panel_;  // Strong reference.
  bool placed_ = false;
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_PANELS_VIEW_PLACE_H_

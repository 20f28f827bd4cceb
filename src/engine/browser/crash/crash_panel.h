// CrashPanel: a plain GTK panel shown in place of a web view whose web process keeps ending:
// what happened, the page's URL and a Reload button. It needs no web process of its own, so a
// page that cannot run costs nothing while it is shown. UI thread.
#ifndef QVEX_ENGINE_BROWSER_CRASH_CRASH_PANEL_H_
#define QVEX_ENGINE_BROWSER_CRASH_CRASH_PANEL_H_

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>

namespace qvex_engine {

class ViewPlace;

class CrashPanel {
 public:
  // Puts the panel where `view` is in its container (a box or a window) and hides the view.
  // `what` says what happened ("crashed"...); `on_reload` runs when the user presses Reload
  // (the panel may be destroyed from inside it).
  CrashPanel(GtkWidget* view, const std::string& what, const std::string& url,
             std::function<void()> on_reload);
  // Takes the panel away and shows the view again, if its container is still there.
  ~CrashPanel();

  CrashPanel(const CrashPanel&) = delete;
  CrashPanel& operator=(const CrashPanel&) = delete;

 private:
  static void OnReloadClicked(GtkButton* button, CrashPanel* self);

  std::function<void()> on_reload_;
  std::unique_ptr<ViewPlace> place_;
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_CRASH_CRASH_PANEL_H_

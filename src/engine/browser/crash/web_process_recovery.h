// WebProcessRecovery: what a browser does when its page's web process ends: the page is
// reloaded after a growing pause, and after repeated endings a crash panel takes the view's
// place until the user asks for the page again. UI thread.
#ifndef QVEX_ENGINE_BROWSER_CRASH_WEB_PROCESS_RECOVERY_H_
#define QVEX_ENGINE_BROWSER_CRASH_WEB_PROCESS_RECOVERY_H_

#include <webkit2/webkit2.h>

#include <memory>

#include "browser/crash/crash_backoff.h"
#include "include/internal/cef_ptr.h"

namespace qvex_engine {

class BrowserImpl;
class CrashPanel;

class WebProcessRecovery {
 public:
  explicit WebProcessRecovery(BrowserImpl* browser);  // The browser owns this object.
  ~WebProcessRecovery();

  // From the view's web-process-terminated signal.
  void OnTerminated(WebKitWebProcessTerminationReason reason);
  // No web process runs the page now (until a reload starts one): scripts cannot run in it.
  bool gone() const { return gone_; }

 private:
  static void ReloadTask(CefRefPtr<BrowserImpl> browser, int generation);
  void Reload();
  void ShowPanel(WebKitWebProcessTerminationReason reason);

  BrowserImpl* const browser_;
  CrashBackoff backoff_;
  int generation_ = 0;  // A posted reload runs only if nothing happened since it was posted.
  bool gone_ = false;
  std::unique_ptr<CrashPanel> panel_;
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_CRASH_WEB_PROCESS_RECOVERY_H_

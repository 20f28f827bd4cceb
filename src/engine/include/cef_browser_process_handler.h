// Browser-process events of the application. UI thread.
#ifndef CEF_INCLUDE_CEF_BROWSER_PROCESS_HANDLER_H_
#define CEF_INCLUDE_CEF_BROWSER_PROCESS_HANDLER_H_

#include "include/cef_base.h"

class CefBrowserProcessHandler : public virtual CefBaseRefCounted {
 public:
  // Called once from the message loop, when windows and browsers may be created.
  virtual void OnContextInitialized() {}
};

#endif  // CEF_INCLUDE_CEF_BROWSER_PROCESS_HANDLER_H_

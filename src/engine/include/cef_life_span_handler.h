// Browser life: creation and the close sequence. UI thread.
#ifndef CEF_INCLUDE_CEF_LIFE_SPAN_HANDLER_H_
#define CEF_INCLUDE_CEF_LIFE_SPAN_HANDLER_H_

#include "include/cef_base.h"
#include "include/cef_browser.h"

class CefLifeSpanHandler : public virtual CefBaseRefCounted {
 public:
  // After the browser exists, before its first navigation.
  virtual void OnAfterCreated(CefRefPtr<CefBrowser> browser) {}
  // The browser was asked to close. Return false to let the port close its window (the
  // window's CanClose then sees TryCloseBrowser return true); true to handle it yourself.
  virtual bool DoClose(CefRefPtr<CefBrowser> browser) { return false; }
  // Just before the browser is destroyed; no further callback follows for it.
  virtual void OnBeforeClose(CefRefPtr<CefBrowser> browser) {}
};

#endif  // CEF_INCLUDE_CEF_LIFE_SPAN_HANDLER_H_

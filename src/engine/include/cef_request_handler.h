// Navigation decisions. UI thread.
#ifndef CEF_INCLUDE_CEF_REQUEST_HANDLER_H_
#define CEF_INCLUDE_CEF_REQUEST_HANDLER_H_

#include "include/cef_base.h"
#include "include/cef_browser.h"
#include "include/cef_frame.h"
#include "include/cef_request.h"
#include "include/cef_resource_request_handler.h"

class CefRequestHandler : public virtual CefBaseRefCounted {
 public:
  // Before a main-frame navigation (redirects included); return true to cancel it.
  virtual bool OnBeforeBrowse(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                              CefRefPtr<CefRequest> request, bool user_gesture,
                              bool is_redirect) {
    return false;
  }
};

#endif  // CEF_INCLUDE_CEF_REQUEST_HANDLER_H_

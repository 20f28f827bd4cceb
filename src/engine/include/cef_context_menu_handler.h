// Context menus of a browser. UI thread.
#ifndef CEF_INCLUDE_CEF_CONTEXT_MENU_HANDLER_H_
#define CEF_INCLUDE_CEF_CONTEXT_MENU_HANDLER_H_

#include "include/cef_base.h"
#include "include/cef_browser.h"
#include "include/cef_frame.h"
#include "include/cef_menu_model.h"

// What was clicked. Valid only during the callback that receives it.
class CefContextMenuParams : public virtual CefBaseRefCounted {
 public:
  virtual int GetXCoord() = 0;
  virtual int GetYCoord() = 0;
  virtual CefString GetLinkUrl() = 0;
  virtual CefString GetPageUrl() = 0;
  virtual bool IsEditable() = 0;
};

class CefContextMenuHandler : public virtual CefBaseRefCounted {
 public:
  typedef cef_event_flags_t EventFlags;

  // Before the menu shows; items added to `model` come after WebKit's own.
  virtual void OnBeforeContextMenu(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                   CefRefPtr<CefContextMenuParams> params,
                                   CefRefPtr<CefMenuModel> model) {}
  // An item the application added was chosen; return true when handled.
  virtual bool OnContextMenuCommand(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                    CefRefPtr<CefContextMenuParams> params, int command_id,
                                    EventFlags event_flags) {
    return false;
  }
};

#endif  // CEF_INCLUDE_CEF_CONTEXT_MENU_HANDLER_H_

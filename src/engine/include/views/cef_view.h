// CefView: the common base of Views objects (windows and browser views). UI thread.
#ifndef CEF_INCLUDE_VIEWS_CEF_VIEW_H_
#define CEF_INCLUDE_VIEWS_CEF_VIEW_H_

#include "include/cef_base.h"

class CefBrowserView;
class CefWindow;

class CefView : public virtual CefBaseRefCounted {
 public:
  virtual CefRefPtr<CefBrowserView> AsBrowserView() = 0;
  virtual CefRefPtr<CefWindow> AsWindow() = 0;
  // The top-level window holding the view (the window itself for a window); null when none.
  virtual CefRefPtr<CefWindow> GetWindow() = 0;
  virtual void RequestFocus() = 0;
  virtual CefSize GetSize() = 0;
};

#endif  // CEF_INCLUDE_VIEWS_CEF_VIEW_H_

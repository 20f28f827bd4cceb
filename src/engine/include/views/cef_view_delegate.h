// CefViewDelegate: sizes of a view. UI thread.
#ifndef CEF_INCLUDE_VIEWS_CEF_VIEW_DELEGATE_H_
#define CEF_INCLUDE_VIEWS_CEF_VIEW_DELEGATE_H_

#include "include/cef_base.h"

class CefView;

class CefViewDelegate : public virtual CefBaseRefCounted {
 public:
  // An empty size lets the port choose.
  virtual CefSize GetPreferredSize(CefRefPtr<CefView> view) { return CefSize(); }
  virtual CefSize GetMinimumSize(CefRefPtr<CefView> view) { return CefSize(); }
};

#endif  // CEF_INCLUDE_VIEWS_CEF_VIEW_DELEGATE_H_

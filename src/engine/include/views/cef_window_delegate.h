// CefWindowDelegate: the life of a top-level window. UI thread.
#ifndef CEF_INCLUDE_VIEWS_CEF_WINDOW_DELEGATE_H_
#define CEF_INCLUDE_VIEWS_CEF_WINDOW_DELEGATE_H_

#include "include/views/cef_view_delegate.h"

class CefWindow;

class CefWindowDelegate : public CefViewDelegate {
 public:
  // Inside CefWindow::CreateTopLevelWindow, once the window exists (not yet shown).
  virtual void OnWindowCreated(CefRefPtr<CefWindow> window) {}
  // After the window is gone; its views are released after this returns.
  virtual void OnWindowDestroyed(CefRefPtr<CefWindow> window) {}
  // An empty rectangle: size from GetPreferredSize, position left to the window manager.
  virtual CefRect GetInitialBounds(CefRefPtr<CefWindow> window) { return CefRect(); }
  virtual bool IsFrameless(CefRefPtr<CefWindow> window) { return false; }
  virtual bool CanResize(CefRefPtr<CefWindow> window) { return true; }
  virtual bool CanMaximize(CefRefPtr<CefWindow> window) { return true; }
  virtual bool CanMinimize(CefRefPtr<CefWindow> window) { return true; }
  // The user (or the window manager) asks to close; return true to let the window close.
  virtual bool CanClose(CefRefPtr<CefWindow> window) { return true; }
};

#endif  // CEF_INCLUDE_VIEWS_CEF_WINDOW_DELEGATE_H_

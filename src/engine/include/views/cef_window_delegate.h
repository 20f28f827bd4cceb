// CefWindowDelegate: the life of a top-level window. UI thread.
#ifndef CEF_INCLUDE_VIEWS_CEF_WINDOW_DELEGATE_H_
#define CEF_INCLUDE_VIEWS_CEF_WINDOW_DELEGATE_H_

#include "include/views/cef_view_delegate.h"

class CefWindow;

// How a window first appears.
typedef enum {
  CEF_SHOW_STATE_NORMAL = 1,
  CEF_SHOW_STATE_MINIMIZED,
  CEF_SHOW_STATE_MAXIMIZED,
  CEF_SHOW_STATE_FULLSCREEN,
} cef_show_state_t;

class CefWindowDelegate : public CefViewDelegate {
 public:
  // Inside CefWindow::CreateTopLevelWindow, once the window exists (not yet shown).
  virtual void OnWindowCreated(CefRefPtr<CefWindow> window) {}
  // After the window is gone; its views are released after this returns.
  virtual void OnWindowDestroyed(CefRefPtr<CefWindow> window) {}
  // An empty rectangle: size from GetPreferredSize, position left to the window manager.
  virtual CefRect GetInitialBounds(CefRefPtr<CefWindow> window) { return CefRect(); }
  virtual cef_show_state_t GetInitialShowState(CefRefPtr<CefWindow> window) {
    return CEF_SHOW_STATE_NORMAL;
  }
  // The window was moved or resized (by the user, the window manager or the program),
  // maximized or restored; `new_bounds` is its frame's position and size.
  virtual void OnWindowBoundsChanged(CefRefPtr<CefWindow> window, const CefRect& new_bounds) {}
  virtual bool IsFrameless(CefRefPtr<CefWindow> window) { return false; }
  virtual bool CanResize(CefRefPtr<CefWindow> window) { return true; }
  virtual bool CanMaximize(CefRefPtr<CefWindow> window) { return true; }
  virtual bool CanMinimize(CefRefPtr<CefWindow> window) { return true; }
  // The user (or the window manager) asks to close; return true to let the window close.
  virtual bool CanClose(CefRefPtr<CefWindow> window) { return true; }
};

#endif  // CEF_INCLUDE_VIEWS_CEF_WINDOW_DELEGATE_H_

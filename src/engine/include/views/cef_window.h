// CefWindow: a top-level window (a GtkWindow) holding views. UI thread.
#ifndef CEF_INCLUDE_VIEWS_CEF_WINDOW_H_
#define CEF_INCLUDE_VIEWS_CEF_WINDOW_H_

#include "include/cef_image.h"
#include "include/views/cef_view.h"
#include "include/views/cef_window_delegate.h"

class CefWindow : public CefView {
 public:
  // Creates the window and calls the delegate's OnWindowCreated before returning.
  static CefRefPtr<CefWindow> CreateTopLevelWindow(CefRefPtr<CefWindowDelegate> delegate);

  virtual void AddChildView(CefRefPtr<CefView> view) = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  // Asks to close, as the user would: the delegate's CanClose decides.
  virtual void Close() = 0;
  virtual bool IsClosed() = 0;
  virtual void Activate() = 0;
  virtual void Maximize() = 0;
  virtual void Restore() = 0;
  virtual bool IsMaximized() = 0;
  // The window's position and size (its size as GetSize; the position as the window manager
  // placed it).
  virtual CefRect GetBounds() = 0;
  virtual void CenterWindow(const CefSize& size) = 0;
  virtual void SetTitle(const CefString& title) = 0;
  virtual CefString GetTitle() = 0;
  // The small icon (title bar) and the large application icon; both stay in the window's
  // icon list (_NET_WM_ICON).
  virtual void SetWindowIcon(CefRefPtr<CefImage> image) = 0;
  virtual CefRefPtr<CefImage> GetWindowIcon() = 0;
  virtual void SetWindowAppIcon(CefRefPtr<CefImage> image) = 0;
  virtual CefRefPtr<CefImage> GetWindowAppIcon() = 0;
  // The X window id; 0 before the window is realized.
  virtual cef_window_handle_t GetWindowHandle() = 0;
};

#endif  // CEF_INCLUDE_VIEWS_CEF_WINDOW_H_

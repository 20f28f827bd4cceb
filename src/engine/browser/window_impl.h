// WindowImpl: a CefWindow as a GtkWindow. The object lives while its GTK window does. UI thread.
#ifndef QVEX_ENGINE_BROWSER_WINDOW_IMPL_H_
#define QVEX_ENGINE_BROWSER_WINDOW_IMPL_H_

#include <gtk/gtk.h>

#include <vector>

#include "include/views/cef_window.h"

namespace qvex_engine {

class WindowImpl : public CefWindow {
 public:
  explicit WindowImpl(CefRefPtr<CefWindowDelegate> delegate);

  // CefView
  CefRefPtr<CefBrowserView> AsBrowserView() override;
  CefRefPtr<CefWindow> AsWindow() override { return this; }
  CefRefPtr<CefWindow> GetWindow() override { return this; }
  void RequestFocus() override;
  CefSize GetSize() override;

  // CefWindow
  void AddChildView(CefRefPtr<CefView> view) override;
  void Show() override;
  void Hide() override;
  void Close() override;
  bool IsClosed() override { return closed_; }
  void Activate() override;
  void CenterWindow(const CefSize& size) override;
  void Maximize() override;
  void Restore() override;
  bool IsMaximized() override;
  CefRect GetBounds() override;
  void SetTitle(const CefString& title) override;
  CefString GetTitle() override;
  void SetWindowIcon(CefRefPtr<CefImage> image) override;
  CefRefPtr<CefImage> GetWindowIcon() override { return icon_; }
  void SetWindowAppIcon(CefRefPtr<CefImage> image) override;
  CefRefPtr<CefImage> GetWindowAppIcon() override { return app_icon_; }
  cef_window_handle_t GetWindowHandle() override;

  // The GtkWindow; null once it is gone.
  GtkWidget* widget() const { return window_; }

  // Creates the GTK window, sizes it from the delegate and calls OnWindowCreated.
  void Create();

 private:
  void ApplyIcons();
  static gboolean OnDeleteEvent(GtkWidget* widget, GdkEvent* event, WindowImpl* self);
  static void OnDestroy(GtkWidget* widget, WindowImpl* self);
  static gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure* event, WindowImpl* self);
  static gboolean OnWindowState(GtkWidget* widget, GdkEventWindowState* event, WindowImpl* self);
  void ApplySizeLimits();
  static CefSize ClampToWorkArea(CefSize size);
  void NotifyBoundsChanged();

  CefRefPtr<CefWindowDelegate> delegate_;
  GtkWidget* window_ = nullptr;
  GtkWidget* box_ = nullptr;
  std::vector<CefRefPtr<CefView>> children_;
  CefRefPtr<WindowImpl> self_;  // Keeps the object alive while the GTK window exists.
  bool closed_ = false;
  bool maximized_ = false;
  CefRefPtr<CefImage> icon_;
  CefRefPtr<CefImage> app_icon_;

  IMPLEMENT_REFCOUNTING(WindowImpl);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_WINDOW_IMPL_H_

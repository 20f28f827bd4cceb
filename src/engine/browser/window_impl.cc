// WindowImpl: GtkWindow set-up, close requests through the delegate, title and icons.
#include "browser/window_impl.h"

#include <gdk/gdkx.h>

#include "browser/browser_view_impl.h"
#include "browser/page/image_impl.h"
#include "common/guarded.h"
#include "include/views/cef_browser_view.h"

namespace qvex_engine {

WindowImpl::WindowImpl(CefRefPtr<CefWindowDelegate> delegate) : delegate_(delegate) {}

void WindowImpl::Create() {
  self_ = this;
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  box_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(window_), box_);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);
  g_signal_connect(window_, "configure-event", G_CALLBACK(OnConfigure), this);
  g_signal_connect(window_, "window-state-event", G_CALLBACK(OnWindowState), this);

  if (delegate_) {
    CefRect bounds = delegate_->GetInitialBounds(this);
    CefSize size = bounds.IsEmpty() ? delegate_->GetPreferredSize(this)
                                    : CefSize(bounds.width, bounds.height);
    size = ClampToWorkArea(size);
    if (size.width > 0 && size.height > 0)
      gtk_window_set_default_size(GTK_WINDOW(window_), size.width, size.height);
    if (!bounds.IsEmpty()) gtk_window_move(GTK_WINDOW(window_), bounds.x, bounds.y);
    gtk_window_set_resizable(GTK_WINDOW(window_), delegate_->CanResize(this));
    gtk_window_set_decorated(GTK_WINDOW(window_), !delegate_->IsFrameless(this));
    ApplySizeLimits();
    if (delegate_->GetInitialShowState(this) == CEF_SHOW_STATE_MAXIMIZED)
      gtk_window_maximize(GTK_WINDOW(window_));
    delegate_->OnWindowCreated(this);
  }
}

void WindowImpl::ApplySizeLimits() {
  CefSize minimum = delegate_->GetMinimumSize(this);
  if (minimum.width <= 0 && minimum.height <= 0) return;
  GdkGeometry hints = {};
  hints.min_width = minimum.width > 0 ? minimum.width : 1;
  hints.min_height = minimum.height > 0 ? minimum.height : 1;
  gtk_window_set_geometry_hints(GTK_WINDOW(window_), nullptr, &hints, GDK_HINT_MIN_SIZE);
}

CefSize WindowImpl::ClampToWorkArea(CefSize size) {
  // A remembered or asked-for size larger than the screen would put the title bar and the
  // window's edges out of reach.
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
  if (!monitor && display) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return size;
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  if (area.width > 0 && size.width > area.width) size.width = area.width;
  if (area.height > 0 && size.height > area.height) size.height = area.height;
  return size;
}

CefRefPtr<CefBrowserView> WindowImpl::AsBrowserView() { return nullptr; }

void WindowImpl::RequestFocus() {
  if (window_) gtk_window_present(GTK_WINDOW(window_));
}

CefSize WindowImpl::GetSize() {
  if (!window_) return CefSize();
  int width = 0, height = 0;
  gtk_window_get_size(GTK_WINDOW(window_), &width, &height);
  return CefSize(width, height);
}

void WindowImpl::AddChildView(CefRefPtr<CefView> view) {
  if (!window_ || !view) return;
  auto* browser_view = dynamic_cast<BrowserViewImpl*>(view.get());
  if (!browser_view) return;
  children_.push_back(view);
  GtkWidget* widget = browser_view->AttachToWindow(this);
  gtk_box_pack_start(GTK_BOX(box_), widget, TRUE, TRUE, 0);
  gtk_widget_show(widget);
}

void WindowImpl::Show() {
  if (window_) gtk_widget_show_all(window_);
}

void WindowImpl::Hide() {
  if (window_) gtk_widget_hide(window_);
}

void WindowImpl::Close() {
  // As a user's close: the delegate's CanClose decides in the delete event.
  if (window_) gtk_window_close(GTK_WINDOW(window_));
}

void WindowImpl::Activate() {
  if (window_) gtk_window_present(GTK_WINDOW(window_));
}

void WindowImpl::CenterWindow(const CefSize& size) {
  if (!window_) return;
  if (size.width > 0 && size.height > 0) gtk_window_resize(GTK_WINDOW(window_), size.width, size.height);
  gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
}

void WindowImpl::Maximize() {
  if (window_) gtk_window_maximize(GTK_WINDOW(window_));
}

void WindowImpl::Restore() {
  if (!window_) return;
  gtk_window_unmaximize(GTK_WINDOW(window_));
  gtk_window_deiconify(GTK_WINDOW(window_));
}

bool WindowImpl::IsMaximized() { return window_ && maximized_; }

CefRect WindowImpl::GetBounds() {
  if (!window_) return CefRect();
  int x = 0, y = 0;
  gtk_window_get_position(GTK_WINDOW(window_), &x, &y);
  CefSize size = GetSize();
  return CefRect(x, y, size.width, size.height);
}

void WindowImpl::NotifyBoundsChanged() {
  if (!delegate_ || !window_) return;
  CefRefPtr<WindowImpl> keep(this);
  const CefRect bounds = GetBounds();
  Guarded("OnWindowBoundsChanged", [&] { delegate_->OnWindowBoundsChanged(this, bounds); });
}

gboolean WindowImpl::OnConfigure(GtkWidget*, GdkEventConfigure*, WindowImpl* self) {
  self->NotifyBoundsChanged();
  return FALSE;  // GTK sizes the window's contents from this event too.
}

gboolean WindowImpl::OnWindowState(GtkWidget*, GdkEventWindowState* event, WindowImpl* self) {
  const bool maximized = (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
  if (maximized != self->maximized_) {
    self->maximized_ = maximized;
    self->NotifyBoundsChanged();
  }
  return FALSE;
}

void WindowImpl::SetTitle(const CefString& title) {
  if (window_) gtk_window_set_title(GTK_WINDOW(window_), title.ToString().c_str());
}

CefString WindowImpl::GetTitle() {
  const gchar* title = window_ ? gtk_window_get_title(GTK_WINDOW(window_)) : nullptr;
  return title ? CefString(std::string(title)) : CefString();
}

void WindowImpl::SetWindowIcon(CefRefPtr<CefImage> image) {
  icon_ = image;
  ApplyIcons();
}

void WindowImpl::SetWindowAppIcon(CefRefPtr<CefImage> image) {
  app_icon_ = image;
  ApplyIcons();
}

void WindowImpl::ApplyIcons() {
  if (!window_) return;
  // GTK writes every pixbuf of the list into _NET_WM_ICON; the window manager picks a size.
  GList* list = nullptr;
  for (const CefRefPtr<CefImage>& image : {icon_, app_icon_}) {
    auto* impl = dynamic_cast<ImageImpl*>(image.get());
    GdkPixbuf* pixbuf = impl ? impl->GetPixbuf() : nullptr;
    if (pixbuf) list = g_list_append(list, pixbuf);
  }
  gtk_window_set_icon_list(GTK_WINDOW(window_), list);
  g_list_free(list);
}

cef_window_handle_t WindowImpl::GetWindowHandle() {
  GdkWindow* window = window_ ? gtk_widget_get_window(window_) : nullptr;
  return window && GDK_IS_X11_WINDOW(window) ? gdk_x11_window_get_xid(window) : 0;
}

gboolean WindowImpl::OnDeleteEvent(GtkWidget*, GdkEvent*, WindowImpl* self) {
  CefRefPtr<WindowImpl> keep(self);
  bool can_close = !self->delegate_ ||
                   GuardedOr("CanClose", true, [&] { return self->delegate_->CanClose(self); });
  return can_close ? FALSE : TRUE;  // TRUE keeps the window.
}

void WindowImpl::OnDestroy(GtkWidget*, WindowImpl* self) {
  CefRefPtr<WindowImpl> keep(self);
  self->closed_ = true;
  self->window_ = nullptr;
  self->box_ = nullptr;
  for (CefRefPtr<CefView>& view : self->children_) {
    if (auto* browser_view = dynamic_cast<BrowserViewImpl*>(view.get()))
      browser_view->OnWindowDestroyed();
  }
  if (self->delegate_)
    Guarded("OnWindowDestroyed", [&] { self->delegate_->OnWindowDestroyed(self); });
  self->children_.clear();
  self->self_ = nullptr;
}

}  // namespace qvex_engine

CefRefPtr<CefWindow> CefWindow::CreateTopLevelWindow(CefRefPtr<CefWindowDelegate> delegate) {
  CefRefPtr<qvex_engine::WindowImpl> window = new qvex_engine::WindowImpl(delegate);
  window->Create();
  return window.get();
}

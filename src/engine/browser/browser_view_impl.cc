// BrowserViewImpl: creates browsers when views are placed, and places pop-ups through the
// opener's delegate.
#include "browser/browser_view_impl.h"

#include "browser/browser_impl.h"
#include "browser/window_impl.h"
#include "common/guarded.h"

namespace qvex_engine {

namespace {

// A pop-up waiting for WebKit's "ready-to-show".
struct PendingPopup {
  CefRefPtr<BrowserViewImpl> opener_view;
  CefRefPtr<BrowserViewImpl> view;
};

}  // namespace

BrowserViewImpl::BrowserViewImpl(CefRefPtr<CefClient> client, const std::string& url,
                                 const CefBrowserSettings& settings,
                                 CefRefPtr<CefBrowserViewDelegate> delegate)
    : client_(client), url_(url), settings_(settings), delegate_(delegate) {}

BrowserViewImpl::~BrowserViewImpl() {
  if (browser_) browser_->set_view(nullptr);
}

CefRefPtr<CefWindow> BrowserViewImpl::GetWindow() {
  return window_ ? CefRefPtr<CefWindow>(window_) : nullptr;
}

void BrowserViewImpl::RequestFocus() {
  if (browser_) browser_->SetFocus(true);
}

CefSize BrowserViewImpl::GetSize() {
  if (!browser_) return CefSize();
  GtkAllocation allocation;
  gtk_widget_get_allocation(browser_->widget(), &allocation);
  return CefSize(allocation.width, allocation.height);
}

CefRefPtr<CefBrowser> BrowserViewImpl::GetBrowser() { return browser_.get(); }

CefRefPtr<BrowserImpl> BrowserViewImpl::browser_impl() const { return browser_; }

void BrowserViewImpl::Adopt(CefRefPtr<BrowserImpl> browser) {
  browser_ = browser;
  browser_->set_view(this);
  if (delegate_)
    Guarded("OnBrowserCreated", [&] { delegate_->OnBrowserCreated(this, browser_.get()); });
}

GtkWidget* BrowserViewImpl::AttachToWindow(WindowImpl* window) {
  window_ = window;
  if (!browser_) {
    Adopt(BrowserImpl::Create(client_, settings_, nullptr));
    if (!url_.empty()) webkit_web_view_load_uri(browser_->web_view(), url_.c_str());
  }
  return browser_->widget();
}

void BrowserViewImpl::OnWindowDestroyed() {
  CefRefPtr<BrowserViewImpl> keep(this);
  window_ = nullptr;
  if (!browser_) return;
  CefRefPtr<BrowserImpl> browser = browser_;
  browser->Destroy();
  if (delegate_)
    Guarded("OnBrowserDestroyed", [&] { delegate_->OnBrowserDestroyed(this, browser.get()); });
  browser->set_view(nullptr);
  browser_ = nullptr;
}

GtkWidget* BrowserViewImpl::CreatePopup(BrowserImpl* opener) {
  BrowserViewImpl* opener_view = opener->view();
  if (!opener_view) return nullptr;
  CefRefPtr<CefClient> client = opener->GetClient();
  const CefBrowserSettings& settings = opener->settings();
  CefRefPtr<CefBrowserViewDelegate> delegate =
      opener_view->delegate_
          ? opener_view->delegate_->GetDelegateForPopupBrowserView(opener_view, settings,
                                                                   client, false)
          : nullptr;
  CefRefPtr<BrowserViewImpl> view = new BrowserViewImpl(client, "", settings, delegate);
  view->Adopt(BrowserImpl::Create(client, settings, opener->web_view()));
  GtkWidget* widget = GTK_WIDGET(view->browser_->web_view());
  g_signal_connect_data(widget, "ready-to-show", G_CALLBACK(OnReadyToShow),
                        new PendingPopup{opener_view, view},
                        [](gpointer p, GClosure*) { delete static_cast<PendingPopup*>(p); },
                        GConnectFlags(0));
  // WebKit takes the returned widget as a new reference of its own.
  return GTK_WIDGET(g_object_ref(widget));
}

CefRefPtr<BrowserImpl> BrowserViewImpl::CreateWindowLike(BrowserImpl* model) {
  CefRefPtr<CefClient> client = model->GetClient();
  const CefBrowserSettings& settings = model->settings();
  BrowserViewImpl* model_view = model->view();
  if (!model_view) return BrowserImpl::CreateInNativeWindow(client, settings, CefRect());
  CefRefPtr<CefBrowserViewDelegate> delegate =
      model_view->delegate_
          ? GuardedOr("GetDelegateForPopupBrowserView", CefRefPtr<CefBrowserViewDelegate>(), [&] {
              return model_view->delegate_->GetDelegateForPopupBrowserView(model_view, settings,
                                                                           client, false);
            })
          : nullptr;
  CefRefPtr<BrowserViewImpl> view = new BrowserViewImpl(client, "", settings, delegate);
  view->Adopt(BrowserImpl::Create(client, settings, nullptr));
  CefRefPtr<BrowserImpl> browser = view->browser_;
  if (!ShowExisting(model_view, browser, false)) {
    view->OnWindowDestroyed();
    return nullptr;
  }
  return browser;
}

void BrowserViewImpl::OnReadyToShow(GtkWidget* web_view, gpointer data) {
  auto* pending = static_cast<PendingPopup*>(data);
  CefRefPtr<BrowserViewImpl> opener_view = pending->opener_view;
  CefRefPtr<BrowserViewImpl> view = pending->view;
  g_signal_handlers_disconnect_by_func(web_view, reinterpret_cast<gpointer>(OnReadyToShow),
                                       data);  // Frees `pending`.
  if (!view->browser_) return;
  if (!ShowExisting(opener_view, view->browser_, false)) {
    view->OnWindowDestroyed();
    gtk_widget_destroy(web_view);
  }
}

bool BrowserViewImpl::ShowExisting(CefRefPtr<BrowserViewImpl> opener_view,
                                   CefRefPtr<BrowserImpl> browser, bool is_devtools) {
  CefRefPtr<BrowserViewImpl> view = browser->view();
  if (!view) {
    view = new BrowserViewImpl(browser->GetClient(), "", browser->settings(),
                               opener_view ? opener_view->delegate_ : nullptr);
    view->Adopt(browser);
  }
  CefRefPtr<CefBrowserViewDelegate> delegate = opener_view ? opener_view->delegate_ : nullptr;
  return delegate && GuardedOr("OnPopupBrowserViewCreated", false, [&] {
           return delegate->OnPopupBrowserViewCreated(opener_view.get(), view.get(), is_devtools);
         });
}

}  // namespace qvex_engine

CefRefPtr<CefBrowserView> CefBrowserView::CreateBrowserView(
    CefRefPtr<CefClient> client, const CefString& url, const CefBrowserSettings& settings,
    CefRefPtr<CefDictionaryValue> extra_info, CefRefPtr<CefRequestContext> request_context,
    CefRefPtr<CefBrowserViewDelegate> delegate) {
  return new qvex_engine::BrowserViewImpl(client, url.ToString(), settings, delegate);
}

CefRefPtr<CefBrowserView> CefBrowserView::GetForBrowser(CefRefPtr<CefBrowser> browser) {
  auto* impl = dynamic_cast<qvex_engine::BrowserImpl*>(browser.get());
  return impl ? CefRefPtr<CefBrowserView>(impl->view()) : nullptr;
}

CefRefPtr<CefWindow> qvex_engine::BrowserViewImpl::AsWindow() { return nullptr; }

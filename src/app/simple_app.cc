// SimpleApp and its two Views delegates: windows for the main browser, pop-ups and
// developer tools.
#include "app/simple_app.h"

#include "app/browser_events.h"
#include "client/simple_handler.h"
#include "include/views/cef_browser_view.h"
#include "include/views/cef_window.h"
#include "include/wrapper/cef_helpers.h"

namespace {

// Every window this shell opens has this size.
constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 600;

// Fills a top-level window with one browser view and lets the browser decide about closing.
class SimpleWindowDelegate : public CefWindowDelegate {
 public:
  explicit SimpleWindowDelegate(CefRefPtr<CefBrowserView> browser_view)
      : browserView(browser_view) {}

  CefSize GetPreferredSize(CefRefPtr<CefView> view) override {
    return CefSize(kWindowWidth, kWindowHeight);
  }

  void OnWindowCreated(CefRefPtr<CefWindow> window) override {
    window->AddChildView(browserView);
    window->Show();
    browserView->RequestFocus();
  }

  void OnWindowDestroyed(CefRefPtr<CefWindow> window) override { browserView = nullptr; }

  bool CanClose(CefRefPtr<CefWindow> window) override {
    CefRefPtr<CefBrowser> browser = browserView ? browserView->GetBrowser() : nullptr;
    if (browser) return browser->GetHost()->TryCloseBrowser();
    return true;
  }

 private:
  CefRefPtr<CefBrowserView> browserView;

  IMPLEMENT_REFCOUNTING(SimpleWindowDelegate);
  DISALLOW_COPY_AND_ASSIGN(SimpleWindowDelegate);
};

// Gives every pop-up browser, developer tools included, a top-level window of its own.
class SimpleBrowserViewDelegate : public CefBrowserViewDelegate {
 public:
  SimpleBrowserViewDelegate() = default;

  bool OnPopupBrowserViewCreated(CefRefPtr<CefBrowserView> browser_view,
                                 CefRefPtr<CefBrowserView> popup_browser_view,
                                 bool is_devtools) override {
    CefWindow::CreateTopLevelWindow(new SimpleWindowDelegate(popup_browser_view));
    return true;
  }

 private:
  IMPLEMENT_REFCOUNTING(SimpleBrowserViewDelegate);
  DISALLOW_COPY_AND_ASSIGN(SimpleBrowserViewDelegate);
};

}  // namespace

SimpleApp::SimpleApp() = default;

void SimpleApp::OnContextInitialized() {
  CEF_REQUIRE_UI_THREAD();
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::GetGlobalCommandLine();
  CefRefPtr<SimpleHandler> handler(new SimpleHandler(true));
  CefBrowserSettings browser_settings;
  be.onBrowserInit(command_line, browser_settings);

  CefString url(BrowserEvents::url);
  CefRefPtr<CefBrowserView> browser_view = CefBrowserView::CreateBrowserView(
      handler, url, browser_settings, nullptr, nullptr, new SimpleBrowserViewDelegate());
  CefWindow::CreateTopLevelWindow(new SimpleWindowDelegate(browser_view));
}

void SimpleApp::OnWebKitInitialized() {
  CefMessageRouterConfig config;
  rendererRouter = CefMessageRouterRendererSide::Create(config);
  be.onPageWebKitInit();
}

void SimpleApp::OnContextCreated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                 CefRefPtr<CefV8Context> context) {
  if (!rendererRouter) return;
  // The router first, so its functions exist when the page start-up scripts run.
  rendererRouter->OnContextCreated(browser, frame, context);
  be.onPageJSInit(browser, frame, context);
}

void SimpleApp::OnContextReleased(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                  CefRefPtr<CefV8Context> context) {
  if (rendererRouter) rendererRouter->OnContextReleased(browser, frame, context);
}

bool SimpleApp::OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                         CefRefPtr<CefFrame> frame,
                                         CefProcessId source_process,
                                         CefRefPtr<CefProcessMessage> message) {
  if (!rendererRouter) return false;
  return rendererRouter->OnProcessMessageReceived(browser, frame, source_process, message);
}

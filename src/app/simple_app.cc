// SimpleApp and its two Views delegates: windows for the main browser, pop-ups and
// developer tools.
#include "app/simple_app.h"

#include "app/app_profile.h"
#include "app/backend/backend.h"
#include "app/browser_events.h"
#include "app/project_file.h"
#include "app/window_state.h"
#include "client/permission_policy.h"
#include "client/simple_handler.h"
#include "include/base/cef_logging.h"
#include "include/cef_command_line.h"
#include "include/cef_task.h"
#include "include/qvex_desktop.h"
#include "include/views/cef_browser_view.h"
#include "include/views/cef_window.h"
#include "include/wrapper/cef_helpers.h"

namespace {

// Pop-ups and developer tools open at this size; the main window at the project's.
constexpr int kWindowWidth = WindowOptions::kDefaultWidth;
constexpr int kWindowHeight = WindowOptions::kDefaultHeight;
// A resize or move settles before its size is written.
constexpr int kSaveStateDelayMs = 500;

CefRefPtr<CefWindow> g_main_window;

// Fills a top-level window with one browser view and lets the browser decide about closing.
// The main window (`main`) takes the project's window keys and, with an id, comes back at the
// size it was left.
class SimpleWindowDelegate : public CefWindowDelegate {
 public:
  explicit SimpleWindowDelegate(CefRefPtr<CefBrowserView> browser_view, bool main = false)
      : browserView(browser_view), main_(main) {
    if (!main_) return;
    const AppProfile& profile = AppProfile::Current();
    const WindowOptions& options = profile.window();
    state_.width = options.width();
    state_.height = options.height();
    state_.maximized = options.maximized();
    // A driven run starts the same every time.
    const bool driven = CefCommandLine::GetGlobalCommandLine()->HasSwitch("automation");
    if (options.remember() && !profile.folders().empty() && !driven) {
      state_file_ = profile.folders().window_state_file();
      WindowState remembered;
      if (remembered.Load(state_file_)) {
        state_ = remembered;
        saved_ = remembered;
        if (state_.width < options.min_width()) state_.width = options.min_width();
        if (state_.height < options.min_height()) state_.height = options.min_height();
      }
    }
  }

  CefSize GetPreferredSize(CefRefPtr<CefView> view) override {
    return main_ ? CefSize(state_.width, state_.height) : CefSize(kWindowWidth, kWindowHeight);
  }
  CefSize GetMinimumSize(CefRefPtr<CefView> view) override {
    if (!main_) return CefSize();
    const WindowOptions& options = AppProfile::Current().window();
    return CefSize(options.min_width(), options.min_height());
  }
  bool CanResize(CefRefPtr<CefWindow> window) override {
    return !main_ || AppProfile::Current().window().resizable();
  }
  cef_show_state_t GetInitialShowState(CefRefPtr<CefWindow> window) override {
    return main_ && state_.maximized ? CEF_SHOW_STATE_MAXIMIZED : CEF_SHOW_STATE_NORMAL;
  }

  void OnWindowCreated(CefRefPtr<CefWindow> window) override {
    // The app's name until the page gives a title.
    const AppIdentity& identity = AppProfile::Current().identity();
    if (identity.has_name()) window->SetTitle(identity.name());
    if (main_) g_main_window = window;
    window->AddChildView(browserView);
    window->Show();
    browserView->RequestFocus();
  }

  void OnWindowBoundsChanged(CefRefPtr<CefWindow> window, const CefRect& new_bounds) override {
    if (state_file_.empty()) return;
    const bool maximized = window->IsMaximized();
    // The size to come back to is the one before maximizing.
    if (!maximized && new_bounds.width > 0 && new_bounds.height > 0) {
      state_.width = new_bounds.width;
      state_.height = new_bounds.height;
    }
    state_.maximized = maximized;
    if (save_posted_) return;
    save_posted_ = true;
    CefRefPtr<SimpleWindowDelegate> self(this);
    CefPostDelayedTask(TID_UI, base::RepeatingClosure([self] { self->SaveState(); }),
                       kSaveStateDelayMs);
  }

  void OnWindowDestroyed(CefRefPtr<CefWindow> window) override {
    if (main_) SaveState();
    if (g_main_window == window) g_main_window = nullptr;
    browserView = nullptr;
  }

  bool CanClose(CefRefPtr<CefWindow> window) override {
    CefRefPtr<CefBrowser> browser = browserView ? browserView->GetBrowser() : nullptr;
    if (browser) return browser->GetHost()->TryCloseBrowser();
    return true;
  }

 private:
  void SaveState() {
    save_posted_ = false;
    if (state_file_.empty() || !state_changed()) return;
    std::string why;
    const std::string dir = state_file_.substr(0, state_file_.rfind('/'));
    if (!AppFolders::Create(dir, &why) || !state_.Save(state_file_)) {
      LOG(WARNING) << "the window's size cannot be kept in " << state_file_
                   << (why.empty() ? std::string() : ": " + why);
      state_file_.clear();  // Said once.
      return;
    }
    saved_ = state_;
  }
  bool state_changed() const {
    return state_.width != saved_.width || state_.height != saved_.height ||
           state_.maximized != saved_.maximized;
  }

  CefRefPtr<CefBrowserView> browserView;
  const bool main_;
  WindowState state_;
  WindowState saved_;
  std::string state_file_;  // Empty: not remembered.
  bool save_posted_ = false;

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

void SimpleApp::BringForward(const std::string& startup_id) {
  CEF_REQUIRE_UI_THREAD();
  LOG(INFO) << "another start of the app asked this one to come forward";
  if (g_main_window && !g_main_window->IsClosed()) QvexPresentWindow(g_main_window, startup_id);
}

void SimpleApp::OnContextInitialized() {
  CEF_REQUIRE_UI_THREAD();
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::GetGlobalCommandLine();
  CefRefPtr<SimpleHandler> handler(new SimpleHandler(true));
  CefBrowserSettings browser_settings;
  be.onBrowserInit(command_line, browser_settings);

  // A project with a backend: the window opens at once with nothing loaded (a panel in the
  // page's place) and gets the start URL once the backend answers. Its port is in the start
  // URL from here on.
  const ProjectFile& file = ProjectFile::Current();
  const AppProfile& profile = AppProfile::Current();
  Backend* backend = Backend::Start(file, profile.identity().name(),
                                    Backend::Setup::ForApp(file.project_dir(), profile.folders()),
                                    &BrowserEvents::url);

  // The project's own pages may notify from their first script on.
  const std::string start_origin = PermissionPolicy::OriginOf(BrowserEvents::url);
  if (!start_origin.empty()) QvexGrantNotifications({start_origin});
  handler->set_permission_handler(new PermissionPolicy(BrowserEvents::url));

  CefString url(backend ? std::string() : BrowserEvents::url);
  CefRefPtr<CefBrowserView> browser_view = CefBrowserView::CreateBrowserView(
      handler, url, browser_settings, nullptr, nullptr, new SimpleBrowserViewDelegate());
  CefWindow::CreateTopLevelWindow(new SimpleWindowDelegate(browser_view, /*main=*/true));
  if (backend) backend->Attach(browser_view->GetBrowser());
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

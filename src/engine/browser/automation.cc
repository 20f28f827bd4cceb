// Automation: WebKit's automation session over the shell's own windows.
#include "browser/automation.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "browser/browser_impl.h"
#include "browser/browser_view_impl.h"
#include "include/base/cef_logging.h"
#include "include/cef_command_line.h"
#include "include/cef_task.h"

namespace qvex_engine {

namespace {

constexpr char kSwitch[] = "automation";

bool g_enabled = false;
std::string g_name;
guint64 g_version[3] = {0, 0, 0};
// The web views of the run in the order they came, weakly: the first one alive is the
// session's first window and the model of its new ones.
std::vector<GWeakRef*> g_views;
bool g_start_handed_out = false;
bool g_session_on = false;
void (*g_pending_quit)() = nullptr;

// How long the message loop stays after its end was asked for, waiting for the session.
constexpr guint kQuitWaitMs = 3000;

void RunPendingQuit() {
  void (*quit)() = g_pending_quit;
  g_pending_quit = nullptr;
  if (quit) quit();
}

void OnSessionWillClose(WebKitAutomationSession* session, gpointer) {
  g_session_on = false;
  // After WebKit is done with the session's last message.
  g_idle_add(
      [](gpointer) {
        RunPendingQuit();
        return G_SOURCE_REMOVE;
      },
      nullptr);
}

CefRefPtr<BrowserImpl> FirstLiveBrowser() {
  for (auto it = g_views.begin(); it != g_views.end();) {
    auto* view = static_cast<WebKitWebView*>(g_weak_ref_get(*it));
    CefRefPtr<BrowserImpl> browser = view ? BrowserImpl::FromWebView(view) : nullptr;
    if (view) g_object_unref(view);
    if (browser && !browser->is_closed()) return browser;
    g_weak_ref_clear(*it);
    delete *it;
    it = g_views.erase(it);
  }
  return nullptr;
}

void ParseProductVersion(const std::string& product) {
  std::string version;
  size_t slash = product.find('/');
  g_name = product.substr(0, slash);
  if (slash != std::string::npos) version = product.substr(slash + 1);
  if (g_name.empty()) g_name = g_get_prgname() ? g_get_prgname() : "qvexdesk";
  const char* p = version.c_str();
  for (guint64& part : g_version) {
    char* end = nullptr;
    part = g_ascii_strtoull(p, &end, 10);
    if (end == p || *end != '.') break;
    p = end + 1;
  }
}

// The session's windows: first the start window, then a new window of the shell for each.
WebKitWebView* OnCreateWebView(WebKitAutomationSession* session, gpointer) {
  CefRefPtr<BrowserImpl> model = FirstLiveBrowser();
  if (!model) {
    LOG(ERROR) << "automation: the shell has no window to start from";
    return nullptr;
  }
  if (!g_start_handed_out) {
    g_start_handed_out = true;
    return model->web_view();
  }
  CefRefPtr<BrowserImpl> browser = BrowserViewImpl::CreateWindowLike(model.get());
  return browser ? browser->web_view() : nullptr;
}

void OnAutomationStarted(WebKitWebContext* context, WebKitAutomationSession* session, gpointer) {
  WebKitApplicationInfo* info = webkit_application_info_new();
  webkit_application_info_set_name(info, g_name.c_str());
  webkit_application_info_set_version(info, g_version[0], g_version[1], g_version[2]);
  webkit_automation_session_set_application_info(session, info);
  webkit_application_info_unref(info);
  g_signal_connect(session, "create-web-view", G_CALLBACK(OnCreateWebView), nullptr);
  g_signal_connect(session, "will-close", G_CALLBACK(OnSessionWillClose), nullptr);
  g_session_on = true;
}

}  // namespace

bool AutomationEnabled() { return g_enabled; }

void ReadAutomationSwitch() {
  g_enabled = CefCommandLine::GetGlobalCommandLine()->HasSwitch(kSwitch);
  // WebKitWebDriver starts the program with this set; without the switch the session would
  // wait for a program that never answers.
  if (!g_enabled && std::getenv("WEBKIT_INSPECTOR_SERVER")) {
    std::fprintf(stderr,
                 "%s: started by a WebDriver (WEBKIT_INSPECTOR_SERVER is set) without "
                 "--automation: no session can start. List --automation in the "
                 "\"args\" of \"webkitgtk:browserOptions\".\n",
                 g_get_prgname() ? g_get_prgname() : "qvexdesk");
  }
}

void SetUpAutomation(WebKitWebContext* context, const CefSettings& settings) {
  ParseProductVersion(settings.product_version.ToString());
  webkit_web_context_set_automation_allowed(context, TRUE);
  g_signal_connect(context, "automation-started", G_CALLBACK(OnAutomationStarted), nullptr);
}

void NoteBrowserCreated(BrowserImpl* browser) {
  if (!g_enabled || !browser->web_view()) return;
  auto* ref = new GWeakRef;
  g_weak_ref_init(ref, browser->web_view());
  g_views.push_back(ref);
}

bool QuitNowOrAfterSession(void (*quit)()) {
  if (!g_session_on) return true;
  if (!g_pending_quit) {
    CefPostDelayedTask(TID_UI, base::RepeatingClosure(RunPendingQuit), kQuitWaitMs);
  }
  g_pending_quit = quit;
  return false;
}

}  // namespace qvex_engine

// CefInitialize, the message loop and CefShutdown in the UI process.
#include "browser/runtime.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <climits>
#include <vector>

#include "browser/automation.h"
#include "browser/network/certificate_policy.h"
#include "browser/close/close_requests.h"
#include "browser/downloads/downloads.h"
#include "browser/crash/renderer_settings.h"
#include "browser/desktop/desktop_identity.h"
#include "browser/desktop/notifications.h"
#include "browser/start_failure.h"
#include "browser/close/termination_signals.h"
#include "common/engine_state.h"
#include "common/guarded.h"
#include "common/web_extension_init.h"
#include "include/base/cef_logging.h"
#include "include/cef_task.h"

namespace {

CefRefPtr<CefApp> g_app;
WebKitWebContext* g_context = nullptr;
CefSettings g_settings;

// WebKit starts a web process for each new view; each gets the shell's directory, as the web
// process's own executable is WebKit's, and the log level in force here.
void OnInitializeWebExtensions(WebKitWebContext* context, gpointer) {
  qvex_engine::WebExtensionInit init;
  init.executable_dir = qvex_engine::ExecutableDir();
  init.switches.push_back("--log-severity=" +
                          qvex_engine::LogSeveritySwitchValue(cef_get_min_log_level()));
  webkit_web_context_set_web_extensions_initialization_user_data(context, init.Encode());
}

// CEF keeps cookies, storage and caches in memory when no cache path is set, and on disk under
// it otherwise. WebKit's default context would write them under the user's data and cache
// folders by program name, shared by every project served from the same origin.
WebKitWebContext* NewWebContext(const CefSettings& settings) {
  const std::string cache_path = settings.cache_path.ToString();
  // A driven run leaves nothing behind for the next one, whatever the settings say.
  if (cache_path.empty() || qvex_engine::AutomationEnabled())
    return webkit_web_context_new_ephemeral();
  // An app that names its HTTP cache folder keeps its storage straight in cache_path (its data
  // folder) and the cache apart, where the desktop's cache cleaners look.
  const std::string http_cache = qvex_engine::DesktopIdentity().http_cache_path;
  const std::string data_dir = http_cache.empty() ? cache_path + "/data" : cache_path;
  const std::string cache_dir = http_cache.empty() ? cache_path + "/cache" : http_cache;
  WebKitWebsiteDataManager* data = webkit_website_data_manager_new(
      "base-data-directory", data_dir.c_str(), "base-cache-directory", cache_dir.c_str(),
      nullptr);
  WebKitWebContext* context = webkit_web_context_new_with_website_data_manager(data);
  g_object_unref(data);
  // Cookies are not under the base directories: give them a file there too.
  const std::string cookies = data_dir + "/cookies.sqlite";
  webkit_cookie_manager_set_persistent_storage(webkit_web_context_get_cookie_manager(context),
                                               cookies.c_str(),
                                               WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  return context;
}

void SetUpWebContext(const CefSettings& settings) {
  qvex_engine::ReadAutomationSwitch();
  g_context = NewWebContext(settings);
  if (qvex_engine::AutomationEnabled()) qvex_engine::SetUpAutomation(g_context, settings);
  webkit_web_context_set_web_extensions_directory(
      g_context, (qvex_engine::ExecutableDir() + "/webext").c_str());
  g_signal_connect(g_context, "initialize-web-extensions",
                   G_CALLBACK(OnInitializeWebExtensions), nullptr);
  if (settings.no_sandbox) webkit_web_context_set_sandbox_enabled(g_context, FALSE);
  qvex_engine::AttachDownloads(g_context);
  qvex_engine::AttachNotifications(g_context);
  // Certificate errors are ignored for loopback servers only: anyone on the network path could
  // replace any other page, and with it a backend project's bridge.
  qvex_engine::CertificatePolicy::SetUp(g_context, settings.ignore_certificate_errors != 0);
}

void ContextInitialized() {
  if (!g_app) return;
  CefRefPtr<CefBrowserProcessHandler> handler = g_app->GetBrowserProcessHandler();
  if (handler)
    qvex_engine::Guarded("OnContextInitialized", [&] { handler->OnContextInitialized(); });
}

}  // namespace

namespace qvex_engine {

WebKitWebContext* GetWebContext() { return g_context; }
CefRefPtr<CefApp> GetApp() { return g_app; }

std::string ExecutableDir() {
  static const std::string dir = [] {
    std::vector<char> buf(PATH_MAX + 1, 0);
    ssize_t n = readlink("/proc/self/exe", buf.data(), PATH_MAX);
    std::string path = n > 0 ? std::string(buf.data(), n) : std::string();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  }();
  return dir;
}

}  // namespace qvex_engine

bool CefInitialize(const CefMainArgs& args, const CefSettings& settings,
                   CefRefPtr<CefApp> application, void* windows_sandbox_info) {
  qvex_engine::BlockTerminationSignals();
  qvex_engine::SetMinLogLevel(qvex_engine::LogLevelFromSeverity(settings.log_severity));
  qvex_engine::SetGlobalCommandLine(args.argc, args.argv);
  qvex_engine::ApplyLogSeveritySwitch();  // The switch wins over the settings, as in CEF.
  qvex_engine::RecordMainThread(TID_UI);
  g_settings = settings;

  // GDK replaces the X error handlers while it opens the display (its own one exits on any
  // untrapped error). Put back whatever the application had installed, outside any trap.
  XErrorHandler app_error_handler = XSetErrorHandler(nullptr);
  XSetErrorHandler(app_error_handler);
  XIOErrorHandler app_io_error_handler = XSetIOErrorHandler(nullptr);
  XSetIOErrorHandler(app_io_error_handler);

  gdk_set_allowed_backends("x11");
  std::vector<char*> argv(args.argv, args.argv + args.argc);
  std::string argv0 = args.argc > 0 ? args.argv[0] : "qvexdesk";
  qvex_engine::ApplyIdentityBeforeDisplay(&argv0);
  if (argv.empty()) argv.push_back(nullptr);
  argv[0] = &argv0[0];
  argv.push_back(nullptr);
  int argc = args.argc;
  char** argv_ptr = argv.data();
  if (!gtk_init_check(&argc, &argv_ptr)) {
    qvex_engine::SayCannotOpenDisplay();
    return false;
  }
  XSetErrorHandler(app_error_handler);
  XSetIOErrorHandler(app_io_error_handler);
  qvex_engine::ApplyIdentityAfterDisplay();
  qvex_engine::NoteRendererSettingsOnFatalErrors();

  g_app = application;
  qvex_engine::InstallCloseRequestHook();
  qvex_engine::InstallTerminationSignals();
  SetUpWebContext(settings);
  CefPostTask(TID_UI, base::RepeatingClosure(ContextInitialized));
  return true;
}

void CefRunMessageLoop() {
  if (!g_app) return;  // Not initialised: nothing would ever end the loop.
  gtk_main();
}

void CefQuitMessageLoop() {
  if (!CefCurrentlyOn(TID_UI)) {
    CefPostTask(TID_UI, base::RepeatingClosure(CefQuitMessageLoop));
    return;
  }
  if (!qvex_engine::QuitNowOrAfterSession(+[] { CefQuitMessageLoop(); })) return;
  if (gtk_main_level() > 0) gtk_main_quit();
}

void CefShutdown() {
  // Let the destruction of closed windows and their views finish (bounded: WebKit keeps
  // timers of its own).
  for (int i = 0; i < 100 && g_main_context_pending(nullptr); ++i)
    g_main_context_iteration(nullptr, FALSE);
  qvex_engine::DiscardUnfinishedDownloads();
  g_app = nullptr;
}

XDisplay* cef_get_xdisplay() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return nullptr;
  return reinterpret_cast<XDisplay*>(gdk_x11_display_get_xdisplay(display));
}

// BrowserEvents: settings, start URL, the hooks without bridge duties, and the project
// configuration.
#include "app/browser_events.h"

#include "app/backend/backend_config.h"
#include "app/project_file.h"
#include "util/ZcLib.h"

std::string BrowserEvents::url;
JSON BrowserEvents::j1;

void BrowserEvents::onInit() {
  settings.multi_threaded_message_loop = 0;
  settings.ignore_certificate_errors = 1;
}

void BrowserEvents::onAfterBrowserInit(const CefRefPtr<CefBrowser>& browser) {}

void BrowserEvents::onBeforeBrowserClose(const CefRefPtr<CefBrowser>& browser) {}

void BrowserEvents::onBrowserInit(const CefRefPtr<CefCommandLine>& command_line,
                                  CefBrowserSettings& browser_settings) {
  url = command_line ? command_line->GetSwitchValue("url").ToString() : std::string();
  if (url.empty()) url = kHomePageUrl;

  browser_settings.remote_fonts = STATE_ENABLED;
  browser_settings.javascript_close_windows = STATE_ENABLED;
  browser_settings.javascript_access_clipboard = STATE_ENABLED;
  browser_settings.javascript_dom_paste = STATE_ENABLED;
  browser_settings.file_access_from_file_urls = STATE_ENABLED;
  browser_settings.web_security = STATE_DISABLED;
  browser_settings.application_cache = STATE_ENABLED;
  browser_settings.webgl = STATE_ENABLED;

  // A backend project opens its own front end.
  if (GetProjectType() == ProjectFile::kBackendType) {
    std::string front = j1.value("fronturl");
    if (!front.empty()) url = front;
  }
  BackendConfig::From(ProjectFile::Current());  // Its faults join the line logged below.
  ProjectFile::Current().LogProblemsOnce();
}

void BrowserEvents::onPageInit(const CefRefPtr<CefBrowser>& browser, bool canGoBack,
                               bool canGoForward) {}

void BrowserEvents::onLoadEnd(const CefRefPtr<CefBrowser>& browser,
                              const CefRefPtr<CefFrame>& frame, int httpStatusCode) {}

void BrowserEvents::onPageEnd(const CefRefPtr<CefBrowser>& browser, bool canGoBack,
                              bool canGoForward) {}

std::string BrowserEvents::SetProjectPath(std::string path) {
  static std::string projpath2;
  if (!path.empty()) projpath2 = path;
  else if (projpath2.empty()) projpath2 = ZcLib::GetStartupPath();
  return projpath2;
}

std::string BrowserEvents::GetProjectPath() { return SetProjectPath(std::string()); }

std::string BrowserEvents::SetProjectType(std::string type) {
  static std::string projtype2;
  if (!type.empty()) {
    projtype2 = type;
  } else if (projtype2.empty()) {
    // Asked again on every request while unknown: a missing or broken file may be fixed.
    const ProjectFile& file = ProjectFile::Current(/*read_again=*/true);
    if (file.known()) {
      if (j1.parse(file.text())) projtype2 = file.type();
    } else {
      j1.parseFile(file.path());  // Says on standard output why it cannot be read.
    }
  }
  return projtype2;
}

std::string BrowserEvents::GetProjectType() { return SetProjectType(std::string()); }

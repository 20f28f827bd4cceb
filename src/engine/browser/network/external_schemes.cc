// ExternalSchemes: decide-policy for other schemes, and GIO's default handler. UI thread.
#include "browser/network/external_schemes.h"

#include <gio/gio.h>

#include <cstring>

#include "browser/browser_impl.h"
#include "browser/request_impl.h"
#include "common/guarded.h"
#include "common/log_text.h"
#include "include/base/cef_logging.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

// What WebKit shows itself: the web's schemes, its own internal ones (the PDF viewer,
// GResource files), and javascript: links, which run in the page.
constexpr const char* kShownSchemes[] = {
    "http", "https", "file", "data", "blob", "about", "javascript", "resource",
    "webkit-pdfjs-viewer",
};

constexpr size_t kMaxLoggedUrl = 1024;

std::string SchemeOf(const std::string& url) {
  const char* scheme = g_uri_peek_scheme(url.c_str());  // Lower case, interned.
  return scheme ? scheme : "";
}

std::string UrlOf(WebKitNavigationAction* action) {
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const gchar* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  return uri ? uri : "";
}

bool IsExternal(const std::string& url) {
  return !url.empty() && !ExternalSchemes::IsShown(SchemeOf(url));
}

// The desktop opens `url` with the default application for its scheme (xdg-open's lookup).
void Launch(WebKitWebView* web_view, const std::string& url, const std::string& scheme) {
  const std::string shown = LogText::Escape(url, kMaxLoggedUrl);
  g_autoptr(GAppInfo) app = g_app_info_get_default_for_uri_scheme(scheme.c_str());
  if (!app) {
    LOG(WARNING) << "no application handles " << LogText::Escape(scheme, 64)
                 << ": URLs; not opened: " << shown;
    return;
  }
  g_autoptr(GdkAppLaunchContext) context =
      gdk_display_get_app_launch_context(gtk_widget_get_display(GTK_WIDGET(web_view)));
  g_autoptr(GError) error = nullptr;
  if (!g_app_info_launch_default_for_uri(url.c_str(), G_APP_LAUNCH_CONTEXT(context), &error)) {
    LOG(WARNING) << "could not open " << shown << " with " << g_app_info_get_name(app) << ": "
                 << (error ? error->message : "unknown error");
    return;
  }
  LOG(INFO) << "opened " << shown << " with the desktop's handler " << g_app_info_get_name(app);
}

// A navigation to an external scheme, which the caller has already stopped.
void Handle(BrowserImpl* browser, WebKitNavigationAction* action, const std::string& url) {
  const bool redirect = webkit_navigation_action_is_redirect(action) != FALSE;
  // A redirect carries the gesture of the click that began it: the page's server chose the URL.
  const bool gesture = webkit_navigation_action_is_user_gesture(action) != FALSE && !redirect;
  CefRefPtr<CefClient> client = browser->GetClient();
  CefRefPtr<CefRequestHandler> handler = client ? client->GetRequestHandler() : nullptr;
  // WebKit does not say which frame it was for: the main frame stands for the page.
  CefRefPtr<CefRequest> request = new RequestImpl(webkit_navigation_action_get_request(action));
  if (handler && GuardedOr("OnBeforeBrowse", false, [&] {
        return handler->OnBeforeBrowse(browser, browser->GetMainFrame(), request, gesture,
                                       redirect);
      })) {
    return;  // The client cancelled it.
  }
  const std::string scheme = SchemeOf(url);
  if (!gesture) {
    LOG(WARNING) << "refused to open " << LogText::Escape(url, kMaxLoggedUrl)
                 << ": not started by the user";
    return;
  }
  Launch(browser->web_view(), url, scheme);
}

gboolean OnDecidePolicy(WebKitWebView* web_view, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
      type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    return FALSE;
  }
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const std::string url = UrlOf(action);
  if (!IsExternal(url)) return FALSE;
  // A view that shows nothing yet (the application's start URL) has no page to stay on:
  // WebKit's failure gives the error page there.
  if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
      !webkit_back_forward_list_get_current_item(webkit_web_view_get_back_forward_list(web_view))) {
    return FALSE;
  }
  CefRefPtr<BrowserImpl> keep(browser);
  webkit_policy_decision_ignore(decision);
  Handle(browser, action, url);
  return TRUE;
}

}  // namespace

bool ExternalSchemes::IsShown(const std::string& scheme) {
  for (const char* shown : kShownSchemes) {
    if (scheme == shown) return true;
  }
  return false;
}

bool ExternalSchemes::TakePopup(BrowserImpl* browser, WebKitNavigationAction* action) {
  const std::string url = UrlOf(action);
  if (!IsExternal(url)) return false;
  Handle(browser, action, url);
  return true;
}

void ExternalSchemes::Attach(BrowserImpl* browser) {
  g_signal_connect(browser->web_view(), "decide-policy", G_CALLBACK(OnDecidePolicy), browser);
}

}  // namespace qvex_engine

// Load and navigation signals of a web view, and the web process's messages about its loads.
// WebKit reports loads of the main frame only; sub-frames are subframe_signals.cc's.
#include "browser/loads/load_signals.h"

#include <string>

#include "browser/browser_impl.h"
#include "browser/network/certificate_policy.h"
#include "browser/downloads/downloads.h"
#include "browser/page/favicon_urls.h"
#include "browser/frame_impl.h"
#include "browser/frame_tree.h"
#include "browser/loads/load_error.h"
#include "browser/loads/load_state.h"
#include "browser/request_impl.h"
#include "browser/loads/start_scripts.h"
#include "browser/loads/subframe_loads.h"
#include "browser/loads/subframe_signals.h"
#include "browser/web_view_signals.h"
#include "common/engine_messages.h"
#include "common/guarded.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

namespace msg = engine_messages;

using Decided = LoadState::Decided;

int MainResourceStatus(WebKitWebView* web_view) {
  WebKitWebResource* resource = webkit_web_view_get_main_resource(web_view);
  WebKitURIResponse* response = resource ? webkit_web_resource_get_response(resource) : nullptr;
  return response ? static_cast<int>(webkit_uri_response_get_status_code(response)) : 0;
}

std::string UriOf(WebKitWebView* web_view) {
  const gchar* uri = webkit_web_view_get_uri(web_view);
  return uri ? uri : "";
}

// --- The main frame -------------------------------------------------------------------

// Reports the main frame's load start. Scripts that the handler asks the main frame to run
// meanwhile are collected; `install_for` non-empty: they become the one-shot of that document,
// else (the document exists already) they run in it now.
void ReportLoadStart(BrowserImpl* browser, const std::string& install_for) {
  CefRefPtr<CefLoadHandler> handler = LoadHandlerOf(browser);
  StartScripts* scripts = browser->start_scripts();
  {
    StartScripts::Collecting collecting(scripts);
    if (handler) {
      Guarded("OnLoadStart",
              [&] { handler->OnLoadStart(browser, browser->GetMainFrame(), TT_EXPLICIT); });
    }
  }
  if (!install_for.empty()) {
    scripts->InstallFor(install_for);
    return;
  }
  for (const auto& [code, script_url] : scripts->TakeCollected())
    browser->RequestScript(code, script_url);
}

// WebKit starts a main-frame load only after its navigation was decided, so this is where the
// main frame's navigation is known to be the main frame's: the request handler hears of it
// here, with what the decision said of it. Cancelling stops the load before it commits.
void ReportBeforeBrowse(WebKitWebView* web_view, BrowserImpl* browser, bool is_redirect) {
  LoadState* state = browser->load_state();
  const std::string url = UriOf(web_view);
  const Decided decided =
      state->decided.TakeNewest(url).value_or(Decided{new RequestImpl(url, "GET"), false});
  CefRefPtr<CefRequestHandler> handler = RequestHandlerOf(browser);
  if (handler && GuardedOr("OnBeforeBrowse", false, [&] {
        return handler->OnBeforeBrowse(browser, browser->GetMainFrame(), decided.request,
                                       decided.user_gesture, is_redirect);
      })) {
    webkit_web_view_stop_loading(web_view);
  }
}

// Whether a main-frame response becomes the frame's new document: not a download, an
// attachment or a response without content.
bool IsBlank(const std::string& url) { return url.empty() || url == "about:blank"; }

bool Untitled(WebKitWebView* web_view) {
  const gchar* title = webkit_web_view_get_title(web_view);
  return !title || !*title;
}

bool MakesDocument(WebKitResponsePolicyDecision* decision) {
  if (!webkit_response_policy_decision_is_mime_type_supported(decision)) return false;
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
  guint status = webkit_uri_response_get_status_code(response);
  if (status == 204 || status == 205) return false;
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  const char* disposition =
      headers ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
  return !(disposition && g_ascii_strncasecmp(disposition, "attachment", 10) == 0);
}

// Reports the load start of the document `uri` and lets its response go on; takes over the
// reference to `decision`. A pop-up and its opener share one set of start-up scripts in the web
// process: while another of them waits for its document, the decision waits its turn.
void StartDocument(CefRefPtr<BrowserImpl> browser, WebKitResponsePolicyDecision* decision,
                   const std::string& uri) {
  StartScripts* scripts = browser->is_closed() ? nullptr : browser->start_scripts();
  if (scripts && !scripts->TakeTurn([browser, decision, uri] {
        StartDocument(browser, decision, uri);
      })) {
    return;
  }
  if (scripts) {
    browser->load_state()->started = true;
    // The view's URI can still be the old document's here (after a cancelled load).
    browser->main_frame()->SetURL(uri);
    ReportLoadStart(browser.get(), uri);
  }
  webkit_policy_decision_use(WEBKIT_POLICY_DECISION(decision));
  g_object_unref(decision);
}

// The last moment before the main frame's new document exists, on the same connection as the
// document's process: the load start is reported here so that the scripts it asks for are in
// place before the document's own.
gboolean OnResponseDecision(WebKitWebView* web_view, WebKitResponsePolicyDecision* decision,
                            BrowserImpl* browser) {
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
  const gchar* uri = webkit_uri_response_get_uri(response);
  const bool main_frame = webkit_response_policy_decision_is_main_frame_main_resource(decision);
  if (!main_frame) {
    // A sub-frame's document: its status is for the frame's load end.
    browser->load_state()->subframes.Responded(
        uri ? uri : "", static_cast<int>(webkit_uri_response_get_status_code(response)));
  }
  // An attachment or a type the engine cannot show is saved, as browsers do.
  if (!MakesDocument(decision)) return DownloadResponse(decision) ? TRUE : FALSE;
  if (!main_frame) return FALSE;
  g_object_ref(decision);
  StartDocument(browser, decision, uri && *uri ? uri : "about:blank");
  return TRUE;
}

// WebKit does not say which frame a navigation is for: keep what it said of the request.
void OnNavigationDecision(BrowserImpl* browser, WebKitNavigationPolicyDecision* decision) {
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(decision);
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  // A copy at once: each webkit_uri_request_get_uri() frees the text the previous call gave,
  // and RequestImpl asks for it again.
  const gchar* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  std::string url = uri ? uri : "";
  LoadState* state = browser->load_state();
  const bool user_gesture = webkit_navigation_action_is_user_gesture(action) != FALSE;
  state->decided.Put(std::move(url), Decided{new RequestImpl(request), user_gesture});
}

gboolean OnDecidePolicy(WebKitWebView* web_view, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
    return OnResponseDecision(web_view, WEBKIT_RESPONSE_POLICY_DECISION(decision), browser);
  if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
    OnNavigationDecision(browser, WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  return FALSE;  // Pop-ups are WebKit's "create"; everything else WebKit's own decision.
}

gboolean ReportLoadError(BrowserImpl* browser, const LoadError& error, const gchar* failing_uri);

void OnLoadChanged(WebKitWebView* web_view, WebKitLoadEvent event, BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  CefRefPtr<BrowserImpl> keep(browser);
  LoadState* state = browser->load_state();
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      state->started = false;
      state->committed = false;
      state->refused = false;
      state->requested = UriOf(web_view);
      ReportBeforeBrowse(web_view, browser, false);
      break;
    case WEBKIT_LOAD_REDIRECTED:
      state->requested = UriOf(web_view);
      ReportBeforeBrowse(web_view, browser, true);
      break;
    case WEBKIT_LOAD_COMMITTED:
      // A URL the engine will not load (a restricted port, the address 0.0.0.0) commits an
      // empty page without a failure or a response: that is this navigation's failure, told
      // at its end as failures are.
      if (!state->started && IsBlank(UriOf(web_view)) && !IsBlank(state->requested)) {
        state->refused = true;
        break;
      }
      state->committed = true;
      // The old document's frames are gone. The one-shot stays until it has run: the new
      // document's root element, where WebKit runs it, may come much later than this.
      browser->frames()->RemoveSubframes();
      // WebKit has no title to announce for a document without one: its URL is the title.
      state->titled = false;
      if (Untitled(web_view)) ReportTitle(browser);
      // Loads that WebKit commits without a response decision (about:blank, HTML given as
      // text): nothing of the page's own has run yet, so the scripts run in it now, and a
      // one-shot left from a document that never came is not for this one.
      if (!state->started) {
        state->started = true;
        browser->start_scripts()->Clear();
        ReportLoadStart(browser, std::string());
      }
      break;
    case WEBKIT_LOAD_FINISHED: {
      if (state->refused) {
        state->refused = false;
        ReportLoadError(browser, MapRefusedLoad(state->requested), state->requested.c_str());
      }
      // As with CEF, a navigation that failed before its commit has no load end.
      if (state->committed) {
        CefRefPtr<CefLoadHandler> handler = LoadHandlerOf(browser);
        if (handler) {
          Guarded("OnLoadEnd", [&] {
            handler->OnLoadEnd(browser, browser->GetMainFrame(), MainResourceStatus(web_view));
          });
        }
        ReportFaviconUrls(browser);
      }
      state->loading_end.MainFinished(browser);
      break;
    }
  }
}

// A main-frame load failed: no WebKit error page, the client decides what to show.
gboolean ReportLoadError(BrowserImpl* browser, const LoadError& error, const gchar* failing_uri) {
  CefRefPtr<BrowserImpl> keep(browser);
  const std::string uri = failing_uri ? failing_uri : "";
  browser->start_scripts()->ClearIfFor(uri);
  CefRefPtr<CefLoadHandler> handler = LoadHandlerOf(browser);
  if (handler) {
    Guarded("OnLoadError", [&] {
      handler->OnLoadError(browser, browser->GetMainFrame(), error.code, error.text, uri);
    });
  }
  return TRUE;
}

gboolean OnLoadFailed(WebKitWebView* web_view, WebKitLoadEvent event, gchar* failing_uri,
                      GError* error, BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  return ReportLoadError(browser, MapLoadError(error), failing_uri);
}

gboolean OnLoadFailedWithTlsErrors(WebKitWebView* web_view, gchar* failing_uri,
                                   GTlsCertificate* certificate, GTlsCertificateFlags errors,
                                   BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  CertificatePolicy::Rejected(failing_uri);
  return ReportLoadError(browser, MapTlsErrors(errors), failing_uri);
}

void OnIsLoading(WebKitWebView* web_view, GParamSpec*, BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  CefRefPtr<BrowserImpl> keep(browser);
  browser->load_state()->loading_end.LoadingChanged(browser,
                                                    webkit_web_view_is_loading(web_view));
}

// With the response decision (StartDocument), the only writer of the main frame's URL: WebKit
// changes the view's URI as a navigation starts, is redirected and commits.
void OnUri(WebKitWebView* web_view, GParamSpec*, BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  browser->main_frame()->SetURL(UriOf(web_view));
  // A fragment or history change within an untitled document: the title shown follows it.
  if (!webkit_web_view_is_loading(web_view) && Untitled(web_view)) ReportTitle(browser);
}

}  // namespace

CefRefPtr<CefLoadHandler> LoadHandlerOf(BrowserImpl* browser) {
  CefRefPtr<CefClient> client = browser->GetClient();
  return client ? client->GetLoadHandler() : nullptr;
}

CefRefPtr<CefRequestHandler> RequestHandlerOf(BrowserImpl* browser) {
  CefRefPtr<CefClient> client = browser->GetClient();
  return client ? client->GetRequestHandler() : nullptr;
}

void AttachLoadSignals(BrowserImpl* browser) {
  GObject* view = G_OBJECT(browser->web_view());
  g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), browser);
  g_signal_connect(view, "load-failed", G_CALLBACK(OnLoadFailed), browser);
  g_signal_connect(view, "load-failed-with-tls-errors", G_CALLBACK(OnLoadFailedWithTlsErrors),
                   browser);
  g_signal_connect(view, "notify::is-loading", G_CALLBACK(OnIsLoading), browser);
  g_signal_connect(view, "notify::uri", G_CALLBACK(OnUri), browser);
  g_signal_connect(view, "decide-policy", G_CALLBACK(OnDecidePolicy), browser);
}

void OnEngineMessage(BrowserImpl* browser, int64_t frame_id,
                     CefRefPtr<CefProcessMessage> message) {
  CEF_REQUIRE_UI_THREAD();
  CefRefPtr<BrowserImpl> keep(browser);
  msg::MainDocumentParsed parsed;
  if (msg::Decode(message, &parsed)) {
    if (browser->start_scripts()) browser->start_scripts()->DocumentParsed();
  } else if (!OnSubframeMessage(browser, frame_id, message)) {
    msg::ReportMalformed(message);
  }
}

void OnWebProcessGone(BrowserImpl* browser) {
  browser->frames()->RemoveSubframes();
  browser->load_state()->loading_end.WebProcessGone(browser);
}

}  // namespace qvex_engine

// Signal handlers of a browser's web view: loads, navigation policy, title, pop-ups, page
// close requests and messages from the web process. UI thread.
#include "browser/web_view_signals.h"

#include "browser/browser_impl.h"
#include "browser/browser_view_impl.h"
#include "browser/context_menu_params_impl.h"
#include "browser/favicon_urls.h"
#include "browser/frame_impl.h"
#include "browser/load_error.h"
#include "browser/menu_model_impl.h"
#include "browser/request_impl.h"
#include "common/process_message_impl.h"
#include "include/base/cef_logging.h"

namespace qvex_engine {

namespace {

struct LoadState {
  bool committed = false;  // The current navigation reached its new document.
};

const char kLoadStateKey[] = "qvex-load-state";

LoadState* GetLoadState(WebKitWebView* web_view) {
  auto* state = static_cast<LoadState*>(g_object_get_data(G_OBJECT(web_view), kLoadStateKey));
  if (!state) {
    state = new LoadState();
    g_object_set_data_full(G_OBJECT(web_view), kLoadStateKey, state,
                           [](gpointer p) { delete static_cast<LoadState*>(p); });
  }
  return state;
}

CefRefPtr<CefLoadHandler> LoadHandlerOf(BrowserImpl* browser) {
  CefRefPtr<CefClient> client = browser->GetClient();
  return client ? client->GetLoadHandler() : nullptr;
}

int MainResourceStatus(WebKitWebView* web_view) {
  WebKitWebResource* resource = webkit_web_view_get_main_resource(web_view);
  WebKitURIResponse* response = resource ? webkit_web_resource_get_response(resource) : nullptr;
  return response ? static_cast<int>(webkit_uri_response_get_status_code(response)) : 0;
}

void OnLoadChanged(WebKitWebView* web_view, WebKitLoadEvent event, BrowserImpl* browser) {
  CefRefPtr<BrowserImpl> keep(browser);
  LoadState* state = GetLoadState(web_view);
  CefRefPtr<CefLoadHandler> handler = LoadHandlerOf(browser);
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      state->committed = false;
      break;
    case WEBKIT_LOAD_COMMITTED: {
      state->committed = true;
      const gchar* uri = webkit_web_view_get_uri(web_view);
      browser->main_frame()->SetURL(uri ? uri : "");
      if (handler) handler->OnLoadStart(browser, browser->GetMainFrame(), TT_EXPLICIT);
      break;
    }
    case WEBKIT_LOAD_FINISHED:
      // As with CEF, a navigation that failed before its commit has no load end.
      if (state->committed && handler)
        handler->OnLoadEnd(browser, browser->GetMainFrame(), MainResourceStatus(web_view));
      if (state->committed) ReportFaviconUrls(browser);
      break;
    default:
      break;
  }
}

gboolean OnLoadFailed(WebKitWebView* web_view, WebKitLoadEvent event, gchar* failing_uri,
                      GError* error, BrowserImpl* browser) {
  CefRefPtr<BrowserImpl> keep(browser);
  LoadError mapped = MapLoadError(error);
  CefRefPtr<CefLoadHandler> handler = LoadHandlerOf(browser);
  if (handler) {
    handler->OnLoadError(browser, browser->GetMainFrame(), mapped.code, mapped.text,
                         failing_uri ? failing_uri : "");
  }
  return TRUE;  // No WebKit error page: the client decides what to show.
}

gboolean OnLoadFailedWithTlsErrors(WebKitWebView* web_view, gchar* failing_uri,
                                   GTlsCertificate* certificate, GTlsCertificateFlags errors,
                                   BrowserImpl* browser) {
  CefRefPtr<BrowserImpl> keep(browser);
  CefRefPtr<CefLoadHandler> handler = LoadHandlerOf(browser);
  if (handler) {
    handler->OnLoadError(browser, browser->GetMainFrame(), ERR_CERT_INVALID, "ERR_CERT_INVALID",
                         failing_uri ? failing_uri : "");
  }
  return TRUE;
}

void OnIsLoading(WebKitWebView* web_view, GParamSpec*, BrowserImpl* browser) {
  CefRefPtr<BrowserImpl> keep(browser);
  CefRefPtr<CefLoadHandler> handler = LoadHandlerOf(browser);
  if (handler) {
    handler->OnLoadingStateChange(browser, webkit_web_view_is_loading(web_view),
                                  webkit_web_view_can_go_back(web_view),
                                  webkit_web_view_can_go_forward(web_view));
  }
}

void OnUri(WebKitWebView* web_view, GParamSpec*, BrowserImpl* browser) {
  const gchar* uri = webkit_web_view_get_uri(web_view);
  browser->main_frame()->SetURL(uri ? uri : "");
}

void OnTitle(WebKitWebView* web_view, GParamSpec*, BrowserImpl* browser) {
  CefRefPtr<BrowserImpl> keep(browser);
  CefRefPtr<CefClient> client = browser->GetClient();
  CefRefPtr<CefDisplayHandler> handler = client ? client->GetDisplayHandler() : nullptr;
  if (!handler) return;
  // As CEF does, a page that has no title is shown by its URL; a title set empty stays empty.
  const gchar* title = webkit_web_view_get_title(web_view);
  const gchar* uri = webkit_web_view_get_uri(web_view);
  handler->OnTitleChange(browser, title ? title : (uri ? uri : ""));
}

gboolean OnDecidePolicy(WebKitWebView* web_view, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, BrowserImpl* browser) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  CefRefPtr<BrowserImpl> keep(browser);
  CefRefPtr<CefClient> client = browser->GetClient();
  CefRefPtr<CefRequestHandler> handler = client ? client->GetRequestHandler() : nullptr;
  if (!handler) return FALSE;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  // Navigations of sub-frames are decided in the web process; the UI process's frame is the
  // main frame, so only navigations without a target frame name are reported.
  if (webkit_navigation_action_get_frame_name(action)) return FALSE;
  CefRefPtr<CefRequest> request =
      new RequestImpl(webkit_navigation_action_get_request(action));
  if (handler->OnBeforeBrowse(browser, browser->GetMainFrame(), request,
                              webkit_navigation_action_is_user_gesture(action),
                              webkit_navigation_action_is_redirect(action))) {
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  return FALSE;
}

void OnClose(WebKitWebView* web_view, BrowserImpl* browser) {
  // window.close() from the page: the same sequence as a user's close.
  browser->CloseBrowser(false);
}

gboolean OnUserMessage(WebKitWebView* web_view, WebKitUserMessage* message,
                       BrowserImpl* browser) {
  CefRefPtr<BrowserImpl> keep(browser);
  CefRefPtr<CefClient> client = browser->GetClient();
  if (!client) return FALSE;
  CefRefPtr<CefProcessMessage> cef_message = MessageFromVariant(
      webkit_user_message_get_name(message), webkit_user_message_get_parameters(message));
  return client->OnProcessMessageReceived(browser, browser->GetMainFrame(), PID_RENDERER,
                                          cef_message);
}

void OnWebProcessTerminated(WebKitWebView* web_view, WebKitWebProcessTerminationReason reason,
                            BrowserImpl* browser) {
  LOG(WARNING) << "web process ended (reason " << static_cast<int>(reason) << "); reloading";
  webkit_web_view_reload(web_view);
}

gboolean OnContextMenu(WebKitWebView* web_view, WebKitContextMenu* menu, GdkEvent* event,
                       WebKitHitTestResult* hit, BrowserImpl* browser) {
  CefRefPtr<BrowserImpl> keep(browser);
  CefRefPtr<CefClient> client = browser->GetClient();
  CefRefPtr<CefContextMenuHandler> handler = client ? client->GetContextMenuHandler() : nullptr;
  if (!handler) return FALSE;
  CefRefPtr<CefFrame> frame = browser->GetMainFrame();
  CefRefPtr<CefContextMenuParams> params =
      new ContextMenuParamsImpl(event, hit, webkit_web_view_get_uri(web_view));
  CefRefPtr<MenuModelImpl> model = new MenuModelImpl(menu);
  handler->OnBeforeContextMenu(browser, frame, params, model.get());
  bool show = model->ApplyTo(menu, [keep, frame, params, handler](int command_id) {
    handler->OnContextMenuCommand(keep.get(), frame, params, command_id, EVENTFLAG_NONE);
  });
  return show ? FALSE : TRUE;
}

GtkWidget* OnCreate(WebKitWebView* web_view, WebKitNavigationAction* action,
                    BrowserImpl* browser) {
  CefRefPtr<BrowserImpl> keep(browser);
  return BrowserViewImpl::CreatePopup(browser);
}

}  // namespace

void AttachWebViewSignals(BrowserImpl* browser) {
  GObject* view = G_OBJECT(browser->web_view());
  g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), browser);
  g_signal_connect(view, "load-failed", G_CALLBACK(OnLoadFailed), browser);
  g_signal_connect(view, "load-failed-with-tls-errors", G_CALLBACK(OnLoadFailedWithTlsErrors),
                   browser);
  g_signal_connect(view, "notify::is-loading", G_CALLBACK(OnIsLoading), browser);
  g_signal_connect(view, "notify::uri", G_CALLBACK(OnUri), browser);
  g_signal_connect(view, "notify::title", G_CALLBACK(OnTitle), browser);
  g_signal_connect(view, "decide-policy", G_CALLBACK(OnDecidePolicy), browser);
  g_signal_connect(view, "close", G_CALLBACK(OnClose), browser);
  g_signal_connect(view, "user-message-received", G_CALLBACK(OnUserMessage), browser);
  g_signal_connect(view, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), browser);
  g_signal_connect(view, "create", G_CALLBACK(OnCreate), browser);
  g_signal_connect(view, "context-menu", G_CALLBACK(OnContextMenu), browser);
}

void DetachWebViewSignals(BrowserImpl* browser) {
  g_signal_handlers_disconnect_by_data(browser->web_view(), browser);
}

}  // namespace qvex_engine

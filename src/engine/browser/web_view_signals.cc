// Signal handlers of a browser's web view: title, pop-ups, page close requests, the context
// menu and messages from the web process (loads are load_signals.cc's). UI thread.
#include "browser/web_view_signals.h"

#include "browser/browser_impl.h"
#include "browser/browser_view_impl.h"
#include "browser/network/certificate_policy.h"
#include "browser/page/clipboard_owner.h"
#include "browser/page/context_menu_params_impl.h"
#include "browser/network/external_schemes.h"
#include "browser/frame_impl.h"
#include "browser/frame_tree.h"
#include "browser/loads/load_signals.h"
#include "browser/loads/load_state.h"
#include "browser/page/display_title.h"
#include "browser/page/menu_model_impl.h"
#include "browser/crash/web_process_recovery.h"
#include "browser/desktop/notifications.h"
#include "browser/page/permission_requests.h"
#include "browser/loads/subframe_signals.h"
#include "common/engine_messages.h"
#include "common/engine_state.h"
#include "common/guarded.h"
#include "common/process_message_impl.h"
#include "include/base/cef_logging.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

void OnTitle(WebKitWebView* web_view, GParamSpec*, BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  ReportTitle(browser);
}

void OnClose(WebKitWebView* web_view, BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  CefRefPtr<BrowserImpl> keep(browser);
  // window.close() from the page (WebKit has run its beforeunload), a WebDriver's close, or the
  // page's consent to a close that asked it: the same sequence as a user's close from here on.
  browser->OnPageLetClose();
  // A WebDriver takes the window as gone once this returns, and closes it again and again
  // while it is still there: the close sequence runs to its end first.
  if (webkit_web_view_is_controlled_by_automation(web_view)) browser->WaitUntilClosed();
}

gboolean OnUserMessage(WebKitWebView* web_view, WebKitUserMessage* message,
                       BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  FollowCurrentSource();
  CefRefPtr<BrowserImpl> keep(browser);
  if (ClipboardOwner::TakeMessage(message)) return TRUE;
  CefRefPtr<CefClient> client = browser->GetClient();
  if (!client) return FALSE;
  int64_t frame_id = 0;
  CefRefPtr<CefProcessMessage> cef_message =
      FrameMessageFromVariant(webkit_user_message_get_name(message),
                              webkit_user_message_get_parameters(message), &frame_id);
  if (engine_messages::IsEngineMessage(cef_message->GetName().ToString())) {
    OnEngineMessage(browser, frame_id, cef_message);
    return TRUE;
  }
  return GuardedOr("OnProcessMessageReceived", false, [&] {
    return client->OnProcessMessageReceived(browser, browser->frames()->ForMessage(frame_id),
                                            PID_RENDERER, cef_message);
  });
}

void OnWebProcessTerminated(WebKitWebView* web_view, WebKitWebProcessTerminationReason reason,
                            BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  CefRefPtr<BrowserImpl> keep(browser);
  browser->recovery()->OnTerminated(reason);
}

gboolean OnContextMenu(WebKitWebView* web_view, WebKitContextMenu* menu, GdkEvent* event,
                       WebKitHitTestResult* hit, BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  CefRefPtr<BrowserImpl> keep(browser);
  CefRefPtr<CefClient> client = browser->GetClient();
  CefRefPtr<CefContextMenuHandler> handler = client ? client->GetContextMenuHandler() : nullptr;
  if (!handler) return FALSE;
  CefRefPtr<CefFrame> frame = browser->GetMainFrame();
  CefRefPtr<CefContextMenuParams> params =
      new ContextMenuParamsImpl(event, hit, webkit_web_view_get_uri(web_view));
  CefRefPtr<MenuModelImpl> model = new MenuModelImpl(menu);
  Guarded("OnBeforeContextMenu",
          [&] { handler->OnBeforeContextMenu(browser, frame, params, model.get()); });
  bool show = model->ApplyTo(menu, [keep, frame, params, handler](int command_id) {
    Guarded("OnContextMenuCommand", [&] {
      handler->OnContextMenuCommand(keep.get(), frame, params, command_id, EVENTFLAG_NONE);
    });
  });
  return show ? FALSE : TRUE;
}

GtkWidget* OnCreate(WebKitWebView* web_view, WebKitNavigationAction* action,
                    BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  CefRefPtr<BrowserImpl> keep(browser);
  if (ExternalSchemes::TakePopup(browser, action)) return nullptr;  // No empty window.
  return BrowserViewImpl::CreatePopup(browser);
}

}  // namespace

void ReportTitle(BrowserImpl* browser) {
  CefRefPtr<BrowserImpl> keep(browser);
  CefRefPtr<CefClient> client = browser->GetClient();
  CefRefPtr<CefDisplayHandler> handler = client ? client->GetDisplayHandler() : nullptr;
  if (!handler || !browser->web_view()) return;
  // As CEF does, a page without a title is shown by its URL; a title the page set empty
  // stays empty.
  const gchar* own = webkit_web_view_get_title(browser->web_view());
  LoadState* state = browser->load_state();
  if (own && *own) state->titled = true;
  const std::string title =
      state->titled ? std::string(own ? own : "")
                    : TitleForDisplay(own, webkit_web_view_get_uri(browser->web_view()));
  Guarded("OnTitleChange", [&] { handler->OnTitleChange(browser, title); });
}

// Every signal of a browser's web view, each group connected by the file that handles it.
void AttachWebViewSignals(BrowserImpl* browser) {
  GObject* view = G_OBJECT(browser->web_view());
  AttachLoadSignals(browser);
  ExternalSchemes::Attach(browser);
  CertificatePolicy::Attach(browser);
  AttachSubframeSignals(browser);
  AttachPermissionRequests(browser);
  AttachNotificationSignals(browser);
  g_signal_connect(view, "notify::title", G_CALLBACK(OnTitle), browser);
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

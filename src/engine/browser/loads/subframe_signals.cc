// Sub-frame loads: WebKit's resource signals and the web process's sub-frame reports.
#include "browser/loads/subframe_signals.h"

#include <string>

#include "browser/browser_impl.h"
#include "browser/frame_impl.h"
#include "browser/frame_tree.h"
#include "browser/loads/load_error.h"
#include "browser/loads/load_signals.h"
#include "browser/loads/load_state.h"
#include "browser/request_impl.h"
#include "common/engine_messages.h"
#include "common/guarded.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

namespace msg = engine_messages;

// A resource failed: when it was a sub-frame's new document, that frame's load failed.
void OnResourceFailed(WebKitWebResource* resource, GError* error, WebKitWebView* web_view) {
  CEF_REQUIRE_UI_THREAD();
  CefRefPtr<BrowserImpl> browser = BrowserImpl::FromWebView(web_view);
  if (!browser || resource == webkit_web_view_get_main_resource(web_view)) return;
  const gchar* uri = webkit_web_resource_get_uri(resource);
  int64_t frame_id = browser->load_state()->subframes.TakeNavigating(uri ? uri : "");
  CefRefPtr<FrameImpl> frame = frame_id ? browser->frames()->Find(frame_id) : nullptr;
  CefRefPtr<CefLoadHandler> handler = LoadHandlerOf(browser.get());
  if (!frame || !handler) return;
  LoadError mapped = MapLoadError(error);
  Guarded("OnLoadError", [&] {
    handler->OnLoadError(browser.get(), frame.get(), mapped.code, mapped.text, uri ? uri : "");
  });
}

void OnResourceLoadStarted(WebKitWebView* web_view, WebKitWebResource* resource,
                           WebKitURIRequest* request, BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  g_signal_connect_object(resource, "failed", G_CALLBACK(OnResourceFailed), web_view,
                          GConnectFlags(0));
}

// Whether a report of the web process is about a sub-frame of a page that is still shown
// (frame 0: one the web process could not tell).
bool SubframeReport(BrowserImpl* browser, int64_t frame_id) {
  return browser->web_view() && frame_id != 0 && frame_id != browser->GetIdentifier();
}

void SubframeCommitted(BrowserImpl* browser, int64_t frame_id, const msg::FrameCommitted& m) {
  CefRefPtr<FrameImpl> frame = browser->frames()->Committed(frame_id, m.parent_id, m.name, m.url);
  if (!frame) return;
  browser->load_state()->subframes.TakeNavigating(m.url);
  CefRefPtr<CefLoadHandler> handler = LoadHandlerOf(browser);
  if (handler && m.is_load)
    Guarded("OnLoadStart", [&] { handler->OnLoadStart(browser, frame, TT_AUTO_SUBFRAME); });
}

void SubframeLoaded(BrowserImpl* browser, int64_t frame_id, const msg::FrameLoaded& m) {
  CefRefPtr<FrameImpl> frame = browser->frames()->Find(frame_id);
  CefRefPtr<CefLoadHandler> handler = LoadHandlerOf(browser);
  if (!frame || frame->IsMain() || !handler) return;
  int status = browser->load_state()->subframes.TakeStatus(m.url);
  Guarded("OnLoadEnd", [&] { handler->OnLoadEnd(browser, frame, status); });
}

void SubframeNavigating(BrowserImpl* browser, int64_t frame_id, const msg::FrameNavigating& m) {
  CefRefPtr<FrameImpl> frame = frame_id ? browser->frames()->Find(frame_id) : nullptr;
  if (!frame || frame->IsMain()) return;
  browser->load_state()->subframes.Navigating(m.url, frame_id);
  CefRefPtr<CefRequestHandler> handler = RequestHandlerOf(browser);
  if (handler && GuardedOr("OnBeforeBrowse", false, [&] {
        return handler->OnBeforeBrowse(browser, frame, new RequestImpl(m.url, "GET"), false,
                                       m.redirect);
      })) {
    browser->SendProcessMessage(frame_id, msg::Encode(msg::Stop{}));
  }
}

}  // namespace

void AttachSubframeSignals(BrowserImpl* browser) {
  g_signal_connect(browser->web_view(), "resource-load-started",
                   G_CALLBACK(OnResourceLoadStarted), browser);
}

bool OnSubframeMessage(BrowserImpl* browser, int64_t frame_id,
                       CefRefPtr<CefProcessMessage> message) {
  msg::FrameCommitted committed;
  msg::FrameLoaded loaded;
  msg::FrameNavigating navigating;
  msg::FrameDetached detached;
  if (msg::Decode(message, &committed)) {
    if (SubframeReport(browser, frame_id)) SubframeCommitted(browser, frame_id, committed);
  } else if (msg::Decode(message, &loaded)) {
    if (SubframeReport(browser, frame_id)) SubframeLoaded(browser, frame_id, loaded);
  } else if (msg::Decode(message, &navigating)) {
    if (SubframeReport(browser, frame_id)) SubframeNavigating(browser, frame_id, navigating);
  } else if (msg::Decode(message, &detached)) {
    if (SubframeReport(browser, frame_id)) browser->frames()->Remove(frame_id);
  } else {
    return false;
  }
  return true;
}

}  // namespace qvex_engine
